#include "contents_view.h"

#include "app/atomic_write.h"
#include "app/background_task.h"
#include "app/tovi_error.h"
#include "app/working_folder.h"
#include "shell/file_chooser.h"

#include <QFileInfo>
#include <QHideEvent>
#include <QShowEvent>
#include <utility>

namespace tovi {

namespace {

constexpr int loadingAtOnce = 2;
constexpr qint64 largestThumbnailFile = 16 * 1000 * 1000;

} // namespace

DeviceContentsView::DeviceContentsView(Settings& settings, QString backups, QWidget* parent)
    : QDialog(parent)
    , m_settings(settings)
    , m_session(settings, std::move(backups)) {
    setAccessibleName(QStringLiteral("Na Tovi"));
    connect(&m_session, &DeviceContentsSession::contentsChanged, this,
            &DeviceContentsView::rebuild);
    connect(&m_session, &DeviceContentsSession::stateChanged, this,
            &DeviceContentsView::refreshStatus);
    m_clock.setInterval(40);
    connect(&m_clock, &QTimer::timeout, this, [this] {
        m_elapsed += m_clock.interval();
        for (const QPointer<RoundThumbnail>& shown : m_moving)
            if (shown && !shown->visibleRegion().isEmpty())
                shown->tick(m_elapsed);
    });
    build();
}

DeviceContentsView::~DeviceContentsView() = default;

DeviceContentsView* DeviceContentsView::openOver(Settings& settings, QWidget* parent) {
    QString backups;
    QString failure;
    try {
        backups = WorkingFolder::packBackups();
    } catch (const ToviError& error) {
        failure = error.message();
    }
    auto* view = new DeviceContentsView(settings, backups, parent);
    view->setAttribute(Qt::WA_DeleteOnClose);
    if (!failure.isEmpty())
        view->m_session.setError(failure);
    view->open();
    return view;
}

void DeviceContentsView::save(const QString& album, const QString& name) {
    if (m_session.busy() || !m_session.contents())
        return;
    if (const std::optional<QString> target = FileChooser::saveAs(this, m_settings, name))
        m_session.save(album, name, *target);
}

void DeviceContentsView::chooseDevice() {
    try {
        if (const std::optional<QString> folder = FileChooser::deviceFolder(this))
            m_session.choose(*folder);
    } catch (const ToviError& failure) {
        m_session.setError(failure.message());
    }
}

void DeviceContentsView::loadThumbnails() {
    while (m_loading < loadingAtOnce && !m_pending.empty()) {
        Pending next = m_pending.front();
        m_pending.pop_front();
        if (!next.target)
            continue;
        ++m_loading;
        const int side = int(next.target->width() * next.target->devicePixelRatioF());
        // Read where the device's work runs; decoded where previews decode.
        runOnOwnThread(
            this,
            [path = next.path] {
                if (QFileInfo(path).size() > largestThumbnailFile)
                    return QByteArray();
                return readFile(path);
            },
            [this, target = next.target, side](const Outcome<QByteArray>& read) {
                if (!read.ok() || read.value->isEmpty()) {
                    --m_loading;
                    loadThumbnails();
                    return;
                }
                runInBackground(
                    this,
                    [bytes = *read.value, side] { return RoundThumbnail::decode(bytes, side, 24); },
                    [this, target](const Outcome<RoundThumbnail::Frames>& decoded) {
                        if (target && decoded.ok()) {
                            target->setFrames(*decoded.value);
                            if (target->frameCount() > 1)
                                m_moving.push_back(target);
                        }
                        --m_loading;
                        loadThumbnails();
                    });
            });
    }
}

void DeviceContentsView::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        m_session.follow(true);
        m_clock.start();
    }
    QDialog::showEvent(event);
}

void DeviceContentsView::hideEvent(QHideEvent* event) {
    if (!event->spontaneous()) {
        m_session.follow(false);
        m_clock.stop();
    }
    QDialog::hideEvent(event);
}

} // namespace tovi

#include "transfer_sheet.h"

#include "app/background_task.h"
#include "app/settings.h"
#include "app/tovi_error.h"
#include "contents_view.h"
#include "device/scoped_access.h"
#include "shell/file_chooser.h"
#include "shell/url_opener.h"

#include <QHideEvent>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QShowEvent>
#include <QVBoxLayout>
#include <utility>

namespace tovi {

ToviTransferSheet::ToviTransferSheet(ToviTransferKind kind, Settings& settings,
                                     ToviTransferActions actions, QWidget* parent)
    : QDialog(parent)
    , m_kind(kind)
    , m_settings(settings)
    , m_actions(std::move(actions))
    , m_chooser([this] { return FileChooser::deviceFolder(this); })
    , m_opener(&UrlOpener::reveal) {
    connect(&m_presence, &DevicePresence::changed, this, &ToviTransferSheet::mountsChanged);
    build();
    restyle();
    // The window's send key sends here too, as the main button does when it can. A key held
    // down after opening the sheet with it does not send.
    for (const QKeySequence& keys :
         {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)}) {
        auto* shortcut = new QShortcut(keys, this);
        shortcut->setAutoRepeat(false);
        connect(shortcut, &QShortcut::activated, this, [this] {
            if (m_main->isVisible() && m_main->isEnabled())
                m_main->click();
        });
    }
}

ToviTransferSheet::~ToviTransferSheet() = default;

void ToviTransferSheet::setPreview(const QImage& preview) {
    m_preview = preview;
    refresh();
}

void ToviTransferSheet::setSummary(const QString& summary) {
    m_summary = summary;
    refresh();
}

void ToviTransferSheet::setDestination(const QString& folder) {
    if (folder == m_destination)
        return;
    m_destination = folder;
    checkConnection();
}

void ToviTransferSheet::setAlbum(const QString& album) {
    if (album == m_album)
        return;
    m_album = album;
    checkConnection();
}

void ToviTransferSheet::setBusy(bool busy) {
    if (busy == m_busy)
        return;
    m_busy = busy;
    if (busy) {
        m_done = 0;
        m_total = 0;
        m_focus.remember(this); // the main button gives way to the progress
        refresh();
        return;
    }
    const bool completes =
        !m_complete && m_operation == Operation::send && m_error.isEmpty() && !m_message.isEmpty();
    if (completes)
        m_complete = true;
    checkConnection();
    m_focus.restore();
    if (completes)
        lookForDrive();
    // Disks that came or went during the write are looked at now that it is over.
    if (std::exchange(m_lookAfterSend, false))
        mountsChanged();
}

void ToviTransferSheet::setDoneTitle(const QString& title) {
    m_doneTitle = title;
    refreshHeader();
}

void ToviTransferSheet::setMessage(const QString& message) {
    m_message = message;
    refreshProgress();
}

void ToviTransferSheet::setStalled(bool stalled) {
    m_stalled = stalled;
    refreshProgress();
}

void ToviTransferSheet::addSection(QWidget* section) {
    m_body->insertWidget(m_body->count() - 1, section); // above the stretch
}

void ToviTransferSheet::setError(const QString& error, FailureKind kind) {
    m_error = error;
    m_errorKind = kind;
    refresh();
}

bool ToviTransferSheet::deviceFull() const {
    return !m_error.isEmpty() && m_errorKind == FailureKind::deviceFull;
}

void ToviTransferSheet::setFiles(const QStringList& files) {
    m_files = files;
    refresh();
}

void ToviTransferSheet::setBackup(const QString& folder) {
    m_backup = folder;
    refresh();
}

void ToviTransferSheet::setProgress(int done, int total) {
    m_done = done;
    m_total = total;
    refreshProgress();
}

void ToviTransferSheet::setFolderChooser(FolderChooser chooser) {
    m_chooser = std::move(chooser);
}

void ToviTransferSheet::setVolumeLister(VolumeLister lister) {
    m_presence.setVolumeLister(std::move(lister));
}

void ToviTransferSheet::setOpener(Opener opener) {
    m_opener = std::move(opener);
}

void ToviTransferSheet::setEjectBus(const QDBusConnection& bus, MountLister mounts) {
    m_ejectBus = bus;
    m_mounts = std::move(mounts);
}

void ToviTransferSheet::lookForDrive() {
    m_ejectState = EjectState::looking;
    m_ejectTarget.reset();
    const QString folder = m_destination;
    std::vector<Mount> mounts = m_mounts ? m_mounts() : std::vector<Mount>();
    // The system bus is opened only here, off the interface thread and only when needed.
    runInBackground(
        this,
        [folder, mounts = std::move(mounts), bus = m_ejectBus] {
            const ScopedAccess access(folder);
            return DriveEject::find(folder, bus ? *bus : QDBusConnection::systemBus(), mounts);
        },
        [this](const Outcome<std::optional<DriveEject::Target>>& outcome) {
            m_ejectTarget = outcome.ok() ? *outcome.value : std::nullopt;
            m_ejectState = m_ejectTarget ? EjectState::offered : EjectState::none;
            refresh();
        });
}

void ToviTransferSheet::ejectDrive() {
    if (m_ejectState != EjectState::offered || !m_ejectTarget)
        return;
    m_ejectState = EjectState::ejecting;
    m_error.clear();
    refresh();
    runInBackground(
        this,
        [target = *m_ejectTarget, bus = m_ejectBus] {
            DriveEject::eject(target, bus ? *bus : QDBusConnection::systemBus());
        },
        [this](const Outcome<std::monostate>& outcome) {
            // A failure leaves the button for another try, under the error's explanation.
            m_ejectState = outcome.ok() ? EjectState::ejected : EjectState::offered;
            m_error = outcome.error;
            m_errorKind = outcome.errorKind;
            refresh();
        });
}

// On a device thread: a Tovi that stopped answering holds up that thread, never the window.
void ToviTransferSheet::checkConnection() {
    refresh(); // what changed shows now; the readiness when the answer comes
    const LatestRequest::Ticket ticket = m_connectionCheck.start();
    runOnOwnThread(
        this,
        [kind = m_kind, destination = m_destination, album = m_album] {
            return DeviceFinder::usable(kind, destination, album);
        },
        [this, ticket](const Outcome<bool>& outcome) {
            if (!ticket.current())
                return;
            m_ready = outcome.ok() && *outcome.value;
            refresh();
        });
}

void ToviTransferSheet::start() {
    m_error.clear();
    if (m_actions.clearError)
        m_actions.clearError();
    lookForDevice();
}

void ToviTransferSheet::settle(const DeviceFinder::Lookup& found) {
    if (m_ready != found.ready) {
        m_ready = found.ready;
        refresh();
    }
    for (const QString& folder : found.candidates) {
        if (m_ready)
            break;
        useFolder(folder);
    }
}

void ToviTransferSheet::mountsChanged() {
    if (m_complete)
        return;
    // Never another device under a write: the change is looked at when the write ends.
    if (m_busy) {
        m_lookAfterSend = true;
        return;
    }
    lookForDevice();
}

// Only a place that answered is handed to the model; a look overtaken by a change of the
// destination or the album, or by a write, is made again.
void ToviTransferSheet::lookForDevice() {
    const QString destination = m_destination;
    const QString album = m_album;
    m_presence.look(
        {m_kind, destination, album, m_settings.bytes(Settings::rootPermission)},
        [](const DeviceFinder::Lookup& found) { return found; },
        [this, destination, album](const Outcome<DeviceFinder::Lookup>& outcome) {
            if (destination != m_destination || album != m_album || m_busy) {
                mountsChanged();
                return;
            }
            if (outcome.ok() && !m_complete)
                settle(*outcome.value);
        });
}

void ToviTransferSheet::useFolder(const QString& folder) {
    // The error of an earlier choice goes; this one's comes back from the model if it fails.
    if (!std::exchange(m_error, QString()).isEmpty() && m_actions.clearError)
        m_actions.clearError();
    if (m_actions.chooseDestination)
        m_actions.chooseDestination(folder);
    checkConnection();
}

void ToviTransferSheet::connectDevice() {
    std::optional<QString> folder;
    try {
        folder = m_chooser ? m_chooser() : std::nullopt;
    } catch (const ToviError& failure) {
        m_error = failure.message();
        m_errorKind = failure.failureKind();
        if (m_actions.reportError)
            m_actions.reportError(m_error);
        refresh();
        return;
    }
    if (folder)
        useFolder(*folder);
}

void ToviTransferSheet::pickAlbum(const QString& album) {
    if (album == m_album)
        return;
    m_album = album;
    if (m_actions.setAlbum)
        m_actions.setAlbum(album);
    checkConnection();
}

void ToviTransferSheet::saveCopies() {
    if (const auto copies = FileChooser::saveCopies(this, m_settings, m_files))
        m_filesNote->setText(QStringLiteral("Zapisano: ") + copies->join(QStringLiteral(", ")));
}

void ToviTransferSheet::openContents() {
    DeviceContentsView* contents = DeviceContentsView::openOver(m_settings, this);
    // Room made there shows here at once: the error was about the room.
    connect(contents, &QDialog::finished, this, [this] {
        if (!deviceFull())
            return;
        m_error.clear();
        if (m_actions.clearError)
            m_actions.clearError();
        refresh();
    });
}

void ToviTransferSheet::done(int result) {
    if (m_busy && m_actions.cancel)
        m_actions.cancel();
    QDialog::done(result);
}

void ToviTransferSheet::runMain() {
    if (m_busy)
        return;
    if (m_complete) {
        reject();
    } else if (!m_ready) {
        connectDevice();
    } else {
        m_operation = Operation::send;
        refresh();
        if (m_actions.send)
            m_actions.send();
    }
}

void ToviTransferSheet::showEvent(QShowEvent* event) {
    // Un-minimising is not a new showing.
    if (!event->spontaneous()) {
        start();
        m_presence.follow(true);
    }
    QDialog::showEvent(event);
    // The keyboard starts at what the sheet is for, not at "Zamknij".
    if (!event->spontaneous() && m_main->isVisibleTo(this))
        m_main->setFocus(Qt::OtherFocusReason);
}

void ToviTransferSheet::hideEvent(QHideEvent* event) {
    if (!event->spontaneous())
        m_presence.follow(false);
    QDialog::hideEvent(event);
}

void ToviTransferSheet::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange && m_main)
        restyle();
    QDialog::changeEvent(event);
}

} // namespace tovi

#include "contents_view.h"

#include "app/polish_count.h"
#include "app/polish_format.h"
#include "device/device_watch.h"
#include "device/game1_installer.h"
#include "media/image_source.h"
#include "shell/controls.h"
#include "shell/sheet_parts.h"
#include "shell/theme.h"
#include "transfer_sheet.h"

#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLocale>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace tovi {

using namespace SheetParts;

namespace {

const QStringList albumNames{QStringLiteral("Photo1"), QStringLiteral("Photo2"),
                             QStringLiteral("Photo3")};

// "GIF 240×240 · 24 klatki · 2,4 s · 1,2 MB", or "nieobsługiwany · 12 kB".
QString details(const DevicePicture& picture) {
    return picture.fields(DevicePicture::Listing::window).join(QStringLiteral(" · "));
}

QLabel* heading(const QString& text) {
    return textLabel(text, Typography::Style::headline, QFont::DemiBold);
}

QPushButton* flat(const QString& text, const QString& name, QWidget* styled) {
    QPushButton* button = flatButton(text, name);
    button->setAccessibleName(text);
    Theme::followWithStyleSheet(button, [styled] { return flatButtonStyle(styled); });
    return button;
}

} // namespace

RoundThumbnail::RoundThumbnail(int side, QWidget* parent)
    : QWidget(parent) {
    setFixedSize(side, side);
    setDecorative(this); // the name and details beside it say what it shows
}

void RoundThumbnail::setFrames(Frames frames) {
    m_frames = std::move(frames);
    m_total = 0;
    for (const int delay : m_frames.delays)
        m_total += delay;
    m_shown = 0;
    update();
}

void RoundThumbnail::setSymbol(const QString& name) {
    m_symbol = name;
    update();
}

void RoundThumbnail::tick(qint64 elapsed) {
    if (m_total <= 0)
        return;
    qint64 at = elapsed % m_total;
    size_t frame = 0;
    while (frame + 1 < m_frames.delays.size() && at >= m_frames.delays[frame])
        at -= m_frames.delays[frame++];
    if (frame != m_shown) {
        m_shown = frame;
        update();
    }
}

RoundThumbnail::Frames RoundThumbnail::decode(const QByteArray& bytes, int side, int maxFrames) {
    Frames frames;
    const std::unique_ptr<ImageSource> source = ImageSource::fromData(bytes);
    const int count = source->frameCount();
    const int every = std::max(1, (count + maxFrames - 1) / maxFrames);
    for (int index = 0; index < count; index += every) {
        QImage image = source->frame(index, side);
        if (image.isNull())
            break;
        double seconds = 0;
        for (int covered = index; covered < std::min(count, index + every); ++covered)
            seconds += source->delay(covered);
        frames.images.push_back(std::move(image));
        frames.delays.push_back(std::max(20, int(std::lround(seconds * 1000))));
    }
    return frames;
}

void RoundThumbnail::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF circle = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath clip;
    clip.addEllipse(circle);
    painter.setClipPath(clip);
    if (m_shown < m_frames.images.size()) {
        const QImage& image = m_frames.images[m_shown];
        // Filled as the round display fills: the shorter side spans the circle.
        const QSizeF scaled =
            QSizeF(image.size()).scaled(circle.size(), Qt::KeepAspectRatioByExpanding);
        painter.drawImage(
            QRectF(circle.center() - QPointF(scaled.width(), scaled.height()) / 2, scaled), image);
        return;
    }
    painter.fillRect(circle, Theme::primary(this, 0.08));
    if (!m_symbol.isEmpty()) {
        const int size = width() / 2;
        painter.drawPixmap(QRect((width() - size) / 2, (height() - size) / 2, size, size),
                           Icons::pixmap(m_symbol, Theme::secondary(this), size));
    }
}

void DeviceContentsView::build() {
    const SheetParts::Skeleton parts =
        SheetParts::buildSheet(this, QStringLiteral("Na Tovi"), {760, 720});

    // What is going on: the work under way, a device that stopped answering, the last outcome.
    m_status = new Card(QStringLiteral("status"));
    setAlert(m_status);
    auto* status = new QHBoxLayout(m_status);
    status->setContentsMargins(14, 10, 14, 10);
    status->setSpacing(10);
    m_spinner = new Spinner(16);
    status->addWidget(m_spinner, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    m_statusText = textLabel({}, Typography::Style::callout, QFont::Medium);
    m_statusText->setObjectName(QStringLiteral("statusText"));
    m_statusText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    texts->addWidget(m_statusText);
    m_stallText =
        textLabel(DeviceWatch::stalledText(), Typography::Style::callout, QFont::Normal, true);
    texts->addWidget(m_stallText);
    status->addLayout(texts, 1);
    m_undo = flat(QStringLiteral("Cofnij"), QStringLiteral("undo"), this);
    connect(m_undo, &QPushButton::clicked, &m_session, &DeviceContentsSession::undo);
    status->addWidget(m_undo, 0, Qt::AlignTop);
    m_stopWaiting = flat(QStringLiteral("Przestań czekać"), QStringLiteral("stopWaiting"), this);
    connect(m_stopWaiting, &QPushButton::clicked, &m_session, &DeviceContentsSession::stopWaiting);
    status->addWidget(m_stopWaiting, 0, Qt::AlignTop);
    auto* statusRow = new QHBoxLayout;
    statusRow->setContentsMargins(SheetParts::margin, 0, SheetParts::margin, 8);
    statusRow->addWidget(m_status);
    parts.outer->insertLayout(parts.outer->indexOf(parts.scroll), statusRow);
    m_sections = parts.body;

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* close = new QPushButton(QStringLiteral("Zamknij"));
    close->setAccessibleName(QStringLiteral("Zamknij"));
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addWidget(close);
    parts.footer->addLayout(buttons);
    rebuild();
}

void DeviceContentsView::refreshStatus() {
    const bool working = m_session.busy();
    const bool stalled = working && m_session.stalled();
    const QString& error = m_session.error();
    const QString text =
        working ? m_session.doing() : (error.isEmpty() ? m_session.notice() : error);
    m_spinner->setVisible(working);
    m_statusText->setText(text);
    m_stallText->setVisible(stalled);
    m_stopWaiting->setVisible(stalled);
    const auto& moved = m_session.moved();
    const auto& removed = m_session.removed();
    m_undo->setVisible(m_session.canUndo());
    m_undo->setAccessibleName(moved     ? QStringLiteral("Cofnij przeniesienie ") + moved->name
                              : removed ? QStringLiteral("Cofnij usunięcie ") + removed->name
                                        : QStringLiteral("Cofnij"));
    m_status->setVisible(!text.isEmpty() || stalled);
    m_status->setAccessibleName(stalled ? text + QLatin1Char(' ') + m_stallText->text() : text);
    m_statusText->setStyleSheet(!working && !error.isEmpty() ? QStringLiteral("color: #d70015;")
                                                             : QString());
    if (!working && !text.isEmpty())
        announce(m_status);
}

void DeviceContentsView::rebuild() {
    m_pending.clear();
    m_moving.clear();
    while (QLayoutItem* item = m_sections->takeAt(0)) {
        if (QWidget* section = item->widget())
            section->deleteLater();
        delete item;
    }
    m_sections->addWidget(connectionCard());
    if (const auto& contents = m_session.contents()) {
        m_sections->addWidget(spaceCard());
        for (const DeviceContents::Album& album : contents->albums)
            m_sections->addWidget(albumCard(album));
        m_sections->addWidget(cardsCard());
    }
    m_sections->addWidget(backupsCard());
    m_sections->addStretch(1);
    refreshStatus();
    loadThumbnails();
}

QWidget* DeviceContentsView::connectionCard() {
    auto* connection = new Card(QStringLiteral("connection"));
    auto* card = cardColumn(connection);
    if (const auto& contents = m_session.contents()) {
        card->addWidget(heading(QStringLiteral("Tovi podłączony")));
        auto* path = textLabel(QDir::toNativeSeparators(contents->root),
                               Typography::Style::subheadline, QFont::Normal, true);
        path->setObjectName(QStringLiteral("devicePath"));
        card->addWidget(path);
        return connection;
    }
    card->addWidget(heading(m_session.looking() ? QStringLiteral("Szukam Tovi…")
                                                : QStringLiteral("Nie znaleziono Tovi")));
    card->addWidget(ToviTransferSheet::connectionSteps());
    auto* choose = flat(QStringLiteral("Wskaż dysk Tovi…"), QStringLiteral("chooseDevice"), this);
    connect(choose, &QPushButton::clicked, this, &DeviceContentsView::chooseDevice);
    card->addWidget(choose, 0, Qt::AlignLeft);
    return connection;
}

QWidget* DeviceContentsView::spaceCard() {
    const DeviceSpace& space = m_session.contents()->space;
    auto* room = new Card(QStringLiteral("space"));
    auto* card = cardColumn(room);
    card->addWidget(heading(QStringLiteral("Miejsce")));
    auto* bar = new QProgressBar;
    bar->setObjectName(QStringLiteral("spaceBar"));
    bar->setRange(0, 1000);
    bar->setValue(space.total > 0 ? int((space.total - space.free) * 1000 / space.total) : 0);
    bar->setTextVisible(false);
    bar->setFixedHeight(8);
    bar->setAccessibleName(space.freeText());
    card->addWidget(bar);
    auto* text = textLabel(space.freeText(), Typography::Style::callout, QFont::Medium);
    text->setObjectName(QStringLiteral("freeText"));
    card->addWidget(text);
    if (space.total > 0 && space.free * 20 < space.total)
        card->addWidget(textLabel(QStringLiteral("Tovi jest prawie pełny. Usuń lub przenieś "
                                                 "obrazy, aby zrobić miejsce na nowe."),
                                  Typography::Style::subheadline, QFont::Normal, true));
    return room;
}

RoundThumbnail* DeviceContentsView::thumbnail(const QString& path, const DevicePicture& picture,
                                              int side) {
    auto* shown = new RoundThumbnail(side);
    if (picture.showable())
        m_pending.push_back({shown, path});
    else
        shown->setSymbol(picture.kind == DevicePicture::Kind::missing
                             ? QStringLiteral("xmark")
                             : QStringLiteral("exclamationmark.circle"));
    return shown;
}

QWidget* DeviceContentsView::albumCard(const DeviceContents::Album& album) {
    auto* section = new Card(album.name);
    section->setAccessibleName(album.name);
    auto* card = cardColumn(section);
    auto* top = new QHBoxLayout;
    top->addWidget(heading(album.name));
    top->addStretch(1);
    top->addWidget(textLabel(PolishCount::files(qint64(album.pictures.size())),
                             Typography::Style::subheadline, QFont::Normal, true));
    card->addLayout(top);
    if (album.pictures.empty())
        card->addWidget(textLabel(QStringLiteral("Album jest pusty."),
                                  Typography::Style::subheadline, QFont::Normal, true));
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(0);
    grid->setVerticalSpacing(8);
    // Two columns of one width, whatever the names: a long one is cut, not widening its column.
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    int index = 0;
    for (const DevicePicture& picture : album.pictures) {
        // The gap between the columns is inside the cells: an album of one picture has none.
        QWidget* cell = pictureRow(album.name, picture);
        cell->setContentsMargins(index % 2 ? 8 : 0, 0, index % 2 ? 0 : 8, 0);
        grid->addWidget(cell, index / 2, index % 2);
        ++index;
    }
    card->addLayout(grid);
    return section;
}

QWidget* DeviceContentsView::pictureRow(const QString& album, const DevicePicture& picture) {
    auto* row = new QWidget;
    row->setObjectName(album + QLatin1Char('/') + picture.name);
    row->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(10);
    // Paths only: the interface thread never waits for the device.
    line->addWidget(thumbnail(m_session.contents()->root + QLatin1Char('/') + album +
                                  QLatin1Char('/') + picture.name,
                              picture, 56));
    auto* texts = new QVBoxLayout;
    texts->setSpacing(1);
    // One line each, ending in "…" when cut; the whole text in the tooltip and for a reader.
    const QString about = picture.showable()
                              ? details(picture)
                              : details(picture) + QStringLiteral(" – Tovi go nie pokaże");
    auto* name = new ElidedLabel(picture.name);
    name->setObjectName(QStringLiteral("pictureName"));
    name->setFont(Typography::font(Typography::Style::body, QFont::Medium));
    name->setAccessibleName(picture.name);
    texts->addWidget(name);
    auto* detail = new ElidedLabel(about);
    detail->setFont(Typography::font(Typography::Style::subheadline));
    detail->setForegroundRole(QPalette::PlaceholderText);
    detail->setAccessibleName(about);
    texts->addWidget(detail);
    line->addLayout(texts, 1);

    auto* actions = new QToolButton;
    actions->setObjectName(QStringLiteral("actions"));
    actions->setAccessibleName(QStringLiteral("Działania: ") + picture.name);
    actions->setToolTip(QStringLiteral("Działania"));
    actions->setAutoRaise(true);
    actions->setPopupMode(QToolButton::InstantPopup);
    actions->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; }"));
    Theme::followWithIcon(actions, QStringLiteral("ellipsis.circle"), 18, 0.7);
    auto* menu = new QMenu(actions);
    const QString name_ = picture.name;
    connect(menu->addAction(QStringLiteral("Usuń z Tovi")), &QAction::triggered, this,
            [this, album, name_] { m_session.remove(album, name_); });
    for (const QString& other : albumNames)
        if (other != album)
            connect(menu->addAction(QStringLiteral("Przenieś do ") + other), &QAction::triggered,
                    this, [this, album, name_, other] { m_session.move(album, name_, other); });
    connect(menu->addAction(QStringLiteral("Zapisz na komputerze…")), &QAction::triggered, this,
            [this, album, name_] { save(album, name_); });
    actions->setMenu(menu);
    actions->setEnabled(!m_session.busy());
    line->addWidget(actions);
    return row;
}

QWidget* DeviceContentsView::cardsCard() {
    auto* section = new Card(QStringLiteral("Game1"));
    section->setAccessibleName(QStringLiteral("Game1"));
    auto* card = cardColumn(section);
    card->addWidget(heading(QStringLiteral("Game1: karty na Tovi")));
    auto* row = new QHBoxLayout;
    row->setSpacing(10);
    const DeviceContents& contents = *m_session.contents();
    for (const DevicePicture& picture : contents.cards) {
        auto* cell = new QVBoxLayout;
        cell->setSpacing(4);
        cell->addWidget(
            thumbnail(contents.root + QStringLiteral("/Game1/") + picture.name, picture, 72), 0,
            Qt::AlignHCenter);
        auto* label = textLabel(picture.name, Typography::Style::caption, QFont::Medium);
        label->setAlignment(Qt::AlignHCenter);
        label->setAccessibleName(picture.name + QStringLiteral(": ") + details(picture));
        label->setToolTip(details(picture));
        cell->addWidget(label);
        row->addLayout(cell);
    }
    row->addStretch(1);
    card->addLayout(row);
    return section;
}

QWidget* DeviceContentsView::backupsCard() {
    auto* section = new Card(QStringLiteral("backups"));
    section->setAccessibleName(QStringLiteral("Kopie zestawów"));
    auto* card = cardColumn(section);
    card->addWidget(heading(QStringLiteral("Kopie zestawów na komputerze")));
    const std::vector<BackupList::Entry>& backups = m_session.backups();
    if (backups.empty())
        card->addWidget(textLabel(QStringLiteral("Nie ma jeszcze kopii. Każde wysłanie kart "
                                                 "zachowuje najpierw zestaw, który był na Tovi."),
                                  Typography::Style::subheadline, QFont::Normal, true));
    bool first = true;
    for (const BackupList::Entry& entry : backups) {
        if (!std::exchange(first, false))
            card->addWidget(new Hairline);
        const QString date = PolishFormat::backupDate(entry.created);
        auto* top = new QHBoxLayout;
        auto* texts = new QVBoxLayout;
        texts->setSpacing(1);
        texts->addWidget(textLabel(date, Typography::Style::body, QFont::Medium));
        // A backup of a Game1 that lacked cards cannot be put back whole, and says so.
        const auto& names = Game1Installer::names();
        const auto present = std::count_if(names.begin(), names.end(), [&entry](const QString& n) {
            return QFileInfo::exists(entry.card(n));
        });
        const bool whole = present == std::ssize(names);
        const QString state =
            !entry.report.intact
                ? QStringLiteral("Uszkodzona: ") + entry.report.problems.join(QLatin1Char(' '))
            : whole        ? QStringLiteral("Sprawdzona: karty zgodne z manifestem.")
            : present == 0 ? QStringLiteral("Kopia pustego Game1: nie ma w niej kart.")
                           : QStringLiteral("Sprawdzona, ale niepełna: %1 z %2 kart.")
                                 .arg(present)
                                 .arg(names.size());
        texts->addWidget(textLabel(state, Typography::Style::subheadline, QFont::Normal, true));
        top->addLayout(texts, 1);
        auto* restoreButton =
            flat(QStringLiteral("Przywróć ten zestaw"), QStringLiteral("restore"), this);
        restoreButton->setAccessibleName(QStringLiteral("Przywróć zestaw z ") + date);
        restoreButton->setEnabled(whole && entry.report.intact && m_session.contents() &&
                                  !m_session.busy());
        connect(restoreButton, &QPushButton::clicked, this,
                [this, entry] { m_session.restore(entry); });
        top->addWidget(restoreButton, 0, Qt::AlignTop);
        card->addLayout(top);
        auto* cards = new QHBoxLayout;
        cards->setSpacing(6);
        for (const QString& name : Game1Installer::names()) {
            DevicePicture picture;
            picture.kind = QFileInfo::exists(entry.card(name)) ? DevicePicture::Kind::gif
                                                               : DevicePicture::Kind::missing;
            cards->addWidget(thumbnail(entry.card(name), picture, 40));
        }
        cards->addStretch(1);
        card->addLayout(cards);
    }
    return section;
}

} // namespace tovi

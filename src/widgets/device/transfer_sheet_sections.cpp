// The transfer sheet's look from its title to the place on the Tovi: each section's widgets,
// built once, restyled with the theme and refreshed from the sheet's state. The footer is in
// transfer_sheet_footer.cpp.

#include "transfer_sheet.h"

#include "device/device_layout.h"
#include "shell/controls.h"
#include "shell/sheet_parts.h"
#include "shell/theme.h"

#include <QButtonGroup>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace tovi {
namespace {

using SheetParts::Card;
using SheetParts::cardColumn;
using SheetParts::css;
using SheetParts::flatButton;
using SheetParts::flatButtonStyle;
using SheetParts::Hairline;
using SheetParts::heading;
using SheetParts::iconLabel;
using SheetParts::step;
using SheetParts::textLabel;
using SheetParts::withAlpha;

const QString headerSend = QStringLiteral("Wyślij na Tovi");
const QString headerDone = QStringLiteral("Gotowe");

QColor successColor() {
    return Theme::isDark() ? QColor(48, 209, 88) : QColor(40, 167, 69);
}

// The picture at the top: the preview clipped to the device's round screen, or a symbol on a
// tinted disc when there is no preview.
class Picture : public QWidget {
public:
    Picture() {
        setObjectName(QStringLiteral("picture"));
        setFixedSize(96, 96);
        setDecorative(this); // the title and summary beside it say what it shows
    }
    void display(const QImage& image, const QString& symbol) {
        m_image = image;
        m_symbol = symbol;
        setProperty("symbol", symbol);
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        const QRectF disc = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        if (m_symbol.isEmpty()) {
            QPainterPath clip;
            clip.addEllipse(disc);
            painter.setClipPath(clip);
            QSizeF source = m_image.size();
            source.scale(rect().size(), Qt::KeepAspectRatioByExpanding);
            QRectF target(QPointF(), source);
            target.moveCenter(disc.center());
            painter.drawImage(target, m_image);
            painter.setClipping(false);
            painter.setPen(QPen(Theme::primary(this, 0.12), 1));
            painter.setBrush(Qt::NoBrush);
            painter.drawEllipse(disc);
            return;
        }
        painter.setPen(Qt::NoPen);
        painter.setBrush(withAlpha(StudioStyle::accent(), Theme::isDark() ? 0.16 : 0.12));
        painter.drawEllipse(disc);
        const int size = 42;
        painter.drawPixmap((width() - size) / 2, (height() - size) / 2,
                           Icons::pixmap(m_symbol, StudioStyle::accent(), size));
    }

private:
    QImage m_image;
    QString m_symbol;
};

// The device album picker: checkable buttons in an exclusive group on a rounded track.
QWidget* segments() {
    auto* track = new SheetParts::Band(
        [](const QWidget* band) { return Theme::primary(band, Theme::isDark() ? 0.1 : 0.07); }, 8);
    track->setObjectName(QStringLiteral("albumChoice"));
    auto* row = new QHBoxLayout(track);
    row->setContentsMargins(2, 2, 2, 2);
    row->setSpacing(2);
    return track;
}

} // namespace

void ToviTransferSheet::build() {
    const SheetParts::Skeleton parts = SheetParts::buildSheet(
        this, headerSend, {520, 640},
        {.headerTop = 14, .headerBottom = 6, .bodyTop = 6, .bodyBottom = 10, .body = 10});
    buildTitleBar(parts.header, parts.title);
    parts.body->addLayout(buildPreviewHeader());
    parts.body->addWidget(buildStatusCard());
    parts.body->addWidget(buildConnectionCard());
    parts.body->addWidget(buildDestinationCard());
    parts.body->addStretch(1);
    m_body = parts.body;

    // The footer: the error next to the button that retries, then progress while the model
    // works, otherwise the buttons.
    parts.footer->setSpacing(4);
    parts.footer->addWidget(buildErrorLine());
    parts.footer->addSpacing(6);
    parts.footer->addWidget(buildProgress());
    buildButtons(parts.footer);
}

// The title centred over the sheet, the close button at the right.
void ToviTransferSheet::buildTitleBar(QHBoxLayout* header, QLabel* title) {
    m_headerTitle = title;
    m_headerTitle->setFont(Typography::font(Typography::Style::headline, QFont::DemiBold));
    m_headerTitle->setObjectName(QStringLiteral("headerTitle"));
    m_headerTitle->setAlignment(Qt::AlignCenter);
    m_close = new QToolButton;
    m_close->setObjectName(QStringLiteral("close"));
    m_close->setAccessibleName(QStringLiteral("Zamknij"));
    m_close->setToolTip(QStringLiteral("Zamknij"));
    m_close->setFixedSize(28, 28);
    m_close->setCursor(Qt::PointingHandCursor);
    connect(m_close, &QToolButton::clicked, this, &QDialog::reject);
    header->insertSpacing(0, 28);
    header->addWidget(m_close);
}

// The picture beside the title and the opener's summary.
QLayout* ToviTransferSheet::buildPreviewHeader() {
    auto* hero = new QHBoxLayout;
    hero->setSpacing(18);
    hero->setContentsMargins(0, 0, 0, 2);
    m_picture = new Picture;
    hero->addWidget(m_picture, 0, Qt::AlignVCenter);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(4);
    titles->addStretch(1);
    m_title = textLabel({}, Typography::Style::title2, QFont::Bold);
    m_title->setObjectName(QStringLiteral("title"));
    m_summaryLabel = textLabel({}, Typography::Style::callout, QFont::Normal, true);
    m_summaryLabel->setObjectName(QStringLiteral("summary"));
    titles->addWidget(m_title);
    titles->addWidget(m_summaryLabel);
    titles->addStretch(1);
    hero->addLayout(titles, 1);
    return hero;
}

// The verified result and what to do next.
QWidget* ToviTransferSheet::buildStatusCard() {
    m_success = new Card(QStringLiteral("success"));
    m_success->setAccessibleName(QStringLiteral("Zapis zweryfikowany"));
    setAlert(m_success);
    auto* card = cardColumn(m_success);
    m_successIcon = iconLabel(QStringLiteral("successIcon"));
    card->addLayout(
        heading(m_successIcon, textLabel(QStringLiteral("Zapis zweryfikowany"),
                                         Typography::Style::headline, QFont::DemiBold)));
    card->addWidget(step(1, QStringLiteral("Zakończ połączenie z dyskiem w menedżerze plików.")));
    // Or let the sheet do it, when UDisks2 knows the drive; lined up under the step's text.
    m_ejectRow = new QWidget;
    m_ejectRow->setObjectName(QStringLiteral("ejectRow"));
    auto* row = new QHBoxLayout(m_ejectRow);
    row->setContentsMargins(20, 0, 0, 0);
    row->setSpacing(8);
    m_eject = flatButton(QStringLiteral("Wysuń dysk"), QStringLiteral("eject"));
    connect(m_eject, &QPushButton::clicked, this, &ToviTransferSheet::ejectDrive);
    row->addWidget(m_eject);
    m_ejecting = new QWidget;
    m_ejecting->setObjectName(QStringLiteral("ejecting"));
    auto* working = new QHBoxLayout(m_ejecting);
    working->setContentsMargins(12, 0, 0, 0);
    working->setSpacing(8);
    auto* spinner = new Spinner(16);
    spinner->setObjectName(QStringLiteral("ejectSpinner"));
    working->addWidget(spinner);
    working->addWidget(
        textLabel(QStringLiteral("Wysuwam dysk…"), Typography::Style::callout, QFont::Normal));
    row->addWidget(m_ejecting);
    m_ejected = textLabel(QStringLiteral("Można bezpiecznie odłączyć Tovi."),
                          Typography::Style::callout, QFont::DemiBold);
    m_ejected->setObjectName(QStringLiteral("ejected"));
    m_ejected->setContentsMargins(12, 0, 0, 0);
    row->addWidget(m_ejected, 1);
    row->addStretch(0); // keeps the button at its own width
    card->addWidget(m_ejectRow);
    card->addWidget(step(2, QStringLiteral("Wróć do słuchania"),
                         m_kind == ToviTransferKind::artwork
                             ? QStringLiteral("Przełącz Tovi na DAC i otwórz wybrany album "
                                              "przyciskiem Vista.")
                             : QStringLiteral("Przełącz Tovi na DAC i otwórz Game1, aby "
                                              "losować karty.")));
    return m_success;
}

QWidget* ToviTransferSheet::connectionSteps() {
    auto* steps = new QWidget;
    steps->setObjectName(QStringLiteral("connectionSteps"));
    auto* column = new QVBoxLayout(steps);
    column->setContentsMargins(0, 2, 0, 0);
    column->setSpacing(10);
    column->addWidget(step(1, QStringLiteral("Podłącz Tovi przez USB")));
    column->addWidget(step(2, QStringLiteral("W menu urządzenia ustaw USB Mode → Photo Sync.")));
    column->addWidget(step(3, QStringLiteral("W oknie wyboru otwórz dysk urządzenia (często NO "
                                             "NAME) i zatwierdź jego główny folder. "
                                             "Zapamiętamy ten wybór.")));
    auto* note = textLabel(QStringLiteral("Dysk musi być dostępny w menedżerze plików. Jeśli "
                                          "wybrany wcześniej dysk zniknął, podłącz go "
                                          "ponownie lub wskaż jeszcze raz."),
                           Typography::Style::subheadline, QFont::Normal, true);
    note->setObjectName(QStringLiteral("connectionNote"));
    column->addWidget(note);
    return steps;
}

// Whether the Tovi is reachable, and how to connect it when it is not.
QWidget* ToviTransferSheet::buildConnectionCard() {
    auto* connection = new Card(QStringLiteral("connection"));
    auto* card = cardColumn(connection);
    m_connectionIcon = iconLabel(QStringLiteral("connectionIcon"));
    m_connectionHeader = textLabel({}, Typography::Style::headline, QFont::DemiBold);
    m_connectionHeader->setObjectName(QStringLiteral("connectionHeader"));
    m_connectionPath = textLabel({}, Typography::Style::subheadline, QFont::Normal, true);
    m_connectionPath->setObjectName(QStringLiteral("connectionPath"));
    m_connectionPath->setWordWrap(false);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(1);
    texts->addWidget(m_connectionHeader);
    texts->addWidget(m_connectionPath);
    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    row->addWidget(m_connectionIcon, 0, Qt::AlignTop);
    row->addLayout(texts, 1);
    m_contents = flatButton(QStringLiteral("Na Tovi…"), QStringLiteral("contents"));
    m_contents->setAccessibleName(QStringLiteral("Na Tovi: co jest na urządzeniu"));
    connect(m_contents, &QPushButton::clicked, this, &ToviTransferSheet::openContents);
    row->addWidget(m_contents, 0, Qt::AlignTop);
    card->addLayout(row);
    m_connectionSteps = connectionSteps();
    card->addWidget(m_connectionSteps);
    return connection;
}

// Where on the device the result goes: an album for a graphic, Game1 for cards.
QWidget* ToviTransferSheet::buildDestinationCard() {
    auto* destination = new Card(QStringLiteral("destination"));
    auto* card = cardColumn(destination);
    card->addWidget(
        textLabel(QStringLiteral("Miejsce na Tovi"), Typography::Style::headline, QFont::DemiBold));
    if (m_kind == ToviTransferKind::artwork)
        buildAlbumPlace(card);
    else
        buildCardsPlace(card);
    return destination;
}

// The album the graphic goes into: shown when the chosen folder is one, chosen otherwise.
void ToviTransferSheet::buildAlbumPlace(QVBoxLayout* card) {
    m_albumRow = new QWidget;
    m_albumRow->setObjectName(QStringLiteral("albumRow"));
    auto* row = new QHBoxLayout(m_albumRow);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(textLabel(QStringLiteral("Album"), Typography::Style::body, QFont::Normal));
    m_albumValue = textLabel({}, Typography::Style::body, QFont::Medium, true);
    m_albumValue->setObjectName(QStringLiteral("albumValue"));
    m_albumValue->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    row->addWidget(m_albumValue);
    card->addWidget(m_albumRow);

    m_albumChoice = new QWidget;
    auto* choiceRow = new QHBoxLayout(m_albumChoice);
    choiceRow->setContentsMargins(0, 0, 0, 0);
    auto* choiceTitle =
        textLabel(QStringLiteral("Album na urządzeniu"), Typography::Style::body, QFont::Normal);
    choiceTitle->setWordWrap(false);
    choiceRow->addWidget(choiceTitle);
    choiceRow->addStretch(1);
    QWidget* track = segments();
    m_albumGroup = new QButtonGroup(track);
    m_albumGroup->setExclusive(true);
    const QStringList& albums = DeviceLayout::albumNames();
    for (qsizetype i = 0; i < albums.size(); ++i) {
        auto* option = new QToolButton;
        const QString label = QStringLiteral("Album %1").arg(i + 1);
        option->setText(label);
        option->setAccessibleName(label);
        option->setObjectName(albums[i]);
        option->setCheckable(true);
        option->setCursor(Qt::PointingHandCursor);
        option->setFont(Typography::font(Typography::Style::callout, QFont::Medium));
        m_albumGroup->addButton(option);
        track->layout()->addWidget(option);
        connect(option, &QToolButton::clicked, this,
                [this, album = albums[i]] { pickAlbum(album); });
    }
    track->setAccessibleName(choiceTitle->text());
    makeRadioGroup(track, m_albumGroup);
    choiceRow->addWidget(track);
    card->addWidget(m_albumChoice);

    m_albumNote = textLabel({}, Typography::Style::subheadline, QFont::Normal, true);
    m_albumNote->setObjectName(QStringLiteral("albumNote"));
    card->addWidget(m_albumNote);
}

// The six cards of Game1, and the copy kept of the set they replace.
void ToviTransferSheet::buildCardsPlace(QVBoxLayout* card) {
    auto* set =
        textLabel(QStringLiteral("Losowane karty · Game1"), Typography::Style::body, QFont::Normal);
    set->setObjectName(QStringLiteral("setRow"));
    card->addWidget(set);
    card->addWidget(textLabel(QStringLiteral("Podmienimy sześć kart. Photo, Game2 i "
                                             "Game3 pozostają bez zmian."),
                              Typography::Style::subheadline, QFont::Normal, true));
    card->addSpacing(2);
    card->addWidget(new Hairline);
    auto* backup = new QWidget;
    backup->setObjectName(QStringLiteral("backupNote"));
    auto* row = new QHBoxLayout(backup);
    row->setContentsMargins(0, 2, 0, 0);
    row->setSpacing(8);
    m_backupIcon = iconLabel(QStringLiteral("backupIcon"));
    row->addWidget(m_backupIcon, 0, Qt::AlignTop);
    row->addWidget(textLabel(QStringLiteral("Przed podmianą sześciu kart zachowamy kopię "
                                            "obecnego zestawu. Zapis zostanie sprawdzony."),
                             Typography::Style::subheadline, QFont::Normal),
                   1);
    card->addWidget(backup);
}

// Everything drawn from the palette that a stylesheet or a pixmap has to carry, section by
// section; then what each shows.
void ToviTransferSheet::restyle() {
    restyleTitleBar();
    restyleBody();
    restyleStatus();
    restyleDestination();
    restyleError();
    restyleProgress();
    restyleButtons();
    refresh();
}

void ToviTransferSheet::restyleTitleBar() {
    const bool dark = Theme::isDark();
    m_close->setStyleSheet(QStringLiteral("QToolButton { background: %1; border: none;"
                                          " border-radius: 14px; }"
                                          "QToolButton:hover { background: %2; }"
                                          "QToolButton:pressed { background: %3; }")
                               .arg(css(Theme::primary(this, dark ? 0.1 : 0.06)),
                                    css(Theme::primary(this, dark ? 0.16 : 0.1)),
                                    css(Theme::primary(this, dark ? 0.22 : 0.15))));
    m_close->setIcon(Icons::icon(QStringLiteral("xmark"), Theme::secondary(this), 12));
    m_close->setIconSize({12, 12});
}

void ToviTransferSheet::restyleBody() {
    if (auto* scroll = findChild<QScrollArea*>(QStringLiteral("body")))
        scroll->verticalScrollBar()->setStyleSheet(
            QStringLiteral("QScrollBar:vertical { background: transparent; width: 10px;"
                           " margin: 2px 3px 2px 1px; }"
                           "QScrollBar::handle:vertical { background: %1; border-radius: 3px;"
                           " min-height: 32px; }"
                           "QScrollBar::handle:vertical:hover { background: %2; }"
                           "QScrollBar::add-line, QScrollBar::sub-line { height: 0; }"
                           "QScrollBar::add-page, QScrollBar::sub-page { background: none; }")
                .arg(css(Theme::primary(this, 0.22)), css(Theme::primary(this, 0.35))));
}

void ToviTransferSheet::restyleStatus() {
    m_successIcon->setPixmap(
        Icons::pixmap(QStringLiteral("checkmark.circle.fill"), successColor(), 18));
    m_eject->setStyleSheet(flatButtonStyle(this));
    m_eject->setIcon(Icons::icon(QStringLiteral("arrow.up.right"), StudioStyle::accent(), 14));
}

void ToviTransferSheet::restyleDestination() {
    const bool dark = Theme::isDark();
    if (m_albumGroup) {
        const QString segment =
            QStringLiteral("QToolButton { background: transparent; color: %1; border: none;"
                           " border-radius: 6px; padding: 4px 12px; }"
                           "QToolButton:hover:!checked { background: %2; }"
                           "QToolButton:checked { background: %3; border: 1px solid %4; }"
                           "QToolButton:disabled { color: %5; }")
                .arg(css(Theme::primary(this)), css(Theme::primary(this, 0.05)),
                     palette().color(QPalette::Light).name(),
                     css(Theme::primary(this, dark ? 0.06 : 0.1)), css(Theme::primary(this, 0.35)));
        for (QAbstractButton* option : m_albumGroup->buttons())
            option->setStyleSheet(segment);
    }
    if (m_backupIcon)
        m_backupIcon->setPixmap(
            Icons::pixmap(QStringLiteral("clock.arrow.circlepath"), Theme::secondary(this), 16));
}

void ToviTransferSheet::refresh() {
    // The outcome is said as it appears.
    const bool succeeded = m_complete && m_success->isHidden();
    const bool failed =
        !m_error.isEmpty() && (m_errorLine->isHidden() || m_error != m_errorText->text());
    refreshHeader();
    refreshStatus();
    refreshConnection();
    refreshDestination();
    refreshError();
    if (succeeded)
        announce(m_success);
    if (failed)
        announce(m_errorLine);
    refreshProgress();
    refreshButtons();
}

void ToviTransferSheet::refreshHeader() {
    m_headerTitle->setText(m_complete ? headerDone : headerSend);
    QString title;
    switch (m_kind) {
    case ToviTransferKind::artwork:
        title = QStringLiteral("Twój ekran na Tovi");
        break;
    case ToviTransferKind::cards:
        title = QStringLiteral("Twój zestaw na Tovi");
        break;
    case ToviTransferKind::factory:
        title = QStringLiteral("Przywróć kostkę");
        break;
    }
    const QString done =
        m_doneTitle.isEmpty() ? QStringLiteral("Jest na Twoim Tovi.") : m_doneTitle;
    m_title->setText(m_complete ? done : title);
    m_summaryLabel->setText(m_summary);
    m_summaryLabel->setVisible(!m_summary.isEmpty());
    auto* picture = static_cast<Picture*>(m_picture);
    if (m_kind == ToviTransferKind::factory)
        picture->display({}, QStringLiteral("dice"));
    else if (m_preview.isNull())
        picture->display({}, QStringLiteral("photo"));
    else
        picture->display(m_preview, {});
}

void ToviTransferSheet::refreshStatus() {
    m_success->setVisible(m_complete);
    m_ejectRow->setVisible(m_ejectState == EjectState::offered ||
                           m_ejectState == EjectState::ejecting ||
                           m_ejectState == EjectState::ejected);
    m_eject->setVisible(m_ejectState == EjectState::offered);
    m_eject->setEnabled(!m_busy);
    m_ejecting->setVisible(m_ejectState == EjectState::ejecting);
    m_ejected->setVisible(m_ejectState == EjectState::ejected);
}

void ToviTransferSheet::refreshConnection() {
    m_connectionHeader->setText(m_ready ? QStringLiteral("Tovi gotowy do zapisu")
                                        : QStringLiteral("Połącz swój Tovi"));
    m_connectionIcon->setPixmap(
        m_ready ? Icons::pixmap(QStringLiteral("checkmark.circle.fill"), successColor(), 18)
                : Icons::pixmap(QStringLiteral("cable.connector"), StudioStyle::accent(), 18));
    m_connectionPath->setVisible(m_ready);
    m_connectionPath->setText(m_connectionPath->fontMetrics().elidedText(
        QDir::toNativeSeparators(m_destination), Qt::ElideMiddle, 400));
    m_connectionPath->setToolTip(m_destination);
    m_connectionSteps->setVisible(!m_ready);
    m_contents->setVisible(m_ready && !m_busy);
}

void ToviTransferSheet::refreshDestination() {
    if (m_kind != ToviTransferKind::artwork)
        return;
    const QString folder = DeviceLayout::lastComponent(m_destination);
    const bool albumFolder =
        !m_destination.isEmpty() && DeviceLayout::albumNames().contains(folder);
    m_albumRow->setVisible(albumFolder);
    m_albumValue->setText(QStringLiteral("Album ") + folder.right(1));
    m_albumChoice->setVisible(!albumFolder);
    m_albumNote->setText(
        albumFolder ? QStringLiteral("Połącz cały dysk Tovi, aby wybierać spośród trzech albumów.")
                    : QStringLiteral("Dodamy nowy plik. Twoje obecne grafiki zostają w albumie."));
    // An album outside the three leaves every option unchecked.
    m_albumGroup->setExclusive(false);
    for (QAbstractButton* option : m_albumGroup->buttons())
        option->setChecked(option->objectName() == m_album);
    m_albumGroup->setExclusive(true);
    for (QAbstractButton* option : m_albumGroup->buttons())
        option->setEnabled(!m_busy);
}

} // namespace tovi

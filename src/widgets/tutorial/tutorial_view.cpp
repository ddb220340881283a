#include "tutorial_view.h"

#include "app/resource_bundle.h"
#include "app/settings.h"
#include "media/image_source.h"
#include "shell/controls.h"
#include "shell/device_preview.h"
#include "shell/editor_tool.h"
#include "shell/sheet_parts.h"
#include "shell/theme.h"
#include "shell/url_opener.h"
#include "shell/work_area.h"
#include "tutorial/tutorial_animated_device.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRandomGenerator>
#include <QStackedWidget>
#include <QToolButton>
#include <QUrlQuery>
#include <QVBoxLayout>
#include <algorithm>

namespace tovi {
namespace {

const QString factoryChoice = QStringLiteral("Fabrycznie");
const QString yoursChoice = QStringLiteral("Po Twojemu");

using SheetParts::css;
using SheetParts::textLabel;
using SheetParts::withAlpha;

// A card with its content in a column.
class Card : public SheetParts::Card {
public:
    Card() {
        auto* column = new QVBoxLayout(this);
        column->setContentsMargins(18, 14, 18, 16);
        column->setSpacing(10);
    }
    QVBoxLayout* column() const { return static_cast<QVBoxLayout*>(layout()); }
    // When the card is taller than its content, the content sits in the middle.
    void centre() {
        column()->insertStretch(0, 1);
        column()->addStretch(1);
    }
};

using Divider = SheetParts::Hairline;

// A symbol drawn from the palette when painted, so it follows the theme by itself.
class Symbol : public QWidget {
public:
    enum class Tint { accent, secondary };
    Symbol(QString name, int size, Tint tint, bool disc = false)
        : m_name(std::move(name))
        , m_size(size)
        , m_tint(tint)
        , m_disc(disc) {
        setFixedSize(disc ? size * 2 : size, disc ? size * 2 : size);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QColor tint = m_tint == Tint::accent ? StudioStyle::accent() : Theme::secondary(this);
        if (m_disc) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(withAlpha(StudioStyle::accent(), Theme::isDark() ? 0.18 : 0.12));
            painter.drawEllipse(QRectF(rect()));
        }
        painter.drawPixmap((width() - m_size) / 2, (height() - m_size) / 2,
                           Icons::pixmap(m_name, tint, m_size, devicePixelRatioF()));
    }

private:
    QString m_name;
    int m_size;
    Tint m_tint;
    bool m_disc;
};

// The four page dots; the current one in the accent colour.
class PageDots : public QWidget {
public:
    static constexpr int dot = 7;
    static constexpr int gap = 7;
    PageDots() {
        setFixedSize(StudioTutorialView::stepCount * (dot + gap) - gap, dot + 4);
        setObjectName(QStringLiteral("pageDots"));
    }
    void setCurrent(int step) {
        m_current = step;
        setAccessibleName(
            QStringLiteral("Krok %1 z %2").arg(step + 1).arg(StudioTutorialView::stepCount));
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        for (int i = 0; i < StudioTutorialView::stepCount; ++i) {
            painter.setBrush(i == m_current ? StudioStyle::accent()
                                            : Theme::primary(this, Theme::isDark() ? 0.3 : 0.22));
            painter.drawEllipse(QRectF(i * (dot + gap), (height() - dot) / 2.0, dot, dot));
        }
    }

private:
    int m_current = 0;
};

// One of the editor's tools as a non-interactive chip: its symbol and title on a tinted pill.
class ToolChip : public QWidget {
public:
    explicit ToolChip(EditorTool tool) {
        setObjectName(QStringLiteral("tool"));
        setAccessibleName(rawValue(tool));
        auto* row = new QHBoxLayout(this);
        row->setContentsMargins(10, 5, 12, 5);
        row->setSpacing(6);
        row->addWidget(new Symbol(symbol(tool), 14, Symbol::Tint::accent));
        auto* title = new QLabel(rawValue(tool));
        title->setFont(Typography::font(Typography::Style::callout, QFont::Medium));
        row->addWidget(title);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(withAlpha(StudioStyle::accent(), Theme::isDark() ? 0.16 : 0.1));
        painter.drawRoundedRect(QRectF(rect()), height() / 2.0, height() / 2.0);
    }
};

QLabel* centred(QLabel* label) {
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    return label;
}

QPushButton* button(const QString& text, const QString& name, Typography::Style style,
                    QFont::Weight weight = QFont::Normal) {
    auto* button = new QPushButton(text);
    button->setObjectName(name);
    button->setAccessibleName(text);
    button->setAutoDefault(false);
    button->setCursor(Qt::PointingHandCursor);
    button->setFont(Typography::font(style, weight));
    return button;
}

// "Porównanie" and its two choices, centred over the device picture.
QHBoxLayout* comparisonRow(SegmentedControl* choice) {
    choice->setAccessibleName(QStringLiteral("Porównanie"));
    choice->setFixedWidth(250);
    auto* row = new QHBoxLayout;
    row->setSpacing(10);
    row->addStretch(1);
    row->addWidget(
        textLabel(QStringLiteral("Porównanie"), Typography::Style::callout, QFont::Normal, true));
    row->addWidget(choice);
    row->addStretch(1);
    return row;
}

// A device picture with its captions under it, all centred.
QWidget* side(QWidget* device, const std::vector<QWidget*>& captions) {
    auto* widget = new QWidget;
    auto* column = new QVBoxLayout(widget);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(4);
    column->addWidget(device, 0, Qt::AlignHCenter);
    column->addSpacing(4);
    // Labels take the whole width so a caption never wraps early; buttons keep their size.
    for (QWidget* caption : captions)
        column->addWidget(caption, 0,
                          qobject_cast<QLabel*>(caption) ? Qt::Alignment() : Qt::AlignHCenter);
    column->addStretch(1);
    return widget;
}

QImage readFrame(const QString& path, bool last) {
    try {
        const std::unique_ptr<ImageSource> source = ImageSource::open(path);
        if (!source)
            return {};
        return source->frame(last ? std::max(source->frameCount() - 1, 0) : 0);
    } catch (const std::exception&) {
        // An unreadable example is treated like a missing one.
        return {};
    }
}

} // namespace

StudioTutorialView::StudioTutorialView(Settings& settings, std::function<void()> finish,
                                       QWidget* parent)
    : QDialog(parent)
    , m_finish(std::move(finish))
    , m_random([](int bound) { return QRandomGenerator::system()->bounded(bound); })
    , m_openLink([this](const QUrl& url) { UrlOpener::open(url, this); })
    , m_deviceColor(settings.string(Settings::caseColor, QStringLiteral("silver"))) {
    setWindowTitle(QStringLiteral("Jak to działa?"));
    setWindowModality(Qt::WindowModal);
    WorkArea::fitSheet(this, {650, 700});
    setAutoFillBackground(true);
    build();
    loadExamples();
    refresh();
    restyle();
}

StudioTutorialView::~StudioTutorialView() = default;

const QStringList& StudioTutorialView::titles() {
    static const QStringList titles{
        QStringLiteral("Fabryczne animacje? Teraz Twój ekran."),
        QStringLiteral("Kostka staje się Twoimi kartami."),
        QStringLiteral("Dopasuj, patrząc na Tovi."),
        QStringLiteral("Gotowe? Wyślij na Tovi."),
    };
    return titles;
}

const QStringList& StudioTutorialView::descriptions() {
    static const QStringList descriptions{
        QStringLiteral("Zamiast fabrycznej animacji możesz wyświetlać swoje zdjęcia, GIF-y lub "
                       "fragmenty filmów. W Studio wybierz Grafikę."),
        QStringLiteral("Zmieniamy zawartość kostki: sześć ścianek zastępujesz sześcioma "
                       "grafikami. Każde kliknięcie Tovi losuje jedną kartę, z możliwymi "
                       "powtórzeniami."),
        QStringLiteral("Kadr, obrót i podpis ustawisz w małych chmurkach. Podgląd urządzenia "
                       "pozostaje widoczny podczas regulacji."),
        QStringLiteral("Połącz Tovi tylko na czas wgrywania. Aplikacja prowadzi Cię przez zapis, "
                       "a potem wracasz do słuchania."),
    };
    return descriptions;
}

QUrl StudioTutorialView::makerPage() {
    QUrl url(QStringLiteral("https://duckduckgo.com/"));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("q"), QStringLiteral("Karvel Audio Tovi"));
    url.setQuery(query);
    return url;
}

void StudioTutorialView::build() {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(0);

    auto* header = new QHBoxLayout;
    header->setSpacing(8);
    m_header = textLabel({}, Typography::Style::caption, QFont::DemiBold, true);
    m_header->setObjectName(QStringLiteral("header"));
    m_header->setWordWrap(false);
    header->addWidget(m_header, 1);
    m_close = new QToolButton;
    m_close->setObjectName(QStringLiteral("close"));
    m_close->setAccessibleName(QStringLiteral("Zamknij samouczek"));
    m_close->setToolTip(QStringLiteral("Zamknij samouczek"));
    m_close->setAutoRaise(true);
    m_close->setCursor(Qt::PointingHandCursor);
    m_close->setFixedSize(28, 28);
    connect(m_close, &QToolButton::clicked, this, &StudioTutorialView::finishTutorial);
    header->addWidget(m_close);
    column->addLayout(header);
    column->addSpacing(10);
    column->addWidget(new Divider);
    column->addSpacing(16);

    m_title = textLabel({}, Typography::Style::title2, QFont::Bold);
    m_title->setObjectName(QStringLiteral("title"));
    column->addWidget(m_title);
    column->addSpacing(6);
    m_description = textLabel({}, Typography::Style::body, QFont::Normal, true);
    m_description->setObjectName(QStringLiteral("description"));
    column->addWidget(m_description);
    column->addSpacing(16);

    m_pages = new QStackedWidget;
    m_pages->addWidget(buildFactoryPage());
    m_pages->addWidget(buildDicePage());
    m_pages->addWidget(buildEditingPage());
    m_pages->addWidget(buildConnectionPage());
    column->addWidget(m_pages, 1);
    column->addSpacing(14);
    column->addWidget(new Divider);
    column->addSpacing(14);

    auto* footer = new QHBoxLayout;
    footer->setSpacing(10);
    auto* dots = new PageDots;
    m_dots = dots;
    footer->addWidget(m_dots);
    footer->addSpacing(8);
    m_skip = button(QStringLiteral("Pomiń · zacznij tworzyć"), QStringLiteral("skip"),
                    Typography::Style::caption);
    connect(m_skip, &QPushButton::clicked, this, &StudioTutorialView::finishTutorial);
    footer->addWidget(m_skip);
    footer->addStretch(1);
    m_back = button(QStringLiteral("Wstecz"), QStringLiteral("back"), Typography::Style::body);
    connect(m_back, &QPushButton::clicked, this, &StudioTutorialView::back);
    footer->addWidget(m_back);
    m_main = button({}, QStringLiteral("main"), Typography::Style::body, QFont::DemiBold);
    m_main->setDefault(true);
    m_main->setMinimumWidth(120);
    connect(m_main, &QPushButton::clicked, this, [this] {
        if (m_step < stepCount - 1)
            next();
        else
            finishTutorial();
    });
    footer->addWidget(m_main);
    column->addLayout(footer);
    m_main->setFocus();
}

QWidget* StudioTutorialView::buildFactoryPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("factoryPage"));
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);
    auto* card = new Card;
    m_factoryChoice = new SegmentedControl({factoryChoice, yoursChoice});
    connect(m_factoryChoice, &SegmentedControl::chosen, this,
            [this](int index) { setShowYours(index == 1); });
    card->column()->addLayout(comparisonRow(m_factoryChoice));

    auto* link = button(QStringLiteral("Materiał z oficjalnej strony Karvel Audio"),
                        QStringLiteral("makerLink"), Typography::Style::caption);
    link->setFlat(true);
    // The symbol trails the text, as links to outside pages do.
    link->setLayoutDirection(Qt::RightToLeft);
    link->setToolTip(makerPage().toString());
    setAccessibleRole(link, QAccessible::Link); // it opens a page: heard as a link
    connect(link, &QPushButton::clicked, this, [this] { m_openLink(makerPage()); });

    m_factorySides = new QStackedWidget;
    m_factorySides->addWidget(
        side(new TutorialAnimatedDevice(QStringLiteral("tutorial-karvel-panda"), m_deviceColor),
             {centred(textLabel(QStringLiteral("Panda — oryginalna animacja Karvel Audio"),
                                Typography::Style::callout, QFont::Medium)),
              link}));
    m_factorySides->addWidget(
        side(new TutorialAnimatedDevice(QStringLiteral("tutorial-your-example"), m_deviceColor),
             {centred(textLabel(QStringLiteral("Twój GIF na ekranie Tovi"),
                                Typography::Style::callout, QFont::Medium))}));
    card->column()->addWidget(m_factorySides);
    card->centre();
    column->addWidget(card, 1);
    return page;
}

QWidget* StudioTutorialView::buildDicePage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("dicePage"));
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);
    auto* card = new Card;
    m_diceChoice = new SegmentedControl({factoryChoice, yoursChoice});
    connect(m_diceChoice, &SegmentedControl::chosen, this,
            [this](int index) { setShowYours(index == 1); });
    card->column()->addLayout(comparisonRow(m_diceChoice));

    m_diceDevice = new DevicePreview;
    m_diceDevice->setObjectName(QStringLiteral("diceDevice"));
    m_diceDevice->setInteractive(false);
    m_diceDevice->setColor(m_deviceColor);
    m_diceDevice->setFixedSize(TutorialAnimatedDevice::pictureSize());
    m_diceCaption = centred(textLabel({}, Typography::Style::callout, QFont::Medium));
    m_diceCaption->setObjectName(QStringLiteral("diceCaption"));
    card->column()->addWidget(side(m_diceDevice, {m_diceCaption}));

    auto* note = centred(textLabel(
        QStringLiteral("Mechanizm losowania zostaje. Podmieniamy sześć obrazów, nie firmware."),
        Typography::Style::caption, QFont::Normal, true));
    card->column()->addWidget(note);

    auto* draws = new QHBoxLayout;
    draws->setSpacing(10);
    draws->addStretch(1);
    auto* roll = button(QStringLiteral("Rzuć kostką"), QStringLiteral("rollDice"),
                        Typography::Style::callout, QFont::Medium);
    connect(roll, &QPushButton::clicked, this, &StudioTutorialView::rollDice);
    draws->addWidget(roll);
    auto* draw = button(QStringLiteral("Wylosuj kartę"), QStringLiteral("drawCard"),
                        Typography::Style::callout, QFont::Medium);
    connect(draw, &QPushButton::clicked, this, &StudioTutorialView::drawCard);
    draws->addWidget(draw);
    draws->addStretch(1);
    card->column()->addLayout(draws);
    card->centre();
    column->addWidget(card, 1);
    return page;
}

QWidget* StudioTutorialView::buildEditingPage() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("editingPage"));
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);
    auto* card = new Card;
    card->column()->setSpacing(14);
    card->column()->addWidget(
        new TutorialAnimatedDevice(QStringLiteral("tutorial-your-example"), m_deviceColor), 0,
        Qt::AlignHCenter);
    auto* tools = new QHBoxLayout;
    tools->setSpacing(8);
    tools->addStretch(1);
    for (EditorTool tool : {EditorTool::crop, EditorTool::animation, EditorTool::caption})
        tools->addWidget(new ToolChip(tool));
    tools->addStretch(1);
    card->column()->addLayout(tools);
    card->column()->addWidget(centred(textLabel(
        QStringLiteral("Własny plik lub gotowa ilustracja z kolekcji — edytujesz je w tym samym "
                       "Studio."),
        Typography::Style::callout, QFont::Normal, true)));
    card->centre();
    column->addWidget(card, 1);
    return page;
}

QWidget* StudioTutorialView::buildConnectionPage() {
    struct Instruction {
        QString symbol;
        QString title;
        QString text;
    };
    const Instruction instructions[] = {
        {QStringLiteral("cable.connector"), QStringLiteral("USB → Photo Sync"),
         QStringLiteral("Podłącz Tovi przewodem i w jego menu wybierz USB Mode → Photo Sync.")},
        {QStringLiteral("arrow.up.right"), QStringLiteral("Wyślij ze Studio"),
         QStringLiteral("Za pierwszym razem wskaż główny folder dysku Tovi. Grafikę dodamy do "
                        "albumu; przed podmianą kart zachowamy kopię.")},
        {QStringLiteral("headphones"), QStringLiteral("Wysuń dysk → wróć do DAC"),
         QStringLiteral("Po sprawdzonym zapisie wysuń dysk, przełącz Tovi na DAC i otwórz album "
                        "lub losowane karty.")},
    };
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("connectionPage"));
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(14);
    auto* card = new Card;
    card->column()->setContentsMargins(22, 18, 22, 18);
    card->column()->setSpacing(18);
    bool first = true;
    for (const Instruction& instruction : instructions) {
        if (!first)
            card->column()->addWidget(new Divider);
        first = false;
        auto* row = new QHBoxLayout;
        row->setSpacing(14);
        row->addWidget(new Symbol(instruction.symbol, 18, Symbol::Tint::accent, true), 0,
                       Qt::AlignTop);
        auto* texts = new QVBoxLayout;
        texts->setSpacing(3);
        texts->addWidget(textLabel(instruction.title, Typography::Style::body, QFont::Bold));
        texts->addWidget(
            textLabel(instruction.text, Typography::Style::callout, QFont::Normal, true));
        row->addLayout(texts, 1);
        card->column()->addLayout(row);
    }
    column->addWidget(card);
    column->addWidget(centred(textLabel(
        QStringLiteral("Instrukcję zawsze otworzysz przyciskiem „Jak to działa?” w Studio."),
        Typography::Style::caption, QFont::Normal, true)));
    column->addStretch(1);
    return page;
}

void StudioTutorialView::finishTutorial() {
    if (m_finish)
        m_finish();
}

void StudioTutorialView::next() {
    if (m_step < stepCount - 1)
        setStep(m_step + 1);
}

void StudioTutorialView::back() {
    if (m_step > 0)
        setStep(m_step - 1);
}

void StudioTutorialView::setStep(int step) {
    m_step = step;
    // Each comparison opens on the factory side.
    m_showYours = false;
    loadExamples();
    refresh();
}

void StudioTutorialView::setShowYours(bool yours) {
    m_showYours = yours;
    refreshComparison();
}

void StudioTutorialView::rollDice() {
    m_dice = m_random(6) + 1;
    m_showYours = false;
    loadExamples();
}

void StudioTutorialView::drawCard() {
    m_card = m_random(6);
    m_showYours = true;
    loadExamples();
}

void StudioTutorialView::loadExamples() {
    const ResourceBundle bundle = ResourceBundle::main();
    if (const auto path = bundle.url(QStringLiteral("pack-listening-%1").arg(m_card + 1),
                                     QStringLiteral("jpg"))) {
        if (QImage image = readFrame(*path, false); !image.isNull())
            m_example = std::move(image);
    }
    // The factory dice animation stops on its last frame: that is the face.
    if (const auto path =
            bundle.url(QStringLiteral("original-game1-%1").arg(m_dice), QStringLiteral("gif"))) {
        if (QImage image = readFrame(*path, true); !image.isNull())
            m_factoryDice = std::move(image);
    }
    refreshComparison();
}

void StudioTutorialView::setRandom(Random random) {
    m_random = std::move(random);
}

void StudioTutorialView::setLinkOpener(LinkOpener opener) {
    m_openLink = std::move(opener);
}

void StudioTutorialView::refresh() {
    m_header->setText(
        QStringLiteral("FABRYCZNIE → PO TWOJEMU · %1 / %2").arg(m_step + 1).arg(stepCount));
    m_title->setText(titles()[m_step]);
    m_description->setText(descriptions()[m_step]);
    m_pages->setCurrentIndex(m_step);
    static_cast<PageDots*>(m_dots)->setCurrent(m_step);
    m_back->setVisible(m_step > 0);
    const QString main =
        m_step < stepCount - 1 ? QStringLiteral("Dalej") : QStringLiteral("Otwórz Studio");
    m_main->setText(main);
    m_main->setAccessibleName(main);
    refreshComparison();
}

void StudioTutorialView::refreshComparison() {
    const int side = m_showYours ? 1 : 0;
    m_factoryChoice->setCurrent(side);
    m_factorySides->setCurrentIndex(side);
    m_diceChoice->setCurrent(side);
    m_diceDevice->setImage(m_showYours ? m_example : m_factoryDice);
    m_diceCaption->setText(m_showYours ? QStringLiteral("Własna karta zamiast ścianki kostki")
                                       : QStringLiteral("Oryginalna kostka z Tovi"));
}

void StudioTutorialView::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        restyle();
}

// Everything drawn from the palette that a stylesheet or an icon has to carry.
void StudioTutorialView::restyle() {
    const QColor accent = StudioStyle::accent();
    const bool dark = Theme::isDark();

    m_close->setIcon(Icons::icon(QStringLiteral("xmark.circle.fill"),
                                 Theme::primary(this, dark ? 0.4 : 0.32), 22));
    m_close->setIconSize({22, 22});
    m_close->setStyleSheet(QStringLiteral("QToolButton { border: none; background: transparent; }"
                                          "QToolButton:hover { background: %1;"
                                          " border-radius: 14px; }")
                               .arg(css(Theme::primary(this, 0.06))));

    m_main->setStyleSheet(
        QStringLiteral(
            "QPushButton { background: %1; color: white; border: none; border-radius: 8px;"
            " padding: 7px 18px; }"
            "QPushButton:hover { background: %2; }"
            "QPushButton:pressed { background: %3; }")
            .arg(accent.name(), accent.lighter(108).name(), accent.darker(115).name()));

    // Bordered buttons: a faint fill with a hairline, as the desktop's secondary buttons.
    const QString bordered =
        QStringLiteral("QPushButton { background: %1; color: palette(window-text);"
                       " border: 1px solid %2; border-radius: 8px; padding: 6px 14px; }"
                       "QPushButton:hover { background: %3; }"
                       "QPushButton:pressed { background: %4; }")
            .arg(css(palette().color(QPalette::Button)),
                 css(Theme::primary(this, dark ? 0.14 : 0.12)),
                 css(Theme::primary(this, dark ? 0.1 : 0.05)),
                 css(Theme::primary(this, dark ? 0.16 : 0.1)));
    m_back->setStyleSheet(bordered);
    for (const QString& name : {QStringLiteral("rollDice"), QStringLiteral("drawCard")}) {
        auto* draw = findChild<QPushButton*>(name);
        draw->setStyleSheet(bordered);
        draw->setIcon(Icons::icon(name == QStringLiteral("rollDice") ? QStringLiteral("dice")
                                                                     : QStringLiteral("shuffle"),
                                  accent, 16));
    }

    // Plain buttons: text only, a faint fill under the pointer.
    const QString plain =
        QStringLiteral("QPushButton { background: transparent; color: %1; border: none;"
                       " border-radius: 6px; padding: 4px 8px; }"
                       "QPushButton:hover { background: %2; }"
                       "QPushButton:pressed { background: %3; }");
    m_skip->setStyleSheet(plain.arg(css(Theme::secondary(this)), css(Theme::primary(this, 0.05)),
                                    css(Theme::primary(this, 0.1))));
    auto* link = findChild<QPushButton*>(QStringLiteral("makerLink"));
    link->setStyleSheet(
        plain.arg(accent.name(), css(withAlpha(accent, 0.08)), css(withAlpha(accent, 0.15))));
    link->setIcon(Icons::icon(QStringLiteral("arrow.up.right"), accent, 12));
    link->setIconSize({12, 12});
}

} // namespace tovi

// The tutorial's four pages, each a card under the title and the description.

#include "tutorial_view.h"

#include "shell/controls.h"
#include "shell/device_preview.h"
#include "shell/editor_tool.h"
#include "shell/sheet_parts.h"
#include "shell/theme.h"
#include "tutorial/tutorial_animated_device.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace tovi {
namespace {

using SheetParts::textLabel;
using SheetParts::withAlpha;

const QString factoryChoice = QStringLiteral("Fabrycznie");
const QString yoursChoice = QStringLiteral("Po Twojemu");

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

// One of the editor's tools as a non-interactive chip: its symbol and title on a tinted pill.
QWidget* toolChip(EditorTool tool) {
    auto* chip = new SheetParts::Band(
        [](const QWidget*) {
            return withAlpha(StudioStyle::accent(), Theme::isDark() ? 0.16 : 0.1);
        },
        SheetParts::Band::pill);
    chip->setObjectName(QStringLiteral("tool"));
    chip->setAccessibleName(rawValue(tool));
    auto* row = new QHBoxLayout(chip);
    row->setContentsMargins(10, 5, 12, 5);
    row->setSpacing(6);
    row->addWidget(new Symbol(symbol(tool), 14, Symbol::Tint::accent));
    auto* title = new QLabel(rawValue(tool));
    title->setFont(Typography::font(Typography::Style::callout, QFont::Medium));
    row->addWidget(title);
    return chip;
}

QLabel* centred(QLabel* label) {
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    return label;
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

} // namespace

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

    auto* link = SheetParts::flatButton(QStringLiteral("Materiał z oficjalnej strony Karvel Audio"),
                                        QStringLiteral("makerLink"), Typography::Style::caption,
                                        QFont::Normal);
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
    auto* roll = SheetParts::flatButton(QStringLiteral("Rzuć kostką"), QStringLiteral("rollDice"),
                                        Typography::Style::callout, QFont::Medium);
    connect(roll, &QPushButton::clicked, this, &StudioTutorialView::rollDice);
    draws->addWidget(roll);
    auto* draw = SheetParts::flatButton(QStringLiteral("Wylosuj kartę"), QStringLiteral("drawCard"),
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
        tools->addWidget(toolChip(tool));
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

} // namespace tovi

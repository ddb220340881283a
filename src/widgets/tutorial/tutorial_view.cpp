#include "tutorial_view.h"

#include "app/resource_bundle.h"
#include "app/settings.h"
#include "media/image_source.h"
#include "shell/controls.h"
#include "shell/device_preview.h"
#include "shell/sheet_parts.h"
#include "shell/theme.h"
#include "shell/url_opener.h"
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

using SheetParts::css;
using SheetParts::textLabel;
using SheetParts::withAlpha;

using Divider = SheetParts::Hairline;

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
    const SheetParts::Skeleton parts =
        SheetParts::buildSheet(this, QStringLiteral("Jak to działa?"), {650, 700},
                               {.headerTop = 20,
                                .headerBottom = 10,
                                .bodyTop = 0,
                                .bodyBottom = 0,
                                .body = 0,
                                .footerTop = 14,
                                .footerBottom = 20});
    parts.header->setSpacing(8);
    m_header = parts.title;
    m_header->setFont(Typography::font(Typography::Style::caption, QFont::DemiBold));
    m_header->setForegroundRole(QPalette::PlaceholderText);
    m_header->setObjectName(QStringLiteral("header"));
    m_header->setWordWrap(false);
    m_close = new QToolButton;
    m_close->setObjectName(QStringLiteral("close"));
    m_close->setAccessibleName(QStringLiteral("Zamknij samouczek"));
    m_close->setToolTip(QStringLiteral("Zamknij samouczek"));
    m_close->setAutoRaise(true);
    m_close->setCursor(Qt::PointingHandCursor);
    m_close->setFixedSize(28, 28);
    connect(m_close, &QToolButton::clicked, this, &StudioTutorialView::finishTutorial);
    parts.header->addWidget(m_close);

    QVBoxLayout* column = parts.body;
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

    parts.footer->addWidget(new Divider);
    parts.footer->addSpacing(14);
    auto* footer = new QHBoxLayout;
    footer->setSpacing(10);
    auto* dots = new PageDots;
    m_dots = dots;
    footer->addWidget(m_dots);
    footer->addSpacing(8);
    m_skip =
        SheetParts::flatButton(QStringLiteral("Pomiń · zacznij tworzyć"), QStringLiteral("skip"),
                               Typography::Style::caption, QFont::Normal);
    connect(m_skip, &QPushButton::clicked, this, &StudioTutorialView::finishTutorial);
    footer->addWidget(m_skip);
    footer->addStretch(1);
    m_back = SheetParts::flatButton(QStringLiteral("Wstecz"), QStringLiteral("back"),
                                    Typography::Style::body, QFont::Normal);
    connect(m_back, &QPushButton::clicked, this, &StudioTutorialView::back);
    footer->addWidget(m_back);
    m_main = SheetParts::flatButton({}, QStringLiteral("main"), Typography::Style::body,
                                    QFont::DemiBold);
    m_main->setDefault(true);
    m_main->setMinimumWidth(120);
    connect(m_main, &QPushButton::clicked, this, [this] {
        if (m_step < stepCount - 1)
            next();
        else
            finishTutorial();
    });
    footer->addWidget(m_main);
    parts.footer->addLayout(footer);
    m_main->setFocus();
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

#include "root_view.h"

#include "app/settings.h"
#include "app/studio_mode.h"
#include "app/tovi_error.h"
#include "device/contents_view.h"
#include "packs/collection_view.h"
#include "packs/own_packs.h"
#include "packs/packs_model.h"
#include "packs/packs_view.h"
#include "packs/starter_pack.h"
#include "shell/controls.h"
#include "shell/editor_workspace.h"
#include "shell/send_bar.h"
#include "shell/theme.h"
#include "shell/tool_buttons.h"
#include "studio/studio_model.h"
#include "studio/studio_view.h"
#include "tutorial/tutorial_view.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QDialog>
#include <QDropEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace tovi {
namespace {

bool isPackFile(const QString& file) {
    return file.endsWith(QStringLiteral(".tovipack"), Qt::CaseInsensitive);
}

// The pack file a drag brings, or nothing.
QString droppedPackFile(const QMimeData* data) {
    const QUrl url = data && data->hasUrls() ? data->urls().value(0) : QUrl();
    return url.isLocalFile() && isPackFile(url.toLocalFile()) ? url.toLocalFile() : QString();
}

// A borderless text-and-icon button of the window's header.
void headerLink(QToolButton* button, const QString& text, const QString& icon) {
    button->setText(text);
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setAutoRaise(true);
    button->setCursor(Qt::PointingHandCursor);
    Theme::followWithIcon(button, icon, 16, 0.8);
}

// Drawn over what a drag would drop on, while it would be taken: the accent's frame on a tint.
class DropHighlight : public QWidget {
public:
    explicit DropHighlight(QWidget* over)
        : QWidget(over) {
        setObjectName(QStringLiteral("dropHighlight"));
        setAttribute(Qt::WA_TransparentForMouseEvents); // the drop goes to what is beneath
        setDecorative(this);
    }
    // The one over `over`, if made.
    static QWidget* of(const QWidget* over) {
        return over->findChild<QWidget*>(QStringLiteral("dropHighlight"),
                                         Qt::FindDirectChildrenOnly);
    }
    // Shown over the whole of its parent, or hidden.
    static void set(QWidget* over, bool shown) {
        QWidget* highlight = of(over);
        if (!highlight && !shown)
            return;
        if (!highlight)
            highlight = new DropHighlight(over);
        if (shown) {
            highlight->setGeometry(over->rect());
            highlight->raise();
        }
        highlight->setVisible(shown);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QColor tint = StudioStyle::accent();
        tint.setAlphaF(0.08f);
        painter.setBrush(tint);
        painter.setPen(QPen(StudioStyle::accent(), 3));
        painter.drawRoundedRect(QRectF(rect()).adjusted(8, 8, -8, -8), 14, 14);
    }
};

const QString silver = QStringLiteral("silver");
const QString black = QStringLiteral("black");

// One case colour: a 20-point disc in a 32-point square, ringed in the accent when chosen.
class CaseSwatch : public QAbstractButton {
public:
    CaseSwatch(const QString& color, QWidget* parent = nullptr)
        : QAbstractButton(parent)
        , m_color(color) {
        setFixedSize(32, 32);
        setCursor(Qt::PointingHandCursor);
        setCheckable(true);
        setAccessibleRole(this, QAccessible::RadioButton);
        const bool dark = color == black;
        setAccessibleName(dark ? QStringLiteral("Czarna obudowa i ciemny motyw")
                               : QStringLiteral("Srebrna obudowa i jasny motyw"));
        setToolTip(dark ? QStringLiteral("Czarna obudowa · ciemny motyw")
                        : QStringLiteral("Srebrna obudowa · jasny motyw"));
    }
    const QString& color() const { return m_color; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        if (isChecked()) {
            QColor fill = StudioStyle::accent();
            fill.setAlphaF(0.16f);
            painter.setBrush(fill);
            painter.setPen(QPen(StudioStyle::accent(), 1.5));
            painter.drawRoundedRect(QRectF(rect()).adjusted(0.75, 0.75, -0.75, -0.75), 10, 10);
        }
        const double level = m_color == black ? 0.15 : 0.86;
        painter.setBrush(QColor::fromRgbF(float(level), float(level), float(level)));
        painter.setPen(QPen(Theme::primary(this, 0.25), 1));
        painter.drawEllipse(QRectF(6, 6, 20, 20));
        if (hasFocus()) {
            painter.setBrush(Qt::NoBrush);
            painter.setPen(QPen(StudioStyle::accent(), 1, Qt::DotLine));
            painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 10, 10);
        }
    }

private:
    QString m_color;
};

} // namespace

StudioRootView::StudioRootView(Settings& settings, QWidget* parent)
    : QWidget(parent)
    , m_settings(settings)
    , m_studio(std::make_unique<StudioModel>(settings))
    , m_packs(std::make_unique<PacksModel>(settings))
    , m_modeSwitch(
          new SegmentedControl({rawValue(StudioMode::artwork), rawValue(StudioMode::cards)}))
    , m_subtitle(new ElidedLabel)
    , m_caseSelector(new QWidget)
    , m_tutorialButton(new QToolButton)
    , m_screens(new QStackedWidget) {
    setWindowTitle(QStringLiteral("ToviStudio"));
    // Small enough for a 1366 × 768 laptop with a panel and a title bar, and for 1600 × 1100 at
    // 200 %; below the 1040 × 760 layout the preview shrinks and panels scroll.
    setMinimumSize(760, 480);
    setAutoFillBackground(true);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(28, 20, 28, 2);
    header->setSpacing(16);
    m_modeSwitch->setMaximumWidth(340);
    m_modeSwitch->setAccessibleName(QStringLiteral("Co chcesz przygotować?"));
    header->addWidget(m_modeSwitch);
    m_subtitle->setFont(Typography::font(Typography::Style::callout));
    m_subtitle->setForegroundRole(QPalette::PlaceholderText);
    header->addWidget(m_subtitle);
    header->addStretch(1);

    auto* swatches = new QHBoxLayout(m_caseSelector);
    swatches->setContentsMargins(0, 0, 0, 0);
    swatches->setSpacing(4);
    m_caseSelector->setAccessibleName(QStringLiteral("Obudowa"));
    auto* caseGroup = new QButtonGroup(m_caseSelector);
    for (const QString& color : {silver, black}) {
        auto* swatch = new CaseSwatch(color);
        connect(swatch, &QAbstractButton::clicked, this, [this, color] { setDeviceColor(color); });
        swatches->addWidget(swatch);
        caseGroup->addButton(swatch);
    }
    makeRadioGroup(m_caseSelector, caseGroup);
    header->addWidget(m_caseSelector);

    auto* contents = new QToolButton;
    contents->setObjectName(QStringLiteral("deviceContents"));
    contents->setAccessibleName(QStringLiteral("Na Tovi: co jest na urządzeniu"));
    contents->setToolTip(QStringLiteral("Co jest na Tovi: albumy, karty, miejsce i kopie"));
    headerLink(contents, QStringLiteral("Na Tovi"), QStringLiteral("photo.on.rectangle"));
    connect(contents, &QToolButton::clicked, this, &StudioRootView::showDeviceContents);
    header->addWidget(contents);

    auto* tutorial = static_cast<QToolButton*>(m_tutorialButton);
    headerLink(tutorial, QStringLiteral("Jak to działa?"), QStringLiteral("questionmark.circle"));
    connect(tutorial, &QToolButton::clicked, this, &StudioRootView::showTutorial);
    header->addWidget(tutorial);
    column->addLayout(header);

    m_studioView = new StudioView(*m_studio, settings, [this] { showCollection(); });
    m_packsView = new PacksView(*m_packs, settings, [this] { showCollection(); });
    m_screens->addWidget(m_studioView);
    m_screens->addWidget(m_packsView);
    m_studioView->installEventFilter(this);
    m_packsView->installEventFilter(this);
    column->addWidget(m_screens, 1);

    connect(m_modeSwitch, &SegmentedControl::chosen, this,
            [this](int index) { setMode(allStudioModes[size_t(index)]); });
    connect(m_studio.get(), &StudioModel::busyChanged, this, &StudioRootView::syncBusy);
    connect(m_packs.get(), &PacksModel::busyChanged, this, &StudioRootView::syncBusy);

    addShortcuts();
    // The screen it was left on; the studio and the cards bring back their own work.
    setMode(m_settings.string(Settings::screen) == rawValue(StudioMode::cards)
                ? StudioMode::cards
                : StudioMode::artwork);
    enterPressesToolButtons();
    applyTheme();
    syncBusy();
}

StudioRootView::~StudioRootView() = default;

// The keys of a Linux desktop program, named in the tooltips of what they press.
void StudioRootView::addShortcuts() {
    const auto add = [this](const QKeySequence& keys, std::function<void()> action) {
        auto* shortcut = new QShortcut(keys, this);
        connect(shortcut, &QShortcut::activated, this, std::move(action));
    };
    const auto named = [](const QString& text, const QKeySequence& keys) {
        return text + QStringLiteral(" (") + keys.toString(QKeySequence::NativeText) +
               QLatin1Char(')');
    };
    const QKeySequence open(Qt::CTRL | Qt::Key_O), send(Qt::CTRL | Qt::Key_Return),
        help(Qt::Key_F1), artwork(Qt::CTRL | Qt::Key_1), cards(Qt::CTRL | Qt::Key_2),
        quit(Qt::CTRL | Qt::Key_Q);
    add(open, [this] {
        if (m_mode == StudioMode::artwork)
            m_studioView->addMaterial();
        else
            m_packsView->addCardPicture();
    });
    const auto pressSend = [this] {
        QPushButton* button = m_mode == StudioMode::artwork ? m_studioView->sendBar()->button()
                                                            : m_packsView->sendBar()->button();
        if (button->isEnabled())
            button->click();
    };
    add(send, pressSend);
    add(QKeySequence(Qt::CTRL | Qt::Key_Enter), pressSend); // the keypad's Enter
    add(help, [this] { showTutorial(); });
    add(artwork, [this] { setMode(StudioMode::artwork); });
    add(cards, [this] { setMode(StudioMode::cards); });
    add(quit, [this] { window()->close(); });

    m_tutorialButton->setToolTip(named(QStringLiteral("Jak to działa?"), help));
    m_modeSwitch->segment(0)->setToolTip(named(rawValue(StudioMode::artwork), artwork));
    m_modeSwitch->segment(1)->setToolTip(named(rawValue(StudioMode::cards), cards));
    for (SendBar* bar : {m_studioView->sendBar(), m_packsView->sendBar()})
        bar->button()->setToolTip(named(bar->button()->text(), send));
    for (EditorWorkspace* workspace : {m_studioView->workspace(), m_packsView->workspace()})
        if (QAbstractButton* material = workspace->toolButtons()->button(EditorTool::material))
            material->setToolTip(named(rawValue(EditorTool::material), open));
}

void StudioRootView::showDeviceContents() {
    if (m_deviceContents)
        return;
    m_deviceContents = DeviceContentsView::openOver(m_settings, this);
}

QString StudioRootView::deviceColor() const {
    return m_settings.string(Settings::caseColor, silver);
}

QAbstractButton* StudioRootView::caseButton(const QString& color) const {
    for (auto* swatch : m_caseSelector->findChildren<CaseSwatch*>())
        if (swatch->color() == color)
            return swatch;
    return nullptr;
}

void StudioRootView::setMode(StudioMode mode) {
    if (m_studio->busy() || m_packs->busy()) {
        m_modeSwitch->setCurrent(m_mode == StudioMode::artwork ? 0 : 1);
        return;
    }
    if (mode != m_mode)
        m_settings.setString(Settings::screen, rawValue(mode));
    m_mode = mode;
    m_modeSwitch->setCurrent(mode == StudioMode::artwork ? 0 : 1);
    m_subtitle->setText(subtitle(mode));
    m_screens->setCurrentWidget(mode == StudioMode::artwork ? static_cast<QWidget*>(m_studioView)
                                                            : m_packsView);
}

void StudioRootView::setDeviceColor(const QString& color) {
    m_settings.setString(Settings::caseColor, color);
    applyTheme();
}

void StudioRootView::applyTheme() {
    const QString color = deviceColor();
    Theme::apply(StudioAppearance::isDark(color));
    for (auto* swatch : m_caseSelector->findChildren<CaseSwatch*>())
        swatch->setChecked(swatch->color() == color);
    m_studioView->setDeviceColor(color);
    m_packsView->setDeviceColor(color);
}

void StudioRootView::syncBusy() {
    m_modeSwitch->setEnabled(!m_studio->busy() && !m_packs->busy());
}

void StudioRootView::choose(const StarterPack& pack, int slot) {
    if (m_mode == StudioMode::artwork) {
        try {
            m_studio->importMedia(QUrl::fromLocalFile(pack.artwork(slot, ResourceBundle::main())));
        } catch (const ToviError& error) {
            m_studio->reportError(error.message());
        }
    } else {
        m_packs->selectPack(pack.id);
        m_packs->selectCard(slot);
    }
    if (m_collection)
        m_collection->close();
}

void StudioRootView::showTutorial() {
    if (m_tutorial)
        return;
    m_tutorial = new StudioTutorialView(
        m_settings, [this] { finishTutorial(); }, this);
    m_tutorial->setAttribute(Qt::WA_DeleteOnClose);
    m_tutorial->open();
}

void StudioRootView::finishTutorial() {
    m_settings.setInteger(Settings::tutorialVersion, 1);
    if (m_tutorial)
        m_tutorial->close();
}

void StudioRootView::showCollection() {
    if (m_collection)
        return;
    m_collection = new StudioCollectionView(
        m_packs->packs(), m_mode, [this](const StarterPack& pack, int slot) { choose(pack, slot); },
        m_packs->selectedID(), this);
    if (m_mode == StudioMode::cards)
        static_cast<StudioCollectionView*>(m_collection.data())
            ->offerOwnPacks(*m_packs, m_packsView->ownPacks());
    m_collection->setAttribute(Qt::WA_DeleteOnClose);
    // A pack file dropped on the sheet is imported as on the window, which then shows it.
    m_collection->setAcceptDrops(true);
    m_collection->installEventFilter(this);
    m_collection->open();
}

void StudioRootView::openFile(const QString& file) {
    const QString path = QFileInfo(file).absoluteFilePath();
    if (isPackFile(path)) {
        setMode(StudioMode::cards);
        m_packsView->ownPacks().importFile(path);
    } else {
        setMode(StudioMode::artwork);
        m_studioView->importFile(path);
    }
}

void StudioRootView::openFiles(const QStringList& files) {
    QStringList pictures;
    for (const QString& file : files) {
        if (isPackFile(file))
            openFile(file);
        else
            pictures << QFileInfo(file).absoluteFilePath();
    }
    if (pictures.size() == 1) {
        openFile(pictures.front());
    } else if (!pictures.isEmpty()) {
        setMode(StudioMode::artwork);
        m_studioView->importFiles(pictures);
    }
}

bool StudioRootView::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    auto* over = qobject_cast<QWidget*>(watched);
    if (over && (type == QEvent::DragLeave || type == QEvent::Drop))
        DropHighlight::set(over, false);
    if (over && type == QEvent::Resize)
        if (QWidget* highlight = DropHighlight::of(over))
            highlight->setGeometry(over->rect());
    if (over && (type == QEvent::DragEnter || type == QEvent::DragMove)) {
        const QMimeData* brought = static_cast<QDropEvent*>(event)->mimeData();
        const bool taken = !droppedPackFile(brought).isEmpty() ||
                           (watched == m_studioView && m_studioView->takesDrop(brought)) ||
                           (watched == m_packsView && m_packsView->takesDrop(brought));
        DropHighlight::set(over, taken);
    }
    if (type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop) {
        auto* drag = static_cast<QDropEvent*>(event);
        if (const QString file = droppedPackFile(drag->mimeData()); !file.isEmpty()) {
            drag->acceptProposedAction();
            if (type == QEvent::Drop) {
                if (m_collection && watched == m_collection.data())
                    m_collection->close();
                openFile(file);
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void StudioRootView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Offered each time the window is shown until the tutorial has been finished once.
    if (m_settings.integer(Settings::tutorialVersion, 0) < 1)
        showTutorial();
}

} // namespace tovi

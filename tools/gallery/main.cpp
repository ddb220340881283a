// The editor's pieces in light and dark, to look at and to screenshot. Not shipped.
//
//   tovi-gallery                   a window; the buttons at the top switch theme and page
//   tovi-gallery --screenshot DIR  writes gallery-<page>-<light|dark>.png and exits
//   tovi-gallery --screens DIR [CLIP]  the real window with a private home: the studio empty and
//                                  with CLIP loaded, the transfer sheet in each of its states,
//                                  "Na Tovi" and every step of the tutorial

#include "app/resource_bundle.h"
#include "app/settings.h"
#include "device/contents_view.h"
#include "device/transfer_sheet.h"
#include "media/media_error.h"
#include "packs/pack_renderer.h"
#include "packs/packs_model.h"
#include "packs/packs_view.h"
#include "packs/starter_pack.h"
#include "shell/crop_controls.h"
#include "shell/device_preview.h"
#include "shell/editor_workspace.h"
#include "shell/material_panel.h"
#include "shell/send_bar.h"
#include "shell/theme.h"
#include "studio/picture_row.h"
#include "studio/studio_model.h"
#include "studio/studio_view.h"
#include "tutorial/tutorial_animated_device.h"
#include "tutorial/tutorial_view.h"
#include "window/root_view.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDBusConnection>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QVBoxLayout>
#include <cstdio>
#include <memory>

using namespace tovi;

namespace {

// A picture like the studio's preview: a card of the first starter pack with its captions.
QImage samplePicture() {
    try {
        const auto packs = StarterPack::load(ResourceBundle::main());
        const StarterPack& pack = packs.front();
        PackCardEdit edit = PackCardEdit::defaults(&pack, 2);
        edit.captions = true;
        return PackRenderer::image(PackRenderer::original(pack.artwork(2, ResourceBundle::main())),
                                   edit, 2, 600);
    } catch (const std::exception&) {
        return {};
    }
}

struct Page {
    QString name;
    std::optional<EditorTool> tool;
    QString color;
    bool picture;
    bool rotating;
};

const std::vector<Page>& pages() {
    static const std::vector<Page> all{
        {QStringLiteral("crop"), EditorTool::crop, QStringLiteral("silver"), true, false},
        {QStringLiteral("material"), EditorTool::material, QStringLiteral("black"), false, false},
        {QStringLiteral("closed"), std::nullopt, QStringLiteral("silver"), true, true},
    };
    return all;
}

// One screen: the workspace with a preview and a send bar under it.
QWidget* screen(const Page& page) {
    auto* root = new QWidget;
    root->setAutoFillBackground(true);
    auto* column = new QVBoxLayout(root);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* context = new QLabel(QStringLiteral("wakacje.mp4 · 10,0 s · 1920 × 1080"));
    context->setForegroundRole(QPalette::PlaceholderText);
    auto* workspace = new EditorWorkspace(
        {EditorTool::crop, EditorTool::animation, EditorTool::caption},
        [] {
            return new MaterialPanel(
                new MaterialRow(QStringLiteral("Biblioteka zdjęć"),
                                QStringLiteral("photo.on.rectangle")),
                [] {}, [] {});
        },
        [](EditorTool tool) -> QWidget* {
            if (tool == EditorTool::crop) {
                auto* controls = new CropControls;
                controls->setCrop({1.5, -0.25, 0.1});
                return controls;
            }
            auto* label = new QLabel(rawValue(tool) + QStringLiteral(": ustawienia ekranu."));
            label->setWordWrap(true);
            return label;
        },
        context);
    workspace->setTitle(QStringLiteral("Grafika"));
    workspace->setSubtitle(QStringLiteral("Zdjęcie, GIF lub fragment filmu na Twój ekran."));
    workspace->setHint(page.picture
                           ? QStringLiteral("Przeciągnij obraz, aby przesunąć kadr. Rolka zmienia "
                                            "powiększenie.")
                           : QStringLiteral("Wybierz zdjęcie, GIF albo film, aby zacząć."));
    auto* preview = new DevicePreview;
    preview->setColor(page.color);
    preview->setInteractive(page.picture);
    if (page.picture)
        preview->setImage(samplePicture());
    PreviewTimeline::Settings animation;
    animation.rotating = page.rotating;
    preview->setAnimation(animation);
    workspace->setPreview(preview);
    workspace->setSelected(page.tool);
    column->addWidget(workspace, 1);

    auto* bar = new SendBar;
    bar->setTitle(QStringLiteral("GIF 240 × 240 · 4,0 s · 12 kl./s"));
    bar->setSubtitle(QStringLiteral("Zapis do Photo1 na dysku Tovi"));
    bar->setButton(QStringLiteral("Wyślij na Tovi"));
    bar->setDisabled(!page.picture);
    column->addWidget(bar);
    return root;
}

int screenshots(const QString& folder) {
    QDir().mkpath(folder);
    for (const bool dark : {false, true}) {
        Theme::apply(dark);
        for (const Page& page : pages()) {
            QWidget* widget = screen(page);
            widget->resize(1180, 850 - 28);
            widget->setAttribute(Qt::WA_DontShowOnScreen);
            widget->show();
            QApplication::processEvents();
            const QString file = QDir(folder).filePath(
                QStringLiteral("gallery-%1-%2.png")
                    .arg(page.name, dark ? QStringLiteral("dark") : QStringLiteral("light")));
            if (!widget->grab().save(file)) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
                return 1;
            }
            std::printf("%s\n", qPrintable(file));
            delete widget;
        }
    }
    return 0;
}

} // namespace

void save(QWidget* widget, const QString& folder, const QString& name) {
    const QString file = QDir(folder).filePath(name + QStringLiteral(".png"));
    widget->grab().save(file);
    std::printf("%s\n", qPrintable(file));
}

void settle(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
}

// The transfer sheet on its own, fed by hand through every state an opener can put it in.
void sheetScreens(Settings& settings, const QString& device, const QString& folder,
                  const QString& theme) {
    const QImage picture(ResourceBundle::main().folder() + QStringLiteral("/pack-morning-2.jpg"));
    std::unique_ptr<ToviTransferSheet> sheet;
    const auto open = [&](ToviTransferKind kind, const QString& destination) {
        ToviTransferActions actions;
        actions.chooseDestination = [&](const QString& chosen) { sheet->setDestination(chosen); };
        actions.clearError = [&] { sheet->setError({}); };
        actions.setAlbum = [&](const QString& album) { sheet->setAlbum(album); };
        actions.send = actions.exportFiles = actions.cancel = actions.stopWaiting = [] {};
        actions.reportError = [](const QString&) {};
        sheet = std::make_unique<ToviTransferSheet>(kind, settings, std::move(actions));
        sheet->setVolumeLister([] { return QStringList(); });
        sheet->setEjectBus(QDBusConnection(QStringLiteral("tovi-gallery-no-bus")), {});
        sheet->setDestination(destination);
        sheet->setAttribute(Qt::WA_DontShowOnScreen);
        sheet->show();
        settle(50);
    };
    const auto shot = [&](const QString& name) {
        settle(50);
        save(sheet.get(), folder, QStringLiteral("sheet-") + name + QLatin1Char('-') + theme);
    };
    const auto click = [&](const QString& text) {
        for (auto* button : sheet->findChildren<QAbstractButton*>())
            if (button->text() == text && button->isVisible())
                return button->click();
    };
    open(ToviTransferKind::artwork, {});
    sheet->setPreview(picture);
    sheet->setSummary(QStringLiteral("GIF 240 × 240 · 4,0 s · 12 kl./s"));
    shot(QStringLiteral("artwork-not-ready"));
    sheet->setError(MediaError(MediaError::invalidFolder).message());
    shot(QStringLiteral("artwork-error"));
    sheet->setError({});
    sheet->setDestination(device);
    shot(QStringLiteral("artwork-ready"));
    click(QStringLiteral("Wyślij grafikę"));
    sheet->setBusy(true);
    sheet->setProgress(7, 48);
    shot(QStringLiteral("artwork-busy"));
    sheet->setMessage(QStringLiteral("Zapisano do Photo1."));
    sheet->setBusy(false);
    shot(QStringLiteral("artwork-complete"));

    open(ToviTransferKind::cards, device);
    sheet->setSummary(QStringLiteral("Poranek · sześć kart"));
    shot(QStringLiteral("cards-ready"));
    click(QStringLiteral("Zachowaj kopię i wyślij zestaw"));
    sheet->setBusy(true);
    sheet->setMessage(QStringLiteral("Zapisano."));
    sheet->setBackup(device);
    sheet->setBusy(false);
    shot(QStringLiteral("cards-complete"));

    open(ToviTransferKind::factory, {});
    sheet->setSummary(QStringLiteral("Sześć kart z pudełka"));
    shot(QStringLiteral("factory-not-ready"));
    open(ToviTransferKind::artwork, device + QStringLiteral("/Photo2"));
    click(QStringLiteral("Zapisz plik bez podłączania Tovi"));
    sheet->setBusy(true);
    shot(QStringLiteral("artwork-exporting"));
    sheet->setFiles({device + QStringLiteral("/tovi.gif")});
    sheet->setBusy(false);
    shot(QStringLiteral("artwork-exported"));
}

// Every step of the tutorial, with the shipped animations.
void tutorialScreens(Settings& settings, const QString& folder, const QString& theme) {
    StudioTutorialView sheet(settings, [] {});
    sheet.setAttribute(Qt::WA_DontShowOnScreen);
    sheet.show();
    const auto shot = [&](const QString& name) {
        for (auto* device : sheet.findChildren<TutorialAnimatedDevice*>())
            while (device->isVisible() && !device->animation() && !device->failure())
                settle(50);
        settle(50);
        save(&sheet, folder, QStringLiteral("tutorial-") + name + QLatin1Char('-') + theme);
    };
    shot(QStringLiteral("step1"));
    sheet.setShowYours(true);
    shot(QStringLiteral("step1-yours"));
    sheet.next();
    shot(QStringLiteral("step2"));
    sheet.drawCard();
    shot(QStringLiteral("step2-yours"));
    sheet.next();
    shot(QStringLiteral("step3"));
    sheet.next();
    shot(QStringLiteral("step4"));
}

int screens(const QString& folder, const QString& clip) {
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral("data"))));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
    QDir().mkpath(folder);
    const QString device = home.filePath(QStringLiteral("NO NAME"));
    for (const QString& sub :
         {QStringLiteral("Photo1"), QStringLiteral("Photo2"), QStringLiteral("Photo3"),
          QStringLiteral("Game1"), QStringLiteral("Game2"), QStringLiteral("Game3")})
        QDir().mkpath(device + QLatin1Char('/') + sub);
    Settings settings;
    settings.setInteger(Settings::tutorialVersion, 1);
    for (const bool dark : {false, true}) {
        settings.setString(Settings::caseColor,
                           dark ? QStringLiteral("black") : QStringLiteral("silver"));
        const QString theme = dark ? QStringLiteral("dark") : QStringLiteral("light");
        StudioRootView window(settings);
        window.resize(1180, 850);
        window.setAttribute(Qt::WA_DontShowOnScreen);
        window.show();
        settle(200);
        save(&window, folder, QStringLiteral("studio-empty-") + theme);
        // The smallest screens people have: a laptop's work area and 1600 × 1100 at 200 %.
        for (const QSize size : {QSize(1280, 680), QSize(760, 480)}) {
            window.resize(size);
            settle(100);
            save(&window, folder,
                 QStringLiteral("studio-%1x%2-").arg(size.width()).arg(size.height()) + theme);
        }
        window.resize(1180, 850);

        // The six-card screen with each tool, and the collection over it.
        window.setMode(StudioMode::cards);
        while (window.packs().images().size() < 6)
            settle(50);
        for (const EditorTool tool : allEditorTools) {
            window.packsView()->workspace()->setSelected(tool);
            settle(150);
            save(&window, folder, QStringLiteral("cards-%1-").arg(symbol(tool)) + theme);
        }
        window.showCollection();
        settle(1500); // the thumbnails arrive
        save(window.collectionSheet(), folder, QStringLiteral("collection-") + theme);
        window.collectionSheet()->close();
        settle(100);
        window.setMode(StudioMode::artwork);
        sheetScreens(settings, device, folder, theme);
        tutorialScreens(settings, folder, theme);
        if (clip.isEmpty())
            continue;
        window.studio().importMedia(QUrl::fromLocalFile(clip));
        while (window.studio().busy() || !window.studio().media())
            settle(50);
        settle(400);
        window.studioView()->workspace()->setSelected(EditorTool::animation);
        settle(100);
        save(&window, folder, QStringLiteral("studio-video-") + theme);

        window.studioView()->openTransfer();
        settle(200);
        ToviTransferSheet* sheet = window.studioView()->transferSheet();
        save(sheet, folder, QStringLiteral("sheet-not-ready-") + theme);
        window.studio().chooseDestination(device);
        settle(200);
        save(sheet, folder, QStringLiteral("sheet-ready-") + theme);
        for (auto* button : sheet->findChildren<QAbstractButton*>())
            if (button->text() == QStringLiteral("Wyślij grafikę") && button->isVisible()) {
                button->click();
                break;
            }
        while (!sheet->complete() && (window.studio().busy() || window.studio().error().isEmpty()))
            settle(50);
        settle(200);
        save(sheet, folder, QStringLiteral("sheet-complete-") + theme);
        sheet->close();
        settle(100);
        // "Na Tovi" with the picture just sent.
        DeviceContentsView* contents = DeviceContentsView::openOver(settings, &window);
        contents->setAttribute(Qt::WA_DontShowOnScreen);
        settle(2000);
        save(contents, folder, QStringLiteral("contents-") + theme);
        contents->close();
        settle(100);

        // A row of pictures under the device, and its send's summary.
        QStringList pictures;
        const QColor colours[] = {QColor(0xe0, 0x6c, 0x2f), QColor(0x2f, 0x8f, 0xe0),
                                  QColor(0x3c, 0xb0, 0x5a), QColor(0x9a, 0x4c, 0xd0)};
        for (int i = 0; i < 4; ++i) {
            QImage picture(400, 300, QImage::Format_RGB32);
            picture.fill(colours[i]);
            pictures << home.filePath(QStringLiteral("wakacje-%1.png").arg(i + 1));
            picture.save(pictures.back());
        }
        window.studioView()->importFiles(pictures);
        PictureRow& row = window.studioView()->row();
        while (row.busy() || row.count() < 4 || window.studio().busy())
            settle(50);
        row.select(1);
        settle(600);
        save(&window, folder, QStringLiteral("studio-row-") + theme);
        window.studioView()->openTransfer();
        settle(200);
        ToviTransferSheet* rowSheet = window.studioView()->transferSheet();
        for (auto* button : rowSheet->findChildren<QAbstractButton*>())
            if (button->text() == QStringLiteral("Wyślij grafikę") && button->isVisible()) {
                button->click();
                break;
            }
        while (!rowSheet->complete() && (row.busy() || row.error().isEmpty()))
            settle(50);
        settle(200);
        save(rowSheet, folder, QStringLiteral("sheet-row-") + theme);
        rowSheet->close();
        settle(100);
    }
    return 0;
}

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QStringList arguments = QApplication::arguments();
    const qsizetype at = arguments.indexOf(QStringLiteral("--screenshot"));
    if (at > 0)
        return screenshots(at + 1 < arguments.size() ? arguments[at + 1] : QStringLiteral("."));
    const qsizetype screensAt = arguments.indexOf(QStringLiteral("--screens"));
    if (screensAt > 0)
        return screens(arguments.value(screensAt + 1, QStringLiteral(".")),
                       arguments.value(screensAt + 2));

    Theme::apply(false);
    QWidget window;
    window.setWindowTitle(QStringLiteral("ToviStudio – galeria"));
    auto* column = new QVBoxLayout(&window);
    column->setContentsMargins(0, 8, 0, 0);
    auto* controls = new QHBoxLayout;
    controls->setContentsMargins(12, 0, 12, 0);
    auto* dark = new QCheckBox(QStringLiteral("Ciemny"));
    auto* choice = new QComboBox;
    for (const Page& page : pages())
        choice->addItem(page.name);
    controls->addWidget(dark);
    controls->addWidget(choice);
    controls->addStretch(1);
    column->addLayout(controls);
    QWidget* current = screen(pages().front());
    column->addWidget(current, 1);
    const auto rebuild = [&] {
        Theme::apply(dark->isChecked());
        QWidget* next = screen(pages()[size_t(choice->currentIndex())]);
        column->replaceWidget(current, next);
        delete current;
        current = next;
    };
    QObject::connect(dark, &QCheckBox::toggled, &window, rebuild);
    QObject::connect(choice, &QComboBox::currentIndexChanged, &window, rebuild);
    window.resize(1180, 850);
    window.show();
    return QApplication::exec();
}

// The whole window in a real X server, as a person uses it: import the clip, drag the picture,
// send it to a device folder. Runs under xvfb-run (see tests/CMakeLists.txt); skipped elsewhere.
#include "app/atomic_write.h"
#include "app/settings.h"
#include "device/transfer_sheet.h"
#include "packs/collection_view.h"
#include "packs/packs_model.h"
#include "packs/packs_view.h"
#include "shell/controls.h"
#include "shell/device_preview.h"
#include "shell/editor_workspace.h"
#include "shell/material_panel.h"
#include "shell/send_bar.h"
#include "shell/tool_bubble.h"
#include "shell/tool_buttons.h"
#include "studio/studio_model.h"
#include "studio/studio_view.h"
#include "support/device_fixtures.h"
#include "support/model_home.h"
#include "window/root_view.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace tovi;
using namespace tovi::test;

namespace {

// The benchmark clip when it is at hand, else its first shot made here: four seconds of a slow
// zoom over a real photograph, 1920 × 1080 at 30 fps.
QString clip(const QTemporaryDir& dir) {
    const QString given = qEnvironmentVariable("TOVI_BENCH_CLIP");
    if (!given.isEmpty() && QFileInfo::exists(given))
        return given;
    const QString out = dir.filePath(QStringLiteral("clip.mp4"));
    QProcess ffmpeg;
    ffmpeg.start(
        QStringLiteral("ffmpeg"),
        {QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"), QStringLiteral("error"),
         QStringLiteral("-nostdin"), QStringLiteral("-y"), QStringLiteral("-i"),
         QStringLiteral("/usr/share/backgrounds/mate/nature/LadyBird.jpg"),
         QStringLiteral("-filter_complex"),
         QStringLiteral("[0:v]crop=2560:1440:0:80,scale=3840:2160:flags=bicubic,"
                        "zoompan=z='1+0.30*on/119':x='(iw-iw/zoom)*0.62':y='(ih-ih/zoom)*0.45':"
                        "d=120:s=1920x1080:fps=30,setsar=1,format=yuv420p[v]"),
         QStringLiteral("-map"), QStringLiteral("[v]"), QStringLiteral("-c:v"),
         QStringLiteral("libx264"), QStringLiteral("-preset"), QStringLiteral("veryfast"),
         QStringLiteral("-r"), QStringLiteral("30"), out});
    ffmpeg.waitForFinished(120000);
    return ffmpeg.exitCode() == 0 ? out : QString();
}

// The round display as the X server shows it.
QImage onScreen(QWidget* display) {
    const QPoint at = display->mapTo(display->window(), QPoint());
    return display->screen()
        ->grabWindow(display->window()->winId(), at.x(), at.y(), display->width(),
                     display->height())
        .toImage();
}

// Whether the display changes within 0.3 s.
bool moving(QWidget* display) {
    const QImage before = onScreen(display);
    QTest::qWait(300);
    return onScreen(display) != before;
}

template <typename T> T* withText(QWidget* root, const QString& text) {
    for (T* widget : root->findChildren<T*>())
        if (widget->text() == text && widget->isVisible())
            return widget;
    return nullptr;
}

// The window shown on the X server, and a Tovi folder beside it.
class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        if (QGuiApplication::platformName() != QStringLiteral("xcb"))
            GTEST_SKIP() << "needs a real X server (the end_to_end test runs this under xvfb-run)";
        home.settings().setInteger(Settings::tutorialVersion, 1);
        window.emplace(home.settings());
        window->resize(1180, 850);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&*window));
    }
    // Connects the open sheet to the device and presses `send` until the write is verified.
    void sendWith(ToviTransferSheet* sheet, const QString& send) {
        ASSERT_TRUE(QTest::qWaitForWindowExposed(sheet));
        sheet->setFolderChooser([&] { return std::optional(device); });
        QAbstractButton* connect = withText<QAbstractButton>(sheet, QStringLiteral("Połącz Tovi"));
        ASSERT_NE(connect, nullptr);
        QTest::mouseClick(connect, Qt::LeftButton);
        ASSERT_TRUE(waitUntil([&] { return sheet->ready(); }));
        QAbstractButton* button = withText<QAbstractButton>(sheet, send);
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
        ASSERT_TRUE(waitUntil(
            [&] { return withText<QLabel>(sheet, QStringLiteral("Zapis zweryfikowany")); },
            120000));
        EXPECT_TRUE(sheet->complete());
    }

    ModelHome home;
    QTemporaryDir dir;
    const QString device = dir.filePath(QStringLiteral("NO NAME"));
    std::optional<StudioRootView> window;
};

TEST_F(EndToEnd, AClipBecomesAVerifiedFileInTheAlbum) {
    const QString video = clip(dir);
    ASSERT_FALSE(video.isEmpty()) << "cannot make the clip (ffmpeg, mate-backgrounds)";
    makeDevice(device);
    StudioView* studio = window->studioView();

    // Material → Pliki, with the file dialog answered by the clip.
    studio->setFileChooser([&] { return std::optional(video); });
    QTest::mouseClick(studio->workspace()->toolButtons()->button(EditorTool::material),
                      Qt::LeftButton);
    auto* material = studio->workspace()->bubble()->findChild<MaterialPanel*>();
    ASSERT_NE(material, nullptr);
    QTest::mouseClick(material->filesRow(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return window->studio().media() && !window->studio().busy(); }));
    EXPECT_TRUE(window->studio().media()->video);

    // The clip plays on the display; its ▶II key, clicked or with Space, pauses and resumes it.
    QWidget* display = studio->preview()->pointerView();
    ASSERT_TRUE(waitUntil([&] { return display->isVisible(); }));
    const FragmentPlayback& playback = window->studio().playback();
    ASSERT_TRUE(waitUntil([&] { return playback.framesReady() == playback.frameCount(); }));
    EXPECT_TRUE(moving(display));
    QAbstractButton* play = studio->preview()->playButton();
    QTest::mouseClick(play, Qt::LeftButton);
    EXPECT_EQ(play->accessibleName(), QStringLiteral("Odtwórz podgląd"));
    EXPECT_FALSE(moving(display));
    play->setFocus();
    QTest::keyClick(play, Qt::Key_Space);
    EXPECT_EQ(play->accessibleName(), QStringLiteral("Wstrzymaj podgląd"));
    EXPECT_TRUE(moving(display));

    // Drag the picture on the device's display to the left.
    const QPoint centre = display->rect().center();
    QTest::mousePress(display, Qt::LeftButton, {}, centre);
    for (int step = 1; step <= 5; ++step)
        QTest::mouseMove(display, centre - QPoint(8 * step, 0), 10);
    QTest::mouseRelease(display, Qt::LeftButton, {}, centre - QPoint(40, 0));
    EXPECT_GT(window->studio().options().crop.x, 0.05);

    // Send: the sheet, the device folder, the verified write.
    QTest::mouseClick(studio->sendBar()->button(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return studio->transferSheet() != nullptr; }));
    ToviTransferSheet* sheet = studio->transferSheet();
    ASSERT_NO_FATAL_FAILURE(sendWith(sheet, QStringLiteral("Wyślij grafikę")));

    const QStringList saved = QDir(device + QStringLiteral("/Photo1")).entryList(QDir::Files);
    ASSERT_EQ(saved.size(), 1);
    EXPECT_TRUE(saved[0].startsWith(QStringLiteral("tovi-")) &&
                saved[0].endsWith(QStringLiteral(".gif")));
    EXPECT_EQ(readFile(device + QStringLiteral("/Photo1/") + saved[0]), window->studio().output());
    sheet->close();

    // A photograph stands still.
    studio->importFile(
        savePicture(dir.filePath(QStringLiteral("photo.png")), {1200, 800}, Qt::darkCyan));
    ASSERT_TRUE(waitUntil([&] { return !window->studio().media()->video; }));
    settle();
    EXPECT_FALSE(play->isVisible());
    EXPECT_FALSE(moving(display));
    waitForWork();
}

TEST_F(EndToEnd, APackBecomesAnInstalledSetWithABackup) {
    makeDevice(device, cardSet(5));
    QTest::mouseClick(window->modeSwitch()->segment(1), Qt::LeftButton);
    ASSERT_EQ(window->mode(), StudioMode::cards);
    PacksView* screen = window->packsView();

    // The collection: another pack, its third card.
    QTest::mouseClick(screen->workspace()->collectionButton(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return window->collectionSheet() != nullptr; }));
    auto* collection = static_cast<StudioCollectionView*>(window->collectionSheet());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(collection));
    collection->picker()->setCurrentIndex(collection->picker()->findData(QStringLiteral("walk")));
    QTest::mouseClick(collection->cardButtons().at(2), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return window->collectionSheet() == nullptr; }));
    EXPECT_EQ(window->packs().selectedID(), QStringLiteral("walk"));
    EXPECT_EQ(window->packs().slot(), 2);

    // A caption of the card's own.
    QTest::mouseClick(screen->workspace()->toolButtons()->button(EditorTool::caption),
                      Qt::LeftButton);
    QLineEdit* title = nullptr;
    for (auto* field : screen->workspace()->bubble()->findChildren<QLineEdit*>())
        if (field->accessibleName() == QStringLiteral("Tytuł karty"))
            title = field;
    ASSERT_NE(title, nullptr);
    title->setFocus();
    title->selectAll();
    QTest::keyClicks(title, QStringLiteral("Spacer nad rzeka"));
    EXPECT_EQ(window->packs().edit().title, QStringLiteral("Spacer nad rzeka"));

    // Send the set: the sheet, the device, the verified installation with its backup.
    QTest::mouseClick(screen->sendBar()->button(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return screen->transferSheet() != nullptr; }));
    ToviTransferSheet* sheet = screen->transferSheet();
    ASSERT_NO_FATAL_FAILURE(sendWith(sheet, QStringLiteral("Zachowaj kopię i wyślij zestaw")));
    // The installer's own tests prove the files; here only that the edited set arrived.
    ASSERT_EQ(window->packs().exported().size(), 6);
    EXPECT_EQ(readFile(device + QStringLiteral("/Game1/3.gif")),
              readFile(window->packs().exported()[2]));
    EXPECT_TRUE(QFileInfo::exists(window->packs().lastBackup() + QStringLiteral("/manifest.json")));
    EXPECT_NE(withText<QAbstractButton>(sheet, QStringLiteral("Otwórz kopię poprzedniego zestawu")),
              nullptr);
    sheet->close();
    waitForWork();
}

} // namespace

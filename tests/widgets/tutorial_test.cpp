#include "app/resource_bundle.h"
#include "app/settings.h"
#include "device/pack_error.h"
#include "shell/controls.h"
#include "shell/device_preview.h"
#include "shell/sheet_parts.h"
#include "support/gif_builder.h"
#include "support/model_home.h"
#include "tutorial/tutorial_animated_device.h"
#include "tutorial/tutorial_animation.h"
#include "tutorial/tutorial_view.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>

using namespace tovi;
using tovi::test::buildGif;
using tovi::test::solidFrame;
using tovi::test::waitUntil;

namespace {

const QRect whole(0, 0, 8, 8);

// The face colour a fake factory dice GIF stops on, and the colour of a fake example card.
QRgb faceColour(int face) {
    return qRgb(40 * face, 230 - 30 * face, 20);
}
QRgb cardColour(int slot) {
    return qRgb(20, 40 * slot, 230 - 35 * slot);
}

bool near(QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) <= 10 && std::abs(qGreen(a) - qGreen(b)) <= 10 &&
           std::abs(qBlue(a) - qBlue(b)) <= 10;
}

QRgb centre(const QImage& image) {
    return image.pixel(image.width() / 2, image.height() / 2);
}

// A private resource folder named by TOVI_RESOURCES for the object's lifetime. It starts with the
// device pictures only; each test adds the files it needs.
class ResourceFolder {
public:
    ResourceFolder()
        : m_old(qgetenv("TOVI_RESOURCES")) {
        const QString shipped = ResourceBundle::main().folder();
        for (const QString& name :
             {QStringLiteral("tovi-silver.svg"), QStringLiteral("tovi-black.svg")})
            QFile::copy(shipped + QLatin1Char('/') + name, m_dir.filePath(name));
        qputenv("TOVI_RESOURCES", QFile::encodeName(m_dir.path()));
    }
    ~ResourceFolder() {
        if (m_old.isNull())
            qunsetenv("TOVI_RESOURCES");
        else
            qputenv("TOVI_RESOURCES", m_old);
    }

    // Returns the file's path.
    QString write(const QString& name, const QByteArray& bytes) {
        QFile file(m_dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        return file.fileName();
    }
    // A GIF that opens grey and stops on the face's colour, as the factory dice do.
    void dice(int face) {
        write(QStringLiteral("original-game1-%1.gif").arg(face),
              buildGif({8, 8}, {qRgb(128, 128, 128), faceColour(face)},
                       {solidFrame(whole, 0), solidFrame(whole, 0), solidFrame(whole, 1)}));
    }
    void card(int slot) {
        QImage image(32, 32, QImage::Format_RGB32);
        image.fill(cardColour(slot));
        ASSERT_TRUE(image.save(
            m_dir.filePath(QStringLiteral("pack-listening-%1.jpg").arg(slot + 1)), "JPEG", 95));
    }
    // A two-frame animation: red then blue.
    void animation(const QString& name) {
        write(name + QStringLiteral(".gif"),
              buildGif({8, 8}, {qRgb(255, 0, 0), qRgb(0, 0, 255)},
                       {solidFrame(whole, 0, 10), solidFrame(whole, 1, 30)}));
    }

private:
    QByteArray m_old;
    QTemporaryDir m_dir;
};

// --- The timing of a tutorial GIF ---------------------------------------------------------------

TEST(TutorialAnimation, EachFrameShowsUntilItsOwnEndAndTheLoopRepeats) {
    TutorialAnimation animation;
    for (const double delay : {0.1, 0.3, 0.05})
        animation.append(QImage(1, 1, QImage::Format_RGB32), delay);
    EXPECT_DOUBLE_EQ(animation.length(), 0.45);
    const std::pair<double, int> expected[] = {{-1.0, 0},  {0.0, 0},  {0.099, 0}, {0.1, 1},
                                               {0.399, 1}, {0.42, 2}, {0.45, 0},  {450.2, 1}};
    for (const auto& [t, index] : expected)
        EXPECT_EQ(animation.frameIndex(t), index) << t;
    EXPECT_EQ(TutorialAnimation().frameIndex(3.0), 0);
}

TEST(TutorialAnimation, FrameWithoutDelayShowsATenthAndASingleFrameStays) {
    EXPECT_DOUBLE_EQ(TutorialAnimation::frameDelay(0), 0.1);
    EXPECT_DOUBLE_EQ(TutorialAnimation::frameDelay(std::nan("")), 0.1);
    EXPECT_DOUBLE_EQ(TutorialAnimation::frameDelay(0.005), 0.02);
    EXPECT_DOUBLE_EQ(TutorialAnimation::frameDelay(0.07), 0.07);

    ResourceFolder files;
    // The middle frame has no control block; the last declares 0.
    auto bare = solidFrame(whole, 1);
    bare.control = false;
    const TutorialAnimation timed = TutorialAnimation::load(
        files.write(QStringLiteral("timing.gif"),
                    buildGif({8, 8}, {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)},
                             {solidFrame(whole, 0, 25), bare, solidFrame(whole, 2, 0)})));
    ASSERT_EQ(timed.ends.size(), 3u);
    EXPECT_NEAR(timed.ends[0], 0.25, 1e-9);
    EXPECT_NEAR(timed.ends[1], 0.35, 1e-9);
    EXPECT_NEAR(timed.ends[2], 0.37, 1e-9);
    EXPECT_TRUE(near(centre(timed.frames[size_t(timed.frameIndex(0.3))]), qRgb(0, 255, 0)));

    const TutorialAnimation still = TutorialAnimation::load(
        files.write(QStringLiteral("still.gif"),
                    buildGif({8, 8}, {qRgb(0, 0, 255), 0}, {solidFrame(whole, 0, 50)})));
    ASSERT_EQ(still.frames.size(), 1u);
    for (const double t : {0.0, 0.5, 7.3})
        EXPECT_EQ(still.frameIndex(t), 0) << t;
}

// --- The playing device -------------------------------------------------------------------------

TEST(TutorialDevice, PlaysByTimeWhileShownAndHoldsAStillOrCalmPicture) {
    ResourceFolder resources;
    resources.animation(QStringLiteral("clip"));
    resources.write(QStringLiteral("still.gif"),
                    buildGif({8, 8}, {qRgb(0, 255, 0), 0}, {solidFrame(whole, 0)}));
    auto shown = [](TutorialAnimatedDevice& device, bool reduceMotion) {
        device.setReduceMotion(reduceMotion);
        device.show();
        return waitUntil([&] { return device.animation() || device.failure(); }, 10000);
    };

    TutorialAnimatedDevice clip(QStringLiteral("clip"), QStringLiteral("black"));
    ASSERT_TRUE(shown(clip, false));
    ASSERT_TRUE(clip.animation());
    EXPECT_EQ(clip.preview()->color(), QStringLiteral("black"));
    EXPECT_TRUE(clip.playing());
    clip.showTime(0.2);
    EXPECT_TRUE(near(centre(clip.preview()->image()), qRgb(0, 0, 255)));
    clip.showTime(0.41);
    EXPECT_TRUE(near(centre(clip.preview()->image()), qRgb(255, 0, 0)));
    clip.hide();
    EXPECT_FALSE(clip.playing());
    clip.show();
    EXPECT_TRUE(clip.playing());

    TutorialAnimatedDevice still(QStringLiteral("still"), QStringLiteral("silver"));
    ASSERT_TRUE(shown(still, false));
    EXPECT_FALSE(still.playing());
    EXPECT_TRUE(near(centre(still.preview()->image()), qRgb(0, 255, 0)));

    TutorialAnimatedDevice calm(QStringLiteral("clip"), QStringLiteral("silver"));
    ASSERT_TRUE(shown(calm, true));
    EXPECT_FALSE(calm.playing());
    calm.showTime(0.2);
    EXPECT_EQ(calm.currentFrame(), 0);
}

// --- The sheet ----------------------------------------------------------------------------------

class TutorialSheet : public ::testing::Test {
protected:
    void SetUp() override {
        for (int face = 1; face <= 6; ++face)
            resources.dice(face);
        // The sixth card is missing on purpose.
        for (int slot = 0; slot < 5; ++slot)
            resources.card(slot);
        resources.animation(QStringLiteral("tutorial-karvel-panda"));
        resources.animation(QStringLiteral("tutorial-your-example"));
    }

    void open() {
        sheet = std::make_unique<StudioTutorialView>(home.settings(), [this] {
            ++finished;
            // As the root does: record, then close.
            sheet->close();
        });
        sheet->setRandom([this](int bound) {
            bounds << bound;
            return draws.isEmpty() ? 0 : draws.takeFirst();
        });
        sheet->setLinkOpener([this](const QUrl& url) { opened << url; });
        sheet->show();
        QApplication::processEvents();
    }

    QAbstractButton* button(const QString& name) const {
        for (QAbstractButton* found : sheet->findChildren<QAbstractButton*>())
            if (found->accessibleName() == name && found->isVisible())
                return found;
        return nullptr;
    }
    void click(const QString& name) {
        QAbstractButton* found = button(name);
        ASSERT_TRUE(found) << name.toStdString();
        QTest::mouseClick(found, Qt::LeftButton);
    }
    QString text(const char* name) const {
        return sheet->findChild<QLabel*>(QString::fromLatin1(name))->text();
    }
    // The comparison control of the current step.
    SegmentedControl* comparison() const {
        for (auto* control : sheet->findChildren<SegmentedControl*>())
            if (control->isVisible())
                return control;
        return nullptr;
    }
    TutorialAnimatedDevice* animatedDevice() const {
        for (auto* device : sheet->findChildren<TutorialAnimatedDevice*>())
            if (device->isVisible())
                return device;
        return nullptr;
    }
    DevicePreview* diceDevice() const {
        return sheet->findChild<DevicePreview*>(QStringLiteral("diceDevice"));
    }

    ResourceFolder resources;
    test::ModelHome home;
    std::unique_ptr<StudioTutorialView> sheet;
    int finished = 0;
    QList<int> draws;
    QList<int> bounds;
    QList<QUrl> opened;
};

TEST_F(TutorialSheet, EachStepHasItsHeaderTextsAndButtons) {
    open();
    EXPECT_EQ(sheet->size(), QSize(650, 700));
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
    QStringList seen;
    for (int step = 0; step < 4; ++step) {
        SCOPED_TRACE(step);
        EXPECT_EQ(sheet->step(), step);
        EXPECT_EQ(text("header"), QStringLiteral("FABRYCZNIE → PO TWOJEMU · %1 / 4").arg(step + 1));
        seen << text("title") + text("description");
        EXPECT_EQ(sheet->findChild<QWidget*>(QStringLiteral("pageDots"))->accessibleName(),
                  QStringLiteral("Krok %1 z 4").arg(step + 1));
        EXPECT_TRUE(button(QStringLiteral("Zamknij samouczek")));
        EXPECT_TRUE(button(QStringLiteral("Pomiń · zacznij tworzyć")));
        EXPECT_EQ(bool(button(QStringLiteral("Wstecz"))), step > 0);
        EXPECT_EQ(bool(button(QStringLiteral("Dalej"))), step < 3);
        EXPECT_EQ(bool(button(QStringLiteral("Otwórz Studio"))), step == 3);
        EXPECT_EQ(bool(button(QStringLiteral("Rzuć kostką"))), step == 1);
        EXPECT_EQ(bool(button(QStringLiteral("Wylosuj kartę"))), step == 1);
        // At its size nothing of a step is out of sight.
        QApplication::processEvents();
        EXPECT_EQ(
            sheet->findChild<QScrollArea*>(QStringLiteral("body"))->verticalScrollBar()->maximum(),
            0);
        if (step < 3)
            click(QStringLiteral("Dalej"));
    }
    seen.removeDuplicates();
    EXPECT_EQ(seen.size(), 4) << "each step says its own";
    // The three ways of the last step, a line between each two.
    const auto widgets =
        sheet->findChild<QWidget*>(QStringLiteral("connectionPage"))->findChildren<QWidget*>();
    EXPECT_EQ(std::count_if(widgets.begin(), widgets.end(),
                            [](QWidget* w) { return dynamic_cast<SheetParts::Hairline*>(w); }),
              2);
    // Back steps down one at a time and stops at the first step.
    click(QStringLiteral("Wstecz"));
    EXPECT_EQ(sheet->step(), 2);
    sheet->back();
    sheet->back();
    sheet->back();
    EXPECT_EQ(sheet->step(), 0);
    EXPECT_EQ(finished, 0);
}

TEST_F(TutorialSheet, StepZeroPlaysThePandaAndYourExampleWithTheirCaptions) {
    home.settings().setString(Settings::caseColor, QStringLiteral("black"));
    open();
    ASSERT_TRUE(animatedDevice());
    EXPECT_EQ(animatedDevice()->resource(), QStringLiteral("tutorial-karvel-panda"));
    EXPECT_EQ(animatedDevice()->color(), QStringLiteral("black"));
    click(QStringLiteral("Materiał z oficjalnej strony Karvel Audio"));
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened.front().scheme(), QStringLiteral("https"));
    EXPECT_EQ(QUrlQuery(opened.front()).queryItemValue(QStringLiteral("q"), QUrl::FullyDecoded),
              QStringLiteral("Karvel Audio Tovi"));

    click(QStringLiteral("Po Twojemu"));
    EXPECT_EQ(animatedDevice()->resource(), QStringLiteral("tutorial-your-example"));
    EXPECT_FALSE(button(QStringLiteral("Materiał z oficjalnej strony Karvel Audio")));
    sheet->next();
    sheet->next();
    EXPECT_EQ(animatedDevice()->resource(), QStringLiteral("tutorial-your-example"));
}

TEST_F(TutorialSheet, ComparisonOpensOnTheFactorySideAndDrawsPickTheirSide) {
    open();
    // Before any draw: face 1 (its last frame) and card slot 0.
    EXPECT_TRUE(near(centre(sheet->factoryDice()), faceColour(1)));
    EXPECT_TRUE(near(centre(sheet->example()), cardColour(0)));
    click(QStringLiteral("Po Twojemu"));
    EXPECT_TRUE(sheet->showYours());
    // The choices stand on their tinted track, which shows at the rim around them.
    const QImage page = sheet->grab().toImage();
    const QPoint rim = comparison()->mapTo(sheet.get(), QPoint(1, comparison()->height() / 2));
    EXPECT_NE(page.pixel(rim), page.pixel(rim - QPoint(3, 0)));
    click(QStringLiteral("Dalej"));
    EXPECT_FALSE(sheet->showYours());
    EXPECT_EQ(comparison()->current(), 0);
    EXPECT_EQ(text("diceCaption"), QStringLiteral("Oryginalna kostka z Tovi"));
    EXPECT_TRUE(near(centre(diceDevice()->image()), faceColour(1)));
    click(QStringLiteral("Po Twojemu"));
    EXPECT_EQ(text("diceCaption"), QStringLiteral("Własna karta zamiast ścianki kostki"));
    EXPECT_TRUE(near(centre(diceDevice()->image()), cardColour(0)));
    click(QStringLiteral("Wstecz"));
    EXPECT_FALSE(sheet->showYours());
    EXPECT_EQ(comparison()->current(), 0);
    click(QStringLiteral("Dalej"));

    draws = {2};
    click(QStringLiteral("Wylosuj kartę"));
    EXPECT_EQ(sheet->card(), 2);
    EXPECT_TRUE(sheet->showYours());
    EXPECT_EQ(comparison()->current(), 1);
    EXPECT_TRUE(near(centre(diceDevice()->image()), cardColour(2)));

    draws = {3};
    click(QStringLiteral("Rzuć kostką"));
    EXPECT_EQ(sheet->dice(), 4);
    EXPECT_FALSE(sheet->showYours());
    EXPECT_EQ(comparison()->current(), 0);
    EXPECT_TRUE(near(centre(diceDevice()->image()), faceColour(4)));

    // The highest draw is face 6.
    draws = {5};
    click(QStringLiteral("Rzuć kostką"));
    EXPECT_EQ(sheet->dice(), 6);
    EXPECT_TRUE(near(centre(diceDevice()->image()), faceColour(6)));
    EXPECT_EQ(bounds, QList<int>({6, 6, 6}));

    // The sixth card's file is missing: the previous card stays.
    draws = {5};
    click(QStringLiteral("Wylosuj kartę"));
    EXPECT_EQ(sheet->card(), 5);
    EXPECT_TRUE(near(centre(diceDevice()->image()), cardColour(2)));
}

TEST_F(TutorialSheet, MissingAnimationShowsTheMessageWhereThePictureWas) {
    QFile::remove(ResourceBundle::main().folder() + QStringLiteral("/tutorial-your-example.gif"));
    open();
    sheet->next();
    sheet->next();
    TutorialAnimatedDevice* device = animatedDevice();
    ASSERT_TRUE(device);
    ASSERT_TRUE(waitUntil([&] { return device->animation() || device->failure(); }, 10000));
    EXPECT_EQ(device->failure().value_or(QString()),
              PackError(PackError::missingResource).message());
    EXPECT_FALSE(device->preview()->isVisible());
    EXPECT_TRUE(device->findChild<QLabel*>(QStringLiteral("failure"))->isVisible());
}

TEST_F(TutorialSheet, FinishingButtonsCallFinishOnceAndEscapeOrClosingDoNot) {
    const QStringList ways[] = {
        {QStringLiteral("Zamknij samouczek")},
        {QStringLiteral("Pomiń · zacznij tworzyć")},
        {QStringLiteral("Dalej"), QStringLiteral("Dalej"), QStringLiteral("Dalej"),
         QStringLiteral("Otwórz Studio")},
    };
    for (const QStringList& clicks : ways) {
        finished = 0;
        open();
        for (const QString& name : clicks)
            click(name);
        EXPECT_EQ(finished, 1) << clicks.last().toStdString();
        EXPECT_FALSE(sheet->isVisible());
    }

    finished = 0;
    open();
    QTest::keyClick(sheet.get(), Qt::Key_Escape);
    EXPECT_FALSE(sheet->isVisible());
    open();
    sheet->close();
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(finished, 0);
}

} // namespace

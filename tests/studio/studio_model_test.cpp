#include "app/atomic_write.h"
#include "app/background_task.h"
#include "app/deferred_write.h"
#include "app/product.h"
#include "app/settings.h"
#include "app/working_folder.h"
#include "device/bookmark.h"
#include "device/device_space.h"
#include "device/device_watch.h"
#include "device/folder_lock.h"
#include "media/fragment_sampler.h"
#include "media/image_source.h"
#include "media/media_error.h"
#include "media/media_processor.h"
#include "studio/media_copy.h"
#include "studio/picture_row.h"
#include "studio/saved_work.h"
#include "studio/studio_model.h"
#include "support/device_fixtures.h"
#include "support/fat_volume.h"
#include "support/gif_builder.h"
#include "support/gif_summary.h"
#include "support/model_home.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QSemaphore>
#include <QSignalSpy>
#include <QUrl>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <optional>
#include <sched.h>
#include <sys/file.h>
#include <sys/time.h>
#include <thread>

using namespace tovi;
using namespace tovi::test;

namespace {

const QString colours = QStringLiteral(TOVI_FIXTURES "/video/colours.mp4");
const QString pattern = QStringLiteral(TOVI_FIXTURES "/video/pattern.mp4");

class Studio : public ::testing::Test {
protected:
    // A file outside the working folder, as a user's own would be.
    QString userFile(const QString& name, const QByteArray& bytes) {
        const QString path = m_user.filePath(name);
        writeFile(path, bytes);
        return path;
    }
    QString photo(int width = 2000, int height = 1500) {
        return savePicture(
            m_user.filePath(QStringLiteral("photo-%1x%2.png").arg(width).arg(height)),
            {width, height}, Qt::darkCyan);
    }
    // A 1.5 s GIF: three frames of half a second.
    QString gif() {
        const QRect all(0, 0, 40, 30);
        return userFile(
            QStringLiteral("clip.gif"),
            buildGif({40, 30}, {qRgb(255, 0, 0), qRgb(0, 0, 255)},
                     {solidFrame(all, 0, 50), solidFrame(all, 1, 50), solidFrame(all, 0, 50)}));
    }
    void import(StudioModel& model, const QString& path) {
        model.importMedia(QUrl::fromLocalFile(path));
        ASSERT_TRUE(waitUntil([&] { return !model.busy(); }));
    }
    // An export to a file, or with `toDevice` a save to the Tovi, run to its end.
    static void prepared(StudioModel& model, bool toDevice) {
        model.prepare(toDevice);
        ASSERT_TRUE(waitUntil([&] { return !model.busy(); }));
    }
    QStringList libraryFiles() const {
        return QDir(m_home.library()).entryList(QDir::Files, QDir::Name);
    }

    ModelHome m_home;
    QTemporaryDir m_user;
};

QRgb centre(const QImage& image) {
    return image.pixel(image.width() / 2, image.height() / 2);
}

TEST_F(Studio, ImportSetsFreshOptionsForEachKindOfMedia) {
    StudioModel model(m_home.settings());
    import(model, photo());
    ASSERT_TRUE(model.media());
    EXPECT_TRUE(model.error().isEmpty());
    EXPECT_EQ(model.mediaName(), QStringLiteral("photo-2000x1500.png"));
    EXPECT_EQ(model.options().format, OutputFormat::jpg);
    EXPECT_EQ(model.options().length, 0);
    // The first preview needs no decode: it is there as soon as the import ends.
    EXPECT_EQ(model.preview().size(), QSize(600, 600));

    ExportOptions changed = model.options();
    changed.captions = true;
    changed.captionTitle = QStringLiteral("Stare");
    changed.crop.zoom = 2;
    model.setOptions(changed);

    import(model, colours);
    EXPECT_TRUE(model.media()->video);
    EXPECT_EQ(model.options().format, OutputFormat::gif);
    EXPECT_DOUBLE_EQ(model.options().length, std::min(4.0, model.media()->duration));
    EXPECT_FALSE(model.options().captions);
    EXPECT_TRUE(model.options().captionTitle.isEmpty());
    EXPECT_EQ(model.options().crop, CropSettings{});

    import(model, gif());
    EXPECT_TRUE(model.media()->animated);
    EXPECT_DOUBLE_EQ(model.options().length, 1.5);
    EXPECT_EQ(model.options().fps, 12);
    EXPECT_EQ(model.mediaName(), QStringLiteral("clip.gif"));
}

TEST_F(Studio, ImportKeepsOnePrivateCopyAndAFailedImportChangesNothing) {
    StudioModel model(m_home.settings());
    import(model, photo());
    const QStringList first = libraryFiles();
    ASSERT_EQ(first.size(), 1);
    EXPECT_TRUE(MediaCopy::isCopyName(first[0])) << first[0].toStdString();
    EXPECT_TRUE(first[0].endsWith(QStringLiteral(".png")));
    EXPECT_EQ(model.media()->url.toLocalFile(), QDir(m_home.library()).filePath(first[0]));

    const QImage preview = model.preview();
    import(model, userFile(QStringLiteral("notes.jpg"), "plain text, not a picture"));
    EXPECT_EQ(model.error(), MediaError(MediaError::unreadable).message());
    EXPECT_EQ(libraryFiles(), first);
    EXPECT_EQ(model.mediaName(), QStringLiteral("photo-2000x1500.png"));
    EXPECT_EQ(model.preview(), preview);

    import(model, gif());
    EXPECT_TRUE(model.error().isEmpty());
    const QStringList second = libraryFiles();
    ASSERT_EQ(second.size(), 1);
    EXPECT_NE(second, first);
    EXPECT_TRUE(QFileInfo::exists(m_user.filePath(QStringLiteral("photo-2000x1500.png"))));
}

TEST_F(Studio, ASecondImportWhileBusyIsIgnored) {
    StudioModel model(m_home.settings());
    model.importMedia(QUrl::fromLocalFile(photo()));
    model.importMedia(QUrl::fromLocalFile(gif()));
    ASSERT_TRUE(waitUntil([&] { return !model.busy(); }));
    spin(50);
    EXPECT_EQ(model.mediaName(), QStringLiteral("photo-2000x1500.png"));
    EXPECT_EQ(libraryFiles().size(), 1);
}

TEST_F(Studio, GesturesMoveAndZoomTheCrop) {
    StudioModel model(m_home.settings());
    // Nothing to move without media.
    model.panCrop(10, 10, 300);
    model.zoomCrop(10, true);
    EXPECT_EQ(model.options().crop, CropSettings{});

    import(model, photo(2000, 1500));
    model.panCrop(10, 0, 300);
    EXPECT_NEAR(model.options().crop.x, -2.0 * 10 * 1500 / (500.0 * 300), 1e-12);
    model.panCrop(0, 40, 300); // the window spans the frame's height already
    EXPECT_EQ(model.options().crop.y, 0);
    model.panCrop(-1e6, 0, 300);
    EXPECT_EQ(model.options().crop.x, 1);

    model.zoomCrop(10, true);
    EXPECT_NEAR(model.options().crop.zoom, std::exp(0.12), 1e-12);
    model.zoomCrop(-10, true);
    EXPECT_NEAR(model.options().crop.zoom, 1, 1e-12);
    model.zoomCrop(10, false);
    EXPECT_NEAR(model.options().crop.zoom, std::exp(0.6), 1e-12);
    model.zoomCrop(100, false);
    EXPECT_EQ(model.options().crop.zoom, 3);
    model.zoomCrop(-100, false);
    EXPECT_EQ(model.options().crop.zoom, 1);

    // Zoomed in, a vertical drag now moves the window.
    model.magnifyCrop(2);
    EXPECT_EQ(model.options().crop.zoom, 2);
    model.panCrop(0, 10, 300);
    EXPECT_LT(model.options().crop.y, 0);

    QSignalSpy previews(&model, &StudioModel::previewChanged);
    model.magnifyCrop(0);
    model.magnifyCrop(std::numeric_limits<double>::quiet_NaN());
    model.magnifyCrop(std::numeric_limits<double>::infinity());
    EXPECT_EQ(model.options().crop.zoom, 2);
    EXPECT_EQ(previews.count(), 3); // unchanged, yet refreshed each time
}

// Holds every thread of the global pool until released, so that work queued meanwhile
// waits: a test can then change the model while a decode is certainly still pending.
class PoolGate {
public:
    PoolGate() {
        const int threads = workerThreads().maxThreadCount();
        for (int i = 0; i < threads; ++i)
            workerThreads().start([this] {
                m_started.release();
                m_open.acquire();
            });
        m_started.acquire(threads);
        m_threads = threads;
    }
    ~PoolGate() { open(); }
    void open() {
        m_open.release(m_threads);
        m_threads = 0;
    }

private:
    QSemaphore m_started;
    QSemaphore m_open;
    int m_threads = 0;
};

bool near(QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) <= 8 && std::abs(qGreen(a) - qGreen(b)) <= 8 &&
           std::abs(qBlue(a) - qBlue(b)) <= 8;
}

void change(StudioModel& model, const std::function<void(ExportOptions&)>& how) {
    ExportOptions options = model.options();
    how(options);
    model.setOptions(options);
}

// The start moved, as by its slider.
void startAt(StudioModel& model, double seconds) {
    change(model, [seconds](ExportOptions& o) { o.start = seconds; });
    model.refreshPreview();
}

// A still preview alone: a fragment that plays decodes its start frame for the preview itself.
void jpegOnly(StudioModel& model) {
    change(model, [](ExportOptions& o) { o.format = OutputFormat::jpg; });
}

TEST_F(Studio, StartChangesDecodeOnceAfterTheyStopAndStaleDecodesNeverShow) {
    StudioModel model(m_home.settings());
    import(model, colours);
    jpegOnly(model);
    EXPECT_TRUE(near(centre(model.preview()), qRgb(255, 0, 0))); // at 0 s, no decode needed
    const QRgb atOne = centre(MediaProcessor::sourceFrame(*model.media(), 1.0));
    ASSERT_FALSE(near(atOne, qRgb(255, 0, 0)));
    QSignalSpy previews(&model, &StudioModel::previewChanged);

    // A slider dragged from 0 to 1 s in steps 20 ms apart.
    for (int step = 1; step <= 10; ++step) {
        startAt(model, step * 0.1);
        spin(20);
    }
    EXPECT_EQ(previews.count(), 0);
    ASSERT_TRUE(waitUntil([&] { return previews.count() > 0; }));
    spin(300);
    EXPECT_EQ(previews.count(), 1);
    EXPECT_TRUE(near(centre(model.preview()), atOne));

    // Crop changes re-render the cached frame at once.
    model.zoomCrop(5, true);
    EXPECT_EQ(previews.count(), 2);

    // A decode that was overtaken by a newer change never publishes.
    {
        PoolGate gate;
        startAt(model, 0);
        spin(StudioModel::previewDebounceMs + 30); // the decode of 0 s waits in the pool
        startAt(model, 1.0);                       // the cached frame again: shown at once
        EXPECT_EQ(previews.count(), 3);
    }
    waitForWork();
    spin(50);
    EXPECT_EQ(previews.count(), 3);
    EXPECT_TRUE(near(centre(model.preview()), atOne));
    EXPECT_TRUE(model.error().isEmpty());
}

// colours.mp4 has a key frame a second with B-frames between. Wherever the start moves, the
// preview ends on the frame the export starts with; a seek shows its key frame first.
TEST_F(Studio, ThePreviewEndsOnTheFrameTheExportStartsWith) {
    StudioModel model(m_home.settings());
    import(model, colours);
    jpegOnly(model);
    QList<QRgb> shown;
    QObject::connect(&model, &StudioModel::previewChanged,
                     [&] { shown << centre(model.preview()); });
    // Into the first group, on within it, on past a key frame, back within a group, back.
    for (const double start : {0.6, 0.8, 1.6, 1.4, 0.4}) {
        shown.clear();
        startAt(model, start);
        spin(StudioModel::previewDebounceMs + 30);
        waitForWork();
        spin(50);
        ExportOptions options = model.options();
        options.length = 0.2;
        const QImage first = QImage::fromData(MediaProcessor::exportMedia(*model.media(), options));
        ASSERT_FALSE(shown.isEmpty()) << start;
        EXPECT_TRUE(near(shown.last(), centre(first))) << start;
        if (start == 1.4) { // the key frame at 1 s first
            EXPECT_GE(shown.size(), 2);
            EXPECT_TRUE(near(shown.first(), qRgb(255, 0, 255)));
        }
    }
}

// The preview plays the export's own frames (before the palette step), in the GIF's order, for
// the delays the GIF carries; a new order or speed plays the frames at hand.
TEST_F(Studio, PlaybackShowsTheExportsFramesForTheGifsDelays) {
    StudioModel model(m_home.settings());
    const FragmentPlayback& playback = model.playback();
    const std::tuple<QString, PlaybackOrder, double> cases[] = {
        {pattern, PlaybackOrder::normal, 1},
        {pattern, PlaybackOrder::bounce, 1.5},
        {gif(), PlaybackOrder::normal, 1},
        {gif(), PlaybackOrder::reverse, 0.75}};
    for (const auto& [file, order, speed] : cases) {
        if (order == PlaybackOrder::normal)
            import(model, file);
        ExportOptions options = model.options();
        options.crop = {2, 0.6, -0.4};
        options.captions = true;
        options.captionTitle = QStringLiteral("Tytuł");
        options.order = order;
        options.speed = speed;
        const int decoded = playback.framesReady();
        std::vector<std::pair<int, QImage>> shown;
        const auto seen = QObject::connect(&playback, &FragmentPlayback::frameChanged, [&] {
            if (!playback.frame().isNull())
                shown.emplace_back(playback.frameIndex(), playback.frame());
        });
        model.setOptions(options);
        if (order != PlaybackOrder::normal) {
            EXPECT_EQ(playback.framesReady(), decoded) << "the same frames, not decoded again";
        }
        model.refreshPreview();
        ASSERT_TRUE(waitUntil([&] { return int(shown.size()) > playback.plan().frames(); }));
        QObject::disconnect(seen);

        FragmentSampler exported(*model.media(), model.options());
        const FragmentPlan& plan = exported.plan();
        const QByteArray bytes = MediaProcessor::exportMedia(*model.media(), model.options());
        const auto summary = summarize(bytes);
        const auto written = ImageSource::fromData(bytes);
        const int count = plan.frames();
        EXPECT_EQ(playback.plan(), plan);
        ASSERT_EQ(playback.frameCount(), plan.count);
        ASSERT_EQ(int(summary.frames.size()), count);
        for (int i = 0; i <= count; ++i) {
            EXPECT_EQ(shown[size_t(i)].first, i % count) << "the loop goes round in order";
            if (i == count)
                break;
            const QImage& frame = shown[size_t(i)].second;
            EXPECT_EQ(frame, exported.frame(plan.source(i))) << i;
            EXPECT_TRUE(near(centre(written->frame(i)), centre(frame))) << i;
            EXPECT_EQ(std::lround(playback.plan().delay(i) * 100), summary.frames[size_t(i)].delay);
        }
    }
}

// After a change the old frames go at once and only the new ones show; a gesture's frames wait
// for the hand to rest. Nothing ticks while nothing plays.
TEST_F(Studio, PlaybackFollowsChangesAndStopsWhenNothingPlays) {
    StudioModel model(m_home.settings());
    FragmentPlayback& playback = model.playback();
    import(model, colours);
    ASSERT_TRUE(waitUntil([&] { return playback.framesReady() == playback.frameCount(); }));
    EXPECT_TRUE(playback.ticking());

    QList<QRgb> shown;
    QObject::connect(&playback, &FragmentPlayback::frameChanged, [&] {
        if (!playback.frame().isNull())
            shown << centre(playback.frame());
    });
    ExportOptions options = model.options();
    options.length = 0.3;
    options.start = 1.0;
    model.setOptions(options);
    EXPECT_TRUE(playback.frame().isNull()) << "no frame of the old settings stays";
    EXPECT_FALSE(playback.ticking());
    waitForWork(); // the frames of 1.0 s wait in the event queue
    options.start = 0.4;
    model.setOptions(options);
    ASSERT_TRUE(waitUntil([&] { return shown.size() >= 8; }));
    FragmentSampler wanted(*model.media(), options);
    EXPECT_TRUE(near(centre(model.preview()), centre(wanted.frame(0)))) << "the still follows";
    for (const QRgb colour : shown)
        EXPECT_TRUE(near(colour, centre(wanted.frame(0))) || near(colour, centre(wanted.frame(3))))
            << "only frames of 0.4 … 0.7 s, never of 1.0 s";

    // Other words under the picture are other pictures: the old ones go at once.
    options.captions = true;
    for (const auto& [title, subtitle] : {std::pair{"Tytuł", ""}, {"Tytuł", "Podtytuł"}}) {
        options.captionTitle = QString::fromUtf8(title);
        options.captionSubtitle = QString::fromUtf8(subtitle);
        model.setOptions(options);
        EXPECT_TRUE(playback.frame().isNull()) << subtitle;
        ASSERT_TRUE(waitUntil([&] { return !playback.frame().isNull(); }));
        EXPECT_EQ(playback.frame(),
                  FragmentSampler(*model.media(), options).frame(playback.frameIndex()))
            << subtitle;
    }

    QElapsedTimer hand;
    hand.start();
    model.zoomCrop(30, true);
    EXPECT_TRUE(playback.frame().isNull());
    waitForWork();
    QCoreApplication::processEvents();
    if (hand.elapsed() < FragmentPlayback::handStillMs) { // a loaded machine cannot judge
        EXPECT_EQ(playback.framesReady(), 0) << "nothing decodes while the hand moves";
    }
    ASSERT_TRUE(waitUntil([&] { return !playback.frame().isNull(); }));

    playback.setPaused(true);
    EXPECT_FALSE(playback.ticking());
    const int at = playback.frameIndex();
    spin(200);
    EXPECT_EQ(playback.frameIndex(), at);
    playback.setPaused(false);
    EXPECT_TRUE(playback.ticking());
    playback.setHidden(true);
    EXPECT_FALSE(playback.ticking());
    playback.setHidden(false);
    playback.setEnabled(false); // reduced motion
    EXPECT_TRUE(playback.frame().isNull());
    EXPECT_FALSE(playback.ticking());
    playback.setEnabled(true);

    // A JPEG, a turn and a still play nothing.
    options.format = OutputFormat::jpg;
    model.setOptions(options);
    EXPECT_EQ(playback.frameCount(), 0);
    import(model, photo());
    options = model.options();
    options.format = OutputFormat::gif;
    options.rotation = true;
    model.setOptions(options);
    EXPECT_EQ(playback.frameCount(), 0);
    EXPECT_FALSE(playback.ticking());
}

TEST_F(Studio, FileExportKeepsOneLocalFileUntilTheNextChange) {
    StudioModel model(m_home.settings());
    QSignalSpy progress(&model, &StudioModel::exportProgress);
    import(model, gif());
    model.prepare(false);
    EXPECT_TRUE(model.busy());
    model.prepare(false); // a second press does nothing
    ASSERT_TRUE(waitUntil([&] { return !model.busy(); }));
    EXPECT_TRUE(model.error().isEmpty()) << model.error().toStdString();
    EXPECT_EQ(model.message(),
              QStringLiteral("Plik gotowy. Możesz go udostępnić lub zapisać w Plikach."));
    const QString first = model.exportedURL();
    EXPECT_TRUE(QFileInfo(first).fileName().contains(
        QRegularExpression(QStringLiteral("^tovi-[0-9A-F]{8}\\.gif$"))));
    EXPECT_EQ(readFile(first), model.output());
    EXPECT_TRUE(model.output().startsWith("GIF89a"));
    spin(20);
    ASSERT_FALSE(progress.isEmpty());
    EXPECT_EQ(progress.last()[0], progress.last()[1]);

    prepared(model, false);
    EXPECT_NE(model.exportedURL(), first);
    EXPECT_FALSE(QFileInfo::exists(first));
    EXPECT_TRUE(QFileInfo::exists(model.exportedURL()));

    // Any change that reaches the preview makes the export stale.
    const QString second = model.exportedURL();
    model.panCrop(5, 0, 300);
    EXPECT_TRUE(model.output().isEmpty());
    EXPECT_TRUE(model.exportedURL().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(second));

    jpegOnly(model);
    prepared(model, false);
    EXPECT_TRUE(model.exportedURL().endsWith(QStringLiteral(".jpg")));
}

// The window's GIF made ahead of the send: once the settings rest, exactly what the send writes;
// a change drops it at once; the send then writes it without encoding again.
TEST_F(Studio, TheGifMadeAheadIsWhatTheSendWrites) {
    StudioModel model(m_home.settings());
    model.makeReadyAhead(true);
    import(model, colours);
    const ReadyExport& ready = model.ready();
    ExportOptions options = model.options();
    options.length = 2;
    options.fps = 6;
    model.setOptions(options);
    EXPECT_EQ(ready.state(), ReadyExport::State::waiting);
    ASSERT_TRUE(waitUntil([&] { return ready.state() != ReadyExport::State::waiting; }));
    ASSERT_EQ(ready.state(), ReadyExport::State::ready);
    EXPECT_TRUE(ready.fits());
    EXPECT_EQ(ready.bytes(), MediaProcessor::exportMedia(*model.media(), options));
    QSignalSpy again(&ready, &ReadyExport::changed);
    spin(ReadyExport::restMs * 2);
    EXPECT_TRUE(again.isEmpty()) << "settings at rest are encoded once";

    options.fps = 5; // a change drops what was made
    model.setOptions(options);
    EXPECT_EQ(ready.state(), ReadyExport::State::waiting);
    EXPECT_FALSE(ready.take(*model.media(), options));
    ASSERT_TRUE(waitUntil([&] { return ready.state() == ReadyExport::State::ready; }));
    const QByteArray made = ready.bytes();
    QSignalSpy progress(&model, &StudioModel::exportProgress);
    prepared(model, false);
    EXPECT_EQ(model.output(), made);
    EXPECT_EQ(readFile(model.exportedURL()), made);
    spin(20);
    EXPECT_TRUE(progress.isEmpty()) << "nothing encoded again";

    // A GIF too large: the send refuses the bytes made without encoding again, and the ways
    // out, in the window's own frame rates, each export to what fits.
    import(model, userFile(QStringLiteral("busy.gif"), noiseGif(36, 12)));
    options = model.options();
    options.length = 2.6;
    options.fps = 12;
    model.setOptions(options);
    ASSERT_TRUE(waitUntil([&] { return ready.state() == ReadyExport::State::ready; }));
    EXPECT_FALSE(ready.fits());
    prepared(model, false);
    EXPECT_EQ(model.error(), MediaError(MediaError::tooLarge).message());
    ASSERT_TRUE(
        waitUntil([&] { return ready.suggestions().fps && ready.suggestions().length; }, 60000));
    for (const FitSuggestion* way : {&*ready.suggestions().fps, &*ready.suggestions().length})
        EXPECT_EQ(MediaProcessor::exportMedia(*model.media(), way->options).size(), way->bytes);
    EXPECT_NE(std::find(std::begin(Product::frameRates), std::end(Product::frameRates),
                        ready.suggestions().fps->options.fps),
              std::end(Product::frameRates));

    // A JPEG is not made ahead; a model without it makes nothing.
    options.format = OutputFormat::jpg;
    model.setOptions(options);
    EXPECT_EQ(ready.state(), ReadyExport::State::none);
    StudioModel oneShot(m_home.settings(), StudioModel::Work::oneShot);
    import(oneShot, colours);
    EXPECT_EQ(oneShot.ready().state(), ReadyExport::State::none);
}

// Made from the playing preview's frames (the file is away meanwhile), the bytes are those the
// export writes from the file whatever the crop, captions, order and speed, with the decoder
// kept between fragments; a change of what the frames show never lets the old ones be encoded.
TEST_F(Studio, TheGifMadeFromThePreviewsFramesIsTheExports) {
    StudioModel model(m_home.settings());
    model.makeReadyAhead(true);
    const QString fixture = QStringLiteral(TOVI_FIXTURES "/video/moving_hd.mp4");
    import(model, fixture);
    const ReadyExport& ready = model.ready();
    const FragmentPlayback& playback = model.playback();
    MediaInfo original = *model.media();
    original.url = QUrl::fromLocalFile(fixture);
    const QString copy = model.media()->url.toLocalFile();
    const auto madeAhead = [&](const std::function<void(ExportOptions&)>& how) {
        change(model, how);
        ASSERT_TRUE(waitUntil([&] { return playback.framesReady() == playback.frameCount(); }));
        ASSERT_TRUE(QFile::rename(copy, copy + QStringLiteral(".away")));
        ASSERT_TRUE(waitUntil([&] { return ready.state() != ReadyExport::State::waiting; }));
        ASSERT_TRUE(QFile::rename(copy + QStringLiteral(".away"), copy));
        ASSERT_EQ(ready.state(), ReadyExport::State::ready);
        EXPECT_EQ(ready.bytes(), MediaProcessor::exportMedia(original, model.options()));
    };
    madeAhead([](ExportOptions& o) {
        o.length = 1.2;
        o.crop = CropSettings{1, -1, 0};
    });
    madeAhead([](ExportOptions& o) { // its first frame comes before the last one's end
        o.start = 0.2;
        o.crop.x = 0.8;
        o.captions = true;
        o.captionTitle = QStringLiteral("Zażółć");
        o.captionSubtitle = QStringLiteral("gęślą jaźń");
        o.order = PlaybackOrder::reverse;
        o.speed = 1.5;
    });
    madeAhead([](ExportOptions& o) { // the same frames, played anew
        o.order = PlaybackOrder::bounce;
        o.speed = 0.5;
    });
    madeAhead([](ExportOptions& o) { o.captionTitle = QStringLiteral("Inny"); });
    madeAhead([](ExportOptions& o) { o.fps = 8; });
    // Changed again while the settings rest, and again while the frames decode.
    change(model, [](ExportOptions& o) { o.crop.zoom = 1.5; });
    spin(ReadyExport::restMs + 50);
    change(model, [](ExportOptions& o) { o.crop.y = 1; });
    spin(20);
    madeAhead([](ExportOptions& o) { o.start = 0; });

    // A hand on the crop holds the decoding past the rest: the size waits for the frames.
    model.playback().holdForGesture();
    change(model, [](ExportOptions& o) { o.crop.x = -0.5; });
    ASSERT_TRUE(QFile::rename(copy, copy + QStringLiteral(".away"))); // the decoder stays open
    for (int step = 0; step * 100 < ReadyExport::restMs + 200; ++step) {
        spin(100);
        model.playback().holdForGesture();
    }
    EXPECT_EQ(playback.framesReady(), 0);
    ASSERT_TRUE(waitUntil([&] { return ready.state() != ReadyExport::State::waiting; }));
    ASSERT_TRUE(QFile::rename(copy + QStringLiteral(".away"), copy));
    EXPECT_EQ(ready.bytes(), MediaProcessor::exportMedia(original, model.options()));

    // Without the playing preview (reduced motion) there are no frames: the file is decoded.
    model.playback().setEnabled(false);
    change(model, [](ExportOptions& o) { o.crop.x = 0; });
    ASSERT_TRUE(waitUntil([&] { return ready.state() != ReadyExport::State::waiting; }));
    EXPECT_EQ(ready.bytes(), MediaProcessor::exportMedia(original, model.options()));
}

// What is made ahead runs only when the machine is otherwise idle, and so do the threads it
// starts; the pool's thread goes back to its jobs as it was.
TEST(IdleScheduling, HoldsForTheThreadAndWhatItStartsAndIsUndone) {
    const int before = sched_getscheduler(0);
    ASSERT_NE(before, SCHED_IDLE);
    {
        const IdleScheduling idle;
        EXPECT_EQ(sched_getscheduler(0), SCHED_IDLE);
        int started = -1;
        std::thread([&started] { started = sched_getscheduler(0); }).join();
        EXPECT_EQ(started, SCHED_IDLE);
    }
    EXPECT_EQ(sched_getscheduler(0), before);
}

TEST_F(Studio, ACancelledExportStopsQuietlyAndKeepsThePreviousOne) {
    StudioModel model(m_home.settings());
    import(model, colours);
    change(model, [](ExportOptions& o) { o.length = 2; });
    prepared(model, false);
    const QString first = model.exportedURL();
    ASSERT_FALSE(first.isEmpty());

    model.prepare(false);
    model.cancelExport();
    ASSERT_TRUE(waitUntil([&] { return !model.busy(); }));
    EXPECT_TRUE(model.error().isEmpty()) << model.error().toStdString();
    EXPECT_EQ(model.exportedURL(), first);
    EXPECT_EQ(libraryFiles().filter(QStringLiteral("tovi-")).size(), 1);
}

TEST_F(Studio, AFailedEncodingKeepsThePreviousExport) {
    StudioModel model(m_home.settings());
    import(model, gif());
    prepared(model, false);
    const QString first = model.exportedURL();
    // The private copy vanished behind the model's back.
    QFile::remove(model.media()->url.toLocalFile());
    prepared(model, false);
    EXPECT_FALSE(model.error().isEmpty());
    EXPECT_TRUE(model.message().isEmpty());
    EXPECT_EQ(model.exportedURL(), first);
    EXPECT_TRUE(QFileInfo::exists(first));
}

TEST_F(Studio, SavesToTheChosenAlbumAndRemembersIt) {
    const QString root = m_user.filePath(QStringLiteral("NO NAME"));
    makeDevice(root);
    StudioModel model(m_home.settings());
    EXPECT_EQ(model.selectedFolder(), QStringLiteral("Photo1"));
    import(model, photo(300, 200));

    // An album picked directly wins over the selected one; it is not remembered as the root.
    model.chooseDestination(root + QStringLiteral("/Photo3"));
    EXPECT_EQ(model.message(), QStringLiteral("Wybrano: Photo3. Zapis nastąpi dopiero po "
                                              "naciśnięciu przycisku."));
    EXPECT_EQ(model.destination(), root + QStringLiteral("/Photo3"));
    EXPECT_FALSE(m_home.settings().contains(Settings::rootPermission));
    prepared(model, true);
    ASSERT_TRUE(model.error().isEmpty()) << model.error().toStdString();
    EXPECT_EQ(model.message(), QStringLiteral("Zapisano do Photo3. Wysuń dysk, przełącz Tovi w "
                                              "tryb DAC i otwórz album przyciskiem Vista."));
    const QStringList saved = QDir(root + QStringLiteral("/Photo3")).entryList(QDir::Files);
    ASSERT_EQ(saved.size(), 1);
    EXPECT_EQ(saved[0], QFileInfo(model.exportedURL()).fileName());
    EXPECT_EQ(readFile(root + QStringLiteral("/Photo3/") + saved[0]), model.output());

    // The root is remembered for both kinds of transfer; each save adds a new file.
    model.chooseDestination(root);
    EXPECT_TRUE(m_home.settings().contains(Settings::rootPermission));
    model.setSelectedFolder(QStringLiteral("Photo2"));
    prepared(model, true);
    EXPECT_EQ(QDir(root + QStringLiteral("/Photo2")).entryList(QDir::Files).size(), 1);
    prepared(model, true);
    EXPECT_EQ(QDir(root + QStringLiteral("/Photo2")).entryList(QDir::Files).size(), 2);

    // A new run finds the destination and the album again.
    const auto settings = m_home.reopenSettings();
    StudioModel again(*settings);
    EXPECT_EQ(again.destination(), root);
    EXPECT_EQ(again.selectedFolder(), QStringLiteral("Photo2"));
}

TEST_F(Studio, AnAlbumThatDoesNotAnswerCanBeGivenUp) {
    const QString root = m_user.filePath(QStringLiteral("NO NAME"));
    makeDevice(root);
    StudioModel model(m_home.settings());
    model.setPatience(std::chrono::milliseconds(300));
    import(model, photo(300, 200));
    model.chooseDestination(root);
    // Another writer holds the album and does not let go: the write waits, silent.
    std::optional<FolderLock> holder(std::in_place, root + QStringLiteral("/Photo1"));
    model.prepare(true);
    ASSERT_TRUE(waitUntil([&] { return model.stalled(); }));
    model.stopWaiting();
    EXPECT_FALSE(model.busy());
    EXPECT_EQ(model.error(), DeviceWatch::stoppedAlbumText(model.exportedURL()));
    EXPECT_TRUE(QFileInfo::exists(model.exportedURL()));
    // When the album is free again, the abandoned write does not begin, unheard by the model.
    holder.reset();
    settle();
    EXPECT_TRUE(QDir(root + QStringLiteral("/Photo1")).isEmpty(QDir::Files));
    EXPECT_EQ(model.error(), DeviceWatch::stoppedAlbumText(model.exportedURL()));
}

TEST_F(Studio, RefusedDestinationsAndMissingDevicesAreReportedAndKeepTheLocalFile) {
    const QString root = m_user.filePath(QStringLiteral("NO NAME"));
    makeDevice(root);
    StudioModel model(m_home.settings());
    import(model, photo(300, 200));
    const QString invalid = MediaError(MediaError::invalidFolder).message();

    model.chooseDestination(root + QStringLiteral("/Game1"));
    EXPECT_EQ(model.error(), invalid);
    EXPECT_EQ(model.errorKind(), FailureKind::other);
    EXPECT_TRUE(model.destination().isEmpty());
    EXPECT_FALSE(m_home.settings().contains(Settings::destination));

    prepared(model, true);
    EXPECT_EQ(model.error(), invalid);
    EXPECT_TRUE(QFileInfo::exists(model.exportedURL()));

    model.clearError();
    model.chooseDestination(root);
    ASSERT_TRUE(model.error().isEmpty());
    QDir(root).removeRecursively(); // unplugged
    prepared(model, true);
    EXPECT_EQ(model.error(), invalid);
    EXPECT_TRUE(model.message().isEmpty());
    EXPECT_TRUE(QFileInfo::exists(model.exportedURL()));
    EXPECT_FALSE(model.output().isEmpty());

    // A Tovi with no room left is told as one, by its kind, so the window can offer to make room.
    TOVI_FAT_VOLUME(volume, 1024);
    makeDevice(volume.root());
    fillUp(volume.root() + QStringLiteral("/Photo3/filler"));
    model.clearError();
    model.chooseDestination(volume.root());
    prepared(model, true);
    EXPECT_EQ(model.errorKind(), FailureKind::deviceFull) << model.error().toStdString();
    EXPECT_TRUE(model.error().startsWith(QStringLiteral("Na Tovi brakuje miejsca: ")));
    EXPECT_TRUE(QDir(volume.root() + QStringLiteral("/Photo1")).isEmpty());
    model.clearError();
    EXPECT_EQ(model.errorKind(), FailureKind::other);
    ASSERT_TRUE(volume.unmount());
    EXPECT_TRUE(volume.check().isEmpty()) << volume.check().toStdString();
}

TEST_F(Studio, StartUpRestoresTheAlbumAndOnlyAFreshDestination) {
    m_home.settings().setString(Settings::album, QStringLiteral("Photo3"));
    const QString root = m_user.filePath(QStringLiteral("device"));
    makeDevice(root);
    m_home.settings().setBytes(Settings::destination, Bookmark::make(root));
    {
        StudioModel model(m_home.settings());
        EXPECT_EQ(model.selectedFolder(), QStringLiteral("Photo3"));
        EXPECT_EQ(model.destination(), root);
        model.setSelectedFolder(QStringLiteral("Photo2"));
        EXPECT_EQ(m_home.reopenSettings()->string(Settings::album), QStringLiteral("Photo2"));
    }
    // Another folder now stands where the chosen one was: the bookmark is stale.
    ASSERT_TRUE(QDir().rename(root, m_user.filePath(QStringLiteral("old"))));
    makeDevice(root);
    const QByteArray stored = m_home.settings().bytes(Settings::destination);
    StudioModel model(m_home.settings());
    EXPECT_TRUE(model.destination().isEmpty());
    EXPECT_EQ(m_home.settings().bytes(Settings::destination), stored);
}

// Older than the start-up cleanup spares.
void age(const QString& path) {
    const struct timeval times[2] = {{1000000000, 0}, {1000000000, 0}};
    ::utimes(QFile::encodeName(path).constData(), times);
}

TEST_F(Studio, StartUpRemovesOnlyAbandonedMediaCopies) {
    const QString library = WorkingFolder::path();
    const auto old = [&](const QString& name) {
        const QString path = QDir(library).filePath(name);
        writeFile(path, "x");
        age(path);
        return path;
    };
    const QString abandoned = old(QStringLiteral("0A1B2C3D-0000-4000-8000-00000000000A.mov"));
    const QString bare = old(QStringLiteral("0A1B2C3D-0000-4000-8000-00000000000B"));
    const QString exported = old(QStringLiteral("tovi-0A1B2C3D.gif"));
    const QString foreign = old(QStringLiteral("notes.txt"));
    const QString held = old(QStringLiteral("0A1B2C3D-0000-4000-8000-00000000000C.mp4"));
    const QString young =
        QDir(library).filePath(QStringLiteral("0A1B2C3D-0000-4000-8000-00000000000D.png"));
    writeFile(young, "x");
    makeFolder(QDir(library).filePath(QStringLiteral("Packs")));
    writeFile(QDir(library).filePath(QStringLiteral("Packs/edits.json")), "{}");

    // Another running instance still works on this one.
    QFile other(held);
    ASSERT_TRUE(other.open(QIODevice::ReadOnly));
    ASSERT_EQ(::flock(other.handle(), LOCK_SH), 0);

    StudioModel model(m_home.settings());
    for (const QString& path : {abandoned, bare})
        EXPECT_FALSE(QFileInfo::exists(path)) << path.toStdString();
    for (const QString& path : {exported, foreign, held, young, library + "/Packs/edits.json"})
        EXPECT_TRUE(QFileInfo::exists(path)) << path.toStdString();

    // A model's own current copy is held the same way while it lives.
    import(model, photo(100, 100));
    const QString current = model.media()->url.toLocalFile();
    age(current);
    StudioModel second(m_home.settings());
    EXPECT_TRUE(QFileInfo::exists(current));
}

// The work of a run as a person leaves it: a clip cropped, trimmed, captioned, made a still.
ExportOptions leftAsItWas(StudioModel& model) {
    model.panCrop(-30, 0, 300);
    model.zoomCrop(10, false);
    // crop, format, start, length, fps, rotation, its seconds, clockwise, captions, texts,
    // order, speed
    model.setOptions({model.options().crop, OutputFormat::jpg, 0.75, 1.25, 7, true, 2.5, false,
                      true, QStringLiteral("Zażółć"), QStringLiteral("gęślą jaźń"),
                      PlaybackOrder::bounce, 0.75});
    return model.options();
}

// Settled, and the worker that writes it done.
void written() {
    spin(DeferredWrite::settleMs + 100);
    waitForWork();
}

TEST_F(Studio, TheWorkComesBackAfterAQuitAndAfterACrash) {
    const QString saved = SavedWork::file();
    auto model = std::make_unique<StudioModel>(m_home.settings());
    import(*model, colours);
    const ExportOptions options = leftAsItWas(*model);
    const QString copy = model->media()->url.toLocalFile();
    {
        // Written by a worker: with every worker held it waits, and the window goes on.
        PoolGate gate;
        spin(DeferredWrite::settleMs + 100);
        EXPECT_FALSE(QFileInfo::exists(saved));
    }
    written();
    // The model still lives: a crash now loses nothing.
    const SavedWork onDisk{QFileInfo(copy).fileName(), QStringLiteral("colours.mp4"), options};
    EXPECT_EQ(SavedWork::decode(readFile(saved)), onDisk);
    // Saved before the order and the speed: it plays normally at 1 ×.
    QByteArray old;
    for (const QByteArray& line : readFile(saved).split('\n'))
        if (!line.contains("\"order\"") && !line.contains("\"speed\""))
            old += line + '\n';
    SavedWork before = onDisk;
    before.options.order = PlaybackOrder::normal;
    before.options.speed = 1;
    EXPECT_EQ(SavedWork::decode(old.replace("\"version\": 2", "\"version\": 1")), before);

    // A quit right after a change: the model's end hands the change on.
    ExportOptions last = options;
    last.captionTitle = QStringLiteral("Ostatnie słowo");
    model->setOptions(last);
    model.reset();
    // Old enough for the start-up cleanup, which must leave the saved work's copy alone.
    age(copy);
    waitForWork();

    {
        StudioModel again(m_home.settings());
        ASSERT_TRUE(waitUntil([&] { return !again.preview().isNull(); }));
        EXPECT_EQ(again.media()->url.toLocalFile(), copy);
        EXPECT_EQ(again.mediaName(), QStringLiteral("colours.mp4"));
        EXPECT_EQ(again.options(), last);
    }
    waitForWork();

    // A file opened at start-up replaces the work coming back, and its copy.
    StudioModel opened(m_home.settings());
    import(opened, photo(100, 100));
    import(opened, photo(120, 100)); // with the same fresh options
    settle();
    EXPECT_FALSE(QFileInfo::exists(copy));
    written();
    EXPECT_EQ(SavedWork::decode(readFile(saved))->mediaName, QStringLiteral("photo-120x100.png"));
}

TEST_F(Studio, WorkThatCannotComeBackLeavesTheStudioEmpty) {
    const auto leave = [&] {
        StudioModel model(m_home.settings());
        import(model, gif());
        leftAsItWas(model);
        written();
        return model.media()->url.toLocalFile();
    };
    const auto startsEmpty = [&](const QByteArray& what) {
        {
            StudioModel model(m_home.settings());
            settle();
            EXPECT_TRUE(!model.media() && model.mediaName().isEmpty() && model.error().isEmpty() &&
                        model.options() == ExportOptions{})
                << what.constData();
        }
        waitForWork();
    };

    QFile::remove(leave());
    startsEmpty("the copy is gone");

    // The copy no longer decodes: it is not kept for ever either.
    QString copy = leave();
    writeFile(copy, "no longer a picture");
    startsEmpty("the copy is unreadable");
    EXPECT_FALSE(QFileInfo::exists(copy));
    EXPECT_FALSE(QFileInfo::exists(SavedWork::file()));

    copy = leave();
    {
        QFile other(copy); // another instance still works on it
        ASSERT_TRUE(other.open(QIODevice::ReadOnly));
        ASSERT_EQ(::flock(other.handle(), LOCK_SH), 0);
        startsEmpty("the copy is in use");
    }

    // Anything the studio did not write.
    const QByteArray good = readFile(SavedWork::file());
    const QString outside = m_user.filePath(QStringLiteral("keep.png"));
    writeFile(outside, "not ours to remove");
    const QByteArray name = QFileInfo(copy).fileName().toUtf8();
    const std::pair<QByteArray, QByteArray> damages[] = {
        {"\"version\": 2", "\"version\": 3"},
        {"\"bounce\"", "\"sideways\""},
        {"\"speed\": 0.75", "\"speed\": \"0.75\""},
        {"\"JPG\"", "\"PNG\""},
        {"\"start\": 0.75", "\"start\": 1e999"},
        {"\"clockwise\": false", "\"clockwise\": 0"},
        {name, QDir(m_home.library()).relativeFilePath(outside).toUtf8()},
        {good, good.left(good.size() / 2)}};
    for (const auto& [from, to] : damages) {
        QByteArray bytes = good;
        ASSERT_NE(bytes.replace(from, to), good);
        writeFile(SavedWork::file(), bytes);
        startsEmpty(bytes);
    }
    EXPECT_TRUE(QFileInfo::exists(outside));
    writeFile(SavedWork::file(), good);
    StudioModel model(m_home.settings());
    EXPECT_TRUE(waitUntil([&] { return model.media().has_value(); }));
}

TEST_F(Studio, AModelThatGoesAwayMidWorkIsLeftAlone) {
    {
        StudioModel model(m_home.settings());
        model.importMedia(QUrl::fromLocalFile(colours));
    }
    {
        StudioModel model(m_home.settings());
        import(model, colours);
        model.prepare(false);
    }
    waitForWork();
    spin(50);
}

// --- a row of pictures ------------------------------------------------------------------------

class Row : public Studio {
protected:
    QString named(const QString& name, QColor colour, int width = 300, int height = 200) {
        return savePicture(m_user.filePath(name), {width, height}, colour);
    }
    void fill(PictureRow& row, const QStringList& files) {
        row.add(files);
        ASSERT_TRUE(waitUntil([&] { return !row.busy(); }));
        ASSERT_TRUE(waitUntil([&] { return !m_model.busy() && (row.count() == 0 || shows(row)); }));
    }
    // The editor shows the selected picture.
    bool shows(const PictureRow& row) {
        return m_model.mediaName() == row.item(row.selected()).label;
    }
    void choose(PictureRow& row, int index) {
        row.select(index);
        ASSERT_TRUE(waitUntil([&] { return shows(row); }));
    }
    void send(PictureRow& row) {
        row.send();
        ASSERT_TRUE(waitUntil([&] { return !row.busy(); }));
    }
    QStringList three() {
        return {named(QStringLiteral("plaża.jpg"), Qt::red), gif(),
                named(QStringLiteral("góry.png"), Qt::blue, 200, 300)};
    }
    StudioModel m_model{m_home.settings()};
};

TEST_F(Row, EachPictureKeepsItsOwnSettingsThroughSelectionMovesAndRemoval) {
    PictureRow row(m_model);
    // One file with no row is an import as ever.
    fill(row, {photo(300, 200)});
    EXPECT_EQ(row.count(), 0);
    EXPECT_EQ(row.sendLabel(), QStringLiteral("Wyślij na Tovi"));

    // Several replace it as a row in the order given; what cannot be read is named and left out.
    const QString broken = userFile(QStringLiteral("zepsuty.jpg"), "not a picture");
    QStringList files = three();
    files.insert(1, broken);
    fill(row, files);
    ASSERT_EQ(row.count(), 3);
    EXPECT_EQ(row.item(1).label, QStringLiteral("clip.gif"));
    EXPECT_TRUE(row.item(0).media.frame.isNull()); // the row keeps no decoded pictures
    EXPECT_EQ(row.item(0).thumbnail.size(),
              QSize(PictureRow::thumbnailSize, PictureRow::thumbnailSize));
    EXPECT_TRUE(m_model.error().startsWith(QStringLiteral("zepsuty.jpg: ")))
        << m_model.error().toStdString();
    EXPECT_EQ(row.sendLabel(), QStringLiteral("Wyślij na Tovi (3)"));
    EXPECT_EQ(row.spokenName(2), QStringLiteral("Obraz 3 z 3: góry.png"));
    row.send(); // no Tovi chosen yet
    EXPECT_EQ(row.error(), MediaError(MediaError::invalidFolder).message());
    EXPECT_FALSE(row.busy());
    row.clearError();
    EXPECT_EQ(row.selected(), 0);
    EXPECT_EQ(libraryFiles().size(), 3u); // the single import's copy went with it

    // The first picture's own settings; the second starts from them, centred, as a GIF.
    m_model.zoomCrop(240, false);
    m_model.panCrop(-60, 0, 300);
    ExportOptions first = m_model.options();
    first.captions = true;
    first.captionTitle = QStringLiteral("Lato");
    m_model.setOptions(first);
    ASSERT_NE(first.crop.x, 0);
    choose(row, 1);
    EXPECT_EQ(m_model.options().crop.zoom, first.crop.zoom);
    EXPECT_EQ(m_model.options().crop.x, 0);
    EXPECT_EQ(m_model.options().captionTitle, QStringLiteral("Lato"));
    EXPECT_EQ(m_model.options().format, OutputFormat::gif);
    EXPECT_LE(m_model.options().length, 1.5);
    ExportOptions second = m_model.options();
    second.captionTitle = QStringLiteral("Ruch");
    m_model.setOptions(second);

    // Back to the first: its settings are as they were left, the second keeps its own.
    choose(row, 0);
    EXPECT_EQ(m_model.options(), first);
    EXPECT_EQ(row.optionsOf(1), second);
    // Never shown yet: it would go with the settings of the one before it, as a photo.
    EXPECT_EQ(row.optionsOf(2).format, OutputFormat::jpg);
    EXPECT_EQ(row.optionsOf(2).captionTitle, QStringLiteral("Ruch"));

    // Moving keeps the selection on the same picture, either way.
    row.move(0, 2);
    EXPECT_EQ(row.item(2).label, QStringLiteral("plaża.jpg"));
    EXPECT_EQ(row.item(0).label, QStringLiteral("clip.gif"));
    EXPECT_EQ(row.selected(), 2);
    row.move(1, 0);
    EXPECT_EQ(row.item(0).label, QStringLiteral("góry.png"));
    EXPECT_EQ(row.selected(), 2);
    row.move(2, 1);
    EXPECT_EQ(row.selected(), 1);
    row.move(0, 1); // onto the selected one, from before it
    EXPECT_EQ(row.selected(), 0);
    row.move(1, 0);
    EXPECT_EQ(row.optionsOf(2), second);

    // Taking out the selected one shows the one after it; its copy goes once replaced.
    const QString gone = row.item(1).copy->path();
    row.remove(1);
    ASSERT_EQ(row.count(), 2);
    ASSERT_TRUE(waitUntil([&] { return shows(row); }));
    EXPECT_EQ(m_model.mediaName(), QStringLiteral("clip.gif"));
    EXPECT_EQ(m_model.options(), second);
    EXPECT_FALSE(QFileInfo::exists(gone));
    row.remove(0);
    row.remove(0); // a row keeps one picture
    EXPECT_EQ(row.count(), 1);
    EXPECT_EQ(row.selected(), 0);
}

TEST_F(Row, AToviThatStopsAnsweringMidRowCanBeGivenUp) {
    const QString root = m_user.filePath(QStringLiteral("NO NAME"));
    makeDevice(root);
    PictureRow row(m_model);
    row.setPatience(std::chrono::milliseconds(300));
    fill(row, three());
    m_model.chooseDestination(root);
    // Another writer holds the album and does not let go: the row waits, silent.
    std::optional<FolderLock> holder(std::in_place, root + QStringLiteral("/Photo1"));
    QSignalSpy told(&row, &PictureRow::stalledChanged);
    row.send();
    ASSERT_TRUE(waitUntil([&] { return row.stalled(); }));
    EXPECT_EQ(told.count(), 1); // the sheet hears it
    row.stopWaiting();
    EXPECT_FALSE(row.busy());
    EXPECT_TRUE(row.error().startsWith(QStringLiteral("Przestano czekać na Tovi.")));
    // Once the album is free, the picture under way is finished and nothing after it begins.
    holder.reset();
    settle();
    EXPECT_EQ(QDir(root + QStringLiteral("/Photo1")).entryList(QDir::Files).size(), 1);
    EXPECT_TRUE(row.error().startsWith(QStringLiteral("Przestano czekać na Tovi.")));

    // Nothing that can be made: nothing is written, and the row says so.
    for (int i = 0; i < row.count(); ++i)
        writeFile(row.item(i).copy->path(), "broken");
    send(row);
    EXPECT_EQ(row.error(), QStringLiteral("Nie zapisano żadnej grafiki."));
    EXPECT_TRUE(row.message().isEmpty()) << row.message().toStdString();
    EXPECT_EQ(row.lines()[2].result.error, MediaError(MediaError::unreadable).message());
    EXPECT_EQ(QDir(root + QStringLiteral("/Photo1")).entryList(QDir::Files).size(), 1);
}

TEST_F(Row, SendsEveryPictureOrNoneAndTellsEachOnesOutcome) {
    TOVI_FAT_VOLUME(volume, 1024);
    const QString root = volume.root();
    makeDevice(root);
    const QString album = root + QStringLiteral("/Photo1");
    const auto inAlbum = [&] { return QDir(album).entryList(QDir::Files | QDir::Hidden); };
    PictureRow row(m_model);
    fill(row, three());
    m_model.chooseDestination(root);
    const QString filler = root + QStringLiteral("/Photo3/filler");
    const auto leave = [&](qint64 free) {
        writeFile(filler, QByteArray(DeviceSpace::of(album).free - free, 'f'));
    };
    const auto afterFirst = [&](std::function<void()> act) {
        row.setBetweenPictures([act](int index) {
            if (index == 1)
                act();
        });
    };

    // Full before: the row is measured whole, nothing is written, and room can be made.
    const DeviceSpace space = DeviceSpace::of(album);
    leave(space.cluster);
    send(row);
    EXPECT_EQ(row.errorKind(), FailureKind::deviceFull);
    EXPECT_TRUE(row.error().startsWith(QStringLiteral("Na Tovi brakuje miejsca: ")))
        << row.error().toStdString();
    EXPECT_TRUE(row.message().isEmpty());
    EXPECT_TRUE(inAlbum().isEmpty());
    QFile::remove(filler);

    // Full midway: the first stays whole, the others say why, nothing is left over.
    afterFirst([&] { leave(0); });
    send(row);
    ASSERT_EQ(row.lines().size(), 3u);
    EXPECT_TRUE(row.lines()[0].result.written());
    for (int i : {1, 2})
        EXPECT_TRUE(row.lines()[size_t(i)].result.error.startsWith(
            QStringLiteral("Na Tovi brakuje miejsca")));
    EXPECT_EQ(row.message(), QStringLiteral("Zapisano 1 z 3 do Photo1."));
    EXPECT_FALSE(row.allWritten());
    EXPECT_EQ(inAlbum().size(), 1);
    // "Ponów" once there is room: that one is written too.
    QFile::remove(filler);
    row.setBetweenPictures({});
    row.retry(1);
    ASSERT_TRUE(waitUntil([&] { return !row.busy(); }));
    EXPECT_TRUE(row.lines()[1].result.written());
    EXPECT_EQ(row.message(), QStringLiteral("Zapisano 2 z 3 do Photo1."));
    EXPECT_EQ(inAlbum().size(), 2);
    row.retry(2);
    ASSERT_TRUE(waitUntil([&] { return !row.busy(); }));
    EXPECT_TRUE(row.allWritten()) << "a row set right by its retries is all there";
    for (const QString& name : inAlbum())
        QFile::remove(album + QLatin1Char('/') + name);

    // A broken file never stops the others; the summary names it with its sentence.
    writeFile(row.item(1).copy->path(), "broken");
    send(row);
    EXPECT_TRUE(row.lines()[0].result.written());
    EXPECT_EQ(row.lines()[1].result.label, QStringLiteral("clip.gif"));
    EXPECT_EQ(row.lines()[1].result.error, MediaError(MediaError::unreadable).message());
    EXPECT_TRUE(row.lines()[2].result.written());
    EXPECT_EQ(row.message(), QStringLiteral("Zapisano 2 z 3 do Photo1."));
    for (const QString& name : inAlbum())
        QFile::remove(album + QLatin1Char('/') + name);

    // "Przerwij" stops after the picture being written.
    afterFirst([&] { row.stop(); });
    send(row);
    EXPECT_TRUE(row.lines()[0].result.written());
    EXPECT_EQ(row.lines()[2].result.error, QStringLiteral("Nie wysłano: zapis przerwano."));
    EXPECT_EQ(row.message(),
              QStringLiteral("Zapisano 1 z 3 do Photo1. Przerwano: pozostałych nie wysłano."));
    EXPECT_EQ(inAlbum().size(), 1);
    QFile::remove(album + QLatin1Char('/') + inAlbum().value(0));

    // Pulled out midway: what was written is whole and verified, the rest unsent, and said so.
    afterFirst([&] { volume.unmount(); });
    send(row);
    EXPECT_TRUE(row.deviceGone());
    const AlbumRow::Result first = row.lines()[0].result;
    EXPECT_TRUE(first.written());
    EXPECT_EQ(row.lines()[2].result.error, QStringLiteral("Nie wysłano: Tovi odłączono."));
    EXPECT_TRUE(row.message().endsWith(QStringLiteral(
        "Tovi odłączono w trakcie: zapisane grafiki są całe i sprawdzone, pozostałych nie "
        "wysłano.")))
        << row.message().toStdString();
    EXPECT_TRUE(volume.check().isEmpty()) << volume.check().toStdString();
    ASSERT_TRUE(volume.mount(root));
    EXPECT_EQ(inAlbum(), QStringList{first.name});
}

TEST(WorkingFolder, IsCreatedWhenMissing) {
    ModelHome home;
    EXPECT_FALSE(QFileInfo::exists(home.library()));
    EXPECT_EQ(WorkingFolder::path(), home.library());
    EXPECT_TRUE(QFileInfo(home.library()).isDir());
}

} // namespace

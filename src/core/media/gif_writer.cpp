#include "media/gif_writer.h"

#include "media/c_handles.h"
#include "media/gif_frame_encoder.h"
#include "media/gif_rate_control.h"
#include "media/gif_timing.h"
#include "media/media_error.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <sys/resource.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace tovi {

using gif::EncodedFrame;
using gif::FrameEncoder;
using gif::SharedPalette;

namespace {

// A GIF holds at most 65535 centiseconds a frame and 65535 pixels a side; a frame of more pixels
// than this is no picture anyone sends to a small screen.
constexpr int kMaxCentiseconds = 65535;
constexpr int kMaxSide = 65535;
constexpr int kMaxPixels = 1 << 26;

[[noreturn]] void fail() {
    throw MediaError(MediaError::encode);
}

void check(int gifStatus) {
    if (gifStatus != GIF_OK)
        fail();
}

using ColorMapPtr = CHandle<ColorMapObject, GifFreeMapObject>;

int writeToBuffer(GifFileType* gif, const GifByteType* data, int length) {
    static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(data), length);
    return length;
}

int workerCount() {
    return static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
}

// Frames queued ahead of the workers: room for a decoder that runs ahead in bursts, while the
// pictures held stay within 16 MiB.
int pendingLimit(QSize size) {
    const qint64 frameBytes = 4 * qint64(size.width()) * size.height();
    const qint64 fits = (qint64(16) << 20) / std::max<qint64>(1, frameBytes);
    return static_cast<int>(std::clamp<qint64>(fits, workerCount() + 2, 4 * workerCount()));
}

// The workers yield to the thread that feeds them (a decoder, a painter): whatever they leave
// unused now they catch up on once the feeding stops, so the whole ends sooner. Linux gives
// each thread its own nice value.
void yieldToTheFeeder() {
    const auto thread = static_cast<id_t>(::gettid());
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, thread);
    if (errno == 0)
        ::setpriority(PRIO_PROCESS, thread, std::min(nice + 5, 19));
}

} // namespace

struct GifWriter::Pipeline {
    struct Slot {
        QImage image;
        GifEffort effort = GifEffort::smallest;
        std::shared_ptr<Slot> paletteFrom; // a quick frame takes this frame's palette
        SharedPalette palette;
        // A frame of a clip: the frames shown just before (the one below, and the one before
        // that for the rate control) and its picture as given. The picture on screen after this
        // frame, final for its first `shownUpTo` pixels, kept until the next frame has read it.
        // The frame's place, the rate control's factor for it, the clip's bytes up to it and
        // its recent bytes per frame.
        bool clip = false;
        bool overBelow = false; // whether `below` was set, even once it is let go
        std::shared_ptr<Slot> below, twoBelow;
        QImage previous;
        std::vector<std::uint32_t> shown;
        std::atomic<int> shownUpTo{0};
        int index = 0;
        float factor = 1;
        bool factorKnown = false;
        qint64 spent = 0;
        double recent = 0;
        EncodedFrame encoded;
        bool ready = false;
    };
    struct Pending {
        std::shared_ptr<Slot> slot;
        int centiseconds;
        double opacity; // of the slot's picture over black
    };

    Pipeline(QSize frameSize, GifClip clipRoom);
    ~Pipeline();
    void workerLoop();
    void writeReadyFrames(std::unique_lock<std::mutex>& lock);
    void writeFrame(const EncodedFrame& frame, int centiseconds, double opacity);
    void writeHeader(const ColorMapObject& map, const std::vector<GifColorType>& palette);
    void queue(const QImage& frame, double opacity, double delaySeconds, GifEffort effort);
    void recordFailure(std::exception_ptr error);
    void encodeSlot(FrameEncoder& encoder, Slot& slot, const SharedPalette* palette);
    int awaitPicture(Slot& slot, int pixels);
    void publishPicture(Slot& slot, int pixels);
    float factorFor(Slot& slot);
    void stopWorkers();

    const QSize size;
    const GifClip clip;
    const int maxPending;
    QByteArray bytes;
    GifWriterPtr gif; // declared after `bytes`: closing it still writes the trailer there
    std::vector<GifColorType> globalPalette; // empty until the header is written
    std::vector<std::thread> workers;

    std::mutex mutex;
    std::condition_variable workAvailable;
    std::condition_variable frameWritten;
    std::deque<std::shared_ptr<Slot>> jobs;
    std::deque<Pending> pending; // added, not yet written, in order
    bool writing = false;
    bool stopping = false;
    std::atomic<int> awaitingPictures{0};
    std::exception_ptr failure;

    // Touched only by the driving thread.
    bool finished = false;
    int added = 0;
    double elapsedSeconds = 0;
    QImage lastFrame;
    std::shared_ptr<Slot> lastSlot;
    std::shared_ptr<Slot> lastBelow; // what lastSlot was shown over
    double lastOpacity = 1;
    std::shared_ptr<Slot> keySlot;   // the last picture encoded with the smallest effort
    std::shared_ptr<Slot> unchanged; // a clip's picture shown again
    QImage keyFrame;
};

GifWriter::Pipeline::Pipeline(QSize frameSize, GifClip clipRoom)
    : size(frameSize)
    , clip(clipRoom)
    , maxPending(pendingLimit(frameSize)) {
    if (size.width() < 1 || size.height() < 1 || size.width() > kMaxSide ||
        size.height() > kMaxSide || qint64(size.width()) * size.height() > kMaxPixels)
        fail();
    int error = 0;
    gif.reset(EGifOpen(&bytes, writeToBuffer, &error));
    if (!gif)
        fail();
    EGifSetGifVersion(gif.get(), true);

    const int count = workerCount();
    workers.reserve(static_cast<size_t>(count));
    try {
        for (int i = 0; i < count; ++i)
            workers.emplace_back([this] { workerLoop(); });
    } catch (const std::system_error&) {
        stopWorkers();
        fail();
    }
}

GifWriter::Pipeline::~Pipeline() {
    stopWorkers();
}

void GifWriter::Pipeline::stopWorkers() {
    {
        std::lock_guard lock(mutex);
        stopping = true;
        jobs.clear();
    }
    workAvailable.notify_all();
    frameWritten.notify_all(); // a quick frame may be waiting for a palette that never comes
    for (auto& worker : workers)
        if (worker.joinable())
            worker.join();
}

void GifWriter::Pipeline::recordFailure(std::exception_ptr error) {
    if (!failure)
        failure = std::move(error);
    stopping = true;
    jobs.clear();
    workAvailable.notify_all();
    frameWritten.notify_all();
}

void GifWriter::Pipeline::workerLoop() {
    yieldToTheFeeder();
    std::unique_ptr<FrameEncoder> encoder;
    for (;;) {
        std::shared_ptr<Slot> slot;
        const SharedPalette* palette = nullptr;
        {
            std::unique_lock lock(mutex);
            workAvailable.wait(lock, [this] { return stopping || !jobs.empty(); });
            if (stopping)
                return;
            slot = std::move(jobs.front());
            jobs.pop_front();
            // Jobs start in order, so the frame whose palette this one takes is already being
            // encoded, or done.
            if (slot->paletteFrom) {
                frameWritten.wait(lock,
                                  [&] { return stopping || slot->paletteFrom->palette.ready; });
                if (stopping)
                    return;
                palette = &slot->paletteFrom->palette;
            }
        }
        std::exception_ptr error;
        try {
            if (!encoder)
                encoder = std::make_unique<FrameEncoder>();
            encodeSlot(*encoder, *slot, palette);
        } catch (...) {
            error = std::current_exception();
        }
        slot->image = QImage(); // only this worker holds the pictures now
        slot->previous = QImage();
        std::unique_lock lock(mutex);
        if (stopping)
            return;
        if (error) {
            recordFailure(error);
            return;
        }
        if (slot->below) { // the next frame reads this one's picture, not the one below
            slot->below->shown = {};
            slot->below.reset();
        }
        slot->twoBelow.reset();
        slot->ready = true;
        writeReadyFrames(lock);
    }
}

void GifWriter::Pipeline::encodeSlot(FrameEncoder& encoder, Slot& slot,
                                     const SharedPalette* palette) {
    const auto chosen = [&](const std::vector<GifColorType>& entries, int colors) {
        std::lock_guard guard(mutex);
        slot.palette = {entries, colors, true};
        frameWritten.notify_all(); // a quick frame may be waiting for it
    };
    if (!slot.clip) {
        slot.encoded = encoder.encode(slot.image, slot.effort, palette, chosen);
        return;
    }
    FrameEncoder::ClipLink link;
    if (slot.below) {
        Slot& below = *slot.below;
        link.below = below.shown.data();
        link.awaitBelow = [this, &below](int pixels) { return awaitPicture(below, pixels); };
        link.previous = &slot.previous;
    }
    link.shown = slot.shown.data();
    link.published = [this, &slot](int pixels) { publishPicture(slot, pixels); };
    link.factor = [this, &slot] { return factorFor(slot); };
    link.earlierFactor = [this, &slot] {
        if (!slot.twoBelow)
            return 1.0f;
        std::unique_lock lock(mutex);
        frameWritten.wait(lock, [&] { return stopping || slot.twoBelow->factorKnown; });
        if (stopping)
            fail();
        return slot.twoBelow->factor;
    };
    link.finished = [&slot](qint64 frameBytes) {
        // The frame below has published all its pixels, and told its bytes before that.
        const Slot* below = slot.below.get();
        slot.spent = (below ? below->spent : 0) + frameBytes;
        // The first frame, opaque, says little about the others.
        slot.recent = below && below->index > 0 ? gif::recentBytes(below->recent, frameBytes)
                                                : double(frameBytes);
    };
    slot.encoded = encoder.encode(slot.image, slot.effort, palette, chosen, &link);
}

// A frame shown over the one before may start as soon as that one's first rows are final: it
// waits only for what it reads. Throws once the writer stops.
int GifWriter::Pipeline::awaitPicture(Slot& slot, int pixels) {
    int ready = slot.shownUpTo.load();
    if (ready >= pixels)
        return ready;
    std::unique_lock lock(mutex);
    ++awaitingPictures;
    frameWritten.wait(lock, [&] { return stopping || (ready = slot.shownUpTo.load()) >= pixels; });
    --awaitingPictures;
    if (stopping)
        fail();
    return ready;
}

void GifWriter::Pipeline::publishPicture(Slot& slot, int pixels) {
    slot.shownUpTo.store(pixels);
    if (awaitingPictures.load() > 0) {
        std::lock_guard lock(mutex);
        frameWritten.notify_all();
    }
}

// The rate control: the factor of the frame before, moved when the clip's projected size leaves
// its aim. The projection comes from the frame two before, the last one surely coded in full
// (or from the one before, waited for), so the factors do not depend on how the frames were
// scheduled.
float GifWriter::Pipeline::factorFor(Slot& slot) {
    float factor = 1;
    if (slot.below) {
        std::unique_lock lock(mutex);
        frameWritten.wait(lock, [&] { return stopping || slot.below->factorKnown; });
        if (stopping)
            fail();
        factor = slot.below->factor;
    }
    // The first frame, opaque, says little about the others: the third learns from the second,
    // and waits for it.
    Slot* const learnt = slot.twoBelow && slot.twoBelow->index > 0 ? slot.twoBelow.get()
                         : slot.twoBelow && slot.below             ? slot.below.get()
                                                                   : nullptr;
    if (learnt) {
        const Slot& from = *learnt;
        awaitPicture(*learnt, size.width() * size.height());
        factor = gif::nextFactor(factor, from.spent, from.recent, clip.frames - from.index - 1,
                                 clip.bytes);
    }
    std::lock_guard lock(mutex);
    slot.factor = factor;
    slot.factorKnown = true;
    frameWritten.notify_all();
    return factor;
}

// Whoever finds the next frame ready writes it, and every ready one after it, outside the lock;
// one writer at a time keeps giflib's stream in frame order.
void GifWriter::Pipeline::writeReadyFrames(std::unique_lock<std::mutex>& lock) {
    if (writing)
        return;
    writing = true;
    while (!failure && !pending.empty() && pending.front().slot->ready) {
        Pending next = pending.front();
        lock.unlock();
        std::exception_ptr error;
        try {
            writeFrame(next.slot->encoded, next.centiseconds, next.opacity);
        } catch (...) {
            error = std::current_exception();
        }
        lock.lock();
        if (error) {
            recordFailure(error);
            break;
        }
        pending.pop_front();
    }
    writing = false;
    frameWritten.notify_all();
}

// The header waits for the first frame: its palette, as written, becomes the global table.
// Small firmware readers refuse a file without one, and every frame that shows the same colours
// then needs no table of its own.
void GifWriter::Pipeline::writeHeader(const ColorMapObject& map,
                                      const std::vector<GifColorType>& palette) {
    check(EGifPutScreenDesc(gif.get(), size.width(), size.height(), 8, 0, &map));
    // NETSCAPE2.0 block: sub-block 1, loop count 0 = forever.
    static const GifByteType loop[] = {1, 0, 0};
    check(EGifPutExtensionLeader(gif.get(), APPLICATION_EXT_FUNC_CODE));
    check(EGifPutExtensionBlock(gif.get(), 11, "NETSCAPE2.0"));
    check(EGifPutExtensionBlock(gif.get(), sizeof loop, loop));
    check(EGifPutExtensionTrailer(gif.get()));
    globalPalette = palette;
}

void GifWriter::Pipeline::writeFrame(const EncodedFrame& frame, int centiseconds, double opacity) {
    std::vector<GifColorType> palette = frame.palette;
    if (opacity < 1) {
        const auto faded = [&](GifByteType c) {
            return static_cast<GifByteType>(std::lround(c * opacity));
        };
        for (GifColorType& color : palette)
            color = {faded(color.Red), faded(color.Green), faded(color.Blue)};
    }
    ColorMapPtr map(GifMakeMapObject(static_cast<int>(palette.size()), palette.data()));
    if (!map)
        fail();
    if (globalPalette.empty())
        writeHeader(*map, palette);
    const bool global =
        palette.size() == globalPalette.size() &&
        std::equal(palette.begin(), palette.end(), globalPalette.begin(),
                   [](const GifColorType& a, const GifColorType& b) {
                       return a.Red == b.Red && a.Green == b.Green && a.Blue == b.Blue;
                   });
    const GraphicsControlBlock control{DISPOSE_DO_NOT, false, centiseconds,
                                       frame.transparent >= 0 ? frame.transparent
                                                              : NO_TRANSPARENT_COLOR};
    GifByteType extension[4];
    EGifGCBToExtension(&control, extension);
    check(EGifPutExtension(gif.get(), GRAPHICS_EXT_FUNC_CODE, sizeof extension, extension));
    // giflib keeps a copy of the last local table and forgets it, unfreed, when an image comes
    // without one: it is let go here first.
    if (global && gif->Image.ColorMap) {
        GifFreeMapObject(gif->Image.ColorMap);
        gif->Image.ColorMap = nullptr;
    }
    check(EGifPutImageDesc(gif.get(), 0, 0, size.width(), size.height(), false,
                           global ? nullptr : map.get()));
    // The codes are ready: giflib writes them as compressed data, block by block.
    const GifByteType* block = frame.blocks.data();
    const GifByteType* end = block + frame.blocks.size();
    check(EGifPutCode(gif.get(), frame.codeBits, block));
    for (block += *block + 1; block < end; block += *block + 1)
        check(EGifPutCodeNext(gif.get(), block));
    check(EGifPutCodeNext(gif.get(), nullptr));
}

GifWriter::GifWriter(QSize frameSize, GifClip clip)
    : m_pipeline(std::make_unique<Pipeline>(frameSize, clip)) {}

GifWriter::~GifWriter() = default;

QSize GifWriter::frameSize() const {
    return m_pipeline->size;
}

int GifWriter::frameCount() const {
    return m_pipeline->added;
}

void GifWriter::add(const QImage& frame, double delaySeconds, GifEffort effort) {
    m_pipeline->queue(frame, 1, delaySeconds, effort);
}

void GifWriter::addFaded(const QImage& frame, double opacity, double delaySeconds) {
    m_pipeline->queue(frame, std::isnan(opacity) ? 0 : std::clamp(opacity, 0.0, 1.0), delaySeconds,
                      GifEffort::smallest);
}

void GifWriter::Pipeline::queue(const QImage& frame, double opacity, double delaySeconds,
                                GifEffort effort) {
    if (finished)
        throw std::logic_error("GifWriter::add after finish");
    if (frame.size() != size)
        fail();

    if (!(delaySeconds >= 0)) // negative or NaN
        delaySeconds = 0;
    delaySeconds = std::min(delaySeconds, 1e7);
    const double start = elapsedSeconds;
    elapsedSeconds += delaySeconds;
    const int centiseconds = static_cast<int>(
        std::min<long long>(kMaxCentiseconds, GifTiming::centiseconds(elapsedSeconds) -
                                                  GifTiming::centiseconds(start)));

    // A clip's frame at full strength after one such is shown over it: a repeated picture then
    // leaves the screen as it is. Otherwise a repeated picture (a held card, a fade, a still)
    // reuses its encoding; so does one that returns after frames of another effort (a card after
    // its spin); but not one that was shown over another.
    const bool over = clip.bytes > 0 && effort == GifEffort::smallest && opacity == 1 &&
                      lastOpacity == 1 && lastSlot && lastSlot->clip;
    const bool again = over && frame == lastFrame;
    std::shared_ptr<Slot> earlier;
    if (over)
        ;
    else if (lastSlot && frame == lastFrame && !lastSlot->overBelow)
        earlier = lastSlot;
    else if (keySlot && keySlot != lastSlot && frame == keyFrame && !keySlot->overBelow)
        earlier = keySlot;
    std::unique_lock lock(mutex);
    frameWritten.wait(lock,
                      [&] { return failure || static_cast<int>(pending.size()) < maxPending; });
    if (failure)
        std::rethrow_exception(failure);
    if (again) { // the picture on screen stays, and the next frame is shown over it
        if (!unchanged) {
            unchanged = std::make_shared<Slot>();
            unchanged->encoded = gif::unchangedFrame(size.width() * size.height());
            unchanged->overBelow = true;
            unchanged->ready = true;
        }
        pending.push_back({unchanged, centiseconds, opacity});
        writeReadyFrames(lock);
    } else if (earlier) {
        pending.push_back({earlier, centiseconds, opacity});
        lastBelow.reset();
        lastFrame = frame;
        lastSlot = std::move(earlier);
        writeReadyFrames(lock);
    } else {
        auto slot = std::make_shared<Slot>();
        slot->image = frame;
        slot->effort = effort;
        if (effort == GifEffort::quick) {
            slot->paletteFrom = keySlot;
        } else {
            keySlot = slot;
            keyFrame = frame;
        }
        if (clip.bytes > 0 && effort == GifEffort::smallest && opacity == 1) {
            slot->clip = true;
            slot->index = added;
            slot->shown.resize(static_cast<size_t>(size.width()) * size.height());
            if (over) {
                slot->overBelow = true;
                slot->below = lastSlot;
                slot->twoBelow = lastBelow;
                slot->previous = lastFrame;
            }
        }
        lastBelow = slot->below;
        jobs.push_back(slot);
        pending.push_back({slot, centiseconds, opacity});
        lastFrame = frame;
        lastSlot = std::move(slot);
        workAvailable.notify_one();
    }
    lastOpacity = opacity;
    ++added;
}

QByteArray GifWriter::finish() {
    Pipeline& p = *m_pipeline;
    if (p.finished)
        throw std::logic_error("GifWriter::finish called twice");
    p.finished = true;
    p.lastFrame = QImage();
    p.lastSlot.reset();
    p.lastBelow.reset();
    p.keySlot.reset();
    p.keyFrame = QImage();
    {
        std::unique_lock lock(p.mutex);
        p.writeReadyFrames(lock); // repeats may be waiting with no worker busy
        p.frameWritten.wait(lock, [&] { return p.failure || p.pending.empty(); });
    }
    p.stopWorkers();
    if (p.failure)
        std::rethrow_exception(p.failure);
    if (p.added == 0)
        fail();
    int error = 0;
    if (EGifCloseFile(p.gif.release(), &error) != GIF_OK)
        fail();
    return std::move(p.bytes);
}

QByteArray encodeGif(const std::vector<QImage>& frames, const std::vector<double>& delays) {
    if (frames.empty() || frames.size() != delays.size())
        fail();
    GifWriter writer(frames.front().size());
    for (size_t i = 0; i < frames.size(); ++i)
        writer.add(frames[i], delays[i]);
    return writer.finish();
}

} // namespace tovi

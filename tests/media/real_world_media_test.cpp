// Files people really have, and files made to hurt: every decoder reads what browsers read and
// keeps to one budget of pixels and frames, judged before it allocates.
#include "app/atomic_write.h"
#include "app/tovi_error.h"
#include "media/image_source.h"
#include "media/media_error.h"
#include "media/media_processor.h"
#include "media/video_source.h"
#include "support/device_fixtures.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>
#include <map>

using namespace tovi;

namespace {

// --- a GIF written byte by byte, with an LZW coder that never clears its table -----------------

class BitWriter {
public:
    void put(int code, int width) {
        m_bits |= uint32_t(code) << m_count;
        m_count += width;
        while (m_count >= 8) {
            m_bytes.append(char(m_bits & 0xff));
            m_bits >>= 8;
            m_count -= 8;
        }
    }
    QByteArray finish() {
        if (m_count > 0)
            m_bytes.append(char(m_bits & 0xff));
        return m_bytes;
    }

private:
    QByteArray m_bytes;
    uint32_t m_bits = 0;
    int m_count = 0;
};

// LZW codes for `pixels` with a clear code at the start. Once 4,096 entries exist the coder goes
// on with the full table, as some encoders do, and clears it `clearAfter` codes later, if ever.
QByteArray lzwWithoutClear(const std::vector<uint8_t>& pixels, int codeSize, int clearAfter = -1) {
    const int clear = 1 << codeSize;
    std::map<std::pair<int, int>, int> table;
    int next = clear + 2, width = codeSize + 1, full = 0;
    BitWriter out;
    out.put(clear, width);
    int prefix = pixels.empty() ? -1 : pixels[0];
    for (size_t i = 1; i < pixels.size(); ++i) {
        const auto found = table.find({prefix, pixels[i]});
        if (found != table.end()) {
            prefix = found->second;
            continue;
        }
        out.put(prefix, width);
        if (next < 4096) {
            table[{prefix, pixels[i]}] = next++;
            if (next - 1 == (1 << width) && width < 12)
                ++width;
        } else if (++full == clearAfter) {
            out.put(clear, width);
            table.clear();
            next = clear + 2;
            width = codeSize + 1;
            full = 0;
        }
        prefix = pixels[i];
    }
    if (prefix >= 0)
        out.put(prefix, width);
    out.put(clear + 1, width);
    return out.finish();
}

void putWord(QByteArray& out, int value) {
    out.append(char(value & 0xff));
    out.append(char(value >> 8));
}

struct RawFrame {
    QRect rect;
    QByteArray lzw; // the coded pixels, without the code size byte or sub-blocks
    int codeSize = 8;
    int centiseconds = 10;
};

QByteArray rawGif(QSize screen, const std::vector<RawFrame>& frames, bool trailer = true) {
    QByteArray out("GIF89a");
    for (const int value : {screen.width(), screen.height()})
        putWord(out, value);
    out.append(char(0xf7)); // a global table of 256 colours
    out.append(2, '\0');
    for (int i = 0; i < 256; ++i) // entry i is grey level i
        out.append(3, char(i));
    for (const RawFrame& frame : frames) {
        out.append("\x21\xf9\x04\x00", 4);
        putWord(out, frame.centiseconds);
        out.append(2, '\0');
        out.append(char(0x2c));
        for (const int value :
             {frame.rect.x(), frame.rect.y(), frame.rect.width(), frame.rect.height()})
            putWord(out, value);
        out.append('\0');
        out.append(char(frame.codeSize));
        for (qsizetype at = 0; at < frame.lzw.size(); at += 255) {
            const QByteArray block = frame.lzw.mid(at, 255);
            out.append(char(block.size()));
            out.append(block);
        }
        out.append('\0');
    }
    if (trailer)
        out.append(char(0x3b));
    return out;
}

// --- animated WebP and PNG made of chunks ------------------------------------------------------

void appendU24(QByteArray& out, quint32 value) {
    for (int i = 0; i < 3; ++i)
        out.append(char((value >> (8 * i)) & 0xff));
}

QByteArray riffChunk(const char* type, const QByteArray& body) {
    QByteArray out(type, 4);
    quint32 size = qToLittleEndian(quint32(body.size()));
    out.append(reinterpret_cast<const char*>(&size), 4);
    out.append(body);
    if (body.size() % 2)
        out.append('\0');
    return out;
}

// A 1 × 1 lossless picture. `broken` keeps its header (so the file's structure is sound) but not
// its pixels, which then cannot be decoded.
QByteArray vp8l(bool broken) {
    QByteArray body = QByteArray::fromHex("2f000000000710fd8ffe0722a2ff01");
    if (broken)
        body.replace(5, 10, QByteArray(10, '\xff'));
    return riffChunk("VP8L", body);
}

QByteArray animatedWebp(QSize canvas, int frames, int milliseconds) {
    QByteArray vp8x(1, '\x02'); // animated
    vp8x.append(3, '\0');
    appendU24(vp8x, quint32(canvas.width() - 1));
    appendU24(vp8x, quint32(canvas.height() - 1));
    QByteArray body("WEBP");
    body.append(riffChunk("VP8X", vp8x));
    body.append(riffChunk("ANIM", QByteArray(6, '\0')));
    for (int i = 0; i < frames; ++i) {
        QByteArray frame(12, '\0'); // at 0, 0 and 1 × 1 (sizes are stored less one)
        appendU24(frame, quint32(milliseconds));
        frame.append('\0');
        frame.append(vp8l(i > 0));
        body.append(riffChunk("ANMF", frame));
    }
    return riffChunk("RIFF", body); // every chunk in it is padded: no padding here
}

QByteArray pngChunk(const char* type, const QByteArray& body) {
    QByteArray out(4, '\0');
    qToBigEndian(quint32(body.size()), out.data());
    out.append(type, 4);
    out.append(body);
    out.append(4, '\0'); // the checksum is never reached
    return out;
}

QByteArray bigEndian32(quint32 value) {
    QByteArray out(4, '\0');
    qToBigEndian(value, out.data());
    return out;
}

// An APNG of `frames` frames covering the canvas, chunks only: decoding any would fail.
QByteArray apng(QSize canvas, int frames) {
    QByteArray out("\x89PNG\r\n\x1a\n", 8);
    out.append(pngChunk("IHDR", bigEndian32(quint32(canvas.width())) +
                                    bigEndian32(quint32(canvas.height())) +
                                    QByteArray::fromHex("0806000000")));
    out.append(pngChunk("acTL", bigEndian32(quint32(frames)) + bigEndian32(0)));
    for (quint32 i = 0; i < quint32(frames); ++i) {
        QByteArray control = bigEndian32(i) + bigEndian32(quint32(canvas.width())) +
                             bigEndian32(quint32(canvas.height())) + bigEndian32(0) +
                             bigEndian32(0) + QByteArray::fromHex("0001000a0000");
        out.append(pngChunk("fcTL", control));
        out.append(pngChunk(i ? "fdAT" : "IDAT", QByteArray(12, '\0')));
    }
    return out + pngChunk("IEND", {});
}

// `bytes` with the 32-bit numbers at `offset`, big-endian or little-endian, replaced.
QByteArray patched(QByteArray bytes, qsizetype offset, std::vector<quint32> values,
                   bool big = true) {
    for (const quint32 value : values) {
        big ? qToBigEndian(value, bytes.data() + offset)
            : qToLittleEndian(value, bytes.data() + offset);
        offset += 4;
    }
    return bytes;
}

class RealWorld : public ::testing::Test {
protected:
    QTemporaryDir dir;

    QUrl write(const QString& name, const QByteArray& bytes) {
        test::writeFile(dir.filePath(name), bytes);
        return QUrl::fromLocalFile(dir.filePath(name));
    }
};

} // namespace

TEST_F(RealWorld, GifsReadAsBrowsersReadThem) {
    // Noise fills the LZW table long before the picture ends; no clear code follows, or one comes
    // after more codes at 12 bits ("deferred clear").
    std::vector<uint8_t> noise(128 * 96);
    QRandomGenerator random(15);
    for (uint8_t& pixel : noise)
        pixel = uint8_t(random.bounded(256));
    for (const int clearAfter : {-1, 300}) {
        SCOPED_TRACE(clearAfter);
        auto source = ImageSource::fromData(
            rawGif({128, 96}, {{{0, 0, 128, 96}, lzwWithoutClear(noise, 8, clearAfter)}}));
        const QImage picture = source->frame(0);
        for (int y = 0; y < 96; y += 7)
            for (int x = 0; x < 128; x += 5)
                ASSERT_EQ(qRed(picture.pixel(x, y)), noise[size_t(y * 128 + x)]) << x << "," << y;
    }
    // An image of zero width between two frames draws nothing and is not a frame. A frame whose
    // data ends early leaves the rest undrawn.
    RawFrame full{{0, 0, 8, 6}, lzwWithoutClear(std::vector<uint8_t>(48, 7), 8)};
    RawFrame nothing{{3, 3, 0, 5}, lzwWithoutClear({}, 2), 2};
    RawFrame cut{{8, 0, 8, 6}, lzwWithoutClear({9, 9}, 8)};
    auto source = ImageSource::fromData(rawGif({16, 6}, {full, nothing, cut}));
    ASSERT_EQ(source->frameCount(), 2);
    const QImage second = source->frame(1);
    EXPECT_EQ(qRed(second.pixel(0, 0)), 7);
    EXPECT_EQ(qRed(second.pixel(9, 0)), 9);
    EXPECT_EQ(qAlpha(second.pixel(10, 0)), 0);
    // Only empty images, the trailer missing: the logical screen, blank.
    source = ImageSource::fromData(rawGif({16, 6}, {nothing}, false));
    ASSERT_EQ(source->frameCount(), 1);
    EXPECT_EQ(source->frame(0).size(), QSize(16, 6));
    EXPECT_EQ(qAlpha(source->frame(0).pixel(3, 3)), 0);
    // No image at all, only a plain text extension: nothing to show.
    QByteArray text = rawGif({16, 6}, {});
    text.insert(text.size() - 1, QByteArray::fromHex("21010c") + QByteArray(12, '\0') +
                                     QByteArray::fromHex("024869") + '\0');
    const QUrl url = write(QStringLiteral("text.gif"), text);
    EXPECT_EQ(test::kindThrown<MediaError>([&] { MediaProcessor::inspect(url); }),
              MediaError::unreadable);
}

TEST_F(RealWorld, AnimatedWebPIsTimedFromItsChunksWithoutDecoding) {
    // Frames after the first cannot be decoded: the count and times come from the chunks alone.
    auto source = ImageSource::fromData(animatedWebp({4000, 4000}, 300, 40));
    ASSERT_TRUE(source);
    EXPECT_EQ(source->frameCount(), 300);
    EXPECT_DOUBLE_EQ(source->delay(299), 0.04);
    EXPECT_EQ(source->size(), QSize(4000, 4000));
}

// One budget for every decoder, each row crossing one limit: canvas, frame, frames, and time (the
// check that ends a decode past 60 s is the one that hears a stop request: that is asked here).
TEST_F(RealWorld, EveryDecoderKeepsToTheOneBudget) {
    enum Expected { oversized, unreadable, still, stops };
    RawFrame dot{{0, 0, 1, 1}, lzwWithoutClear({1}, 2), 2, 2};
    RawFrame vast = dot;
    vast.rect = {0, 0, 60000, 60000};
    const QString images = QStringLiteral(TOVI_FIXTURES "/image/");
    const QString videos = QStringLiteral(TOVI_FIXTURES "/video/");
    // The last frame of the animated PNG moved one pixel past the canvas's right edge.
    const QByteArray moving = readFile(images + QStringLiteral("anim.png"));
    const qsizetype last = moving.lastIndexOf("fcTL") + 4;
    const QByteArray stickingOut =
        patched(moving, last + 12, {41 - qFromBigEndian<quint32>(moving.constData() + last + 4)});
    const QByteArray heif = readFile(images + QStringLiteral("photo.heic"));
    QByteArray bmp;
    QBuffer buffer(&bmp);
    ASSERT_TRUE(buffer.open(QIODevice::WriteOnly) &&
                QImage(1, 1, QImage::Format_RGB32).save(&buffer, "BMP"));
    const struct {
        const char* what;
        QString name;
        QByteArray bytes;
        Expected expected;
    } rows[] = {
        {"GIF canvas", "a.gif", rawGif({60000, 60000}, {dot}), oversized},
        {"GIF frame", "a.gif", rawGif({1, 1}, {vast}), oversized},
        {"GIF frames", "a.gif", rawGif({1, 1}, std::vector<RawFrame>(10'001, dot)), oversized},
        {"GIF time", "a.gif", rawGif({1, 1}, {dot, dot}), stops},
        {"APNG canvas", "a.png", apng({16384, 16384}, 2), oversized},
        {"APNG frame outside the canvas", "a.png", stickingOut, still},
        {"APNG frames", "a.png", apng({1, 1}, 10'001), oversized},
        {"APNG time", "a.png", moving, stops},
        {"WebP canvas", "a.webp", animatedWebp({16000, 16000}, 2, 40), oversized},
        {"WebP frames", "a.webp", animatedWebp({1, 1}, 10'001, 40), oversized},
        {"WebP time", "a.webp", readFile(images + QStringLiteral("anim.webp")), stops},
        {"HEIF picture", "a.heic", patched(heif, heif.indexOf("ispe") + 8, {16384, 16384}),
         oversized},
        {"Qt's BMP picture", "a.bmp", patched(bmp, 18, {12000, 12000}, false), oversized},
        {"video picture", "a.mov", readFile(videos + QStringLiteral("huge.mov")), oversized},
        {"video frame beyond its track's size", "a.mov",
         readFile(videos + QStringLiteral("understated.mov")), unreadable},
        {"video time", "a.mp4", readFile(videos + QStringLiteral("colours.mp4")), stops},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const QUrl url = write(row.name, row.bytes);
        try {
            if (row.expected != stops) {
                EXPECT_FALSE(MediaProcessor::inspect(url).animated);
                EXPECT_EQ(row.expected, still);
            } else if (auto image = ImageSource::open(url.toLocalFile())) {
                image->setStopRequest([] { return true; });
                image->frame(image->frameCount() - 1);
                ADD_FAILURE() << "not stopped";
            } else {
                VideoSource video(url.toLocalFile());
                video.setStopRequest([] { return true; });
                video.frameAt(video.duration(), VideoSource::Accuracy::exact);
                ADD_FAILURE() << "not stopped";
            }
        } catch (const MediaError& error) {
            EXPECT_EQ(error.kind(),
                      row.expected == oversized ? MediaError::oversized : MediaError::unreadable);
            EXPECT_NE(row.expected, still);
        } catch (const Cancelled&) {
            EXPECT_EQ(row.expected, stops);
        }
    }
    // Within the budget the same kinds open.
    EXPECT_NO_THROW(MediaProcessor::inspect(
        write(QStringLiteral("fine.gif"), rawGif({1, 1}, std::vector<RawFrame>(100, dot)))));
}

TEST_F(RealWorld, DecodingALateFrameStopsWhenAsked) {
    RawFrame dot{{0, 0, 1, 1}, lzwWithoutClear({1}, 2), 2, 2};
    auto source = ImageSource::fromData(rawGif({1, 1}, std::vector<RawFrame>(500, dot)));
    ASSERT_TRUE(source);
    int asked = 0;
    source->setStopRequest([&asked] { return ++asked == 100; });
    EXPECT_THROW(source->frame(499), Cancelled);
    EXPECT_EQ(asked, 100);
    source->setStopRequest({});
    EXPECT_FALSE(source->frame(499).isNull());
}

TEST_F(RealWorld, CameraHeifWithAGenericMainBrandOpens) {
    QByteArray bytes = readFile(QStringLiteral(TOVI_FIXTURES "/image/photo.heic"));
    ASSERT_EQ(bytes.mid(4, 4), "ftyp");
    // Main brand "mif1", "heic" only among the compatible ones, as many cameras write.
    const QByteArray brands = bytes.mid(16, qFromBigEndian<quint32>(bytes.constData()) - 16);
    ASSERT_TRUE(brands.contains("heic")) << brands.toStdString();
    bytes.replace(8, 4, "mif1");
    const MediaInfo info = MediaProcessor::inspect(write(QStringLiteral("camera.heic"), bytes));
    EXPECT_FALSE(info.frame.isNull());
    EXPECT_FALSE(info.animated);
}

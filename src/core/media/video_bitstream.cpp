#include "media/video_bitstream.h"

#include "media/media_error.h"

#include <QFile>
#include <QTransform>

#include <cmath>
#include <cstdint>
#include <new>
#include <string_view>
#include <utility>

extern "C" {
#include <libavutil/display.h>
}

namespace tovi::video {

namespace {

// Calls `unit(header, size)` for each NAL unit of a packet, in the length-prefixed form of MP4
// and Matroska (`lengthSize` 1–4) or, with `lengthSize` 0, in start-code form. False when the
// packet does not parse.
template <typename Unit> bool forEachNalUnit(const AVPacket* packet, int lengthSize, Unit unit) {
    const uint8_t* p = packet->data;
    const uint8_t* const end = p + packet->size;
    if (!p)
        return false;
    if (lengthSize > 0) {
        while (p < end) {
            if (end - p < lengthSize)
                return false;
            uint32_t length = 0;
            for (int i = 0; i < lengthSize; ++i)
                length = length << 8 | *p++;
            if (length == 0 || length > uint32_t(end - p))
                return false;
            unit(p, length);
            p += length;
        }
        return true;
    }
    // Each unit runs from after a 00 00 01 to the next one (a 00 before that belongs to it).
    const auto startCode = [end](const uint8_t* from) {
        for (; end - from >= 3; ++from)
            if (from[0] == 0 && from[1] == 0 && from[2] == 1)
                return from;
        return end;
    };
    for (const uint8_t* at = startCode(p); at < end;) {
        const uint8_t* const body = at + 3;
        at = startCode(body);
        if (at > body)
            unit(body, uint32_t(at - body));
    }
    return true;
}

int sign(double value) {
    return value > 0 ? 1 : (value < 0 ? -1 : 0);
}

} // namespace

bool disposable(const AVCodecParameters* codec, const AVPacket* packet) {
    const uint8_t* extra = codec->extradata;
    const int extraSize = codec->extradata_size;
    const bool boxed = extraSize > 0 && extra[0] == 1; // avcC or hvcC; else start codes
    bool slices = false, references = false;
    bool parsed = false;
    if (codec->codec_id == AV_CODEC_ID_H264) {
        if (boxed && extraSize < 7)
            return false;
        parsed = forEachNalUnit(packet, boxed ? (extra[4] & 3) + 1 : 0,
                                [&](const uint8_t* nal, uint32_t) {
                                    const int type = nal[0] & 0x1f;
                                    if (type == 1 || type == 5) {
                                        slices = true;
                                        references |= (nal[0] & 0x60) != 0;
                                    }
                                });
    } else if (codec->codec_id == AV_CODEC_ID_HEVC && boxed && extraSize >= 23) {
        const int layers = (extra[21] >> 3) & 7; // 0: not known
        parsed =
            forEachNalUnit(packet, (extra[21] & 3) + 1, [&](const uint8_t* nal, uint32_t size) {
                const int type = (nal[0] >> 1) & 0x3f;
                if (type > 31) // not a slice
                    return;
                slices = true;
                const int layer = size >= 2 ? (nal[1] & 7) - 1 : -1;
                references |= type > 14 || type % 2 != 0 || layer != layers - 1;
            });
    }
    return parsed && slices && !references;
}

Orientation orientationOf(const AVStream* stream) {
    size_t size = 0;
    const auto* matrix = reinterpret_cast<const int32_t*>(
        av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, &size));
    if (!matrix || size < 9 * sizeof(int32_t))
        return {};
    // 16.16 fixed point: x' = a·x + c·y, y' = b·x + d·y.
    const double a = matrix[0], b = matrix[1], c = matrix[3], d = matrix[4];
    Orientation o;
    if (std::abs(a) >= std::abs(b))
        o.m11 = sign(a), o.m12 = 0;
    else
        o.m11 = 0, o.m12 = sign(b);
    if (std::abs(d) >= std::abs(c))
        o.m21 = 0, o.m22 = sign(d);
    else
        o.m21 = sign(c), o.m22 = 0;
    if (o.m11 * o.m22 - o.m12 * o.m21 == 0)
        return {};
    return o;
}

QImage applyOrientation(QImage image, Orientation o) {
    if (o.isIdentity())
        return image;
    // A mirrored matrix is a horizontal mirror followed by a turn; splitting it keeps Qt on its
    // exact quarter-turn paths.
    if (o.m11 * o.m22 - o.m12 * o.m21 < 0) {
        image = image.mirrored(true, false);
        o.m11 = -o.m11;
        o.m12 = -o.m12;
    }
    if (o.isIdentity())
        return image;
    return image.transformed(QTransform(o.m11, o.m12, o.m21, o.m22, 0, 0));
}

AVStream* bestVideoStream(AVFormatContext* format, const AVCodec** decoder) {
    AVStream* best = nullptr;
    auto rank = [](const AVStream* s) {
        return std::pair((s->disposition & AV_DISPOSITION_DEFAULT) != 0,
                         int64_t(s->codecpar->width) * s->codecpar->height);
    };
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        AVStream* candidate = format->streams[i];
        const AVCodecParameters* par = candidate->codecpar;
        if (par->codec_type != AVMEDIA_TYPE_VIDEO ||
            (candidate->disposition & AV_DISPOSITION_ATTACHED_PIC) || par->width <= 0 ||
            par->height <= 0)
            continue;
        const AVCodec* found = avcodec_find_decoder(par->codec_id);
        if (found && (!best || rank(candidate) > rank(best))) {
            best = candidate;
            *decoder = found;
        }
    }
    return best;
}

FormatContextPtr openVideoFile(const QString& path, AVStream*& stream, const AVCodec*& decoder) {
    stream = nullptr;
    decoder = nullptr;
    AVFormatContext* raw = avformat_alloc_context();
    if (!raw)
        throw std::bad_alloc();
    // Plain local files only: a playlist or concat file must not reach the network or elsewhere.
    raw->protocol_whitelist = av_strdup("file");
    const QByteArray url = "file:" + QFile::encodeName(path);
    if (avformat_open_input(&raw, url.constData(), nullptr, nullptr) < 0)
        throw MediaError(MediaError::unreadable); // the context is freed on failure
    FormatContextPtr opened(raw);
    AVFormatContext* format = opened.get();
    // MP4 and QuickTime headers describe their tracks fully: probing would decode frames for
    // nothing, and each preview opens the file anew.
    if (!std::string_view(format->iformat->name).starts_with("mov,") ||
        !(stream = bestVideoStream(format, &decoder))) {
        if (avformat_find_stream_info(format, nullptr) < 0)
            throw MediaError(MediaError::unreadable);
        stream = bestVideoStream(format, &decoder);
    }
    if (!stream)
        throw MediaError(MediaError::unreadable);
    for (unsigned i = 0; i < format->nb_streams; ++i)
        format->streams[i]->discard =
            format->streams[i] == stream ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    return opened;
}

double statedSeconds(const AVFormatContext* format, const AVStream* stream) {
    if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0)
        return double(stream->duration) * av_q2d(stream->time_base);
    if (format->duration != AV_NOPTS_VALUE && format->duration > 0)
        return double(format->duration) / AV_TIME_BASE;
    return 0;
}

} // namespace tovi::video

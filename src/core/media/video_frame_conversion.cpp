#include "media/video_frame_conversion.h"

#include "media/image_scale.h"
#include "media/media_error.h"
#include "media/media_processor.h"
#include "media/sws_image.h"

#include <QRectF>

#include <algorithm>
#include <array>
#include <cmath>

extern "C" {
#include <libavutil/pixdesc.h>
}

namespace tovi::video {

namespace {

[[noreturn]] void unreadable() {
    throw MediaError(MediaError::unreadable);
}

// A frame's colours: the matrix (as libswscale numbers them) and whether its range is full.
struct FrameColours {
    int colorspace;
    int fullRange;
};

FrameColours coloursOf(const AVFrame* frame) {
    const auto pixelFormat = AVPixelFormat(frame->format);
    int colorspace = frame->colorspace;
    // Cameras and phones tag their colours; files without tags nearly always come from FFmpeg
    // converting RGB pictures, which it does with the BT.601 matrix at every size.
    if (colorspace == AVCOL_SPC_UNSPECIFIED)
        colorspace = AVCOL_SPC_SMPTE170M;
    const bool jpegFormat =
        pixelFormat == AV_PIX_FMT_YUVJ420P || pixelFormat == AV_PIX_FMT_YUVJ422P ||
        pixelFormat == AV_PIX_FMT_YUVJ444P || pixelFormat == AV_PIX_FMT_YUVJ440P ||
        pixelFormat == AV_PIX_FMT_YUVJ411P;
    return {colorspace, frame->color_range == AVCOL_RANGE_JPEG || jpegFormat};
}

// Three full-size 8-bit planes (Y, Cb, Cr) to RGB32, with libswscale's coefficients for the
// frame's matrix and range. A small crop converts in a fraction of libswscale's time, which
// for pictures this size is mostly its set-up and generic passes.
QImage rgbFromPlanes(const uint8_t* const planes[3], qsizetype stride, int side,
                     FrameColours colours) {
    // Cr → R, Cb → B, Cb → G, Cr → G, in 1/65536, for limited range chroma.
    const int* c = sws_getCoefficients(colours.colorspace);
    const double chroma = colours.fullRange ? 224.0 / 255.0 : 1.0;
    const double yScale = colours.fullRange ? 1.0 : 255.0 / 219.0;
    const int yOffset = colours.fullRange ? 0 : 16;
    std::array<int32_t, 256> luma, rV, gU, gV, bU;
    for (int i = 0; i < 256; ++i) {
        const int d = i - 128;
        luma[i] = int32_t(std::lround(yScale * (i - yOffset) * 65536.0)) + 32768;
        rV[i] = int32_t(std::lround(c[0] * chroma * d));
        bU[i] = int32_t(std::lround(c[1] * chroma * d));
        gU[i] = int32_t(std::lround(-c[2] * chroma * d));
        gV[i] = int32_t(std::lround(-c[3] * chroma * d));
    }
    QImage out(side, side, QImage::Format_RGB32);
    if (out.isNull())
        throw std::bad_alloc();
    const auto level = [](int32_t v) { return uint32_t(std::clamp(v >> 16, 0, 255)); };
    for (int y = 0; y < side; ++y) {
        const uint8_t* py = planes[0] + y * stride;
        const uint8_t* pu = planes[1] + y * stride;
        const uint8_t* pv = planes[2] + y * stride;
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < side; ++x) {
            const int32_t l = luma[py[x]];
            line[x] = 0xff000000u | level(l + rV[pv[x]]) << 16 |
                      level(l + gU[pu[x]] + gV[pv[x]]) << 8 | level(l + bU[pu[x]]);
        }
    }
    return out;
}

} // namespace

// A converter from the frame (its size, format, matrix and range) to RGB32 of `to`, kept while it
// fits.
SwsContext* FrameConverter::converter(SwsContextPtr& context, Key& current, const AVFrame* frame,
                                      QSize to) {
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(AVPixelFormat(frame->format));
    const auto [colorspace, fullRange] = coloursOf(frame);
    const Key key{frame->width, frame->height, frame->format, to.width(),
                  to.height(),  colorspace,    fullRange};
    if (!context || !(key == current)) {
        context.reset(sws_getContext(frame->width, frame->height, AVPixelFormat(frame->format),
                                     to.width(), to.height(), AV_PIX_FMT_RGB32, SWS_AREA, nullptr,
                                     nullptr, nullptr));
        if (!context)
            unreadable();
        if (!(desc->flags & AV_PIX_FMT_FLAG_RGB) && desc->nb_components >= 3)
            sws_setColorspaceDetails(context.get(), sws_getCoefficients(colorspace), fullRange,
                                     sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
        current = key;
    }
    return context.get();
}

QImage FrameConverter::whole(const AVFrame* frame, AVRational sar, Orientation orientation,
                             int side, bool early) {
    const auto pixelFormat = AVPixelFormat(frame->format);
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(pixelFormat);
    const double aspect = sar.num > 0 && sar.den > 0 ? av_q2d(sar) : 1.0;
    const double shownWidth = frame->width * aspect;
    const double scale = std::min({1.0, side / shownWidth, side / double(frame->height)});
    const int outWidth = std::max(1, int(std::lround(shownWidth * scale)));
    const int outHeight = std::max(1, int(std::lround(frame->height * scale)));
    SwsContext* context = converter(early ? m_earlyScaler : m_scaler, early ? m_earlyKey : m_key,
                                    frame, QSize(outWidth, outHeight));

    const bool alpha = desc->flags & AV_PIX_FMT_FLAG_ALPHA;
    QImage out = swsConverted(context, frame->data, frame->linesize, frame->height,
                              QSize(outWidth, outHeight),
                              alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (out.isNull())
        unreadable();
    if (alpha) { // premultiplied colours with full alpha are the picture laid over black
        out.convertTo(QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < out.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
            for (int x = 0; x < out.width(); ++x)
                line[x] |= 0xff000000u;
        }
        out.reinterpretAsFormat(QImage::Format_RGB32);
    }
    return applyOrientation(std::move(out), orientation);
}

QImage FrameConverter::cropped(const AVFrame* frame, AVRational sar, Orientation orientation,
                               const CropSettings& crop, int side) {
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(AVPixelFormat(frame->format));
    const bool squarePixels = sar.num <= 0 || sar.den <= 0 || sar.num == sar.den;
    if (!orientation.isIdentity() || !squarePixels || desc->nb_components != 3 ||
        (desc->flags & (AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_ALPHA | AV_PIX_FMT_FLAG_BE)) ||
        !(desc->flags & AV_PIX_FMT_FLAG_PLANAR))
        return {};
    for (int c = 0; c < 3; ++c)
        if (desc->comp[c].depth != 8 || desc->comp[c].plane != c || desc->comp[c].step != 1 ||
            desc->comp[c].shift != 0 || desc->comp[c].offset != 0)
            return {};

    const QRectF window = MediaProcessor::cropWindow(QSizeF(frame->width, frame->height), crop);
    if (window.width() < side) // enlarged: small pictures, cheap to convert whole anyway
        return {};
    const qsizetype planeSize = qsizetype(side) * side;
    m_planes.resize(size_t(3 * planeSize));
    for (int c = 0; c < 3; ++c) {
        const int xShift = c ? desc->log2_chroma_w : 0, yShift = c ? desc->log2_chroma_h : 0;
        const QSize size(AV_CEIL_RSHIFT(frame->width, xShift),
                         AV_CEIL_RSHIFT(frame->height, yShift));
        const QRectF planeWindow(window.x() / (1 << xShift), window.y() / (1 << yShift),
                                 window.width() / (1 << xShift), window.height() / (1 << yShift));
        // Chroma is shrunk as if from full size, which keeps colour edges where they are even
        // when the subsampled plane itself has to grow.
        resampledPlane(frame->data[c], frame->linesize[c], size, planeWindow, QSize(side, side),
                       m_planes.data() + c * planeSize, side, true);
    }

    const uint8_t* const from[3] = {m_planes.data(), m_planes.data() + planeSize,
                                    m_planes.data() + 2 * planeSize};
    return rgbFromPlanes(from, side, side, coloursOf(frame));
}

} // namespace tovi::video

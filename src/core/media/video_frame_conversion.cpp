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
    const auto pixelFormat = AVPixelFormat(frame->format);
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(pixelFormat);
    const bool squarePixels = sar.num <= 0 || sar.den <= 0 || sar.num == sar.den;
    if (!orientation.isIdentity() || !squarePixels || desc->nb_components != 3 ||
        (desc->flags & (AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_ALPHA | AV_PIX_FMT_FLAG_BE)) ||
        !(desc->flags & AV_PIX_FMT_FLAG_PLANAR) || desc->log2_chroma_w > 1 ||
        desc->log2_chroma_h > 1)
        return {};
    for (int c = 0; c < 3; ++c)
        if (desc->comp[c].depth != 8 || desc->comp[c].plane != c || desc->comp[c].step != 1 ||
            desc->comp[c].shift != 0 || desc->comp[c].offset != 0)
            return {};

    // Whole samples of every plane: the window starts on a chroma sample, at most a source pixel
    // (under an output pixel) from where the crop asks.
    const QRectF window = MediaProcessor::cropWindow(QSizeF(frame->width, frame->height), crop);
    const int xStep = 1 << desc->log2_chroma_w, yStep = 1 << desc->log2_chroma_h;
    const int length = std::min({int(std::lround(window.width())), frame->width, frame->height});
    if (length < side) // enlarged: small pictures, cheap to convert whole anyway
        return {};
    const int x = std::clamp(int(std::lround(window.x() / xStep)) * xStep, 0,
                             (frame->width - length) / xStep * xStep);
    const int y = std::clamp(int(std::lround(window.y() / yStep)) * yStep, 0,
                             (frame->height - length) / yStep * yStep);

    const auto [colorspace, fullRange] = coloursOf(frame);
    const Key key{length, length, frame->format, side, side, colorspace, fullRange};
    if (!m_cropScaler || !(key == m_cropKey)) {
        // Lanczos to planes of the chroma a packed RGB output keeps (halved across, whole down),
        // then each sample through libswscale's own colour tables: bit for bit the 24-bit RGB
        // FFmpeg makes the pictures ours are compared with, but its planar vertical pass has a
        // vector version and the packed one has none. The accurate rounding keeps that pass
        // exact; its 32-bit packed output would round the colours a level apart.
        m_cropScaler.reset(sws_getContext(length, length, pixelFormat, side, side,
                                          AV_PIX_FMT_YUV422P, SWS_LANCZOS | SWS_ACCURATE_RND,
                                          nullptr, nullptr, nullptr));
        m_cropColours.reset(
            sws_getContext(side, side, AV_PIX_FMT_YUV422P, side, side, AV_PIX_FMT_RGB32,
                           SWS_POINT | SWS_ACCURATE_RND | SWS_BITEXACT, nullptr, nullptr, nullptr));
        if (!m_cropScaler || !m_cropColours)
            unreadable();
        const int* coefficients = sws_getCoefficients(colorspace);
        // The samples keep their range: only the colour step turns them into RGB.
        sws_setColorspaceDetails(m_cropScaler.get(), coefficients, fullRange, coefficients,
                                 fullRange, 0, 1 << 16, 1 << 16);
        sws_setColorspaceDetails(m_cropColours.get(), coefficients, fullRange,
                                 sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
        m_cropKey = key;
    }
    const uint8_t* planes[4] = {};
    for (int c = 0; c < 3; ++c) {
        const int xShift = c ? desc->log2_chroma_w : 0, yShift = c ? desc->log2_chroma_h : 0;
        planes[c] = frame->data[c] + qsizetype(y >> yShift) * frame->linesize[c] + (x >> xShift);
    }
    const QSize lumaSize(side, side), chromaSize((side + 1) / 2, side);
    std::array<QImage, 3> samples{swsImage(lumaSize, QImage::Format_Grayscale8),
                                  swsImage(chromaSize, QImage::Format_Grayscale8),
                                  swsImage(chromaSize, QImage::Format_Grayscale8)};
    uint8_t* to[4] = {};
    const uint8_t* from[4] = {};
    int strides[4] = {};
    for (int c = 0; c < 3; ++c) {
        to[c] = samples[c].bits();
        from[c] = to[c];
        strides[c] = int(samples[c].bytesPerLine());
    }
    if (sws_scale(m_cropScaler.get(), planes, frame->linesize, 0, length, to, strides) != side)
        unreadable();
    QImage out = swsConverted(m_cropColours.get(), from, strides, side, QSize(side, side),
                              QImage::Format_RGB32);
    if (out.isNull())
        unreadable();
    return out;
}

} // namespace tovi::video

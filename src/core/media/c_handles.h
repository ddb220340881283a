#pragma once

// One owning wrapper per C handle of the media libraries. Copies are impossible; a move leaves
// the source empty; the release function runs exactly once, on a non-null handle.

#include <memory>

extern "C" {
#include <gif_lib.h>
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libheif/heif.h>
#include <libimagequant.h>
#include <libswscale/swscale.h>
#include <zip.h>
}

namespace tovi {

template <auto Release> struct CRelease {
    template <typename T> void operator()(T* handle) const { Release(handle); }
};

template <typename T, auto Release> using CHandle = std::unique_ptr<T, CRelease<Release>>;

// A named release function, not a lambda: the type is then the same in every file and may
// cross between them.
inline void closeFormatContext(AVFormatContext* p) {
    avformat_close_input(&p);
}
using FormatContextPtr = CHandle<AVFormatContext, closeFormatContext>;
using CodecContextPtr =
    CHandle<AVCodecContext, [](AVCodecContext* p) { avcodec_free_context(&p); }>;
using FramePtr = CHandle<AVFrame, [](AVFrame* p) { av_frame_free(&p); }>;
using PacketPtr = CHandle<AVPacket, [](AVPacket* p) { av_packet_free(&p); }>;
// A custom I/O context owns its buffer as well (FFmpeg may have replaced the one it was given).
using AvioContextPtr = CHandle<AVIOContext, [](AVIOContext* p) {
    av_freep(&p->buffer);
    avio_context_free(&p);
}>;
using SwsContextPtr = CHandle<SwsContext, sws_freeContext>;

using GifReaderPtr = CHandle<GifFileType, [](GifFileType* p) { DGifCloseFile(p, nullptr); }>;
using GifWriterPtr = CHandle<GifFileType, [](GifFileType* p) { EGifCloseFile(p, nullptr); }>;

using HeifContextPtr = CHandle<heif_context, heif_context_free>;
using HeifImageHandlePtr = CHandle<heif_image_handle, heif_image_handle_release>;
using HeifImagePtr = CHandle<heif_image, heif_image_release>;

using LiqAttrPtr = CHandle<liq_attr, liq_attr_destroy>;
using LiqImagePtr = CHandle<liq_image, liq_image_destroy>;
using LiqResultPtr = CHandle<liq_result, liq_result_destroy>;

// An archive is given up without writing anything; a write goes through zip_close(release()).
using ZipPtr = CHandle<zip_t, zip_discard>;
using ZipFilePtr = CHandle<zip_file_t, zip_fclose>;
// A source handed to zip_file_add belongs to the archive once that succeeds: release() it then.
using ZipSourcePtr = CHandle<zip_source_t, zip_source_free>;

} // namespace tovi

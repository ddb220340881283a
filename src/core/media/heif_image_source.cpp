// HEIC/HEIF photos through libheif. libheif applies the file's rotation and mirroring itself,
// so EXIF orientation inside a HEIF is never applied a second time.

#include "media/c_handles.h"
#include "media/decode_budget.h"
#include "media/gif_timing.h"
#include "media/image_scale.h"
#include "media/image_source_backends.h"

#include <algorithm>

namespace tovi::detail {
namespace {

class HeifImageSource final : public ImageSource {
public:
    HeifImageSource(HeifContextPtr context, HeifImageHandlePtr handle)
        : m_context(std::move(context))
        , m_handle(std::move(handle)) {}

    Type type() const override { return Type::heif; }
    int frameCount() const override { return 1; }
    QSize size() const override {
        return {heif_image_handle_get_width(m_handle.get()),
                heif_image_handle_get_height(m_handle.get())};
    }
    double delay(int) const override { return GifTiming::missingDelay; }

    QImage frame(int index, int maxPixelSize) override {
        if (index != 0)
            return {};
        if (m_decoded.isNull())
            m_decoded = decode();
        return boundedTo(m_decoded, maxPixelSize);
    }

private:
    QImage decode() const {
        const bool alpha = heif_image_handle_has_alpha_channel(m_handle.get());
        heif_image* raw = nullptr;
        const heif_error error = heif_decode_image(
            m_handle.get(), &raw, heif_colorspace_RGB,
            alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, nullptr);
        HeifImagePtr image(raw);
        if (error.code != heif_error_Ok || !image)
            return {};
        int stride = 0;
        const uint8_t* plane =
            heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
        const int w = heif_image_get_width(image.get(), heif_channel_interleaved);
        const int h = heif_image_get_height(image.get(), heif_channel_interleaved);
        if (!plane || w <= 0 || h <= 0)
            return {};
        const QImage view(plane, w, h, stride,
                          alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
        // The view borrows libheif's buffer: convert into memory of our own before it goes.
        return normalisedFrame(view.convertToFormat(alpha ? QImage::Format_ARGB32_Premultiplied
                                                          : QImage::Format_RGB32));
    }

    HeifContextPtr m_context;
    HeifImageHandlePtr m_handle;
    QImage m_decoded;
};

} // namespace

bool isHeif(const QByteArray& head) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(head.constData());
    // Cameras write "mif1" as the main brand with "heic" among the others, which libheif calls
    // only a maybe: anything not a plain no is offered to libheif, which decides.
    return heif_check_filetype(bytes, static_cast<int>(std::min<qsizetype>(head.size(), 64))) !=
           heif_filetype_no;
}

std::unique_ptr<ImageSource> openHeif(QByteArray data) {
    HeifContextPtr context(heif_context_alloc());
    if (!context)
        return nullptr;
    if (heif_context_read_from_memory(context.get(), data.constData(),
                                      static_cast<size_t>(data.size()), nullptr)
            .code != heif_error_Ok)
        return nullptr;
    heif_image_handle* raw = nullptr;
    if (heif_context_get_primary_image_handle(context.get(), &raw).code != heif_error_Ok)
        return nullptr;
    HeifImageHandlePtr handle(raw);
    DecodeBudget::require(heif_image_handle_get_width(handle.get()),
                          heif_image_handle_get_height(handle.get()));
    return std::make_unique<HeifImageSource>(std::move(context), std::move(handle));
}

} // namespace tovi::detail

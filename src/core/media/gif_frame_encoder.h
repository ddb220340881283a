#pragma once

// Encodes one GIF frame: its palette (gif_palette), every pixel's nearest colour, then the
// LZW-aware choice of colours and the codes. A pixel may take another palette colour within its
// tolerance (gif_tolerance) when that lengthens a string of the LZW table, which is built
// exactly as every decoder builds it, so the file decodes to the colours chosen here. A frame
// of a clip is coded over the picture the frame before left on screen: where that picture is
// close enough, the frame is transparent, and it reads that picture and publishes its own in
// raster order as it goes, so consecutive frames are coded side by side on several threads (a
// frame of a clip with room to spare first waits for the whole picture below: its palette is
// made for what that picture shows worst).
// One encoder per thread; it keeps its scratch buffers between frames.

#include "media/gif_lzw.h"
#include "media/gif_palette.h"
#include "media/gif_rate_control.h"
#include "media/gif_tolerance.h"
#include "media/gif_writer.h"

#include <QImage>

#include <array>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

namespace tovi::gif {

// The frames of a clip take one tolerance for every pixel outside flat areas, times the rate
// control's factor: error spread evenly costs fewer bytes for the same PSNR than error let into
// busy areas, and the bytes transparency saves pay for the difference in SSIM.
inline constexpr float kClipTolerance = 16.0f;
// A node with more children than this finds the next one by colour, not by visiting them all.
inline constexpr int kManyChildren = 8;
// A clip's frame publishes the picture it leaves on screen in steps of this many pixels.
inline constexpr int kPublishStep = 2048;
// A frame's bytes besides its palette and codes: control extension, descriptor, code size, end.
inline constexpr int kFrameOverhead = 8 + 10 + 1 + 1;

class FrameEncoder {
public:
    // With `palette`, the frame starts from those colours instead of building its own. `chosen`
    // hears the frame's palette as soon as it is final, before the slower coding.
    using PaletteChosen = std::function<void(const std::vector<GifColorType>&, int colors)>;
    // How a clip's frame meets its neighbours.
    struct ClipLink {
        // The picture below (0xRRGGBB), or null for an opaque frame; `awaitBelow(n)` waits until
        // at least its first n pixels are final and says how many are. `previous` is the frame
        // before as it was given.
        const std::uint32_t* below = nullptr;
        std::function<int(int)> awaitBelow;
        const QImage* previous = nullptr;
        // The picture after this frame; `published(n)` says that its first n pixels are final.
        std::uint32_t* shown = nullptr;
        std::function<void(int)> published;
        // The rate control's factor for the tolerance, asked for as the coding starts; the
        // frame's bytes, told before its last pixels are published.
        std::function<float()> factor;
        // The factor of the frame two before (1 for the first two), asked for before the palette.
        std::function<float()> earlierFactor;
        std::function<void(qint64)> finished;
    };
    // Without `clip`, a single picture: opaque, with a tolerance that follows the picture.
    // Throws MediaError::encode.
    EncodedFrame encode(const QImage& frame, GifEffort effort, const SharedPalette* palette,
                        const PaletteChosen& chosen, const ClipLink* clip = nullptr);

private:
    struct Match {
        int length = 0;
        float error = 0;
        int code = -1;
    };
    struct Candidate {
        int color;
        float error;
    };

    void awaitBelow(int pixels);
    std::pair<const std::uint8_t*, const std::uint8_t*> reachOf(int p);
    void publish(int pixels);
    void planCodes(LzwPacker& packer, int codeBits);
    void plainCodes(LzwPacker& packer, int codeBits);
    void resetDictionary();
    void addCode(int prefix, int color);
    void extend(int root, int position, float rootError, Match& found);
    int childOf(int code, int color) const {
        const std::uint32_t key = std::uint32_t(code) << 9 | std::uint32_t(color);
        for (std::uint32_t slot = (key * 2654435761u) >> (32 - kHashBits);;
             slot = (slot + 1) & ((1u << kHashBits) - 1)) {
            if (m_hashKey[slot] == key)
                return m_hashCode[slot];
            if (m_hashKey[slot] == ~0u)
                return -1;
        }
    }
    float matchError(int position, int color) const {
        return color == m_transparent
                   ? m_belowError[position]
                   : m_pixel[position].distance(m_palette.color(color), kMatchChromaWeight);
    }

    FramePixels m_frame;
    Palette m_palette;
    ToleranceMap m_toleranceMap;
    int m_pixels = 0;
    int m_colors = 0;
    const Color* m_pixel = nullptr;     // m_frame's colours
    const float* m_tolerance = nullptr; // each pixel's, from m_toleranceMap
    std::vector<std::uint8_t> m_nearest;
    // A clip's frame: the transparent index (after the palette's colours) or -1, the clip's
    // link, how much of the picture below has been read (each pixel's distance to it) and how
    // much of the picture after the frame written.
    int m_transparent = -1;
    const ClipLink* m_clip = nullptr;
    int m_belowRead = 0;
    std::vector<float> m_belowError;
    int m_published = 0;
    bool m_usedTransparent = false;
    std::array<std::uint32_t, 256> m_shownRgb{}; // the palette as 0xRRGGBB
    // The colour each pixel got; the colours besides its nearest that a pixel may take, as
    // reachOf found them last (room for them all and a cache entry more). With one tolerance for
    // the frame, the colours within it of the last colour that hashed to a slot.
    std::vector<std::uint8_t> m_index;
    std::array<std::uint8_t, 257 + 8> m_reach{};
    float m_uniformTolerance = 0;
    struct ReachEntry {
        std::uint32_t key = ~0u;
        std::uint32_t count = 0;
        std::array<std::uint8_t, 8> colors{};
    };
    static constexpr int kReachCacheBits = 14;
    std::array<ReachEntry, 1 << kReachCacheBits> m_reachCache{};

    // The LZW table as every decoder builds it, as a tree: code → (prefix code, last colour).
    int m_nextCode = 0;
    int m_firstFreeCode = 0;
    int m_longest = 1; // pixels in the longest string of the table
    // What following a string reads, side by side in eight bytes, apart from the rest: the
    // strings' walks stay within the nearest cache.
    struct Node {
        std::int16_t firstChild, nextSibling, depthBelow;
        std::uint8_t suffix;
        bool many; // more children than kManyChildren, in a clip
    };
    struct NodeInfo {
        std::int16_t parent, children, length;
        std::uint8_t head;
    };
    std::array<Node, 4096> m_node{};
    std::array<NodeInfo, 4096> m_info{};
    std::array<Candidate, 257> m_candidates{};
    // The table's codes by (code << 9 | colour), twice as many slots as codes.
    static constexpr int kHashBits = 13;
    std::array<std::uint32_t, 1 << kHashBits> m_hashKey{};
    std::array<std::int16_t, 1 << kHashBits> m_hashCode{};
};

} // namespace tovi::gif

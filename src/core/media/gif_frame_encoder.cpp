#include "media/gif_frame_encoder.h"

#include "media/media_error.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace tovi::gif {
namespace {

[[noreturn]] void fail() {
    throw MediaError(MediaError::encode);
}

} // namespace

EncodedFrame FrameEncoder::encode(const QImage& frame, GifEffort effort,
                                  const SharedPalette* palette, const PaletteChosen& chosen,
                                  const ClipLink* clip) {
    // Video frames and most pictures come as RGB32: read as they are, without a copy.
    const QImage image = frame.format() == QImage::Format_RGB32
                             ? frame
                             : frame.convertToFormat(QImage::Format_RGBX8888);
    if (image.isNull())
        fail();
    const bool quick = effort == GifEffort::quick;
    m_frame.load(image, !quick);
    m_pixels = m_frame.count;
    m_pixel = m_frame.color.data();
    const bool below = clip && clip->below;
    const bool roomy =
        !quick && below && clip->earlierFactor && clip->earlierFactor() <= kRoomyFactor;
    // A roomy frame waits for the whole picture on screen and takes what it shows badly into
    // its palette: each frame refines what the ones before left.
    QImage shown;
    if (roomy && clip->awaitBelow(m_frame.count) >= m_frame.count)
        shown = QImage(reinterpret_cast<const uchar*>(clip->below), m_frame.width, m_frame.height,
                       m_frame.width * 4, QImage::Format_RGB32);
    if (palette)
        m_palette.take(*palette);
    else if (!clip)
        m_palette.build(m_frame, nullptr);
    else
        m_palette.build(m_frame,
                        !shown.isNull() ? &shown
                        : below         ? clip->previous
                                        : nullptr,
                        !below  ? kFirstFrameSampling
                        : roomy ? kRoomyPaletteSampling
                                : kClipPaletteSampling,
                        kClipQuantizerSpeed,
                        shown.isNull() ? kChangedDistance : kRoomyChangedDistance);
    if (roomy)
        m_palette.remap(m_frame, kRoomyCacheMask, false, kRoomyChromaWeight, m_nearest);
    else
        m_palette.remap(m_frame, quick || clip ? kQuickCacheMask : kCacheMask, quick,
                        clip ? kClipRemapChromaWeight : kRemapChromaWeight, m_nearest);
    m_colors = m_palette.size();

    EncodedFrame encoded;
    const unsigned entries = static_cast<unsigned>(m_colors + (below ? 1 : 0));
    const unsigned mapSize = std::max(2u, std::bit_ceil(entries));
    encoded.palette.assign(mapSize, GifColorType{0, 0, 0});
    for (int i = 0; i < m_colors; ++i) {
        m_shownRgb[i] = m_palette.rgb(i);
        encoded.palette[i] = {GifByteType(m_shownRgb[i] >> 16), GifByteType(m_shownRgb[i] >> 8),
                              GifByteType(m_shownRgb[i])};
    }
    if (chosen)
        chosen(encoded.palette, m_colors);
    encoded.codeBits = std::max(2, std::countr_zero(mapSize)); // giflib's minimum code size
    LzwPacker packer(encoded.codeBits, encoded.blocks);
    m_clip = clip;
    m_transparent = below ? m_colors : -1;
    m_belowRead = below ? 0 : m_pixels;
    m_belowError.resize(below ? static_cast<size_t>(m_pixels) : 0);
    m_published = 0;
    m_usedTransparent = false;
    if (quick) {
        plainCodes(packer, encoded.codeBits);
    } else {
        m_uniformTolerance = clip ? kClipTolerance * (clip->factor ? clip->factor() : 1.0f) : 0;
        m_tolerance = m_toleranceMap.compute(m_frame, m_uniformTolerance).data();
        planCodes(packer, encoded.codeBits);
        if (clip && clip->finished)
            clip->finished(qint64(encoded.blocks.size()) + 3 * qint64(encoded.palette.size()) +
                           kFrameOverhead);
        publish(m_pixels);
        if (m_usedTransparent)
            encoded.transparent = m_transparent;
    }
    return encoded;
}

// Reads the picture below as far as `pixels` (or beyond, as far as it is final). The transparent
// index shows it: a colour of its own for every pixel, which becomes the pixel's nearest where it
// is at least as close as the palette's.
void FrameEncoder::awaitBelow(int pixels) {
    pixels = std::min(pixels, m_pixels);
    if (m_belowRead >= pixels)
        return;
    const int ready = std::min(m_clip->awaitBelow(pixels), m_pixels);
    int p = m_belowRead;
    // Eight pixels at a time, in the same operations as Color::of and Color::distance, so the
    // errors are the scalar loop's to the bit. The compiler leaves the scalar loop scalar.
    using Lanes = float __attribute__((vector_size(8 * sizeof(float))));
    using Words = std::uint32_t __attribute__((vector_size(8 * sizeof(std::uint32_t))));
    for (; p + 8 <= ready; p += 8) {
        Words rgb;
        std::memcpy(&rgb, m_clip->below + p, sizeof rgb);
        const Lanes r = __builtin_convertvector(rgb >> 16, Lanes);
        const Lanes g = __builtin_convertvector((rgb >> 8) & 0xff, Lanes);
        const Lanes b = __builtin_convertvector(rgb & 0xff, Lanes);
        const Lanes y = 0.299f * r + 0.587f * g + 0.114f * b;
        Lanes py, pr, pb, ny, nr, nb;
        for (int k = 0; k < 8; ++k) {
            const Color& pixel = m_pixel[p + k];
            const Color& nearest = m_palette.color(m_nearest[p + k]);
            py[k] = pixel.y, pr[k] = pixel.cr, pb[k] = pixel.cb;
            ny[k] = nearest.y, nr[k] = nearest.cr, nb[k] = nearest.cb;
        }
        const Lanes dy = py - y, dr = pr - (r - y), db = pb - (b - y);
        const Lanes error = dy * dy + kMatchChromaWeight * (dr * dr + db * db);
        const Lanes ey = py - ny, er = pr - nr, eb = pb - nb;
        const Lanes nearestError = ey * ey + kMatchChromaWeight * (er * er + eb * eb);
        std::memcpy(&m_belowError[p], &error, sizeof error);
        for (int k = 0; k < 8; ++k)
            if (error[k] <= nearestError[k])
                m_nearest[p + k] = static_cast<std::uint8_t>(m_transparent);
    }
    for (; p < ready; ++p) {
        const std::uint32_t rgb = m_clip->below[p];
        const float error = m_pixel[p].distance(Color::of(rgb), kMatchChromaWeight);
        m_belowError[p] = error;
        if (error <= m_pixel[p].distance(m_palette.color(m_nearest[p]), kMatchChromaWeight))
            m_nearest[p] = static_cast<std::uint8_t>(m_transparent);
    }
    m_belowRead = ready;
}

// The colours besides its nearest that pixel p may take, until the next call. Most pixels are
// asked once: keeping the answers cost more than finding the few asked again.
std::pair<const std::uint8_t*, const std::uint8_t*> FrameEncoder::reachOf(int p) {
    std::uint8_t* const start = m_reach.data();
    std::uint8_t* end = start;
    const float tolerance = m_tolerance[p];
    if (tolerance <= 0) // an exact pixel: its nearest colour only
        return {start, end};
    const int nearest = m_nearest[p];
    // With one tolerance for the frame, pixels of one colour reach the same colours.
    const std::uint32_t rgb = m_frame.rgb[p];
    ReachEntry* entry = nullptr;
    if (m_uniformTolerance > 0)
        entry = &m_reachCache[(rgb * 2654435761u) >> (32 - kReachCacheBits)];
    if (entry && entry->key == rgb) {
        std::memcpy(start, entry->colors.data(), entry->colors.size());
        end = start + entry->count;
    } else {
        end = m_palette.reach(m_pixel[p], tolerance, start);
        if (entry && end - start <= long(entry->colors.size())) {
            entry->key = rgb;
            entry->count = static_cast<std::uint8_t>(end - start);
            std::memcpy(entry->colors.data(), start, entry->colors.size());
        }
    }
    std::uint8_t* kept = start;
    for (const std::uint8_t* i = start; i < end; ++i) {
        *kept = *i;
        kept += *i != nearest;
    }
    end = kept;
    if (m_transparent >= 0 && nearest != m_transparent && m_belowError[p] <= tolerance)
        *end++ = static_cast<std::uint8_t>(m_transparent);
    return {start, end};
}

// Writes the picture after the frame up to pixel `pixels`, whose colours are chosen by then.
void FrameEncoder::publish(int pixels) {
    if (!m_clip || pixels <= m_published)
        return;
    std::uint32_t* shown = m_clip->shown;
    bool through = false;
    for (int p = m_published; p < pixels; ++p) {
        const int i = m_index[p];
        through |= i == m_transparent;
        shown[p] = i == m_transparent ? m_clip->below[p] : m_shownRgb[i];
    }
    m_usedTransparent |= through;
    m_published = pixels;
    m_clip->published(pixels);
}

void FrameEncoder::resetDictionary() {
    for (int c = 0; c < m_colors + (m_transparent >= 0); ++c) {
        m_node[c].firstChild = -1;
        m_node[c].depthBelow = 0;
        m_node[c].suffix = static_cast<std::uint8_t>(c);
        m_node[c].many = false;
        m_info[c].children = 0;
        m_info[c].length = 1;
        m_info[c].parent = -1;
        m_info[c].head = static_cast<std::uint8_t>(c);
    }
    m_nextCode = m_firstFreeCode;
    m_longest = 1;
    if (m_clip)
        m_hashKey.fill(~0u);
}

void FrameEncoder::addCode(int prefix, int color) {
    const int code = m_nextCode++;
    m_node[code].suffix = static_cast<std::uint8_t>(color);
    m_node[code].firstChild = -1;
    m_node[code].depthBelow = 0;
    m_node[code].many = false;
    m_node[code].nextSibling = m_node[prefix].firstChild;
    m_node[prefix].firstChild = static_cast<std::int16_t>(code);
    m_info[code].head = m_info[prefix].head;
    m_info[code].parent = static_cast<std::int16_t>(prefix);
    m_info[code].children = 0;
    m_info[code].length = static_cast<std::int16_t>(m_info[prefix].length + 1);
    m_longest = std::max<int>(m_longest, m_info[code].length);
    ++m_info[prefix].children;
    m_node[prefix].many = m_clip && m_info[prefix].children > kManyChildren;
    if (m_clip) { // only a clip's transparent runs leave nodes with many children
        const std::uint32_t key = std::uint32_t(prefix) << 9 | std::uint32_t(color);
        std::uint32_t slot = (key * 2654435761u) >> (32 - kHashBits);
        while (m_hashKey[slot] != ~0u)
            slot = (slot + 1) & ((1u << kHashBits) - 1);
        m_hashKey[slot] = key;
        m_hashCode[slot] = static_cast<std::int16_t>(code);
    }
    for (int node = prefix, depth = 1; node >= 0 && m_node[node].depthBelow < depth;
         node = m_info[node].parent, ++depth)
        m_node[node].depthBelow = static_cast<std::int16_t>(depth);
}

// Follows dictionary codes from `root` (covering `position`) while the next pixel's colour stays
// within its tolerance, taking at each step the child with the deepest subtree (the longest
// possible continuation), then the smaller error. Updates `best` only when it beats it. The code
// it stops on has no child that fits the next pixel, which keeps giflib's parse the same as ours.
void FrameEncoder::extend(int root, int position, float rootError, Match& found) {
    // The best match in locals: stores through `found` would hold up the loads after them.
    Match best = found;
    int code = root;
    int length = 1;
    float error = rootError;
    for (int at = position + 1;; ++at, ++length) {
        if (length > best.length || (length == best.length && error < best.error))
            best = {length, error, code};
        if (at >= m_pixels || length + m_node[code].depthBelow <= best.length)
            break; // nothing below can get longer than what we have
        const int nearest = m_nearest[at];
        const float tolerance = m_tolerance[at];
        int next = -1;
        int nextDepth = -1;
        float nextError = 0;
        if (m_node[code].many) {
            // Many strings go on from here (after a transparent run, say): look up the few
            // colours this pixel may take instead of weighing every one.
            next = childOf(code, nearest);
            if (next >= 0)
                nextDepth = m_node[next].depthBelow;
            // The nearest colour's child, when no child goes deeper, wins: its error is none.
            const bool deepest = nextDepth == m_node[code].depthBelow - 1;
            const auto [from, to] =
                deepest ? std::pair<const std::uint8_t*, const std::uint8_t*>() : reachOf(at);
            for (const std::uint8_t* i = from; i < to; ++i) {
                const int child = childOf(code, *i);
                if (child < 0 || m_node[child].depthBelow < nextDepth)
                    continue;
                const float childError = matchError(at, *i);
                if (m_node[child].depthBelow > nextDepth || childError < nextError) {
                    next = child;
                    nextDepth = m_node[child].depthBelow;
                    nextError = childError;
                }
            }
        } else if (tolerance <= 0) { // an exact pixel: only its own colour continues
            for (int child = m_node[code].firstChild; child >= 0 && next < 0;
                 child = m_node[child].nextSibling)
                next = m_node[child].suffix == nearest ? child : -1;
        } else {
            for (int child = m_node[code].firstChild; child >= 0;
                 child = m_node[child].nextSibling) {
                const int depth = m_node[child].depthBelow;
                if (depth < nextDepth) // a shallower child loses whatever its error
                    continue;
                const int color = m_node[child].suffix;
                const float childError = color == nearest ? 0.0f : matchError(at, color);
                if (childError <= tolerance && (depth > nextDepth || childError < nextError)) {
                    next = child;
                    nextDepth = depth;
                    nextError = childError;
                }
            }
        }
        if (next < 0)
            break;
        code = next;
        error += nextError;
    }
    found = best;
}

// Every pixel at its nearest colour, coded as giflib codes it: the longest string in the table,
// found through the table's hash. What planCodes gives without tolerance, faster.
void FrameEncoder::plainCodes(LzwPacker& packer, int codeBits) {
    const int clearCode = 1 << codeBits;
    m_nextCode = clearCode + 2;
    const auto clear = [this] { m_hashKey.fill(~0u); };
    clear();
    packer.put(clearCode, m_nextCode);
    int current = m_nearest[0];
    for (int p = 1; p < m_pixels; ++p) {
        const std::uint32_t key = std::uint32_t(current) << 9 | m_nearest[p];
        std::uint32_t slot = (key * 2654435761u) >> (32 - kHashBits);
        while (m_hashKey[slot] != ~0u && m_hashKey[slot] != key)
            slot = (slot + 1) & ((1u << kHashBits) - 1);
        if (m_hashKey[slot] == key) {
            current = m_hashCode[slot];
            continue;
        }
        packer.put(current, m_nextCode);
        if (m_nextCode >= kLastLzwCode) { // the table is full: start afresh, as giflib does
            packer.put(clearCode, m_nextCode);
            clear();
            m_nextCode = clearCode + 2;
            packer.restart();
        } else {
            m_hashKey[slot] = key;
            m_hashCode[slot] = static_cast<std::int16_t>(m_nextCode++);
        }
        current = m_nearest[p];
    }
    packer.put(current, m_nextCode);
    packer.put(clearCode + 1, m_nextCode); // end of information
    packer.finish();
}

// Chooses every pixel's colour while building the LZW table exactly as giflib would, and writes
// the codes. A string may also start on another colour within tolerance than the pixel's
// nearest. None of those extends the previous string (it would have taken any colour within
// tolerance), so a decoder's table stays in step with ours.
void FrameEncoder::planCodes(LzwPacker& packer, int codeBits) {
    const int clearCode = 1 << codeBits;
    m_firstFreeCode = clearCode + 2;
    m_index.resize(m_clip ? static_cast<size_t>(m_pixels) : 0);
    if (m_uniformTolerance > 0)
        for (ReachEntry& entry : m_reachCache)
            entry.key = ~0u;
    resetDictionary();
    packer.put(clearCode, m_nextCode);
    int previous = -1; // code of the previous string
    int position = 0;
    while (position < m_pixels) {
        if (previous >= 0) {
            packer.put(previous, m_nextCode);
            if (m_nextCode >= kLastLzwCode) { // the table is full: start afresh, as giflib does
                packer.put(clearCode, m_nextCode);
                resetDictionary();
                packer.restart();
                previous = -1;
            }
        }
        // The strings tried here reach at most one pixel beyond the longest in the table.
        awaitBelow(position + m_longest + 2);
        const int nearest = m_nearest[position];
        Match best;
        int root = nearest;
        extend(root, position, 0, best);
        if (previous >= 0) {
            // An exact pixel has no other colour to start on: only the new code below.
            int candidates = 0;
            // No string in the table is longer than what the nearest colour starts.
            const auto [from, to] = best.length >= m_longest
                                        ? std::pair<const std::uint8_t*, const std::uint8_t*>()
                                        : reachOf(position);
            for (const std::uint8_t* i = from; i < to; ++i)
                if (1 + m_node[*i].depthBelow > best.length)
                    m_candidates[candidates++] = {*i, matchError(position, *i)};
            for (int i = 0; i < candidates; ++i) {
                const Candidate candidate = m_candidates[i];
                const int before = best.code;
                extend(candidate.color, position, candidate.error, best);
                if (best.code != before)
                    root = candidate.color;
            }
            addCode(previous, root);
            // The new code may lie on this string's path and lead to a longer string, but only
            // when it is itself at least as long as the string found: otherwise a clip's frame
            // keeps what it has. (Single pictures walk again from scratch, as they always have.)
            if (m_info[previous].head == root &&
                (!m_clip || m_info[previous].length + 1 >= best.length)) {
                if (!m_clip)
                    best = {};
                extend(root, position, root == nearest ? 0.0f : matchError(position, root), best);
            }
        }
        if (m_clip) {
            for (int code = best.code, p = position + best.length - 1; p >= position;
                 --p, code = m_info[code].parent)
                m_index[p] = m_node[code].suffix;
            if (position + best.length - m_published >= kPublishStep)
                publish(position + best.length);
        }
        position += best.length;
        previous = best.code;
    }
    packer.put(previous, m_nextCode);
    packer.put(clearCode + 1, m_nextCode); // end of information
    packer.finish();
}

} // namespace tovi::gif

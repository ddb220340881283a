#pragma once

// LZW packing for the GIF writer: codes become data sub-blocks exactly as giflib's own encoder
// lays them out (least significant bit first, each code as wide as the table then requires,
// 255 bytes to a block), so any decoder's table stays in step with the encoder's plan. A code
// is never 4095: the table is cleared first, as giflib does, which keeps every code within 12
// bits for the smallest readers.

#include <gif_lib.h>

#include <cstdint>
#include <vector>

namespace tovi::gif {

inline constexpr int kLastLzwCode = 4095;

// One frame, coded: what the stream writer needs besides its delay.
struct EncodedFrame {
    std::vector<GifColorType> palette; // a power of two, at least 2 entries
    int codeBits = 0;
    std::vector<GifByteType> blocks; // the LZW data sub-blocks, each led by its length
    int transparent = -1;            // the index that lets the picture below show, when used
};

class LzwPacker {
public:
    LzwPacker(int codeBits, std::vector<GifByteType>& blocks)
        : m_codeBits(codeBits)
        , m_blocks(blocks) {
        restart();
    }
    void restart() { m_width = m_codeBits + 1; }
    // `nextCode` is the code the table will assign next; the width grows once it no longer fits.
    void put(int code, int nextCode) {
        m_pending |= std::uint64_t(code) << m_pendingBits;
        m_pendingBits += m_width;
        while (m_pendingBits >= 8) {
            byte(static_cast<GifByteType>(m_pending & 0xff));
            m_pending >>= 8;
            m_pendingBits -= 8;
        }
        if (nextCode >= 1 << m_width)
            ++m_width;
    }
    void finish() {
        if (m_pendingBits > 0)
            byte(static_cast<GifByteType>(m_pending & 0xff));
        m_pending = 0;
        m_pendingBits = 0;
    }

private:
    void byte(GifByteType value) {
        if (m_blockStart < 0 || m_blocks[m_blockStart] == 255) {
            m_blockStart = static_cast<int>(m_blocks.size());
            m_blocks.push_back(0);
        }
        ++m_blocks[m_blockStart];
        m_blocks.push_back(value);
    }

    const int m_codeBits;
    std::vector<GifByteType>& m_blocks;
    int m_width = 0;
    std::uint64_t m_pending = 0;
    int m_pendingBits = 0;
    int m_blockStart = -1;
};

// A frame that leaves the picture below as it is: every pixel transparent, in the fewest codes.
EncodedFrame unchangedFrame(int pixels);

} // namespace tovi::gif

#include "media/gif_lzw.h"

#include <algorithm>

namespace tovi::gif {

// Strings of ever more zeros, as LZW's table grows them.
EncodedFrame unchangedFrame(int pixels) {
    EncodedFrame frame;
    frame.palette.assign(2, GifColorType{0, 0, 0});
    frame.codeBits = 2;
    frame.transparent = 0;
    LzwPacker packer(frame.codeBits, frame.blocks);
    const int clearCode = 1 << frame.codeBits;
    int next = clearCode + 2;
    packer.put(clearCode, next);
    for (int length = 1, left = pixels;; ++length, ++next) {
        if (next >= kLastLzwCode) { // a frame of millions of pixels: the table starts again
            packer.put(clearCode, next);
            packer.restart();
            next = clearCode + 2;
            length = 1;
        }
        const int take = std::min(length, left); // `take` zeros: code 0, then clear + take
        packer.put(take == 1 ? 0 : clearCode + take, next);
        left -= take;
        if (left == 0)
            break;
    }
    packer.put(clearCode + 1, next);
    packer.finish();
    return frame;
}

} // namespace tovi::gif

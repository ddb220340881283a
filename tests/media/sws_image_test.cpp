#include "media/sws_image.h"

#include <QScopeGuard>
#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>
#include <vector>

using namespace tovi;

namespace {

// In a child process, where the guard page, not a sanitizer, must stop it: a write `past` bytes
// after the last row of a swsImage of `size`, or with `rows` > 0 libswscale converting that many
// rows of grey into it.
[[noreturn]] void overrun(QSize size, qsizetype past, int rows = 0) {
    std::signal(SIGSEGV, SIG_DFL);
    QImage out = swsImage(size, QImage::Format_RGB32);
    if (rows == 0) {
        out.bits()[out.bytesPerLine() * size.height() + past] = 1;
        std::_Exit(0);
    }
    const int width = size.width();
    const std::vector<uint8_t> grey(size_t(width * rows + AV_INPUT_BUFFER_PADDING_SIZE), 128);
    SwsContextPtr context(sws_getContext(width, rows, AV_PIX_FMT_GRAY8, width, rows,
                                         AV_PIX_FMT_RGB32, SWS_POINT, nullptr, nullptr, nullptr));
    const uint8_t* const from[4] = {grey.data()};
    uint8_t* const to[4] = {out.bits()};
    const int fromStrides[4] = {width}, toStrides[4] = {int(out.bytesPerLine())};
    sws_scale(context.get(), from, fromStrides, 0, rows, to, toStrides);
    std::_Exit(0);
}

} // namespace

// Every picture handed to libswscale has aligned rows of whole blocks and, after the last row,
// room for a block of the widest pixels and FFmpeg's input padding. In guard mode the next byte
// is an inaccessible page: an overrun, ours or the library's, ends the process at once.
TEST(SwsImageDeathTest, GuardModeFaultsRightAfterWhatFfmpegMayTouch) {
    GTEST_FLAG_SET(death_test_style, "threadsafe"); // the child starts afresh, in guard mode
    ::setenv("TOVI_GUARD_BUFFERS", "1", 1);
    const auto ordinary = qScopeGuard([] { ::unsetenv("TOVI_GUARD_BUFFERS"); });
    constexpr qsizetype spare = 4 * 64 + AV_INPUT_BUFFER_PADDING_SIZE;
    for (const QSize size : {QSize(13, 7), QSize(568, 320)}) {
        const QImage image = swsImage(size, QImage::Format_RGB32);
        EXPECT_EQ(image.bytesPerLine() % 64, 0);
        EXPECT_EQ(quintptr(image.constBits()) % 64, 0);
        EXPECT_EXIT(overrun(size, spare - 1), testing::ExitedWithCode(0), "");
        EXPECT_EXIT(overrun(size, spare), testing::KilledBySignal(SIGSEGV), "");
    }
    EXPECT_EXIT(overrun({16, 16}, 0, 16), testing::ExitedWithCode(0), "");
    // A buffer too short for the picture: libswscale itself runs into the guard page.
    EXPECT_EXIT(overrun({16, 2}, 0, 16), testing::KilledBySignal(SIGSEGV), "");
}

#include "media/sws_image.h"

#include <QScopeGuard>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <vector>

using namespace tovi;

namespace {

// What libswscale may touch past the last row: a block of the widest pixels and FFmpeg's input
// padding.
constexpr qsizetype spare = 4 * 64 + AV_INPUT_BUFFER_PADDING_SIZE;

// In a child process: the guard page, not a sanitizer, must stop it.
[[noreturn]] void inChild(const std::function<void()>& work) {
    std::signal(SIGSEGV, SIG_DFL);
    work();
    std::_Exit(0);
}

// libswscale converting `rows` rows of grey into a picture of `size`, told that it is that tall.
void convertInto(QSize size, int rows) {
    const int width = size.width();
    const std::vector<uint8_t> grey(size_t(width * rows + AV_INPUT_BUFFER_PADDING_SIZE), 128);
    SwsContextPtr context(sws_getContext(width, rows, AV_PIX_FMT_GRAY8, width, rows,
                                         AV_PIX_FMT_RGB32, SWS_POINT, nullptr, nullptr, nullptr));
    QImage out = swsImage(size, QImage::Format_RGB32);
    const uint8_t* const from[4] = {grey.data()};
    const int fromStrides[4] = {width};
    uint8_t* const to[4] = {out.bits()};
    const int toStrides[4] = {int(out.bytesPerLine())};
    sws_scale(context.get(), from, fromStrides, 0, rows, to, toStrides);
}

} // namespace

// Every picture handed to libswscale has aligned rows of whole blocks and its spare bytes; in
// guard mode the byte after them is an inaccessible page, so an overrun, ours or the library's,
// ends the process at once.
TEST(SwsImageDeathTest, GuardModeFaultsRightAfterWhatFfmpegMayTouch) {
    GTEST_FLAG_SET(death_test_style, "threadsafe"); // the child starts afresh, in guard mode
    ::setenv("TOVI_GUARD_BUFFERS", "1", 1);
    const auto ordinary = qScopeGuard([] { ::unsetenv("TOVI_GUARD_BUFFERS"); });
    for (const QSize size : {QSize(13, 7), QSize(568, 320)}) {
        const QImage image = swsImage(size, QImage::Format_RGB32);
        EXPECT_EQ(image.bytesPerLine() % 64, 0);
        EXPECT_EQ(quintptr(image.constBits()) % 64, 0);
        const auto touch = [size](qsizetype past) {
            inChild([size, past] {
                QImage picture = swsImage(size, QImage::Format_RGB32);
                picture.bits()[picture.bytesPerLine() * size.height() + past] = 1;
            });
        };
        EXPECT_EXIT(touch(spare - 1), testing::ExitedWithCode(0), "");
        EXPECT_EXIT(touch(spare), testing::KilledBySignal(SIGSEGV), "");
    }
    EXPECT_EXIT(inChild([] { convertInto({16, 16}, 16); }), testing::ExitedWithCode(0), "");
    // A buffer too short for the picture: libswscale itself runs into the guard page.
    EXPECT_EXIT(inChild([] { convertInto({16, 2}, 16); }), testing::KilledBySignal(SIGSEGV), "");
}

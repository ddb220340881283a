#include "app/tovi_error.h"
#include "faults/interposed.h"
#include "media/gif_writer.h"
#include "media/media_error.h"
#include "media/media_processor.h"
#include "support/gif_builder.h"

#include <gtest/gtest.h>

using namespace tovi;
using tovi::test::noise;

// A frame that fails on a worker fails the file: the frames queued after it are refused, nothing
// waits for them, and no GIF with a hole comes out.
TEST(GifWriterFailure, AFrameFailingOnAWorkerFailsTheWholeFile) {
    const test::QuantizerFault fault(3);
    GifWriter writer(QSize(32, 32));
    int refused = 0;
    for (quint32 i = 0; i < 16; ++i) {
        try {
            writer.add(noise({32, 32}, i), 0.1);
        } catch (const MediaError& error) {
            EXPECT_EQ(error.kind(), MediaError::encode);
            ++refused;
        }
    }
    EXPECT_GT(refused, 0) << "the pipeline holds only a few frames";
    EXPECT_THROW(
        {
            try {
                writer.finish();
            } catch (const MediaError& error) {
                EXPECT_EQ(error.kind(), MediaError::encode);
                throw;
            }
        },
        MediaError);
    EXPECT_THROW(writer.add(noise({32, 32}, 99), 0.1), std::logic_error) << "finished either way";
    EXPECT_LT(fault.calls(), 16);
}

// Stopping an export half-way ends it there: nothing is encoded past the frames already in the
// writer's small pipeline, and the caller is told it was cancelled.
TEST(GifWriterFailure, AnExportAbandonedHalfWayStopsEncoding) {
    const test::QuantizerFault counted;
    ExportOptions options;
    options.rotation = true;
    options.rotationSeconds = 8;
    options.fps = 12; // 96 frames
    int last = 0;
    const auto stopAtTen = [&](int done, int) {
        last = done;
        return done < 10;
    };
    EXPECT_THROW(MediaProcessor::rotationGIF(noise({240, 240}, 1), options, stopAtTen), Cancelled);
    EXPECT_EQ(last, 10);
    EXPECT_LE(counted.calls(), 10 + 6);
}

#include "platform/losttimemeter.h"
#include "testname.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <ostream>

namespace sonavell {
namespace {

constexpr std::uint64_t kSecond = 1000000000;

TEST(LostTimeMeter, DeviceKeepingUpLosesNothing)
{
    LostTimeMeter meter;
    meter.start(5 * kSecond, 44100, 22050);
    for (int i = 1; i <= 100; ++i)
        meter.addFrames(4410, 5 * kSecond + static_cast<std::uint64_t>(i) * kSecond / 10);
    EXPECT_EQ(meter.lostFrames(), 0u);
}

TEST(LostTimeMeter, LatencyWithinTheDeviceBufferIsNotLoss)
{
    LostTimeMeter meter;
    meter.start(0, 48000, 24000);
    meter.addFrames(1000, kSecond / 2); // 23000 frames late, inside the buffer
    EXPECT_EQ(meter.lostFrames(), 0u);
}

TEST(LostTimeMeter, SilentlyDroppedSecondIsCounted)
{
    // GIVEN a stream that delivers in time, then skips a whole second without an error
    LostTimeMeter meter;
    meter.start(0, 44100, 4410);
    meter.addFrames(44100, kSecond);
    meter.addFrames(44100, 3 * kSecond);
    // THEN the shortfall beyond the buffer is the lost time, and it is kept afterwards
    EXPECT_EQ(meter.lostFrames(), 44100u - 4410u);
    EXPECT_EQ(meter.lostMilliseconds(), 900u);
    meter.addFrames(441000, 4 * kSecond);
    EXPECT_EQ(meter.lostMilliseconds(), 900u);
}

// A reader held up for seconds (a slow disk under the encoder) loses nothing while the device
// keeps the audio for it: a stall is not a loss.
TEST(LostTimeMeter, LateReaderWhoseAudioTheDeviceKeptLosesNothing)
{
    LostTimeMeter meter;
    meter.start(0, 44100, 4410);
    meter.addFrames(44100, kSecond);
    meter.addFrames(4410, 3 * kSecond + kSecond / 2, 105840); // 2.4 s late, all of it waiting
    EXPECT_EQ(meter.lostFrames(), 0u);
    meter.addFrames(105840, 4 * kSecond, 22050);
    EXPECT_EQ(meter.lostFrames(), 0u);
}

TEST(LostTimeMeter, DaysLongRecordingDoesNotOverflow)
{
    LostTimeMeter meter;
    meter.start(0, 44100, 0);
    const std::uint64_t tenDays = 10ull * 24 * 3600 * kSecond;
    meter.addFrames(10ull * 24 * 3600 * 44100, tenDays);
    EXPECT_EQ(meter.lostFrames(), 0u);
}

struct FailureCase
{
    int error;
    StreamFailure expected;
};

void PrintTo(const FailureCase &c, std::ostream *out)
{
    *out << "error" << -c.error;
}

class StreamFailureTest : public testing::TestWithParam<FailureCase> {};

TEST_P(StreamFailureTest, Classifies)
{
    EXPECT_EQ(classifyStreamFailure(GetParam().error), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(LostTimeMeter, StreamFailureTest,
                         testing::Values(FailureCase{-EAGAIN, StreamFailure::TryAgain},
                                         FailureCase{-EINTR, StreamFailure::TryAgain},
                                         FailureCase{-EPIPE, StreamFailure::Overrun},
                                         FailureCase{-ESTRPIPE, StreamFailure::Suspended},
                                         FailureCase{-ENODEV, StreamFailure::DeviceGone},
                                         FailureCase{-EBADFD, StreamFailure::DeviceGone},
                                         FailureCase{-EIO, StreamFailure::DeviceGone}),
                         [](const auto &info) { return test::testName(strerrorname_np(-info.param.error)); });

} // namespace
} // namespace sonavell

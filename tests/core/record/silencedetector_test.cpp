#include "core/record/silencedetector.h"

#include "core/settings/recordersettings.h"
#include "core/settings/silencetest.h"

#include <gtest/gtest.h>

#include <vector>

namespace sonavell {
namespace {

class SilenceDetectorTest : public testing::Test
{
protected:
    void SetUp() override
    {
        silence.setSilenceEnabled(true);
        silence.setSensitivity(500);
        silence.setSilenceAction(0);
        silence.setStopAfterSeconds(5);
        silence.setNewFileAfterSeconds(2);
        recordLevel = 0;
        format = format.normalizedPcm(); // 44100 Hz stereo 16-bit
    }

    // Feeds buffers of 4608 bytes until the detector acts; returns the number fed (0: never).
    int buffersUntilAction(SilenceDetector &detector, int limit, SilenceDetector::Action *action = nullptr)
    {
        for (int i = 1; i <= limit; ++i) {
            const SilenceDetector::Action result = detector.onBuffer(quiet.data(), 4608);
            if (result != SilenceDetector::Action::None) {
                if (action)
                    *action = result;
                return i;
            }
        }
        return 0;
    }

    RecorderSettings silence;
    WaveFormat format;
    std::vector<std::int16_t> quiet = std::vector<std::int16_t>(2304, 0);
    std::vector<std::int16_t> loud = std::vector<std::int16_t>(2304, 8000);
};

TEST_F(SilenceDetectorTest, StopsOnTheBufferThatMakesSixSilentSeconds)
{
    SilenceDetector detector(format, silence);
    EXPECT_EQ(detector.onBuffer(loud.data(), 4608), SilenceDetector::Action::None);
    SilenceDetector::Action action{};
    // 882000 bytes (5 s) are 191.4 buffers; 6 s (1058400 bytes) are reached with buffer 230.
    EXPECT_EQ(buffersUntilAction(detector, 400, &action), 230);
    EXPECT_EQ(action, SilenceDetector::Action::Stop);
}

TEST_F(SilenceDetectorTest, NewFileUsesItsOwnLimitAndStartsCountingAgain)
{
    silence.setSilenceAction(1);
    SilenceDetector detector(format, silence);
    detector.onBuffer(loud.data(), 4608);
    SilenceDetector::Action action{};
    const int first = buffersUntilAction(detector, 400, &action);
    EXPECT_EQ(first, 115); // 3 s = 529200 bytes: buffer 115 (529920)
    EXPECT_EQ(action, SilenceDetector::Action::NewFile);
    EXPECT_EQ(buffersUntilAction(detector, 400), 115);
}

TEST_F(SilenceDetectorTest, SilenceFromTheStartNeverActs)
{
    SilenceDetector detector(format, silence);
    EXPECT_EQ(buffersUntilAction(detector, 2000), 0);
    EXPECT_FALSE(detector.hasHeardSound());
}

TEST_F(SilenceDetectorTest, DisabledDetectorNeverActs)
{
    silence.setSilenceEnabled(false);
    SilenceDetector detector(format, silence);
    detector.onBuffer(loud.data(), 4608);
    EXPECT_EQ(buffersUntilAction(detector, 2000), 0);
}

TEST_F(SilenceDetectorTest, SoundInTheStretchRestartsTheCount)
{
    SilenceDetector detector(format, silence);
    detector.onBuffer(loud.data(), 4608);
    EXPECT_EQ(buffersUntilAction(detector, 200), 0);
    // One buffer of sound is sound, however long the quiet stretch before it.
    detector.onBuffer(loud.data(), 4608);
    EXPECT_EQ(buffersUntilAction(detector, 400), 230);
}

TEST_F(SilenceDetectorTest, SoundAfterALongSilentStartIsHeard)
{
    SilenceDetector detector(format, silence);
    EXPECT_EQ(buffersUntilAction(detector, 192 * 20), 0); // 20 s of silence first
    const std::vector<std::int16_t> speech(2304, 700);   // about -33 dBFS
    EXPECT_EQ(detector.onBuffer(speech.data(), 4608), SilenceDetector::Action::None);
    EXPECT_TRUE(detector.hasHeardSound());
    EXPECT_EQ(buffersUntilAction(detector, 400), 230);
}

} // namespace
} // namespace sonavell

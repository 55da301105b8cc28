#include "core/settings/silencetest.h"

#include "testname.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace sonavell {
namespace {

// Sets the record level and sensitivity for one test; the level is restored after.
class SilenceTest : public ::testing::Test
{
protected:
    void TearDown() override { setRecordLevel(0, 0, 0); }
    void use(std::int32_t level, int sensitivity, std::int32_t minimum = 0, std::int32_t maximum = 0)
    {
        setRecordLevel(level, minimum, maximum);
        m_sensitivity = sensitivity;
    }
    std::int32_t threshold() const { return silenceThreshold(m_sensitivity); }
    bool silent(std::int32_t level) const { return isSilent(level, m_sensitivity); }

    int m_sensitivity = 500;
};

struct ThresholdCase
{
    std::int32_t level;
    int sensitivity;
    std::int32_t threshold;
    std::int32_t maximum = 0; // the mixer's range 0..maximum; 0: no range known
};

std::string thresholdCaseName(const ::testing::TestParamInfo<ThresholdCase> &info)
{
    const ThresholdCase &c = info.param;
    return "level" + std::to_string(c.level) + (c.maximum ? "_of" + std::to_string(c.maximum) : std::string())
        + "_sensitivity" + std::to_string(c.sensitivity);
}

class SilenceThreshold : public SilenceTest, public ::testing::WithParamInterface<ThresholdCase>
{
};

TEST_P(SilenceThreshold, FollowsLevelAndSensitivity)
{
    use(GetParam().level, GetParam().sensitivity, 0, GetParam().maximum);
    EXPECT_EQ(threshold(), GetParam().threshold);
}

INSTANTIATE_TEST_SUITE_P(Table, SilenceThreshold,
                         ::testing::Values(ThresholdCase{10, 1, 330}, ThresholdCase{10, 1000, 369},
                                           ThresholdCase{0, 500, 349},
                                           // Sensitivity past the slider's range is capped at the top.
                                           ThresholdCase{10, 5000, 370},
                                           // A slider at the top gives the same threshold on every
                                           // mixer: an ALSA control, a 0..65535 one, a sound server's.
                                           ThresholdCase{31, 500, 352, 31}, ThresholdCase{65535, 500, 352, 65535},
                                           ThresholdCase{65536, 500, 352, 65536},
                                           // A sound server's volume may go past 100%.
                                           ThresholdCase{98304, 500, 352, 65536},
                                           ThresholdCase{6553, 500, 349, 65535}),
                         thresholdCaseName);

// Quiet speech, a 1 kHz tone at -30 dBFS, is heard at the default sensitivity with the level
// slider at the top of any mixer's range.
TEST_F(SilenceTest, QuietSpeechIsSoundWhateverTheMixerRange)
{
    const QByteArray tone = test::sinePcm(44100, 2, 0.1, 1000, 1036);
    for (const std::int32_t maximum : {31, 100, 65535, 65536}) {
        use(maximum, 500, 0, maximum);
        EXPECT_FALSE(silent(bufferLevel(tone.constData(), static_cast<std::uint32_t>(tone.size())))) << maximum;
    }
}

TEST_F(SilenceTest, LevelIsTheMeanAbsoluteSample)
{
    const std::vector<std::int16_t> zeros(1000, 0);
    EXPECT_EQ(bufferLevel(zeros.data(), 2000), 0);
    for (int sensitivity : {1, 500, 1000}) {
        use(0, sensitivity);
        EXPECT_TRUE(silent(bufferLevel(zeros.data(), 2000)));
    }

    const std::vector<std::int16_t> square{32767, -32768, 32767, -32768};
    EXPECT_EQ(bufferLevel(square.data(), 8), 32767); // (32767 + 32768) * 2 / 4, truncated
    use(65535, 1000);
    EXPECT_FALSE(silent(bufferLevel(square.data(), 8)));

    const std::vector<std::int16_t> mixed{-3, 4, -5, 1, 0};
    EXPECT_EQ(bufferLevel(mixed.data(), 10), 2); // 13 / 5
    EXPECT_EQ(bufferLevel(mixed.data(), 9), 3);  // odd byte count: 4 samples, 13 / 4
    EXPECT_EQ(bufferLevel(mixed.data(), 0), 0);
}

TEST_F(SilenceTest, LevelEqualToTheThresholdIsSound)
{
    use(10, 1);
    ASSERT_EQ(threshold(), 330);
    EXPECT_FALSE(silent(330));
    EXPECT_TRUE(silent(329));
}

TEST(SilentSeconds, CountsWholeSecondsOfTheFormat)
{
    const WaveFormat stereo{1, 2, 44100, 176400, 4, 16, 0};
    EXPECT_EQ(silentSeconds(stereo, 882000), 5);
    EXPECT_EQ(silentSeconds(stereo, 1058400), 6);
    EXPECT_EQ(silentSeconds(stereo, 1058399), 5);
    const WaveFormat mono8{1, 1, 8000, 8000, 1, 8, 0};
    EXPECT_EQ(silentSeconds(mono8, 16000), 2);
    EXPECT_EQ(silentSeconds(WaveFormat{1, 0, 0, 0, 0, 16, 0}, 1000), 0);
}

} // namespace
} // namespace sonavell

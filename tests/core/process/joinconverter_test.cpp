#include "core/process/joinconverter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace sonavell {
namespace {

using Samples = std::vector<std::int16_t>;

Samples waiting(JoinConverter &converter)
{
    Samples out;
    converter.takeChunks(2, [&out](const char *chunk) {
        std::int16_t value = 0;
        std::memcpy(&value, chunk, 2);
        out.push_back(value);
    });
    return out;
}

Samples convert(int sourceRate, int sourceChannels, int targetRate, int targetChannels, const Samples &input)
{
    JoinConverter converter(targetRate, targetChannels);
    converter.append(input.data(), static_cast<int>(input.size()) / sourceChannels, sourceRate, sourceChannels);
    return waiting(converter);
}

struct ConversionCase
{
    const char *name;
    int sourceRate;
    int sourceChannels;
    int targetRate;
    int targetChannels;
    Samples input;
    Samples expected;
};

class JoinConversionTest : public ::testing::TestWithParam<ConversionCase>
{
};

TEST_P(JoinConversionTest, GivesTheExpectedSamples)
{
    const ConversionCase &c = GetParam();
    EXPECT_EQ(convert(c.sourceRate, c.sourceChannels, c.targetRate, c.targetChannels, c.input), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, JoinConversionTest,
    ::testing::Values(
        ConversionCase{"sameFormatUnchanged", 44100, 2, 44100, 2, {1, -2, 300, -32768, 32767, 0}, {1, -2, 300, -32768, 32767, 0}},
        ConversionCase{"monoToStereoDoublesInTimeAndChannels", 22050, 1, 44100, 2, {100, -7, 32767}, {100, 100, 100, 100, -7, -7, -7, -7, 32767, 32767, 32767, 32767}},
        ConversionCase{"halfRateAveragesPairs", 44100, 1, 22050, 1, {10, 20, -5, -7, 1000, 3000}, {15, -6, 2000}},
        ConversionCase{"fullScaleKeepsItsLevel", 44100, 2, 22050, 2, {32767, -32768, 32767, -32768, 32767, -32768, 32767, -32768}, {32767, -32768, 32767, -32768}},
        ConversionCase{"downmixRoundsUp", 44100, 2, 44100, 1, {1, 2, -3, -4, 32767, 32767, -32768, -32768, 5, -5}, {2, -3, 32767, -32768, 0}},
        ConversionCase{"downsampleAndDownmix", 44100, 2, 22050, 1, {100, 200, 300, 400}, {250}},
        ConversionCase{"upsampleRepeatsStereoPairs", 22050, 2, 44100, 2, {1, 2, 3, 4}, {1, 2, 1, 2, 3, 4, 3, 4}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(JoinConverterTest, EightKilohertzMonoIntoFortyFourKilohertzStereoHasRoomForEverySample)
{
    // A ratio of 5.5, doubled by the channel change: 11 output values per input sample.
    const Samples input(1152, 1234);
    const Samples out = convert(8000, 1, 44100, 2, input);
    EXPECT_EQ(out.size(), 2u * (1152u * 44100u / 8000u));
    EXPECT_EQ(out, Samples(out.size(), 1234));
}

TEST(JoinConverterTest, PiecesGiveTheSameResultAsOneBlock)
{
    Samples input;
    for (int i = 0; i < 999; ++i)
        input.push_back(static_cast<std::int16_t>((i * 7919) % 65536 - 32768));
    for (const auto &[a, b] : {std::pair{44100, 22050}, std::pair{22050, 44100}, std::pair{11025, 8000}, std::pair{8000, 44100}}) {
        const Samples whole = convert(a, 1, b, 1, input);
        JoinConverter converter(b, 1);
        // GIVEN frames of uneven sizes, as files of different frame lengths would give
        for (std::size_t at = 0, step = 1; at < input.size(); at += step, step = step * 3 % 17 + 1) {
            const int frames = static_cast<int>(std::min(step, input.size() - at));
            converter.append(input.data() + at, frames, a, 1);
        }
        EXPECT_EQ(waiting(converter), whole) << a << " -> " << b;
    }
}

TEST(JoinConverterTest, AnotherRateOrChannelCountInTheNextFileKeepsALevelSignalLevel)
{
    JoinConverter converter(22050, 2);
    const Samples mono(101, -400);
    const Samples stereo(2 * 77, -400);
    converter.append(mono.data(), 101, 44100, 1);
    converter.append(stereo.data(), 77, 8000, 2);
    converter.append(mono.data(), 101, 11025, 1);
    converter.append(stereo.data(), 77, 22050, 2);
    const Samples out = waiting(converter);
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out, Samples(out.size(), -400));
}

TEST(JoinConverterTest, ChunksAreTakenWholeAndTheRestIsPaddedWithSilence)
{
    JoinConverter converter(44100, 2);
    const Samples input{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    converter.append(input.data(), 5, 44100, 2);
    std::vector<Samples> chunks;
    converter.takeChunks(8, [&chunks](const char *chunk) {
        Samples values(4);
        std::memcpy(values.data(), chunk, 8);
        chunks.push_back(values);
    });
    EXPECT_EQ(chunks, (std::vector<Samples>{{1, 2, 3, 4}, {5, 6, 7, 8}}));
    EXPECT_EQ(converter.waitingBytes(), 4);
    const QByteArray rest = converter.takePaddedRest(8);
    ASSERT_EQ(rest.size(), 8);
    Samples values(4);
    std::memcpy(values.data(), rest.constData(), 8);
    EXPECT_EQ(values, (Samples{9, 10, 0, 0}));
    EXPECT_TRUE(converter.takePaddedRest(8).isEmpty());
}

} // namespace
} // namespace sonavell

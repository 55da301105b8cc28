#include "core/mp3/mpegheader.h"

#include "mp3frames.h"

#include <gtest/gtest.h>

using namespace sonavell;
using sonavell::test::FrameSpec;
using sonavell::test::makeHeader;

namespace {

struct HeaderCase
{
    const char *name;
    FrameSpec spec;
    int bitrateKbps;
    int sampleRate;
    int frameLength;
    int samplesPerFrame;
};

class MpegHeaderValues : public testing::TestWithParam<HeaderCase>
{
};

TEST_P(MpegHeaderValues, DecodesHeaderIntoBitrateRateLengthAndSamples)
{
    const HeaderCase &c = GetParam();
    const std::uint32_t header = makeHeader(c.spec);
    ASSERT_TRUE(mpeg::isFrameSync(header));
    EXPECT_EQ(mpeg::version(header), c.spec.version);
    EXPECT_EQ(mpeg::layer(header), c.spec.layer);
    const int bitrate = mpeg::bitrateKbps(mpeg::version(header), mpeg::layer(header), mpeg::bitrateIndex(header));
    const int rate = mpeg::sampleRate(mpeg::version(header), mpeg::sampleRateIndex(header));
    EXPECT_EQ(bitrate, c.bitrateKbps);
    EXPECT_EQ(rate, c.sampleRate);
    EXPECT_EQ(mpeg::frameLength(mpeg::version(header), mpeg::layer(header), bitrate, rate, mpeg::padding(header)),
              c.frameLength);
    EXPECT_EQ(mpeg::samplesPerFrame(mpeg::version(header), mpeg::layer(header)), c.samplesPerFrame);
}

constexpr auto V1 = MpegVersion::Mpeg1;
constexpr auto V2 = MpegVersion::Mpeg2;
constexpr auto V25 = MpegVersion::Mpeg25;

// Expected values worked out by hand from the standards' tables and frame length formulas.
INSTANTIATE_TEST_SUITE_P(
    AllVersionsAndLayers, MpegHeaderValues,
    testing::Values(
        HeaderCase{"Mpeg1Layer3_128k_44100", {V1, 3, 9, 0, 0}, 128, 44100, 417, 1152},
        HeaderCase{"Mpeg1Layer3_128k_44100_Padded", {V1, 3, 9, 0, 1}, 128, 44100, 418, 1152},
        HeaderCase{"Mpeg1Layer3_320k_48000", {V1, 3, 14, 1, 0}, 320, 48000, 960, 1152},
        HeaderCase{"Mpeg1Layer3_32k_32000", {V1, 3, 1, 2, 0}, 32, 32000, 144, 1152},
        HeaderCase{"Mpeg1Layer2_384k_48000", {V1, 2, 14, 1, 0}, 384, 48000, 1152, 1152},
        HeaderCase{"Mpeg1Layer2_56k_44100", {V1, 2, 3, 0, 1}, 56, 44100, 183, 1152},
        HeaderCase{"Mpeg1Layer1_448k_32000", {V1, 1, 14, 2, 0}, 448, 32000, 672, 384},
        HeaderCase{"Mpeg1Layer1_288k_44100_Padded", {V1, 1, 9, 0, 1}, 288, 44100, 316, 384},
        HeaderCase{"Mpeg2Layer3_64k_22050", {V2, 3, 8, 0, 0}, 64, 22050, 208, 576},
        HeaderCase{"Mpeg2Layer3_160k_24000", {V2, 3, 14, 1, 1}, 160, 24000, 481, 576},
        HeaderCase{"Mpeg2Layer2_8k_16000", {V2, 2, 1, 2, 0}, 8, 16000, 72, 1152},
        HeaderCase{"Mpeg2Layer1_256k_16000", {V2, 1, 14, 2, 0}, 256, 16000, 768, 384},
        HeaderCase{"Mpeg2Layer1_144k_22050", {V2, 1, 9, 0, 0}, 144, 22050, 312, 384},
        HeaderCase{"Mpeg25Layer3_8k_8000", {V25, 3, 1, 2, 0}, 8, 8000, 72, 576},
        HeaderCase{"Mpeg25Layer3_32k_11025_Padded", {V25, 3, 4, 0, 1}, 32, 11025, 209, 576},
        HeaderCase{"Mpeg25Layer2_160k_12000", {V25, 2, 14, 1, 0}, 160, 12000, 1920, 1152},
        HeaderCase{"FreeFormat", {V1, 3, 0, 0, 1}, 0, 44100, 1, 1152},
        HeaderCase{"ForbiddenBitrate", {V1, 3, 15, 0, 0}, -1, 44100, -3, 1152},
        HeaderCase{"ReservedRate", {V1, 3, 9, 3, 0}, 128, 0, 0, 1152},
        HeaderCase{"ReservedLayer", {V1, 0, 9, 0, 0}, 0, 44100, 0, 0},
        HeaderCase{"ReservedVersion", {MpegVersion::Reserved, 3, 9, 0, 0}, 0, 0, 0, 576}),
    [](const testing::TestParamInfo<HeaderCase> &info) { return std::string(info.param.name); });

TEST(MpegHeader, SyncIsElevenSetBits)
{
    EXPECT_TRUE(mpeg::isFrameSync(0xFFE00000u));
    EXPECT_TRUE(mpeg::isFrameSync(0xFFFFFFFFu));
    EXPECT_FALSE(mpeg::isFrameSync(0xFFD00000u));
    EXPECT_FALSE(mpeg::isFrameSync(0x7FE00000u));
}

TEST(MpegHeader, FieldsAreTakenAsStored)
{
    FrameSpec spec;
    spec.channelMode = 3;
    spec.copyright = 1;
    spec.original = 1;
    spec.emphasis = 2;
    spec.crc = true;
    const std::uint32_t header = makeHeader(spec);
    EXPECT_EQ(mpeg::channelMode(header), 3);
    EXPECT_EQ(mpeg::copyright(header), 1);
    EXPECT_EQ(mpeg::original(header), 1);
    EXPECT_EQ(mpeg::emphasis(header), 2);
    EXPECT_EQ(mpeg::protectionBit(header), 0);
}

// A 22050 Hz Layer III frame lasts 576 / 22050 s, whatever its byte length.
TEST(MpegHeader, HalfRateLayer3FramesCarry576Samples)
{
    for (int index = 1; index < 15; ++index) {
        const FrameSpec spec{V2, 3, index, 0, 0};
        const int bitrate = mpeg::bitrateKbps(V2, 3, index);
        EXPECT_EQ(test::frameLengthOf(spec), 72000 * bitrate / 22050) << index;
        EXPECT_EQ(mpeg::samplesPerFrame(V2, 3), 576);
    }
}

} // namespace

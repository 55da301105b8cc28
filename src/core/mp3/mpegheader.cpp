#include "core/mp3/mpegheader.h"

namespace sonavell::mpeg {

namespace {

// ISO/IEC 11172-3, 2.4.2.3: one row per layer. Entry 15 is the forbidden code.
constexpr int kMpeg1Bitrates[3][16] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, -1},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, -1},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, -1},
};

// ISO/IEC 13818-3, 2.5.2.3: Layer I has its own row, Layers II and III share the low rates.
constexpr int kMpeg2Bitrates[2][16] = {
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, -1},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, -1},
};

constexpr int kSampleRates[3][3] = {
    {11025, 12000, 8000},  // MPEG-2.5
    {22050, 24000, 16000}, // MPEG-2
    {44100, 48000, 32000}, // MPEG-1
};

} // namespace

MpegVersion version(std::uint32_t header)
{
    constexpr MpegVersion kByCode[4] = {MpegVersion::Mpeg25, MpegVersion::Reserved, MpegVersion::Mpeg2, MpegVersion::Mpeg1};
    return kByCode[(header >> 19) & 3u];
}

int layer(std::uint32_t header)
{
    const int code = int((header >> 17) & 3u);
    return code == 0 ? 0 : 4 - code;
}

int bitrateKbps(MpegVersion version, int layer, int index)
{
    if (layer < 1 || layer > 3 || index < 0 || index > 15 || version == MpegVersion::Reserved)
        return 0;
    if (version == MpegVersion::Mpeg1)
        return kMpeg1Bitrates[layer - 1][index];
    return kMpeg2Bitrates[layer == 1 ? 0 : 1][index];
}

int sampleRate(MpegVersion version, int index)
{
    if (version == MpegVersion::Reserved || index < 0 || index > 2)
        return 0;
    return kSampleRates[int(version) - 1][index];
}

int frameLength(MpegVersion version, int layer, int bitrateKbps, int sampleRate, int padding)
{
    if (sampleRate <= 0)
        return 0;
    switch (layer) {
    case 1:
        return (12000 * bitrateKbps / sampleRate + padding) * 4;
    case 2:
        return 144000 * bitrateKbps / sampleRate + padding;
    case 3:
        return (version == MpegVersion::Mpeg1 ? 144000 : 72000) * bitrateKbps / sampleRate + padding;
    default:
        return 0;
    }
}

int samplesPerFrame(MpegVersion version, int layer)
{
    switch (layer) {
    case 1:
        return 384;
    case 2:
        return 1152;
    case 3:
        return version == MpegVersion::Mpeg1 ? 1152 : 576;
    default:
        return 0;
    }
}

int sideInfoEnd(MpegVersion version, int channelMode)
{
    const bool mono = channelMode == kChannelModeSingle;
    if (version == MpegVersion::Mpeg1)
        return 4 + (mono ? 17 : 32);
    return 4 + (mono ? 9 : 17);
}

int mainDataOffset(std::uint32_t header)
{
    return sideInfoEnd(version(header), channelMode(header)) + (protectionBit(header) == 0 ? 2 : 0);
}

int mainDataBegin(const unsigned char *frame, int length)
{
    if (length < 4)
        return 0;
    const std::uint32_t header = readBigEndian32(frame);
    if (layer(header) != 3 || mainDataOffset(header) > length)
        return 0;
    const unsigned char *side = frame + 4 + (protectionBit(header) == 0 ? 2 : 0);
    if (version(header) == MpegVersion::Mpeg1)
        return (int(side[0]) << 1) | (side[1] >> 7);
    return side[0];
}

} // namespace sonavell::mpeg

#include "core/mp3/lametag.h"

#include "core/mp3/mpegheader.h"

#include <algorithm>
#include <cstring>

namespace sonavell {

namespace {

// Gapless decoders read the delay field only behind a version string starting "LAME"; the
// frames copied come from such an encoder as a rule, and the layout is that of 3.100.
constexpr char kEncoderVersion[lametag::kVersionLength + 1] = "LAME3.100";
constexpr int kTagBytes = lametag::kXingSize + lametag::kExtensionSize;

void putBigEndian(unsigned char *at, std::uint32_t value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i, value >>= 8)
        at[i] = static_cast<unsigned char>(value & 0xFFu);
}

// The template with no CRC word (the tag stands right after the side information) and no
// padding, at the lowest bit rate from its own on whose frame holds the tag.
std::uint32_t infoHeader(std::uint32_t templateHeader)
{
    std::uint32_t header = (templateHeader | (1u << 16)) & ~(1u << 9);
    const MpegVersion version = mpeg::version(header);
    const int rate = mpeg::sampleRate(version, mpeg::sampleRateIndex(header));
    const int needed = mpeg::sideInfoEnd(version, mpeg::channelMode(header)) + kTagBytes;
    for (int index = std::max(mpeg::bitrateIndex(header), 1); index < 15; ++index) {
        const int kbps = mpeg::bitrateKbps(version, 3, index);
        if (mpeg::frameLength(version, 3, kbps, rate, 0) >= needed)
            return (header & ~(0xFu << 12)) | (std::uint32_t(index) << 12);
    }
    return 0;
}

} // namespace

namespace lametag {

std::uint16_t crc16(const unsigned char *bytes, std::size_t count, std::uint16_t crc)
{
    for (std::size_t i = 0; i < count; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1u) ? std::uint16_t((crc >> 1) ^ 0xA001u) : std::uint16_t(crc >> 1);
    }
    return crc;
}

} // namespace lametag

int infoFrameLength(std::uint32_t templateHeader)
{
    if (!mpeg::isFrameSync(templateHeader) || mpeg::layer(templateHeader) != 3)
        return 0;
    const std::uint32_t header = infoHeader(templateHeader);
    if (header == 0)
        return 0;
    const MpegVersion version = mpeg::version(header);
    return mpeg::frameLength(version, 3, mpeg::bitrateKbps(version, 3, mpeg::bitrateIndex(header)),
                             mpeg::sampleRate(version, mpeg::sampleRateIndex(header)), 0);
}

std::vector<unsigned char> buildInfoFrame(std::uint32_t templateHeader, const InfoTag &tag)
{
    const int length = infoFrameLength(templateHeader);
    if (length <= 0)
        return {};
    const std::uint32_t header = infoHeader(templateHeader);
    std::vector<unsigned char> frame(std::size_t(length), 0);
    putBigEndian(frame.data(), header, 4);

    unsigned char *xing = frame.data() + mpeg::sideInfoEnd(mpeg::version(header), mpeg::channelMode(header));
    std::memcpy(xing, "Info", 4);
    putBigEndian(xing + 4, lametag::kFlagFrames | lametag::kFlagBytes | lametag::kFlagToc | lametag::kFlagQuality, 4);
    putBigEndian(xing + 8, tag.frameCount, 4);
    putBigEndian(xing + 12, tag.streamBytes, 4);
    std::copy(tag.toc.begin(), tag.toc.end(), xing + 16);

    unsigned char *lame = xing + lametag::kXingSize;
    std::memcpy(lame + lametag::kVersionOffset, kEncoderVersion, lametag::kVersionLength);
    lame[lametag::kMethodOffset] = tag.constantBitrateKbps > 0 ? lametag::kMethodConstant : 0;
    lame[lametag::kBitrateOffset] = static_cast<unsigned char>(std::clamp(tag.constantBitrateKbps, 0, 255));
    const auto delay = std::uint32_t(std::clamp(tag.encoderDelay, 0, lametag::kMaxDelay));
    const auto padding = std::uint32_t(std::clamp(tag.encoderPadding, 0, lametag::kMaxDelay));
    putBigEndian(lame + lametag::kDelayOffset, (delay << 12) | padding, 3);
    putBigEndian(lame + lametag::kMusicLengthOffset, tag.streamBytes, 4);
    putBigEndian(lame + lametag::kMusicCrcOffset, tag.musicCrc, 2);
    const auto covered = std::size_t(lame + lametag::kTagCrcOffset - frame.data());
    putBigEndian(lame + lametag::kTagCrcOffset, lametag::crc16(frame.data(), covered), 2);
    return frame;
}

std::array<unsigned char, lametag::kTocEntries> buildToc(int infoLength, const std::vector<int> &frameLengths)
{
    std::array<unsigned char, lametag::kTocEntries> toc{};
    std::vector<std::int64_t> starts;
    starts.reserve(frameLengths.size() + 1);
    std::int64_t at = infoLength;
    for (const int length : frameLengths) {
        starts.push_back(at);
        at += length;
    }
    const std::int64_t total = at;
    if (frameLengths.empty() || total <= 0)
        return toc;
    for (int i = 0; i < lametag::kTocEntries; ++i) {
        const auto frame = std::size_t(std::int64_t(frameLengths.size()) * i / lametag::kTocEntries);
        toc[std::size_t(i)] = static_cast<unsigned char>(std::min<std::int64_t>(255, starts[frame] * 256 / total));
    }
    return toc;
}

} // namespace sonavell

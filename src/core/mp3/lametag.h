#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace sonavell {

// The layout of the Xing/Info tag with LAME's extension, as LAME writes it into the first frame
// of a stream (Gabriel Bouvigne's "Mp3 Info Tag rev 1 specifications"). Offsets in the Xing
// part count from its "Info"/"Xing" magic, which stands right after the side information;
// offsets in the extension count from the extension's start. All numbers are big-endian.
namespace lametag {

constexpr std::uint32_t kFlagFrames = 0x1;
constexpr std::uint32_t kFlagBytes = 0x2;
constexpr std::uint32_t kFlagToc = 0x4;
constexpr std::uint32_t kFlagQuality = 0x8;
constexpr int kTocEntries = 100;
// Magic, flags and the optional fields the flags announce: where the extension follows.
constexpr int xingSize(std::uint32_t flags)
{
    return 8 + ((flags & kFlagFrames) ? 4 : 0) + ((flags & kFlagBytes) ? 4 : 0)
        + ((flags & kFlagToc) ? kTocEntries : 0) + ((flags & kFlagQuality) ? 4 : 0);
}
constexpr int kXingFlagsOffset = 4;
constexpr int kXingFieldsOffset = 8;

// Where all four fields are present, as LAME always writes them.
constexpr int kXingSize = xingSize(kFlagFrames | kFlagBytes | kFlagToc | kFlagQuality);

constexpr int kVersionOffset = 0; // 9 characters, "LAME3.100"
constexpr int kVersionLength = 9;
constexpr int kMethodOffset = 9;   // tag revision (high nibble), VBR method (low nibble)
constexpr int kBitrateOffset = 20; // the bit rate of a constant-bit-rate stream, kbit/s
constexpr int kDelayOffset = 21;   // 12 bits encoder delay, then 12 bits padding, in samples
constexpr int kMusicLengthOffset = 28;
constexpr int kMusicCrcOffset = 32;
constexpr int kTagCrcOffset = 34; // CRC of the frame's bytes before this field
constexpr int kExtensionSize = 36;

constexpr int kMethodConstant = 1;
constexpr int kMaxDelay = 4095;
// Gapless decoders skip the encoder delay plus the decoder's own delay of 528 samples and one
// more (the synthesis filter bank's), so a delay field d hides d + 529 decoded samples.
constexpr int kDecoderDelay = 529;

// CRC-16 as LAME computes both of its checksums: polynomial 0x8005, bits reflected, start 0.
std::uint16_t crc16(const unsigned char *bytes, std::size_t count, std::uint16_t crc = 0);

} // namespace lametag

// What an Info frame written for a copied stream says about it.
struct InfoTag
{
    std::uint32_t frameCount = 0;  // audio frames after the Info frame
    std::uint32_t streamBytes = 0; // the Info frame and the audio frames, tags around them not counted
    std::array<unsigned char, lametag::kTocEntries> toc{};
    int encoderDelay = 0;   // samples to skip at the start, before the decoder's own delay
    int encoderPadding = 0; // samples to drop at the end
    int constantBitrateKbps = 0; // 0 when the frames' bit rates differ
    std::uint16_t musicCrc = 0;  // over the audio frames after the Info frame
};

// The length of the Info frame for a stream whose first frame has templateHeader: it keeps that
// frame's version, sample rate and channel mode, and its bit rate where the tag fits into it.
int infoFrameLength(std::uint32_t templateHeader);
// The whole Info frame: its header, silent side information, the Xing fields and LAME's
// extension with both checksums. Empty for a header that is not Layer III.
std::vector<unsigned char> buildInfoFrame(std::uint32_t templateHeader, const InfoTag &tag);

// TOC entry i: where the frame at i % of the frames starts, as 256ths of streamBytes.
// frameLengths are the audio frames after the Info frame of infoLength bytes.
std::array<unsigned char, lametag::kTocEntries> buildToc(int infoLength, const std::vector<int> &frameLengths);

} // namespace sonavell

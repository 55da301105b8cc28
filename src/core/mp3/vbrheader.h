#pragma once

#include <cstdint>

namespace sonavell {

// The Xing/Info (LAME and others) or VBRI (Fraunhofer) tag that an encoder may put into the
// first frame of a stream. That frame carries no audio; its frame count covers the frames
// after it.
struct VbrHeader
{
    std::uint32_t frameCount = 0;
    // Bytes of the stream, this frame included, when the tag gives them (0 otherwise).
    std::uint32_t streamBytes = 0;
    // The LAME extension's encoder delay and padding in samples, -1 when the tag has none:
    // the encoder put delay samples before the first real one and padding after the last.
    int encoderDelay = -1;
    int encoderPadding = -1;

    bool isValid() const { return frameCount > 0; }
    bool hasGapless() const { return encoderDelay >= 0 && encoderPadding >= 0; }
};

// The layout of a Xing/Info tag and of the LAME extension that follows it, as LAME writes
// them (offsets from the "Xing"/"Info" magic).
namespace xingtag {
constexpr std::uint32_t kHasFrames = 0x1;
constexpr std::uint32_t kHasBytes = 0x2;
constexpr std::uint32_t kHasToc = 0x4;
constexpr std::uint32_t kHasQuality = 0x8;
constexpr int kFlagsOffset = 4;
constexpr int kFieldsOffset = 8;
constexpr int kTocSize = 100;
// Magic, flags and the optional fields the flags announce.
constexpr int size(std::uint32_t flags)
{
    return kFieldsOffset + ((flags & kHasFrames) ? 4 : 0) + ((flags & kHasBytes) ? 4 : 0)
        + ((flags & kHasToc) ? kTocSize : 0) + ((flags & kHasQuality) ? 4 : 0);
}
// From the start of the LAME extension: a 9-byte encoder version ("LAME3.100"), then at 21
// three bytes holding the delay (12 bits) and the padding (12 bits).
constexpr int kLameVersionSize = 9;
constexpr int kLameDelayPaddingOffset = 21;
constexpr int kLameExtensionSize = 36;
} // namespace xingtag

// libmad's own output lags the encoded signal by this many samples (its synthesis filter bank);
// the usual gapless arithmetic adds it to the encoder delay.
constexpr int kMadDecoderDelay = 529;

// Looks for a tag inside one whole frame (frameLength bytes from its header, all available).
// A tag without a frame count, or with a count of 0, is still recognised: the frame is then
// not audio either, but its count cannot be used.
bool parseVbrHeader(const unsigned char *frame, int frameLength, VbrHeader &vbr);

} // namespace sonavell

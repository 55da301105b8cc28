#include "core/mp3/vbrheader.h"

#include "core/mp3/mpegheader.h"

#include <cstring>

namespace sonavell {

namespace {

// The Xing flags word: bit 0 says a frame count follows it.
constexpr std::uint32_t kXingHasFrames = 0x1;
// VBRI: magic, then version, delay and quality (two bytes each), stream bytes, frame count.
constexpr int kVbriOffset = 4 + 32;
constexpr int kVbriFramesOffset = 14;

bool parseXingAt(const unsigned char *frame, int frameLength, int offset, VbrHeader &vbr)
{
    if (offset + 8 > frameLength)
        return false;
    const unsigned char *tag = frame + offset;
    if (std::memcmp(tag, "Xing", 4) != 0 && std::memcmp(tag, "Info", 4) != 0)
        return false;
    const std::uint32_t flags = mpeg::readBigEndian32(tag + 4);
    vbr.frameCount = 0;
    if ((flags & kXingHasFrames) && offset + 12 <= frameLength)
        vbr.frameCount = mpeg::readBigEndian32(tag + 8);
    return true;
}

} // namespace

bool parseVbrHeader(const unsigned char *frame, int frameLength, VbrHeader &vbr)
{
    vbr = VbrHeader{};
    if (frameLength < 4)
        return false;
    const std::uint32_t header = mpeg::readBigEndian32(frame);
    const int offset = mpeg::sideInfoEnd(mpeg::version(header), mpeg::channelMode(header));
    // Encoders disagree on whether a CRC word moves the tag; accept both places.
    if (parseXingAt(frame, frameLength, offset, vbr))
        return true;
    if (mpeg::protectionBit(header) == 0 && parseXingAt(frame, frameLength, offset + 2, vbr))
        return true;
    if (kVbriOffset + kVbriFramesOffset + 4 <= frameLength && std::memcmp(frame + kVbriOffset, "VBRI", 4) == 0) {
        vbr.frameCount = mpeg::readBigEndian32(frame + kVbriOffset + kVbriFramesOffset);
        return true;
    }
    return false;
}

} // namespace sonavell

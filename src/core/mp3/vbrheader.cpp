#include "core/mp3/vbrheader.h"

#include "core/mp3/mpegheader.h"

#include <cstring>

namespace sonavell {

namespace {

// VBRI: magic, then version, delay and quality (two bytes each), stream bytes, frame count.
constexpr int kVbriOffset = 4 + 32;
constexpr int kVbriBytesOffset = 10;
constexpr int kVbriFramesOffset = 14;

// Encoders that write LAME's extension (FFmpeg's muxer and codec copy its layout).
bool isLameExtension(const unsigned char *version)
{
    return std::memcmp(version, "LAME", 4) == 0 || std::memcmp(version, "Lavc", 4) == 0
        || std::memcmp(version, "Lavf", 4) == 0;
}

void parseLameExtension(const unsigned char *extension, int available, VbrHeader &vbr)
{
    if (available < lametag::kDelayOffset + 3 || !isLameExtension(extension))
        return;
    const unsigned char *p = extension + lametag::kDelayOffset;
    vbr.encoderDelay = (p[0] << 4) | (p[1] >> 4);
    vbr.encoderPadding = ((p[1] & 0x0F) << 8) | p[2];
}

bool parseXingAt(const unsigned char *frame, int frameLength, int offset, VbrHeader &vbr)
{
    if (offset + lametag::kXingFieldsOffset > frameLength)
        return false;
    const unsigned char *tag = frame + offset;
    if (std::memcmp(tag, "Xing", 4) != 0 && std::memcmp(tag, "Info", 4) != 0)
        return false;
    const std::uint32_t flags = mpeg::readBigEndian32(tag + lametag::kXingFlagsOffset);
    vbr = VbrHeader{};
    int field = offset + lametag::kXingFieldsOffset;
    if ((flags & lametag::kFlagFrames) && field + 4 <= frameLength)
        vbr.frameCount = mpeg::readBigEndian32(frame + field);
    field += (flags & lametag::kFlagFrames) ? 4 : 0;
    if ((flags & lametag::kFlagBytes) && field + 4 <= frameLength)
        vbr.streamBytes = mpeg::readBigEndian32(frame + field);
    const int extension = offset + lametag::xingSize(flags);
    if (extension < frameLength)
        parseLameExtension(frame + extension, frameLength - extension, vbr);
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
        vbr.streamBytes = mpeg::readBigEndian32(frame + kVbriOffset + kVbriBytesOffset);
        vbr.frameCount = mpeg::readBigEndian32(frame + kVbriOffset + kVbriFramesOffset);
        return true;
    }
    return false;
}

} // namespace sonavell

#pragma once

#include "core/mp3/lametag.h"

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

// Looks for a tag inside one whole frame (frameLength bytes from its header, all available).
// A tag without a frame count, or with a count of 0, is still recognised: the frame is then
// not audio either, but its count cannot be used.
bool parseVbrHeader(const unsigned char *frame, int frameLength, VbrHeader &vbr);

} // namespace sonavell

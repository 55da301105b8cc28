#pragma once

#include <cstdint>

namespace sonavell {

// The Xing/Info (LAME and others) or VBRI (Fraunhofer) tag that an encoder may put into the
// first frame of a stream. That frame carries no audio; its frame count covers the frames
// after it.
struct VbrHeader
{
    std::uint32_t frameCount = 0;

    bool isValid() const { return frameCount > 0; }
};

// Looks for a tag inside one whole frame (frameLength bytes from its header, all available).
// A tag without a frame count, or with a count of 0, is still recognised: the frame is then
// not audio either, but its count cannot be used.
bool parseVbrHeader(const unsigned char *frame, int frameLength, VbrHeader &vbr);

} // namespace sonavell

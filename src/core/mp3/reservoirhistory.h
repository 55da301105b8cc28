#pragma once

#include <cstdint>
#include <deque>
#include <vector>

namespace sonavell {

struct MpegFrame;

// The frames just before a cut. A Layer III frame's main data may begin in the frames before it
// (the bit reservoir), and the decoder overlaps its first granule with the granule before, whose
// filter history it also carries on. So that the first kept frame decodes exactly as in the
// original, a copy takes along the frames its main data comes from and those holding the two
// granules before it, with their main data. Used by one walk on one thread.
class ReservoirHistory
{
public:
    struct Frame
    {
        std::vector<unsigned char> bytes;
        int samples = 0;
    };

    // A frame before the cut, in stream order. Only as many are kept as the largest reservoir
    // can reach back over.
    void add(const MpegFrame &frame);

    // The frames to copy before first, oldest first, and forgets the rest. None when first's
    // main data begins in first itself: a copy then starts as it always has. Those whose own
    // main data begins before the oldest of them are silenced: their bytes stay, since later
    // main data lies in them, but they decode as silence, not as noise or a decoding error.
    std::vector<Frame> takeFramesBefore(const MpegFrame &first);

    void clear() { m_frames.clear(); }

private:
    struct Kept
    {
        Frame frame;
        std::uint32_t header = 0;
        int dataSize = 0; // the main data area: what the frame adds to the reservoir
        int mainDataBegin = 0;
    };

    std::deque<Kept> m_frames;
};

// Zeroes a Layer III frame's side information but for main_data_begin, set to mainDataBegin
// (and renews its CRC word): no bits of main data are then read and the frame decodes as
// silence, while decoders still account for the reservoir bytes it points back over.
void silenceFrame(std::vector<unsigned char> &frame, int mainDataBegin);

} // namespace sonavell

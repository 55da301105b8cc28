#pragma once

#include "core/mp3/mpegheader.h"
#include "core/mp3/vbrheader.h"

#include <QtGlobal>

#include <cstdint>

namespace sonavell {

class FrameReader;

struct MpegFrame
{
    qint64 offset = 0;
    std::uint32_t header = 0;
    MpegVersion version = MpegVersion::Reserved;
    int layer = 0;
    int bitrateKbps = 0;
    int sampleRate = 0;
    int length = 0;
    int samples = 0;
    // The whole frame, header first; valid until the walker's next call.
    const unsigned char *bytes = nullptr;
    // Only the first frame of a walk can be a Xing/Info or VBRI frame.
    bool isVbrHeader = false;
    VbrHeader vbr;
};

// Steps from frame to frame by the frame lengths the headers give. A header that cannot start
// a frame (reserved version, layer or sample rate, free-format or forbidden bitrate) or whose
// frame would run past the end is stepped over by the byte-wise search, one byte on, so a
// damaged file always ends the walk. A trailing ID3v1 tag is not walked.
class FrameWalker
{
public:
    // Starts at the reader's position; the reader must outlive the walker.
    explicit FrameWalker(FrameReader &reader);

    bool next(MpegFrame &frame);

private:
    FrameReader &m_reader;
    bool m_first = true;
};

// Playing time added up frame by frame, exact in samples while the sample rate stays the same.
class PlayingTime
{
public:
    void add(qint64 samples, int sampleRate);
    double seconds() const;
    // Rounded to the nearest millisecond.
    qint64 milliseconds() const;

private:
    double m_closedSeconds = 0.0;
    qint64 m_samples = 0;
    int m_sampleRate = 0;
};

} // namespace sonavell

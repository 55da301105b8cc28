#pragma once

#include "core/mp3/mpegheader.h"
#include "core/mp3/vbrheader.h"

#include <QtGlobal>

#include <cstdint>
#include <vector>

namespace sonavell {

class FrameReader;

struct MpegFrame
{
    qint64 offset = 0;
    std::uint32_t header = 0;
    MpegVersion version = MpegVersion::Reserved;
    int layer = 0;
    // For a free-format frame, the rate its length gives.
    int bitrateKbps = 0;
    int sampleRate = 0;
    int length = 0;
    int samples = 0;
    // Bitrate index 0: the length is the distance to the next header.
    bool freeFormat = false;
    // The whole frame, header first; valid until the walker's next call.
    const unsigned char *bytes = nullptr;
    // Only the first frame of a walk can be a Xing/Info or VBRI frame.
    bool isVbrHeader = false;
    VbrHeader vbr;
};

// Bytes of a file that are not frames, from offset on.
struct ByteStretch
{
    qint64 offset = 0;
    qint64 length = 0;
};

// Leading bytes that are neither an ID3v2 tag nor frames (zeros or garbage written by other
// tools) are stepped over up to this many; a file whose first frames lie further in is not
// taken for MP3.
constexpr qint64 kMaxLeadingJunk = 64 * 1024;

// Steps from frame to frame by the frame lengths the headers give, from the first run of
// consistent frames (several in a row with the same version, layer and sample rate), so that a
// chance sync word in non-audio data neither starts the audio nor shifts it. Where the next
// frame is not where the last one said, the walker scans for the next consistent run and notes
// the stretch in between as damaged; the time taken grows with the file size only. The walk
// starts after leading ID3v2 tags and ends where the trailing tags (ID3v1, APEv2, Lyrics3)
// begin.
class FrameWalker
{
public:
    // Starts at the reader's position; the reader must outlive the walker.
    explicit FrameWalker(FrameReader &reader);

    bool next(MpegFrame &frame);

    // Where the audio part begins (after ID3v2 tags) and ends (before trailing tags).
    qint64 audioBegin() const { return m_audioBegin; }
    qint64 audioEnd() const { return m_audioEnd; }
    // Bytes before the first frame that were not a tag.
    qint64 leadingJunk() const { return m_leadingJunk; }
    // Stretches between frames after the first, in order, as far as the walk has come; a
    // truncated last frame is one.
    const std::vector<ByteStretch> &damaged() const { return m_damaged; }
    // The last frame returned began a new run (the first frame, or the first after damage).
    bool startedRun() const { return m_startedRun; }

private:
    enum class Parse { Ok, Truncated, Invalid };
    Parse parseAt(qint64 at, MpegFrame &frame);
    bool matches(const MpegFrame &frame) const;
    bool startsRun(qint64 at, int need);
    qint64 findRun(qint64 from, qint64 limit, int need);

    FrameReader &m_reader;
    qint64 m_audioBegin = 0;
    qint64 m_audioEnd = 0;
    qint64 m_pos = 0;
    qint64 m_leadingJunk = 0;
    bool m_first = true;
    bool m_synced = false;
    bool m_startedRun = false;
    MpegFrame m_reference;
    std::vector<ByteStretch> m_damaged;
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

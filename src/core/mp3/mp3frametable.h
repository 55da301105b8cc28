#pragma once

#include <QString>

#include <cstdint>
#include <vector>

class QIODevice;

namespace sonavell {

// Where every audio frame of an MP3 file starts, in bytes and in samples, so that a player can
// seek to a time without walking the file again. A leading Xing/Info/VBRI frame is left out:
// it carries no audio. Built once per file.
class Mp3FrameTable
{
public:
    struct Frame
    {
        qint64 offset = 0;      // file position of the frame header
        qint64 firstSample = 0; // samples per channel before this frame
    };

    bool build(const QString &path);
    bool build(QIODevice &file);

    bool isEmpty() const { return m_frames.empty(); }
    int frameCount() const { return static_cast<int>(m_frames.size()); }
    const Frame &frame(int index) const { return m_frames[static_cast<std::size_t>(index)]; }
    // Bytes from the frame's header to the next frame (or to the end of the audio).
    qint64 frameBytes(int index) const;
    qint64 samplesIn(int index) const;
    // Where the last frame ends: anything after it (an ID3v1 tag) is not audio.
    qint64 audioEnd() const { return m_audioEnd; }

    // Taken from the first audio frame.
    int sampleRate() const { return m_sampleRate; }
    int channels() const { return m_channels; }
    qint64 totalSamples() const { return m_totalSamples; }
    qint64 lengthMs() const;
    qint64 msToSample(qint64 ms) const;
    qint64 sampleToMs(qint64 sample) const;

    // The frame that holds `sample` (the last frame for samples past the end); -1 when empty.
    int frameOfSample(qint64 sample) const;
    // The frame whose header lies at `offset`, or -1.
    int frameAtOffset(qint64 offset, int hint) const;

private:
    std::vector<Frame> m_frames;
    qint64 m_audioEnd = 0;
    qint64 m_totalSamples = 0;
    int m_sampleRate = 0;
    int m_channels = 0;
};

} // namespace sonavell

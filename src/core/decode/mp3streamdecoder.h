#pragma once

#include "core/mp3/mp3frametable.h"

#include <QFile>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace sonavell {

// Decodes an MP3 file to interleaved signed 16-bit PCM as a stream: the file is read a block at
// a time into libmad, never held whole. Seeks go through the frame table, starting a few frames
// early so that the bit reservoir and the filter banks are full again when the wanted sample
// comes: what follows a seek is the same PCM as a decode from the start.
//
// The table must outlive the decoder. One thread at a time.
class Mp3StreamDecoder
{
public:
    explicit Mp3StreamDecoder(const Mp3FrameTable &table);
    ~Mp3StreamDecoder();
    Mp3StreamDecoder(const Mp3StreamDecoder &) = delete;
    Mp3StreamDecoder &operator=(const Mp3StreamDecoder &) = delete;

    bool open(const QString &path);
    void close();
    bool isOpen() const { return m_file.isOpen(); }

    // Output channels: those of the table's first frame.
    int channels() const { return m_table.channels(); }
    int frameBytes() const { return channels() * 2; }

    // The next sample (per channel) that read() delivers.
    qint64 position() const { return m_position; }
    // Clamped to 0 .. the end of the audio.
    void seek(qint64 sample);
    // Fills out with up to maxBytes of whole sample frames; returns the bytes written, 0 at the end.
    std::uint32_t read(std::uint8_t *out, std::uint32_t maxBytes);

private:
    struct Mad;

    bool decodeFrame();
    bool refillInput();
    void restartAt(int frameIndex);
    void emitSilence(qint64 samples, qint64 firstSample);

    const Mp3FrameTable &m_table;
    QFile m_file;
    std::unique_ptr<Mad> m_mad;

    std::vector<std::uint8_t> m_input;
    qint64 m_inputFileOffset = 0; // file position of m_input[0]
    qint64 m_nextRead = 0;        // next file position to read into m_input
    bool m_atEnd = false;         // the guard bytes behind the last frame are in m_input
    int m_frameHint = 0;

    std::vector<std::uint8_t> m_pcm; // decoded and not yet delivered
    std::size_t m_pcmUsed = 0;
    qint64 m_position = 0;
    qint64 m_decodedTo = 0; // sample after the last one decoded into m_pcm (or dropped)
    bool m_finished = false;
};

} // namespace sonavell

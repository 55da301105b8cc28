#pragma once

#include "core/process/batchjob.h"

#include <cstdint>

namespace sonavell {

// Encodes one WAV file (the job's one input) into outputPath at bitrateKbps, keeping its rate
// and channel count. startOffset ≠ endOffset converts only that byte range of the WAV data;
// the chunk that crosses endOffset is encoded whole.
class WavToMp3Job : public BatchJob
{
public:
    using BatchJob::BatchJob;

    void setBitrateKbps(int kbps) { m_bitrateKbps = kbps; }
    int bitrateKbps() const { return m_bitrateKbps; }
    void setOutputPath(const QString &path) { m_outputPath = path; }
    const QString &outputPath() const { return m_outputPath; }
    void setRange(std::uint32_t startOffset, std::uint32_t endOffset)
    {
        m_startOffset = startOffset;
        m_endOffset = endOffset;
    }

    // Runs on the worker thread.
    void processFile(const QString &path) override;

    // 8-bit WAV samples are unsigned; the encoder takes signed 16-bit ones.
    static std::int16_t widenSample(std::uint8_t sample) { return static_cast<std::int16_t>(sample * 256 - 32767); }

private:
    int m_bitrateKbps = 32;
    QString m_outputPath;
    std::uint32_t m_startOffset = 0;
    std::uint32_t m_endOffset = 0;
};

} // namespace sonavell

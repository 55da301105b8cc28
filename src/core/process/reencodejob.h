#pragma once

#include "core/process/batchjob.h"

namespace sonavell {

// Change bitrate/Volume: every input is decoded and encoded again in place at bitrateKbps,
// each sample scaled by volumeScale, keeping its sample rate, channel count and tags.
class ReencodeJob : public BatchJob
{
public:
    using BatchJob::BatchJob;

    void setBitrateKbps(int kbps) { m_bitrateKbps = kbps; }
    int bitrateKbps() const { return m_bitrateKbps; }
    void setVolumeScale(float scale) { m_volumeScale = scale; }
    float volumeScale() const { return m_volumeScale; }

    // Runs on the worker thread.
    void processFile(const QString &path) override;

protected:
    bool filesAreIndependent() const override { return namesDistinctFiles(files()); }
    QString noAudioConsequence() const override { return QStringLiteral("the file is left as it was"); }

private:
    int m_bitrateKbps = 32;
    float m_volumeScale = 1.0f;
};

} // namespace sonavell

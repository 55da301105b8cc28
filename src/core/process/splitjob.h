#pragma once

#include "core/process/batchjob.h"

#include <cstdint>

namespace sonavell {

class Mp3Source;

// Split: cuts each input into partCount parts of equal playing time, decoded and encoded again
// at the bit rate of the input's first frame with every sample scaled by volumeScale. The parts
// are new files beside the input (partPath); the input is not changed.
class SplitJob : public BatchJob
{
public:
    using BatchJob::BatchJob;

    void setVolumeScale(float scale) { m_volumeScale = scale; }
    float volumeScale() const { return m_volumeScale; }
    // Fewer than one part counts as one.
    void setPartCount(int count) { m_partCount = count; }
    int partCount() const { return m_partCount; }

    // Part number part (from 1) of input: the file name in lower case without a ".mp3" ending,
    // then "_%d.mp3". The folder is kept as it is: file names are case-sensitive.
    static QString partPath(const QString &input, int part);

    // Runs on the worker thread.
    void processFile(const QString &path) override;
    // Refuses, before writing anything, a batch in which two inputs have the same part names
    // (Talk.MP3 and talk.mp3 in one folder): the second would write over the first's parts.
    void run() override;

    // The message for such a batch.
    static QString collisionMessage(const QString &first, const QString &second);

protected:
    // Unless an input is listed twice or one input is another's part.
    bool filesAreIndependent() const override;
    QString noAudioConsequence() const override { return QStringLiteral("no parts written"); }

private:
    int partThreads() const;
    void splitAtOnce(const QString &path, Mp3Source &input, std::int64_t totalSeconds, int threads);

    float m_volumeScale = 1.0f;
    int m_partCount = 2;
};

} // namespace sonavell

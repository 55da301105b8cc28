#pragma once

#include "core/process/batchjob.h"

#include <mutex>

namespace sonavell {

// Decodes each input MP3 into a 16-bit PCM WAV file in outputFolder, named after the input's
// file title in lower case with ".Wav", keeping its rate and channel count.
class Mp3ToWavJob : public BatchJob
{
public:
    using BatchJob::BatchJob;

    void setOutputFolder(const QString &folder) { m_outputFolder = folder; }
    const QString &outputFolder() const { return m_outputFolder; }

    // The WAV file an input is decoded to.
    QString outputPathFor(const QString &input) const;

    // Runs on the worker thread.
    void processFile(const QString &path) override;

protected:
    // Unless two inputs give the same WAV name: the first one's is kept then.
    bool filesAreIndependent() const override;
    QString noAudioConsequence() const override { return QStringLiteral("no WAV file written"); }

private:
    QString m_outputFolder;
    std::mutex m_writtenMutex;
    QStringList m_written; // this run's outputs: a second input of the same title must not replace one
};

} // namespace sonavell

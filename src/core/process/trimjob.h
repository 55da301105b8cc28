#pragma once

#include "core/process/batchjob.h"

namespace sonavell {

// Trim: cuts startTrimSeconds off the start and endTrimSeconds off the end of every input, in
// place, keeping its tags. Lengths are exact times (fractions of a second work) measured on
// the frames present. Both modes keep the frames from the first one ending at or after the
// start to the first one ending at or after the end, so an end length of 0 keeps the last
// frame: with recode they are decoded and encoded again at bitrateKbps, without they are copied
// unchanged. The original is replaced only when the new file is complete; an input that would
// keep no audio, or is not MP3 audio at all, is reported and left as it is.
class TrimJob : public BatchJob
{
public:
    using BatchJob::BatchJob;

    void setBitrateKbps(int kbps) { m_bitrateKbps = kbps; }
    int bitrateKbps() const { return m_bitrateKbps; }
    void setRecode(bool recode) { m_recode = recode; }
    bool recode() const { return m_recode; }
    // Re-encoding lowers the start length to the length of a file that is shorter than it, for
    // that file and the rest of the job.
    void setStartTrimSeconds(double seconds) { m_startTrimSeconds = seconds; }
    double startTrimSeconds() const { return m_startTrimSeconds; }
    void setEndTrimSeconds(double seconds) { m_endTrimSeconds = seconds; }
    double endTrimSeconds() const { return m_endTrimSeconds; }

    // Runs on the worker thread.
    void processFile(const QString &path) override;

    // The message for an input left unchanged because nothing of it would remain.
    static QString tooShortMessage(const QString &path);

private:
    bool trimRecoded(const QString &path);
    bool trimCopied(const QString &path);

    int m_bitrateKbps = 32;
    bool m_recode = false;
    double m_startTrimSeconds = 10;
    double m_endTrimSeconds = 10;
};

} // namespace sonavell

#pragma once

#include "mp3files.h"
#include "core/process/batchjob.h"
#include "core/settings/waveformat.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace sonavell::test {

// Keeps every report. Called on the job's worker; read it after the worker has ended.
struct RecordingSink : ProgressSink
{
    void fileStarted(int index, int fileCount, const QString &path) override
    {
        started.push_back(index);
        startedPaths.append(path);
        count = fileCount;
        if (onFileStarted)
            onFileStarted(index);
    }
    void filesStarted(int started, int) override { startedCounts.push_back(started); }
    void timeRange(int seconds) override { ranges.push_back(seconds); }
    void timeReached(int seconds) override
    {
        times.push_back(seconds);
        if (onTime)
            onTime(seconds);
    }
    void showError(const QString &message) override { errors.append(message); }
    void finished(bool wasCancelled) override
    {
        ++finishedCount;
        cancelled = wasCancelled;
    }

    std::vector<int> started;
    std::vector<int> startedCounts;
    QStringList startedPaths;
    int count = 0;
    std::vector<int> ranges;
    std::vector<int> times;
    QStringList errors;
    int finishedCount = 0;
    bool cancelled = false;
    std::function<void(int)> onFileStarted;
    std::function<void(int)> onTime;
};

// Runs the job on a JobWorker, reporting to sink, and waits until it has ended.
void runOnWorker(BatchJob &job, ProgressSink &sink);

// Collects the messages logged while it lives.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    QStringList lines() const;
};

} // namespace sonavell::test

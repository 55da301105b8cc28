#pragma once

#include <QString>

namespace sonavell {

// What became of one input of a job.
enum class FileOutcome {
    Done,
    Failed,    // an error was reported for it
    NoAudio,   // nothing in it decoded, so nothing was made of it (reported as an error too)
    Skipped,   // passed over after an earlier file failed a job that needs them all
    Cancelled, // the job was cancelled while it ran
};

// Where a running job reports. Every call comes from the job's worker thread: a window
// marshals each call to its own thread (posted, never sent) so that the worker never waits
// for it; the command line prints. The sink must outlive the job's run.
class ProgressSink
{
public:
    virtual ~ProgressSink() = default;

    // File index of fileCount starts. When a job works on several files at once, the reports
    // of each file still come in file order, as one after another would give them: the next
    // file's fileStarted and reports follow once the one before has ended, and those it made
    // in the meantime come first. The time reports so follow the file that started first.
    virtual void fileStarted(int index, int fileCount, const QString &path) = 0;
    // started of fileCount files have been started (those finished included); comes as soon
    // as a file starts, ahead of its fileStarted when an earlier file still runs. The lower
    // bar and "File( %d / %d )" count these.
    virtual void filesStarted(int started, int fileCount) { (void)started, (void)fileCount; }
    // The current file's length in whole seconds (the upper bar's range).
    virtual void timeRange(int seconds) = 0;
    // Time reached in the current file, once per frame or chunk.
    virtual void timeReached(int seconds) = 0;
    // A message for the user, such as "Open File %s Error"; the run goes on.
    virtual void showError(const QString &message) = 0;
    // Something the user should know that is not a failure, such as a bit rate the encoder
    // substituted; the run goes on.
    virtual void showNotice(const QString &message) { (void)message; }
    // File index has ended, after all its reports; in file order like them.
    virtual void fileFinished(int index, FileOutcome outcome) { (void)index, (void)outcome; }
    // The run has returned; cancelled when it ended because of cancel().
    virtual void finished(bool cancelled) { (void)cancelled; }
};

// Swallows every report; a job without a sink uses it.
class NullProgressSink : public ProgressSink
{
public:
    void fileStarted(int, int, const QString &) override {}
    void timeRange(int) override {}
    void timeReached(int) override {}
    void showError(const QString &) override {}
};

} // namespace sonavell

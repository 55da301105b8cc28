#pragma once

#include "core/process/progresssink.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <thread>

namespace sonavell {

// A file operation over a list of input paths: one processFile() step per file, started in
// order on the worker thread. An operation whose steps share nothing between files runs up to
// parallelFiles() of them at once, each on a thread of its own; its reports still reach the
// sink in file order (see ProgressSink). cancel() may be called from any thread; the steps
// test it once per decoded frame or chunk, and run() before each file. A job runs once: the
// flag is never reset.
class BatchJob
{
public:
    explicit BatchJob(QStringList files = {});
    virtual ~BatchJob();
    BatchJob(const BatchJob &) = delete;
    BatchJob &operator=(const BatchJob &) = delete;

    const QStringList &files() const { return m_files; }
    void setFiles(const QStringList &files) { m_files = files; }

    // The sink is not owned; null reports nowhere. Inside a step (on the thread running it)
    // these are the step's own sink, which leads to the job's: a step may put a sink of its
    // own in front of it for its file, and null gives the step's back.
    void setSink(ProgressSink *sink);
    ProgressSink &sink() const;

    // How many files run() works on at once, for operations whose files are independent;
    // 0, the default, means one per processor core.
    void setParallelFiles(int count) { m_parallelFiles = count; }
    int parallelFiles() const;

    void cancel() { m_cancelled.store(true, std::memory_order_relaxed); }
    bool isCancelled() const { return m_cancelled.load(std::memory_order_relaxed); }

    // The operation's work on one input. Runs on the worker thread.
    virtual void processFile(const QString &path) = 0;
    // Every file in order until cancelled. Runs on the worker thread.
    virtual void run();

    // "Open File %s Error" with the path, the message every step shows for an input it cannot open.
    void reportOpenError(const QString &path) const;

protected:
    // What became of an input in which no audio decoded, for the error that names it ("no
    // parts written"); empty for a job that does not decode its inputs.
    virtual QString noAudioConsequence() const { return {}; }
    // True for a job that gives up after its first failed file: the files it then passes over
    // are skipped, not blamed.
    virtual bool givesUpAfterFailure() const { return false; }
    // True when processFile() of one file touches nothing another file's step uses, so that
    // run() may work on several at once; the outputs must not depend on the order either.
    virtual bool filesAreIndependent() const { return false; }
    // True when no two of paths name the same file (symbolic links followed): two steps that
    // rewrite or write one file would race.
    static bool namesDistinctFiles(const QStringList &paths);

private:
    void runFiles(int threads);
    FileOutcome runStep(int index, ProgressSink &fileSink);

    QStringList m_files;
    std::atomic<bool> m_cancelled{false};
    NullProgressSink m_nullSink;
    ProgressSink *m_sink = &m_nullSink;
    int m_parallelFiles = 0;
    std::atomic<bool> m_anyFailed{false};
};

// Runs a job's run() on its own thread and tells the job's sink when it returns.
// Owned by the user-interface side; start, cancel and the destructor run on that thread.
class JobWorker
{
public:
    explicit JobWorker(BatchJob &job) : m_job(job) {}
    // Waits for the worker to end.
    ~JobWorker();
    JobWorker(const JobWorker &) = delete;
    JobWorker &operator=(const JobWorker &) = delete;

    void start();
    // Sets the job's cancel flag and waits until the worker has ended; the step in progress
    // stops at its next frame or chunk, so the wait is short.
    void cancelAndWait();
    void wait();
    bool isRunning() const { return m_thread.joinable(); }

private:
    BatchJob &m_job;
    std::thread m_thread;
};

} // namespace sonavell

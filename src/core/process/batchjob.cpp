#include "core/process/batchjob.h"

#include "core/io/regularfile.h"
#include "core/process/reportorder.h"

#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <mutex>
#include <vector>

namespace sonavell {

namespace {

// The step a thread is running: its job and the sink its reports go to.
struct StepScope
{
    const BatchJob *job = nullptr;
    ProgressSink *base = nullptr;
    ProgressSink *current = nullptr;
};

thread_local StepScope *t_step = nullptr;

class ScopedStep
{
public:
    ScopedStep(const BatchJob *job, ProgressSink *sink) : m_scope{job, sink, sink}, m_previous(t_step)
    {
        t_step = &m_scope;
    }
    ~ScopedStep() { t_step = m_previous; }
    ScopedStep(const ScopedStep &) = delete;
    ScopedStep &operator=(const ScopedStep &) = delete;

private:
    StepScope m_scope;
    StepScope *m_previous;
};

// Passes a step's reports on and notes whether it reported an error or reached any audio.
class StepWatch : public ProgressSink
{
public:
    explicit StepWatch(ProgressSink &next) : m_next(next) {}
    bool errorReported() const { return m_errorReported; }
    bool reachedAudio() const { return m_reachedAudio; }

    void fileStarted(int index, int fileCount, const QString &path) override
    {
        m_next.fileStarted(index, fileCount, path);
    }
    void timeRange(int seconds) override { m_next.timeRange(seconds); }
    void timeReached(int seconds) override
    {
        m_reachedAudio = true;
        m_next.timeReached(seconds);
    }
    void showError(const QString &message) override
    {
        m_errorReported = true;
        m_next.showError(message);
    }
    void showNotice(const QString &message) override { m_next.showNotice(message); }

private:
    ProgressSink &m_next;
    bool m_errorReported = false;
    bool m_reachedAudio = false;
};

} // namespace

BatchJob::BatchJob(QStringList files) : m_files(std::move(files)) {}

BatchJob::~BatchJob() = default;

void BatchJob::setSink(ProgressSink *sink)
{
    if (t_step && t_step->job == this) {
        t_step->current = sink ? sink : t_step->base;
        return;
    }
    m_sink = sink ? sink : &m_nullSink;
}

ProgressSink &BatchJob::sink() const
{
    if (t_step && t_step->job == this)
        return *t_step->current;
    return *m_sink;
}

int BatchJob::parallelFiles() const
{
    if (m_parallelFiles > 0)
        return m_parallelFiles;
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

void BatchJob::run()
{
    const int count = static_cast<int>(m_files.size());
    runFiles(filesAreIndependent() ? std::clamp(parallelFiles(), 1, std::max(count, 1)) : 1);
}

// Every thread takes the next file until none is left or the job is cancelled; files start in
// list order. The calling thread is one of them.
void BatchJob::runFiles(int threads)
{
    const int count = static_cast<int>(m_files.size());
    ReportOrder order(*m_sink, m_files);
    std::mutex taking;
    int next = 0;
    auto work = [&] {
        for (;;) {
            int index = 0;
            {
                const std::lock_guard lock(taking);
                if (next >= count || isCancelled())
                    return;
                index = next++;
                order.started(index);
            }
            ReportOrder::FileSink fileSink(order, index);
            order.finished(index, runStep(index, fileSink));
        }
    };
    std::vector<std::thread> helpers;
    for (int i = 1; i < threads; ++i)
        helpers.emplace_back(work);
    work();
    for (std::thread &helper : helpers)
        helper.join();
}

// One file's step, and what became of the file. The engines pass over an input in which no
// frame decodes without a word, since there is nothing to write; that would read as success,
// so it is reported here, naming the file and what became of it.
FileOutcome BatchJob::runStep(int index, ProgressSink &fileSink)
{
    const QString &path = m_files.at(index);
    StepWatch watch(fileSink);
    {
        const ScopedStep step(this, &watch);
        processFile(path);
    }
    if (watch.errorReported()) {
        m_anyFailed.store(true);
        return FileOutcome::Failed;
    }
    if (isCancelled())
        return FileOutcome::Cancelled;
    const QString consequence = noAudioConsequence();
    if (watch.reachedAudio() || consequence.isEmpty())
        return FileOutcome::Done;
    if (givesUpAfterFailure() && m_anyFailed.load())
        return FileOutcome::Skipped;
    watch.showError(QStringLiteral("%1: no MP3 audio found; %2").arg(path, consequence));
    return FileOutcome::NoAudio;
}

bool BatchJob::namesDistinctFiles(const QStringList &paths)
{
    QSet<QString> seen;
    for (const QString &path : paths) {
        const QFileInfo info(path);
        const QString canonical = info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
        if (seen.contains(canonical))
            return false;
        seen.insert(canonical);
    }
    return true;
}

void BatchJob::reportOpenError(const QString &path) const
{
    // A pipe, device or folder among the inputs is named as such after the usual text.
    const QString why = notRegularFileText(path);
    const QString text = QStringLiteral("Open File %1 Error").arg(path);
    sink().showError(why.isEmpty() ? text : text + QLatin1Char('\n') + why);
}

JobWorker::~JobWorker()
{
    wait();
}

void JobWorker::start()
{
    if (m_thread.joinable())
        return;
    m_thread = std::thread([this] {
        m_job.run();
        m_job.sink().finished(m_job.isCancelled());
    });
}

void JobWorker::cancelAndWait()
{
    m_job.cancel();
    wait();
}

void JobWorker::wait()
{
    if (m_thread.joinable())
        m_thread.join();
}

} // namespace sonavell

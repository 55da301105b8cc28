#include "core/process/batchjob.h"

namespace sonavell {

BatchJob::BatchJob(QStringList files) : m_files(std::move(files)) {}

BatchJob::~BatchJob() = default;

void BatchJob::run()
{
    const int count = static_cast<int>(m_files.size());
    for (int i = 0; i < count; ++i) {
        if (isCancelled())
            break;
        sink().fileStarted(i, count, m_files.at(i));
        processFile(m_files.at(i));
    }
}

void BatchJob::reportOpenError(const QString &path) const
{
    sink().showError(QStringLiteral("Open File %1 Error").arg(path));
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

#include "core/process/batchjob.h"

#include "core/files/regularfile.h"

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

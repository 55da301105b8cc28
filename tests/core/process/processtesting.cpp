#include "processtesting.h"

#include "core/encode/mp3encoder.h"
#include "testsupport.h"

#include <mutex>

namespace sonavell::test {

void runOnWorker(BatchJob &job, ProgressSink &sink)
{
    job.setSink(&sink);
    JobWorker worker(job);
    worker.start();
    worker.wait();
}

namespace {

std::mutex logMutex;
QStringList capturedLines;
QtMessageHandler previousHandler = nullptr;

void captureMessage(QtMsgType, const QMessageLogContext &, const QString &message)
{
    std::lock_guard lock(logMutex);
    capturedLines.append(message);
}

} // namespace

LogCapture::LogCapture()
{
    std::lock_guard lock(logMutex);
    capturedLines.clear();
    previousHandler = qInstallMessageHandler(captureMessage);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(previousHandler);
}

QStringList LogCapture::lines() const
{
    std::lock_guard lock(logMutex);
    return capturedLines;
}

} // namespace sonavell::test

#include "cli/jobrunner.h"

#include "cli/clicommand.h"
#include "process/batchjob.h"
#include "settings/recordersettings.h"

#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>

namespace sonavell::cli {
namespace {

// Prints on the worker thread; the main thread only waits for it.
class PrintingSink : public ProgressSink
{
public:
    explicit PrintingSink(const char *command) : m_command(command) {}

    void fileStarted(int index, int fileCount, const QString &path) override
    {
        std::printf("File( %d / %d ) %s\n", index + 1, fileCount, qPrintable(path));
        std::fflush(stdout);
    }
    void timeRange(int) override {}
    void timeReached(int) override {}
    void showError(const QString &message) override
    {
        std::fprintf(stderr, "sonavell-cli %s: %s\n", m_command, qPrintable(message));
        m_errors.fetch_add(1);
    }

    int errors() const { return m_errors.load(); }

private:
    const char *m_command;
    std::atomic<int> m_errors{0};
};

// SIGINT and SIGTERM are taken by a thread of their own, which cancels the job; every thread
// started while this lives (the worker) inherits the blocked mask.
class CancelOnSignal
{
public:
    explicit CancelOnSignal(BatchJob &job)
    {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGINT);
        sigaddset(&set, SIGTERM);
        sigaddset(&set, SIGUSR1);
        pthread_sigmask(SIG_BLOCK, &set, &m_previous);
        m_thread = std::thread([set, &job, this] {
            int signal = 0;
            while (sigwait(&set, &signal) == 0) {
                if (signal == SIGUSR1)
                    return;
                m_interrupted.store(true);
                job.cancel();
            }
        });
    }
    ~CancelOnSignal()
    {
        pthread_kill(m_thread.native_handle(), SIGUSR1);
        m_thread.join();
        pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
    }
    CancelOnSignal(const CancelOnSignal &) = delete;
    CancelOnSignal &operator=(const CancelOnSignal &) = delete;

    bool interrupted() const { return m_interrupted.load(); }

private:
    sigset_t m_previous;
    std::atomic<bool> m_interrupted{false};
    std::thread m_thread;
};

} // namespace

int runJob(const char *command, BatchJob &job)
{
    PrintingSink sink(command);
    job.setSink(&sink);
    bool interrupted = false;
    {
        CancelOnSignal watch(job);
        JobWorker worker(job);
        worker.start();
        worker.wait();
        interrupted = watch.interrupted();
    }
    job.setSink(nullptr);
    if (interrupted) {
        std::fprintf(stderr, "sonavell-cli %s: interrupted\n", command);
        return 130;
    }
    return sink.errors() == 0 ? 0 : 1;
}

std::optional<QString> OptionReader::next()
{
    if (m_at + 1 >= m_args.size()) {
        m_error = QStringLiteral("%1 needs a value").arg(m_args[m_at]);
        return std::nullopt;
    }
    return m_args[++m_at];
}

std::optional<int> OptionReader::number(int minimum, int maximum)
{
    const QString name = m_args[m_at];
    const std::optional<QString> value = next();
    if (!value)
        return std::nullopt;
    bool ok = false;
    const int number = value->toInt(&ok);
    if (!ok || number < minimum || number > maximum) {
        m_error = QStringLiteral("%1 takes a whole number from %2 to %3").arg(name).arg(minimum).arg(maximum);
        return std::nullopt;
    }
    return number;
}

std::optional<double> OptionReader::decimal(double minimum, double maximum)
{
    const QString name = m_args[m_at];
    const std::optional<QString> value = next();
    if (!value)
        return std::nullopt;
    bool ok = false;
    const double number = value->toDouble(&ok);
    if (!ok || !(number >= minimum && number <= maximum)) {
        m_error = QStringLiteral("%1 takes a number from %2 to %3").arg(name).arg(minimum).arg(maximum);
        return std::nullopt;
    }
    return number;
}

std::optional<QString> OptionReader::text()
{
    return next();
}

std::optional<int> OptionReader::bitRate()
{
    const QString name = m_args[m_at];
    const std::optional<int> kbps = number(1, 1000);
    const auto &rates = RecorderSettings::kBitRates;
    if (kbps && std::find(rates.begin(), rates.end(), *kbps) != rates.end())
        return kbps;
    if (m_error.isEmpty()) {
        QStringList allowed;
        for (int rate : rates)
            allowed.append(QString::number(rate));
        m_error = QStringLiteral("%1 takes one of %2 (kbit/s)").arg(name, allowed.join(QStringLiteral(", ")));
    }
    return std::nullopt;
}

int usageError(const char *command, const QString &text)
{
    std::fprintf(stderr, "sonavell-cli %s: %s\n", command, qPrintable(text));
    printUsage();
    return 2;
}

} // namespace sonavell::cli

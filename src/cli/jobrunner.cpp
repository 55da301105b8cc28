#include "cli/jobrunner.h"

#include "cli/clicommand.h"
#include "core/mp3/mp3fileinfo.h"
#include "core/mp3/mp3layout.h"
#include "core/process/batchjob.h"
#include "core/settings/recordersettings.h"

#include <QFile>

#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

namespace sonavell::cli {
namespace {

// Prints on the worker threads, one at a time (the job's reports come in file order, one
// report at a time); the main thread only waits for them.
class PrintingSink : public ProgressSink
{
public:
    PrintingSink(const char *command, const QString &output)
        : m_command(command), m_output(output), m_terminal(::isatty(::fileno(stderr)) == 1),
          m_start(std::chrono::steady_clock::now())
    {
    }

    void fileStarted(int index, int fileCount, const QString &path) override
    {
        clearProgress();
        m_current = path;
        m_index = index;
        m_count = fileCount;
        m_range = 0;
        m_shown = -1;
        std::printf("File( %d / %d ) %s\n", index + 1, fileCount, qPrintable(path));
        std::fflush(stdout);
    }
    void timeRange(int seconds) override { m_range = seconds; }
    // One line, rewritten in place: the file, how far into it, the time the job has taken and
    // what is left of it at that pace (files of equal length assumed).
    void timeReached(int seconds) override
    {
        // A pipe or a log gets no progress, only the file lines.
        if (!m_terminal || seconds == m_shown)
            return;
        m_shown = seconds;
        const double fraction = m_range > 0 ? std::clamp(double(seconds) / m_range, 0.0, 1.0) : 0.0;
        const double done = m_count > 0 ? (m_index + fraction) / m_count : 0.0;
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
        const QString left = done > 0 ? formatMinutesSeconds(int(elapsed * (1 - done) / done + 0.5)) : QStringLiteral("-:--");
        std::fprintf(stderr, "\r[%d/%d] %3d%% %s / %s  elapsed %s  left %s\033[K", m_index + 1, m_count,
                     int(fraction * 100), qPrintable(formatMinutesSeconds(seconds)),
                     qPrintable(formatMinutesSeconds(m_range)), qPrintable(formatMinutesSeconds(int(elapsed))),
                     qPrintable(left));
        std::fflush(stderr);
    }
    void showError(const QString &message) override
    {
        clearProgress();
        // Some engine messages name no file ("The MP3 file could not be created.").
        QString subject;
        if (!m_current.isEmpty() && !message.contains(m_current))
            subject = m_current;
        if (!m_output.isEmpty() && !message.contains(m_output))
            subject += (subject.isEmpty() ? QString() : QStringLiteral(" -> ")) + m_output;
        if (!subject.isEmpty())
            subject += QStringLiteral(": ");
        std::fprintf(stderr, "sonavell-cli %s: %s%s\n", m_command, qPrintable(subject), qPrintable(message));
        std::fflush(stderr);
        m_errors.fetch_add(1);
    }
    // A line of its own, not counted as an error.
    void showNotice(const QString &message) override
    {
        clearProgress();
        const QString subject = m_current.isEmpty() || message.contains(m_current) ? QString() : m_current + QStringLiteral(": ");
        std::fprintf(stderr, "sonavell-cli %s: %s%s\n", m_command, qPrintable(subject), qPrintable(message));
        std::fflush(stderr);
    }
    void finished(bool) override { clearProgress(); }

    int errors() const { return m_errors.load(); }

private:
    void clearProgress()
    {
        if (m_shown < 0)
            return;
        std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
        m_shown = -1;
    }

    const char *m_command;
    const QString m_output;
    const bool m_terminal;
    const std::chrono::steady_clock::time_point m_start;
    QString m_current;
    int m_index = 0;
    int m_count = 0;
    int m_range = 0;
    int m_shown = -1;
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

int runJob(const char *command, BatchJob &job, const QString &output)
{
    PrintingSink sink(command, output);
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

std::optional<qint64> OptionReader::bigNumber(qint64 minimum, qint64 maximum)
{
    const QString name = m_args[m_at];
    const std::optional<QString> value = next();
    if (!value)
        return std::nullopt;
    bool ok = false;
    const qint64 number = value->toLongLong(&ok);
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
    printError(command, text);
    if (const Command *found = findCommand(QString::fromLatin1(command)))
        std::fprintf(stderr, "usage: sonavell-cli %s %s\n", found->name, found->usage);
    std::fprintf(stderr, "Try \"sonavell-cli %s --help\" for more.\n", command);
    return 2;
}

void printError(const char *command, const QString &text)
{
    std::fprintf(stderr, "sonavell-cli %s: %s\n", command, qPrintable(text));
    std::fflush(stderr);
}

int bitRateLike(const QString &path)
{
    const int first = firstFrameBitrate(path) / 1000;
    const auto &rates = RecorderSettings::kBitRates;
    return std::find(rates.begin(), rates.end(), first) != rates.end() ? first : settings().bitRate();
}

} // namespace sonavell::cli

#pragma once

#include "core/process/progresssink.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <optional>

namespace sonavell {
class BatchJob;
}

namespace sonavell::cli {

// Runs a file job on its worker thread as the progress window would, printing each file as it
// starts and every error the job reports, each naming the file it concerns (output, when
// given, is the one file the job writes). While stderr is a terminal a progress line shows the
// time reached in the current file. Ctrl+C or SIGTERM cancels the job at its next frame, so
// in-place rewrites leave their originals and temporary files are cleaned up.
// Returns 0 when no error was reported, 1 otherwise, 130 when interrupted.
int runJob(const char *command, BatchJob &job, const QString &output = QString());

// Watches one file step of a job: every report goes on to the job's sink, and the watch notes
// whether the step reported an error or reached any audio, so that a command can tell a step
// that silently did nothing. Lives inside processFile, on the worker thread.
class StepWatch : public ProgressSink
{
public:
    explicit StepWatch(BatchJob &job);
    ~StepWatch() override;
    StepWatch(const StepWatch &) = delete;
    StepWatch &operator=(const StepWatch &) = delete;

    bool errorReported() const { return m_errors > 0; }
    bool reachedAudio() const { return m_reached; }

    void fileStarted(int index, int fileCount, const QString &path) override;
    void timeRange(int seconds) override;
    void timeReached(int seconds) override;
    void showError(const QString &message) override;
    void showNotice(const QString &message) override;
    void finished(bool cancelled) override;

private:
    BatchJob &m_job;
    ProgressSink *m_outer;
    int m_errors = 0;
    bool m_reached = false;
};

// A job whose every input must hold MP3 audio. The engines pass over an input in which no
// frame decodes without a word, since there is nothing to write; on the command line that
// would read as success, so it is reported naming the file, with what became of it (leftAs).
// A job that gives up after its first failure (the join) sets skipsAfterFailure, so that the
// files it then passes over are not blamed.
template <typename Job> class AudioCheckedJob : public Job
{
public:
    AudioCheckedJob(const QStringList &files, const QString &leftAs, bool skipsAfterFailure = false)
        : Job(files), m_leftAs(leftAs), m_skipsAfterFailure(skipsAfterFailure)
    {
    }

    void processFile(const QString &path) override
    {
        StepWatch watch(*this);
        Job::processFile(path);
        if (watch.errorReported())
            m_failed = true;
        else if (!watch.reachedAudio() && !this->isCancelled() && !(m_skipsAfterFailure && m_failed))
            watch.showError(QStringLiteral("%1: no MP3 audio found; %2").arg(path, m_leftAs));
    }

private:
    const QString m_leftAs;
    const bool m_skipsAfterFailure;
    std::atomic<bool> m_failed{false}; // set by the steps of files run at once
};

// Reads "--name value" options and plain arguments (the input files) from a command's
// arguments, reporting the first problem as text. After "--" every argument is a file.
class OptionReader
{
public:
    explicit OptionReader(const QStringList &args) : m_args(args) {}

    // Walks the arguments; for each option calls take(name), which reads its value with the
    // calls below and answers false for an unknown option.
    template <typename Take> bool read(Take take)
    {
        bool optionsEnded = false;
        for (m_at = 0; m_at < m_args.size() && m_error.isEmpty(); ++m_at) {
            const QString &arg = m_args[m_at];
            if (!optionsEnded && arg == QLatin1String("--")) {
                optionsEnded = true;
                continue;
            }
            if (optionsEnded || !arg.startsWith(QLatin1String("--"))) {
                m_files.append(arg);
                continue;
            }
            if (!take(arg) && m_error.isEmpty())
                m_error = QStringLiteral("unknown option %1").arg(arg);
        }
        return m_error.isEmpty();
    }

    // The next argument as an integer in minimum … maximum.
    std::optional<int> number(int minimum, int maximum);
    std::optional<qint64> bigNumber(qint64 minimum, qint64 maximum);
    std::optional<double> decimal(double minimum, double maximum);
    std::optional<QString> text();
    // --jobs: how many files a batch works on at once.
    std::optional<int> jobCount() { return number(1, 256); }
    // An integer that must be one of the Data Rate entries (kbit/s).
    std::optional<int> bitRate();
    // Makes the option being read fail with text.
    void fail(const QString &text) { m_error = text; }

    const QStringList &files() const { return m_files; }
    const QString &error() const { return m_error; }

private:
    std::optional<QString> next();

    QStringList m_args;
    qsizetype m_at = 0;
    QStringList m_files;
    QString m_error;
};

// Prints "sonavell-cli COMMAND: text" and the command's usage line, and gives the usage error code.
int usageError(const char *command, const QString &text);

// Prints "sonavell-cli COMMAND: text" for a failure that is not a usage error.
void printError(const char *command, const QString &text);

// The Data Rate the dialogs preselect for a file: its first frame's bit rate when that is a
// Data Rate entry, otherwise the settings' bit rate.
int bitRateLike(const QString &path);


} // namespace sonavell::cli

#pragma once

#include <QString>
#include <QStringList>

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

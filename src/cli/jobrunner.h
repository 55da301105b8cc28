#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace sonavell {
class BatchJob;
}

namespace sonavell::cli {

// Runs a file job on its worker thread as the progress window would, printing each file as it
// starts and every error the job reports. Ctrl+C or SIGTERM cancels the job at its next frame,
// so in-place rewrites leave their originals and temporary files are cleaned up.
// Returns 0 when no error was reported, 1 otherwise, 130 when interrupted.
int runJob(const char *command, BatchJob &job);

// Reads "--name value" options and plain arguments (the input files) from a command's
// arguments, reporting the first problem as text. After "--" every argument is a file.
class OptionReader
{
public:
    explicit OptionReader(const QStringList &args) : m_args(args) {}

    // Walks the arguments; for each option calls take(name), which reads its value with the
    // calls below and answers false for an unknown option.
    template<typename Take>
    bool read(Take take)
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
    std::optional<double> decimal(double minimum, double maximum);
    std::optional<QString> text();
    // An integer that must be one of the Data Rate entries (kbit/s).
    std::optional<int> bitRate();

    const QStringList &files() const { return m_files; }
    const QString &error() const { return m_error; }

private:
    std::optional<QString> next();

    QStringList m_args;
    qsizetype m_at = 0;
    QStringList m_files;
    QString m_error;
};

// Prints "sonavell-cli COMMAND: text" and the usage, and gives the usage error code.
int usageError(const char *command, const QString &text);

} // namespace sonavell::cli

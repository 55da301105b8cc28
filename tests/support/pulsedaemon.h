#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>

class QTemporaryDir;

namespace sonavell::test {

// A PulseAudio daemon of the test's own: no system service, no user configuration, its runtime
// folder in a fresh temporary folder, so parallel test processes each have their own. It has a
// null sink and a pipe source; $PULSE_SERVER points this process and its children at it while
// it runs. Stopped (and its folder removed) with the object; it also dies with the test
// process.
class PulseDaemon
{
public:
    static constexpr const char *kSinkName = "sonavell_test_sink";
    static constexpr const char *kSinkDescription = "Test Output";
    static constexpr const char *kPipeName = "sonavell_test_pipe";
    static constexpr const char *kPipeDescription = "Test Pipe Input";

    PulseDaemon();
    ~PulseDaemon();
    PulseDaemon(const PulseDaemon &) = delete;
    PulseDaemon &operator=(const PulseDaemon &) = delete;

    // False with `error` saying why when the daemon did not come up.
    bool start(QString *error);
    void stop();

    QString server() const { return m_server; }
    QString pipePath() const;
    // Runs pactl against this daemon; the exit code, -1 when it did not run.
    int pactl(const QStringList &args, QString *out = nullptr) const;

private:
    void drainLog() const;

    std::unique_ptr<QTemporaryDir> m_folder;
    mutable QProcess m_process;
    QString m_server;
    QByteArray m_previousServer;
    bool m_hadServer = false;
};

} // namespace sonavell::test

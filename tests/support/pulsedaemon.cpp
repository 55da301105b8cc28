#include "pulsedaemon.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <signal.h>
#include <sys/prctl.h>

namespace sonavell::test {

PulseDaemon::PulseDaemon() = default;

PulseDaemon::~PulseDaemon()
{
    stop();
}

QString PulseDaemon::pipePath() const
{
    return m_folder ? m_folder->filePath(QStringLiteral("pipe")) : QString();
}

bool PulseDaemon::start(QString *error)
{
    // A socket path must fit in 108 bytes, so the folder stays short whatever $TMPDIR is.
    m_folder = std::make_unique<QTemporaryDir>(QStringLiteral("/tmp/sonavell-pulse-XXXXXX"));
    if (!m_folder->isValid()) {
        *error = QStringLiteral("cannot create a folder in /tmp");
        return false;
    }
    const QString root = m_folder->path();
    for (const char *sub : {"home", "runtime", "state"})
        QDir(root).mkpath(QString::fromLatin1(sub));
    const QString socket = root + QStringLiteral("/native");

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), root + QStringLiteral("/home"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), root + QStringLiteral("/home"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), root + QStringLiteral("/runtime"));
    environment.insert(QStringLiteral("PULSE_RUNTIME_PATH"), root + QStringLiteral("/runtime"));
    environment.insert(QStringLiteral("PULSE_STATE_PATH"), root + QStringLiteral("/state"));
    for (const char *name : {"DBUS_SESSION_BUS_ADDRESS", "DISPLAY", "WAYLAND_DISPLAY", "PULSE_SERVER"})
        environment.remove(QString::fromLatin1(name));
    m_process.setProcessEnvironment(environment);
    m_process.setProgram(QStringLiteral("pulseaudio"));
    // -n: no default.pa; only the modules named here. Running as root (as in CI) only earns a
    // warning as long as --system is not given.
    m_process.setArguments({
        QStringLiteral("-n"),
        QStringLiteral("--daemonize=no"),
        QStringLiteral("--system=no"),
        QStringLiteral("--exit-idle-time=-1"),
        QStringLiteral("--use-pid-file=no"),
        QStringLiteral("--high-priority=no"),
        QStringLiteral("--realtime=no"),
        QStringLiteral("--disable-shm=yes"),
        QStringLiteral("--log-target=stderr"),
        QStringLiteral("--log-level=info"),
        QStringLiteral("--load=module-native-protocol-unix auth-anonymous=1 socket=%1").arg(socket),
        QStringLiteral("--load=module-null-sink sink_name=%1 sink_properties=\"device.description='%2'\"")
            .arg(QString::fromLatin1(kSinkName), QString::fromLatin1(kSinkDescription)),
        QStringLiteral("--load=module-pipe-source source_name=%1 file=%2 format=s16le rate=44100 channels=2 "
                       "source_properties=\"device.description='%3'\"")
            .arg(QString::fromLatin1(kPipeName), pipePath(), QString::fromLatin1(kPipeDescription)),
    });
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.setReadChannel(QProcess::StandardError);
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    m_process.start();
    if (!m_process.waitForStarted(10000)) {
        *error = QStringLiteral("pulseaudio did not start: %1").arg(m_process.errorString());
        return false;
    }
    // The daemon says when it is ready to take clients.
    QByteArray log;
    const QDeadlineTimer deadline(20000);
    while (!log.contains("Daemon startup complete")) {
        if (m_process.state() != QProcess::Running || deadline.hasExpired()
            || (!m_process.canReadLine() && !m_process.waitForReadyRead(static_cast<int>(deadline.remainingTime())))) {
            log += m_process.readAllStandardError();
            if (log.contains("Daemon startup complete"))
                break;
            *error = QStringLiteral("pulseaudio did not come up:\n%1").arg(QString::fromLocal8Bit(log.right(2000)));
            stop();
            return false;
        }
        log += m_process.readAllStandardError();
    }
    m_server = QStringLiteral("unix:") + socket;
    m_hadServer = qEnvironmentVariableIsSet("PULSE_SERVER");
    m_previousServer = qgetenv("PULSE_SERVER");
    qputenv("PULSE_SERVER", m_server.toUtf8());
    return true;
}

void PulseDaemon::stop()
{
    if (!m_server.isEmpty()) {
        if (m_hadServer)
            qputenv("PULSE_SERVER", m_previousServer);
        else
            qunsetenv("PULSE_SERVER");
        m_server.clear();
    }
    if (m_process.state() != QProcess::NotRunning) {
        drainLog();
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    m_folder.reset();
}

// The log is only wanted until start-up; the rest is read away so it never fills the pipe.
void PulseDaemon::drainLog() const
{
    while (m_process.state() == QProcess::Running && m_process.waitForReadyRead(0))
        m_process.readAllStandardError();
}

int PulseDaemon::pactl(const QStringList &args, QString *out) const
{
    drainLog();
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PULSE_SERVER"), m_server);
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral("pactl"), QStringList{QStringLiteral("--server=%1").arg(m_server)} + args);
    if (!process.waitForFinished(20000) || process.exitStatus() != QProcess::NormalExit)
        return -1;
    if (out)
        *out = QString::fromUtf8(process.readAllStandardOutput());
    return process.exitCode();
}

} // namespace sonavell::test

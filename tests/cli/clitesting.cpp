#include "clitesting.h"

#include "core/process/wavefile.h"

#include <QProcessEnvironment>

namespace sonavell::test {

void prepareCli(QProcess &process, const QStringList &args, const QString &home)
{
    process.setProgram(QStringLiteral(SONAVELL_CLI_PATH));
    process.setArguments(args);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home);
    process.setProcessEnvironment(environment);
}

int CliTest::run(const QStringList &args)
{
    QProcess process;
    prepareCli(process, args, home.path());
    if (!stderrPath.isEmpty())
        process.setStandardErrorFile(stderrPath, QIODevice::Append);
    process.start();
    const bool finished = process.waitForFinished(120000);
    EXPECT_TRUE(finished) << "sonavell-cli " << args.join(QLatin1Char(' ')).toStdString();
    out = QString::fromUtf8(process.readAllStandardOutput());
    err = QString::fromUtf8(process.readAllStandardError());
    return finished && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

bool makeWav(const QString &path, const QByteArray &data, int rate, int channels, int bits)
{
    const WaveFormat format = pcmFormat(rate, channels, bits);
    WaveFile wave;
    std::uint32_t written = 0;
    return wave.open(path, &format, WaveFile::WriteMode) == WaveFile::Result::Success &&
           wave.write(static_cast<std::uint32_t>(data.size()), data.constData(), &written) ==
               WaveFile::Result::Success &&
           written == static_cast<std::uint32_t>(data.size()) && wave.close() == WaveFile::Result::Success;
}

InfoLines parseInfo(const QString &block)
{
    InfoLines lines;
    for (const QString &line : block.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const qsizetype colon = line.indexOf(QStringLiteral(": "));
        if (colon < 0)
            lines.emplace_back(line, QString());
        else
            lines.emplace_back(line.left(colon), line.mid(colon + 2));
    }
    return lines;
}

QString infoValue(const InfoLines &lines, const QString &name)
{
    for (const auto &[key, value] : lines) {
        if (key == name)
            return value;
    }
    return QStringLiteral("<missing>");
}

} // namespace sonavell::test

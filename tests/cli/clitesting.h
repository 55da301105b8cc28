#pragma once

#include "mp3files.h"
#include "testsupport.h"

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

namespace sonavell::test {

// Runs the built sonavell-cli with a private home, so that its settings store starts from the
// defaults (160 kbit/s, 44100 Hz stereo) and touches no user file. Its stderr is a pipe, not a
// terminal.
class CliTest : public testing::Test
{
protected:
    // The exit code, or -1 when the process crashed or did not end.
    int run(const QStringList &args);

    QString file(const QString &name) const { return folder.file(name); }

    TempFolder folder;
    TempFolder home;
    QString stderrPath; // when set, the process's stderr goes there instead of into err
    QString out;
    QString err;
};

// Points a process at the built sonavell-cli with the given arguments and a private home.
void prepareCli(QProcess &process, const QStringList &args, const QString &home);

// A PCM WAV file written by our WaveFile; bits 8 or 16 (8-bit data is given as it is stored).
bool makeWav(const QString &path, const QByteArray &data, int rate, int channels, int bits = 16);

// The "name: value" lines of one file's block of "info" output, in order.
using InfoLines = std::vector<std::pair<QString, QString>>;
InfoLines parseInfo(const QString &block);
QString infoValue(const InfoLines &lines, const QString &name);

} // namespace sonavell::test

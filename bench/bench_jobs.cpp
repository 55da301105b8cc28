// Split, join and copy-trim as the file operations run them, on ten- and sixty-minute files,
// printed beside `lame --mp3input` doing the same re-encoding work (and mp3splt or ffmpeg for
// the cuts when they are installed). Prints results only; no target is checked.
#include "benchsupport.h"
#include "core/process/joinjob.h"
#include "core/process/splitjob.h"
#include "core/process/trimjob.h"
#include "core/settings/recordersettings.h"

#include <QByteArray>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>

using namespace sonavell;
using namespace sonavell::bench;

namespace {

constexpr int kMinutes = 10;
constexpr int kLongCopies = 6; // the sixty-minute file

} // namespace

int main()
{
    QTemporaryDir folder;
    overrideDataFolder(folder.filePath(QStringLiteral("Data")));
    auto at = [&folder](const char *name) { return folder.filePath(QString::fromLatin1(name)); };

    const QString source = at("source.mp3");
    if (!writeMusicLikeMp3(source, kMinutes * 60)) {
        std::fprintf(stderr, "encoder did not start\n");
        return 1;
    }
    const QByteArray frames = framesWithoutInfo(source);
    QFile longFile(at("long.mp3"));
    if (!longFile.open(QIODevice::WriteOnly))
        return 1;
    for (int i = 0; i < kLongCopies; ++i)
        longFile.write(frames);
    longFile.close();
    for (const char *name : {"join1.mp3", "join2.mp3", "join3.mp3", "lame.mp3"})
        QFile::copy(source, at(name));
    const double tenMinutes = kMinutes * 60.0;
    std::printf("inputs: %d min, 44.1 kHz stereo, 128 kbit/s, %lld bytes; %d min, %lld bytes\n\n", kMinutes,
                static_cast<long long>(QFile(source).size()), kMinutes * kLongCopies,
                static_cast<long long>(QFile(at("long.mp3")).size()));

    const QString lame = QStandardPaths::findExecutable(QStringLiteral("lame"));
    const QString mp3splt = QStandardPaths::findExecutable(QStringLiteral("mp3splt"));
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));

    SplitJob split({at("lame.mp3")});
    split.setPartCount(3);
    measure("split 10 min into 3 (SplitJob)", tenMinutes, [&] {
        split.run();
        return QFile::exists(SplitJob::partPath(at("lame.mp3"), 3));
    });
    if (!lame.isEmpty())
        measure("  lame --mp3input, same re-encoding", tenMinutes, [&] {
            return runTool(lame, {QStringLiteral("--quiet"), QStringLiteral("--mp3input"), QStringLiteral("--noreplaygain"), QStringLiteral("-b"),
                                  QStringLiteral("128"), at("lame.mp3"), at("lame-out.mp3")});
        });
    if (!mp3splt.isEmpty())
        measure("  mp3splt -S 3 (frame copy, no re-encoding)", tenMinutes, [&] {
            return runTool(mp3splt, {QStringLiteral("-q"), QStringLiteral("-S"), QStringLiteral("3"),
                                     QStringLiteral("-d"), folder.path(), at("lame.mp3")});
        });

    JoinJob join({at("join1.mp3"), at("join2.mp3"), at("join3.mp3")});
    join.setOutputPath(at("joined.mp3"));
    join.setBitrateKbps(128);
    join.setTargetFormat(WaveFormat{1, 2, kRate, 0, 0, 16, 0}.normalizedPcm());
    measure("join 3 x 10 min (JoinJob)", 3 * tenMinutes, [&] {
        join.run();
        return QFile::exists(at("joined.mp3"));
    });
    if (!lame.isEmpty())
        measure("  lame --mp3input on each of the three", 3 * tenMinutes, [&] {
            bool ok = true;
            for (const char *name : {"join1.mp3", "join2.mp3", "join3.mp3"})
                ok = runTool(lame, {QStringLiteral("--quiet"), QStringLiteral("--mp3input"), QStringLiteral("--noreplaygain"), QStringLiteral("-b"),
                                    QStringLiteral("128"), at(name), at("lame-out.mp3")})
                     && ok;
            return ok;
        });

    const double hour = tenMinutes * kLongCopies;
    QFile::copy(at("long.mp3"), at("long-ffmpeg.mp3"));
    measure("copy 60 min file (QFile::copy, I/O alone)", hour,
            [&] { return QFile::copy(at("long.mp3"), at("long-copy.mp3")); });
    TrimJob trim({at("long.mp3")});
    trim.setStartTrimSeconds(10);
    trim.setEndTrimSeconds(10);
    measure("copy-trim 60 min, 10 s off each end (TrimJob)", hour, [&] {
        trim.run();
        return QFile(at("long.mp3")).size() < QFile(at("long-copy.mp3")).size();
    });
    if (!ffmpeg.isEmpty())
        measure("  ffmpeg -c copy, same window", hour, [&] {
            return runTool(ffmpeg, {QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-y"),
                                    QStringLiteral("-ss"), QStringLiteral("10"), QStringLiteral("-to"),
                                    QString::number(hour - 10), QStringLiteral("-i"), at("long-ffmpeg.mp3"),
                                    QStringLiteral("-c"), QStringLiteral("copy"), at("ffmpeg-out.mp3")});
        });
    if (mp3splt.isEmpty() || ffmpeg.isEmpty())
        std::printf("\n(mp3splt or ffmpeg not installed: their rows are left out)\n");
    return 0;
}

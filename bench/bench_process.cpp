// Re-encodes a ten-minute 128 kbit/s MP3 to 64 kbit/s in place and decodes it to a WAV file, as
// the file operations do, beside `lame --mp3input -b 64` and `madplay -o wave:` doing the same
// work (same output rate and channels, no ReplayGain, no dither), ours and theirs in turn,
// BENCH_RUNS times (default 5), with the medians and their ratio.
#include "benchsupport.h"
#include "core/decode/decoder.h"
#include "core/process/mp3towavjob.h"
#include "core/process/reencodejob.h"
#include "core/settings/recordersettings.h"

#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

using namespace sonavell;
using namespace sonavell::bench;

int main()
{
    constexpr int kSeconds = 600;
    const int runs = qEnvironmentVariableIntValue("BENCH_RUNS") > 0 ? qEnvironmentVariableIntValue("BENCH_RUNS") : 5;
    QTemporaryDir folder;
    overrideDataFolder(folder.filePath(QStringLiteral("Data")));
    auto at = [&folder](const char *name) { return folder.filePath(QString::fromLatin1(name)); };
    const QString source = at("source.mp3");
    if (!writeMusicLikeMp3(source, kSeconds)) {
        std::fprintf(stderr, "encoder did not start\n");
        return 1;
    }
    std::printf("input: %d s, 44.1 kHz stereo, 128 kbit/s, %lld bytes\n\n", kSeconds,
                static_cast<long long>(QFile(source).size()));
    const QString lame = QStandardPaths::findExecutable(QStringLiteral("lame"));
    const QString madplay = QStandardPaths::findExecutable(QStringLiteral("madplay"));
    const QString work = at("work.mp3");
    auto freshCopy = [&] {
        QFile::remove(work);
        QFile::copy(source, work);
    };

    measure("decode only (Mp3Source)", kSeconds, [&] {
        Mp3Source input;
        int frames = 0;
        if (input.open(source))
            input.decode([&frames](const DecodedFrame &) {
                ++frames;
                return DecodeFlow::Continue;
            });
        return frames > 0;
    });
    std::printf("\n");

    compare(
        "re-encode 128 -> 64 kbit/s in place", runs, freshCopy, "ReencodeJob", [&] {
            ReencodeJob job({work});
            job.setBitrateKbps(64);
            job.run();
            return true;
        },
        "lame --mp3input -b 64 --resample 44.1 --noreplaygain",
        lame.isEmpty() ? std::function<bool()>() : [&] {
            return exec(lame, {QStringLiteral("--quiet"), QStringLiteral("--mp3input"), QStringLiteral("--noreplaygain"),
                               QStringLiteral("--resample"), QStringLiteral("44.1"), QStringLiteral("-b"),
                               QStringLiteral("64"), work, at("lame.mp3")});
        },
        "<= 1.05");

    compare(
        "decode to a 16-bit WAV", runs, [] {}, "Mp3ToWavJob", [&] {
            Mp3ToWavJob job({source});
            job.setOutputFolder(folder.path());
            job.run();
            return QFile::exists(at("source.Wav"));
        },
        "madplay -d -o wave:",
        madplay.isEmpty() ? std::function<bool()>() : [&] {
            return exec(madplay, {QStringLiteral("-Q"), QStringLiteral("-d"), QStringLiteral("-o"),
                                  QStringLiteral("wave:") + at("madplay.wav"), source});
        },
        "<= 1.0");
    return 0;
}

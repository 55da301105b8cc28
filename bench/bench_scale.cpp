// Jobs that scale, measured beside the tools a user would run instead, doing the same work:
// (a) re-encoding four ten-minute files 128 -> 64 kbit/s as one batch, against
//     `lame --mp3input -b 64 --resample 44.1 --noreplaygain` on the four one after another;
// (b) splitting a sixty-minute file into three, against lame re-encoding the same audio;
// (c) the peak resident memory of reencode, mp3towav, split and join on ten- and sixty-minute
//     inputs and on a ten-hour one made of the same frames.
// Every step runs in a child process of its own, so that its wall time, CPU time and peak
// memory are its own; ours and the peer's runs take turns, BENCH_RUNS times (default 5), and
// the medians are compared.
#include "benchsupport.h"
#include "core/process/joinjob.h"
#include "core/process/mp3towavjob.h"
#include "core/process/reencodejob.h"
#include "core/process/splitjob.h"
#include "core/settings/recordersettings.h"

#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstring>
#include <thread>

using namespace sonavell;
using namespace sonavell::bench;

namespace {

bool writeRepeated(const QString &path, const QByteArray &frames, int copies)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    for (int i = 0; i < copies; ++i) {
        if (file.write(frames) != frames.size())
            return false;
    }
    return true;
}

} // namespace

int main()
{
    const int runs = std::max(1, qEnvironmentVariableIntValue("BENCH_RUNS") > 0 ? qEnvironmentVariableIntValue("BENCH_RUNS") : 5);
    QTemporaryDir folder;
    overrideDataFolder(folder.filePath(QStringLiteral("Data")));
    auto at = [&folder](const QString &name) { return folder.filePath(name); };
    const QString ten = at(QStringLiteral("ten.mp3"));
    if (!writeMusicLikeMp3(ten, 600)) {
        std::fprintf(stderr, "encoder did not start\n");
        return 1;
    }
    const QByteArray frames = framesWithoutInfo(ten);
    const QString hour = at(QStringLiteral("hour.mp3"));
    const QString tenHours = at(QStringLiteral("tenhours.mp3"));
    if (!writeRepeated(hour, frames, 6) || !writeRepeated(tenHours, frames, 60))
        return 1;
    const QString lame = QStandardPaths::findExecutable(QStringLiteral("lame"));
    std::printf("inputs: 10 min, 44.1 kHz stereo, 128 kbit/s (%lld bytes), 60 min and 10 h of the same frames; "
                "%u cores\n\n",
                static_cast<long long>(QFile(ten).size()), std::thread::hardware_concurrency());
    const QStringList lameArgs{QStringLiteral("--quiet"), QStringLiteral("--mp3input"), QStringLiteral("--noreplaygain"),
                               QStringLiteral("--resample"), QStringLiteral("44.1")};

    // (a) four files as one batch
    QStringList four;
    for (int i = 1; i <= 4; ++i)
        four.append(at(QStringLiteral("batch%1.mp3").arg(i)));
    compare(
        "(a) re-encode 4 x 10 min, 128 -> 64 kbit/s", runs,
        [&] {
            for (const QString &file : four) {
                QFile::remove(file);
                QFile::copy(ten, file);
            }
        },
        "ReencodeJob, one file per core", [&] {
            ReencodeJob job(four);
            job.setBitrateKbps(64);
            job.run();
            return true;
        },
        "lame --mp3input -b 64 on the four, one after another",
        lame.isEmpty() ? std::function<bool()>() : [&] {
            for (const QString &file : four) {
                QStringList args = lameArgs;
                args << QStringLiteral("-b") << QStringLiteral("64") << file << at(QStringLiteral("lame-out.mp3"));
                const Run run = inChild([&] { return exec(lame, args); });
                if (!run.ok)
                    return false;
            }
            return true;
        },
        "<= 0.6");

    // (b) one long file into three parts, at its own 128 kbit/s
    compare(
        "(b) split 60 min into 3", runs, [] {}, "SplitJob", [&] {
            SplitJob job({hour});
            job.setPartCount(3);
            job.run();
            return QFile::exists(SplitJob::partPath(hour, 3));
        },
        "lame --mp3input -b 128 on the same audio",
        lame.isEmpty() ? std::function<bool()>() : [&] {
            QStringList args = lameArgs;
            args << QStringLiteral("-b") << QStringLiteral("128") << hour << at(QStringLiteral("lame-out.mp3"));
            return exec(lame, args);
        },
        "<= 0.6");

    // (c) peak memory against the input's length
    std::printf("(c) peak resident memory, one run each (target: flat, under 40 MB)\n");
    std::printf("  %-12s %10s %10s %10s\n", "job", "10 min", "60 min", "10 h");
    const QString work = at(QStringLiteral("work.mp3"));
    auto peakOf = [&](const QString &input, const std::function<bool(const QString &)> &step) {
        QFile::remove(work);
        QFile::copy(input, work);
        const Run run = inChild([&] { return step(work); });
        return run.ok ? run.peakMb : -1.0;
    };
    const std::vector<std::pair<const char *, std::function<bool(const QString &)>>> jobs{
        {"reencode", [](const QString &path) {
             ReencodeJob job({path});
             job.setBitrateKbps(64);
             job.run();
             return true;
         }},
        {"mp3towav", [&](const QString &path) {
             Mp3ToWavJob job({path});
             job.setOutputFolder(folder.path());
             job.run();
             return QFile::remove(at(QStringLiteral("work.Wav")));
         }},
        {"split", [](const QString &path) {
             SplitJob job({path});
             job.setPartCount(3);
             job.run();
             return QFile::exists(SplitJob::partPath(path, 3));
         }},
        {"join", [&](const QString &path) {
             JoinJob job({path, ten});
             job.setOutputPath(at(QStringLiteral("joined.mp3")));
             job.setBitrateKbps(64);
             job.setTargetFormat(stereoCdFormat());
             job.run();
             return QFile::exists(at(QStringLiteral("joined.mp3")));
         }},
    };
    const bool withTenHours = qEnvironmentVariableIntValue("BENCH_TEN_HOURS") == 1;
    for (const auto &[name, step] : jobs) {
        std::printf("  %-12s %7.1f MB %7.1f MB", name, peakOf(ten, step), peakOf(hour, step));
        // A ten-hour WAV would pass the format's 4 GB limit; the others take some ten minutes of
        // CPU each on it, so they run only when asked for.
        if (withTenHours && std::strcmp(name, "mp3towav") != 0)
            std::printf(" %7.1f MB\n", peakOf(tenHours, step));
        else
            std::printf(" %10s\n", withTenHours ? "(> 4 GB)" : "(skipped)");
    }
    if (!withTenHours)
        std::printf("  (BENCH_TEN_HOURS=1 adds the ten-hour column: some ten minutes of CPU per job)\n");
    return 0;
}

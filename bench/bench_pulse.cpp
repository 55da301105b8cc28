// Records a minute of music-like audio played into a private PulseAudio daemon's null sink from
// its monitor, through CaptureEngine and Mp3Encoder at 160 kbit/s, while `parec | lame -r`
// records the same monitor at the same time, and prints the CPU seconds per minute of audio
// side by side, with what either lost.
#include "benchsupport.h"
#include "capturedbytes.h"
#include "core/record/captureengine.h"
#include "core/settings/recordersettings.h"
#include "platform/pulseaudioinput.h"
#include "platform/pulsecontext.h"
#include "pulsedaemon.h"

#include <QFile>
#include <QTemporaryDir>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

using namespace sonavell;
using namespace sonavell::bench;

namespace {

constexpr int kSeconds = 60;
constexpr int kBitRate = 160;

void report(const char *name, double cpu)
{
    std::printf("%-40s %7.2f s CPU  %6.3f CPU s per audio minute\n", name, cpu, cpu / (kSeconds / 60.0));
}

} // namespace

int main()
{
    test::PulseDaemon daemon;
    QString error;
    if (!daemon.start(&error)) {
        std::printf("bench_pulse: no PulseAudio daemon (install pulseaudio pulseaudio-utils): %s\n", qPrintable(error));
        return 0;
    }
    std::shared_ptr<PulseContext> pulse = PulseContext::connect(daemon.server(), &error);
    if (!pulse) {
        std::fprintf(stderr, "bench_pulse: %s\n", qPrintable(error));
        return 1;
    }
    const QString monitor = QString::fromLatin1(test::PulseDaemon::kSinkName) + QStringLiteral(".monitor");
    pulse->chooseSource(monitor);

    QTemporaryDir folder;
    // A few seconds more than is recorded, so the player is still running when both have stopped.
    const QByteArray pcm = musicLikePcm(kSeconds + 5, 4711);
    const QString raw = folder.filePath(QStringLiteral("music.raw"));
    {
        QFile file(raw);
        if (!file.open(QIODevice::WriteOnly) || file.write(pcm) != pcm.size())
            return 1;
    }
    QProcess player;
    player.start(QStringLiteral("paplay"), {QStringLiteral("--raw"), raw});
    if (!player.waitForStarted())
        return 1;

    const std::uint64_t bytes = std::uint64_t(kRate) * 4 * kSeconds;
    // parec reads the monitor as a second client at the same time; head ends it after the minute.
    const QByteArray command = "parec -d " + monitor.toUtf8() + " --raw --format=s16le --rate=44100 --channels=2 2>/dev/null | head -c "
                               + QByteArray::number(qulonglong(bytes))
                               + " | lame --quiet -r -s 44.1 --bitwidth 16 --signed --little-endian -m j -b "
                               + QByteArray::number(kBitRate) + " - "
                               + QFile::encodeName(folder.filePath(QStringLiteral("lame.mp3"))) + " 2>/dev/null";
    double pipeline = -1;
    std::thread other([&] {
        const double start = cpuSeconds(RUSAGE_CHILDREN);
        if (std::system(command.constData()) == 0)
            pipeline = cpuSeconds(RUSAGE_CHILDREN) - start;
    });

    double ours = 0;
    std::uint64_t overruns = 0;
    std::uint64_t lostMs = 0;
    {
        PulseAudioInput input(pulse);
        const RecorderSettings defaults;
        CaptureEngine engine(input, defaults);
        WaveFormat format;
        format.channels = 2;
        format.samplesPerSec = kRate;
        engine.setRecordFormat(format);
        engine.setBitRate(kBitRate);
        test::CapturedBytes minute(engine, bytes);
        engine.setListener(&minute);
        const double start = cpuSeconds(RUSAGE_SELF);
        if (!engine.open(folder.filePath(QStringLiteral("ours.mp3"))) || !engine.start()) {
            std::fprintf(stderr, "capture did not start: %s\n", qPrintable(engine.errorText()));
            other.join();
            return 1;
        }
        minute.wait();
        engine.setListener(nullptr);
        engine.stop();
        overruns = engine.overrunCount();
        lostMs = engine.lostMilliseconds();
        engine.close();
        ours = cpuSeconds(RUSAGE_SELF) - start;
    }
    other.join();
    player.kill();
    player.waitForFinished();

    report("sound server: CaptureEngine + Mp3Encoder", ours);
    std::printf("  overflow notices %llu, lost %llu ms\n", static_cast<unsigned long long>(overruns),
                static_cast<unsigned long long>(lostMs));
    if (pipeline < 0) {
        std::printf("parec | lame not available (install pulseaudio-utils and lame)\n");
        return 0;
    }
    report("parec | head | lame -r, 160k", pipeline);
    std::printf("ratio ours/pipeline: %.3f (target <= 1.0)\n", ours / pipeline);
    return 0;
}

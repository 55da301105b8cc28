// Captures five minutes of generated 44.1 kHz stereo PCM from ALSA's file device at full speed
// through CaptureEngine and Mp3Encoder at 160 kbit/s, then the same input through
// `arecord | lame -r`, and prints the CPU seconds per minute of audio side by side.
#include "benchsupport.h"
#include "capturedbytes.h"
#include "core/record/captureengine.h"
#include "core/settings/recordersettings.h"
#include "platform/alsaaudioinput.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include <sys/resource.h>

using namespace sonavell;
using namespace sonavell::bench;

namespace {

constexpr int kSeconds = 300;
constexpr int kBitRate = 160;

void report(const char *name, double cpu)
{
    std::printf("%-36s %7.2f s CPU  %6.3f CPU s per audio minute\n", name, cpu, cpu / (kSeconds / 60.0));
}

} // namespace

int main()
{
    QTemporaryDir folder;
    const QByteArray pcm = musicLikePcm(kSeconds, 4711);
    const QString raw = folder.filePath(QStringLiteral("input.raw"));
    {
        QFile file(raw);
        if (!file.open(QIODevice::WriteOnly) || file.write(pcm) != pcm.size())
            return 1;
    }
    const QByteArray config = QStringLiteral("pcm.card { type file slave.pcm { type null } file \"/dev/null\" "
                                             "infile \"%1\" format raw }\n").arg(raw).toUtf8();
    const QString configPath = folder.filePath(QStringLiteral("alsa.conf"));
    {
        QFile file(configPath);
        if (!file.open(QIODevice::WriteOnly) || file.write(config) != config.size())
            return 1;
    }

    double ours = 0;
    {
        AlsaAudioInput input(QStringLiteral("card"), config);
        const RecorderSettings defaults;
        CaptureEngine engine(input, defaults);
        WaveFormat format;
        format.channels = 2;
        format.samplesPerSec = kRate;
        engine.setRecordFormat(format);
        engine.setBitRate(kBitRate);
        test::CapturedBytes end(engine, static_cast<std::uint64_t>(pcm.size()));
        engine.setListener(&end);
        const double start = cpuSeconds(RUSAGE_SELF);
        if (!engine.open(folder.filePath(QStringLiteral("ours.mp3"))) || !engine.start()) {
            std::fprintf(stderr, "capture did not start: %s\n", qPrintable(engine.errorText()));
            return 1;
        }
        end.wait();
        engine.setListener(nullptr);
        engine.stop();
        engine.close();
        ours = cpuSeconds(RUSAGE_SELF) - start;
        std::printf("overruns %llu\n", static_cast<unsigned long long>(engine.overrunCount()));
    }
    report("CaptureEngine + Mp3Encoder, 160k", ours);

    // arecord reads the same device from the same configuration file, lame encodes its output.
    const QByteArray command = "ALSA_CONFIG_PATH=" + QFile::encodeName(configPath) + " arecord -q -D card -f S16_LE -c 2 -r "
                               + QByteArray::number(kRate) + " -t raw -s " + QByteArray::number(qint64(kRate) * kSeconds)
                               + " | lame --quiet -r -s 44.1 --bitwidth 16 --signed --little-endian -m j -b "
                               + QByteArray::number(kBitRate) + " - " + QFile::encodeName(folder.filePath(QStringLiteral("lame.mp3"))) + " 2>/dev/null";
    const double start = cpuSeconds(RUSAGE_CHILDREN);
    if (std::system(command.constData()) != 0) {
        std::printf("arecord | lame not available (install alsa-utils and lame)\n");
        return 0;
    }
    const double pipeline = cpuSeconds(RUSAGE_CHILDREN) - start;
    report("arecord | lame -r, 160k", pipeline);
    std::printf("ratio ours/pipeline: %.3f (target <= 1.0)\n", ours / pipeline);
    return 0;
}

// Encodes ten minutes of generated 44.1 kHz stereo PCM at 128 kbit/s through Mp3Encoder, then
// the same PCM through the lame command-line encoder, and prints both times side by side.
#include "encode/mp3encoder.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>

#include <sys/resource.h>

using namespace sonavell;

namespace {

constexpr int kRate = 44100;
constexpr int kSeconds = 600;

QByteArray musicLikePcm()
{
    const qsizetype frames = qsizetype(kRate) * kSeconds;
    QByteArray pcm(frames * 4, '\0');
    auto *out = reinterpret_cast<std::int16_t *>(pcm.data());
    std::uint32_t noise = 12345;
    for (qsizetype i = 0; i < frames; ++i) {
        const double t = double(i) / kRate;
        noise = noise * 1664525u + 1013904223u;
        const double n = (int(noise >> 16) - 32768) / 32768.0;
        const double left = 0.3 * std::sin(2 * std::numbers::pi * 220 * t) + 0.2 * std::sin(2 * std::numbers::pi * 1330 * t) + 0.05 * n;
        const double right = 0.3 * std::sin(2 * std::numbers::pi * 330 * t) + 0.1 * std::sin(2 * std::numbers::pi * 5000 * t) + 0.05 * n;
        out[2 * i] = static_cast<std::int16_t>(left * 32767);
        out[2 * i + 1] = static_cast<std::int16_t>(right * 32767);
    }
    return pcm;
}

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// CPU seconds of this process or of its finished children: the machine may be busy, so
// wall time alone would mostly measure the neighbours.
double cpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void report(const char *name, double wall, double cpu)
{
    std::printf("%-30s %7.2f s wall %7.2f s CPU  %6.1fx real time (CPU)\n", name, wall, cpu, kSeconds / cpu);
}

} // namespace

int main()
{
    QTemporaryDir folder;
    const QByteArray pcm = musicLikePcm();
    const QString rawPath = folder.filePath(QStringLiteral("input.raw"));
    {
        QFile raw(rawPath);
        if (!raw.open(QIODevice::WriteOnly) || raw.write(pcm) != pcm.size())
            return 1;
    }

    WaveFormat format;
    format.channels = 2;
    format.samplesPerSec = kRate;
    format = format.normalizedPcm();
    Mp3Encoder encoder;
    encoder.setFormat(format);
    encoder.setBitRate(128);
    encoder.setPath(folder.filePath(QStringLiteral("ours.mp3")));
    auto start = std::chrono::steady_clock::now();
    double cpuStart = cpuSeconds(RUSAGE_SELF);
    if (!encoder.start(0)) {
        std::fprintf(stderr, "encoder did not start\n");
        return 1;
    }
    const qsizetype chunk = encoder.bytesPerChunk();
    QByteArray last(chunk, '\0');
    for (qsizetype at = 0; at < pcm.size(); at += chunk) {
        if (at + chunk <= pcm.size()) {
            encoder.encodeChunk(pcm.constData() + at);
        } else {
            std::memcpy(last.data(), pcm.constData() + at, static_cast<std::size_t>(pcm.size() - at));
            encoder.encodeChunk(last.constData());
        }
    }
    encoder.finish();
    const double ours = cpuSeconds(RUSAGE_SELF) - cpuStart;
    report("Mp3Encoder, 128 kbit/s", secondsSince(start), ours);

    const QByteArray command = "lame --quiet -r -s 44.1 --bitwidth 16 --signed --little-endian -m s -b 128 -t "
                               + QFile::encodeName(rawPath) + " " + QFile::encodeName(folder.filePath(QStringLiteral("lame.mp3")));
    start = std::chrono::steady_clock::now();
    cpuStart = cpuSeconds(RUSAGE_CHILDREN);
    if (std::system(command.constData()) != 0) {
        std::printf("lame command-line encoder not available\n");
        return 0;
    }
    const double lame = cpuSeconds(RUSAGE_CHILDREN) - cpuStart;
    report("lame command line, 128 kbit/s", secondsSince(start), lame);
    std::printf("ratio ours/lame: %.3f (target <= 1.05)\n", ours / lame);
    return 0;
}

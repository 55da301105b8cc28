// Re-encodes a ten-minute 128 kbit/s MP3 to 64 kbit/s in place and decodes it to a WAV file,
// as the file operations do, and prints the times beside a decode-only pass.
#include "encode/mp3encoder.h"
#include "process/batchjob.h"
#include "process/decoder.h"
#include "process/mp3towavjob.h"
#include "process/reencode.h"
#include "settings/recordersettings.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <numbers>

#include <sys/resource.h>

using namespace sonavell;

namespace {

constexpr int kRate = 44100;
constexpr int kSeconds = 600;

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Times one step in wall and CPU seconds; the machine may be shared, so CPU time is the figure to compare.
template<typename Step>
void measure(const char *name, Step step)
{
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = cpuSeconds();
    step();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = cpuSeconds() - cpuStart;
    std::printf("%-36s %7.2f s wall %7.2f s CPU  %6.1fx real time (CPU)\n", name, wall, cpu, kSeconds / cpu);
}

bool writeSourceMp3(const QString &path)
{
    WaveFormat format;
    format.channels = 2;
    format.samplesPerSec = kRate;
    format = format.normalizedPcm();
    Mp3Encoder encoder;
    encoder.setFormat(format);
    encoder.setBitRate(128);
    encoder.setPath(path);
    if (!encoder.start(0))
        return false;
    QByteArray chunk(static_cast<qsizetype>(encoder.bytesPerChunk()), '\0');
    auto *out = reinterpret_cast<std::int16_t *>(chunk.data());
    const qsizetype framesPerChunk = chunk.size() / 4;
    std::uint32_t noise = 12345;
    for (qsizetype frame = 0; frame < qsizetype(kRate) * kSeconds; frame += framesPerChunk) {
        for (qsizetype i = 0; i < framesPerChunk; ++i) {
            const double t = double(frame + i) / kRate;
            noise = noise * 1664525u + 1013904223u;
            const double n = (int(noise >> 16) - 32768) / 32768.0;
            out[2 * i] = static_cast<std::int16_t>(32767 * (0.3 * std::sin(2 * std::numbers::pi * 220 * t) + 0.05 * n));
            out[2 * i + 1] = static_cast<std::int16_t>(32767 * (0.3 * std::sin(2 * std::numbers::pi * 330 * t) + 0.05 * n));
        }
        encoder.encodeChunk(chunk.constData());
    }
    return encoder.finish();
}

class ReencodeJob : public BatchJob
{
public:
    using BatchJob::BatchJob;
    void processFile(const QString &path) override { ok = reencodeFile(*this, path, 64, 1.0f); }
    bool ok = false;
};

} // namespace

int main()
{
    QTemporaryDir folder;
    overrideDataFolder(folder.filePath(QStringLiteral("Data")));
    const QString mp3 = folder.filePath(QStringLiteral("input.mp3"));
    if (!writeSourceMp3(mp3)) {
        std::fprintf(stderr, "encoder did not start\n");
        return 1;
    }
    std::printf("input: %d s, 44.1 kHz stereo, 128 kbit/s, %lld bytes\n", kSeconds, static_cast<long long>(QFile(mp3).size()));

    measure("decode only (runDecoder)", [&] {
        QByteArray image;
        readWholeFile(mp3, &image);
        int frames = 0;
        runDecoder(std::move(image), [&frames](const DecodedFrame &) {
            ++frames;
            return DecodeFlow::Continue;
        });
    });

    ReencodeJob reencode({mp3});
    measure("re-encode 128 -> 64 kbit/s in place", [&] { reencode.run(); });
    if (!reencode.ok) {
        std::fprintf(stderr, "re-encode failed\n");
        return 1;
    }

    Mp3ToWavJob toWav({mp3});
    toWav.setOutputFolder(folder.path());
    measure("decode 64 kbit/s MP3 to WAV", [&] { toWav.run(); });
    std::printf("output: %lld bytes MP3, %lld bytes WAV\n", static_cast<long long>(QFile(mp3).size()),
                static_cast<long long>(QFile(folder.filePath(QStringLiteral("input.Wav"))).size()));
    return 0;
}

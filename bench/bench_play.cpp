// Playback and waveform engines from the page cache: the peak file of a 60-minute 16-bit stereo
// WAV (aim: 1 GB/s or more), rebuilding the waveform's point caches after each zoom step for
// that file (aim: under 10 ms of thread CPU time), and the media player's seek in a 60-minute
// MP3 once it is open (aim: under 5 ms). Prints results only.
#include "core/encode/mp3encoder.h"
#include "core/mp3/mp3frametable.h"
#include "core/play/mediawindowplayer.h"
#include "core/play/peakfile.h"
#include "core/play/wavedocument.h"
#include "core/process/wavefile.h"
#include "platform/fakeaudiooutput.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include <time.h>

using namespace sonavell;

namespace {

constexpr int kRate = 44100;
constexpr int kMinutes = 60;

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

WaveFormat stereo16()
{
    return WaveFormat{1, 2, kRate, 0, 0, 16, 0}.normalizedPcm();
}

// One second of a two-channel tone, so that every block of the file is real audio.
QByteArray toneSecond()
{
    QByteArray pcm(kRate * 4, '\0');
    for (int i = 0; i < kRate; ++i) {
        const auto left = static_cast<std::int16_t>(std::lround(12000 * std::sin(2 * std::numbers::pi * 440.0 * i / kRate)));
        const auto right = static_cast<std::int16_t>(std::lround(8000 * std::sin(2 * std::numbers::pi * 660.0 * i / kRate)));
        std::memcpy(pcm.data() + i * 4, &left, 2);
        std::memcpy(pcm.data() + i * 4 + 2, &right, 2);
    }
    return pcm;
}

bool writeLongWave(const QString &path)
{
    const WaveFormat format = stereo16();
    WaveFile file;
    if (file.open(path, &format, WaveFile::WriteMode) != WaveFile::Result::Success)
        return false;
    const QByteArray second = toneSecond();
    for (int s = 0; s < kMinutes * 60; ++s) {
        std::uint32_t written = 0;
        if (file.write(static_cast<std::uint32_t>(second.size()), second.constData(), &written) != WaveFile::Result::Success)
            return false;
    }
    return file.close() == WaveFile::Result::Success;
}

void warm(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    QByteArray block(1 << 20, '\0');
    while (file.read(block.data(), block.size()) > 0) {
    }
}

// One minute encoded once, its audio frames repeated to an hour.
bool writeLongMp3(const QString &dir, const QString &path)
{
    const QString minutePath = dir + QStringLiteral("/minute.mp3");
    Mp3Encoder encoder;
    encoder.setFormat(stereo16());
    encoder.setPath(minutePath);
    encoder.setBitRate(128);
    if (!encoder.start())
        return false;
    const QByteArray second = toneSecond();
    QByteArray minute;
    for (int s = 0; s < 60; ++s)
        minute += second;
    const auto chunk = static_cast<qsizetype>(encoder.bytesPerChunk());
    for (qsizetype at = 0; at < minute.size(); at += chunk) {
        QByteArray piece = minute.mid(at, chunk);
        piece.resize(chunk, '\0');
        encoder.encodeChunk(piece.constData());
    }
    if (!encoder.finish())
        return false;
    Mp3FrameTable table;
    if (!table.build(minutePath))
        return false;
    QFile in(minutePath);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = in.readAll();
    const QByteArray audio = bytes.mid(table.frame(0).offset, table.audioEnd() - table.frame(0).offset);
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    for (int m = 0; m < kMinutes; ++m)
        out.write(audio);
    return true;
}

void benchPeaks(const QString &wavePath)
{
    const qint64 bytes = QFile(wavePath).size();
    warm(wavePath);
    double best = 1e9;
    for (int round = 0; round < 3; ++round) {
        const auto start = Clock::now();
        peakfile::build(wavePath, peakfile::pathFor(wavePath), false);
        best = std::min(best, secondsSince(start));
    }
    std::printf("peak file, %d min 16-bit stereo WAV (%.0f MB)   %8.3f s  %6.2f GB/s   (aim: 1 GB/s or more)\n", kMinutes,
                double(bytes) / 1e6, best, double(bytes) / best / 1e9);
}

// CPU time of the calling thread: the machine is shared, so wall time mostly measures the neighbours.
double threadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

void benchCaches(const QString &wavePath)
{
    WaveDocument document;
    document.load(wavePath); // reuses the peak file written above
    constexpr int kHeight = 400;
    constexpr int kSweeps = 3;
    auto cpuStart = threadCpuSeconds();
    document.updateCaches(kHeight);
    std::printf("point caches, first build after load at zoom %d: %.2f ms CPU\n", document.zoom(),
                (threadCpuSeconds() - cpuStart) * 1e3);
    std::printf("point caches after a zoom step (view %d px high), thread CPU time, %d sweeps in and out:\n",
                kHeight, kSweeps);
    struct Step
    {
        const char *direction;
        int zoom;
        int columns;
        std::vector<double> cpu;
        double wall = 0;
    };
    std::vector<Step> steps;
    for (int sweep = 0; sweep < kSweeps; ++sweep) {
        std::size_t index = 0;
        auto measure = [&](const char *direction) {
            const auto wallStart = Clock::now();
            cpuStart = threadCpuSeconds();
            document.updateCaches(kHeight);
            const double cpu = threadCpuSeconds() - cpuStart;
            const double wall = secondsSince(wallStart);
            if (index == steps.size())
                steps.push_back(Step{direction, document.zoom(), document.cacheCount() / 2, {}, 0});
            steps[index].cpu.push_back(cpu);
            steps[index].wall = std::max(steps[index].wall, wall);
            ++index;
        };
        while (document.zoomIn())
            measure("in");
        while (document.zoomOut())
            measure("out");
    }
    double worst = 0;
    for (Step &step : steps) {
        std::sort(step.cpu.begin(), step.cpu.end());
        worst = std::max(worst, step.cpu.back());
        std::printf(
            "  %-4s to zoom %7d: %6d columns  CPU median %6.2f ms  worst %6.2f ms   (wall worst %7.2f ms)\n",
            step.direction, step.zoom, step.columns, step.cpu[step.cpu.size() / 2] * 1e3,
            step.cpu.back() * 1e3, step.wall * 1e3);
    }
    std::printf("point caches, slowest rebuild (CPU)              %7.2f ms   (aim: under 10 ms)\n",
                worst * 1e3);
}

void benchSeek(const QString &mp3Path)
{
    warm(mp3Path);
    FakeAudioOutput output;
    output.allowBuffers(0); // the device takes the queue but plays nothing: only the seek is timed
    MediaWindowPlayer player(output);
    player.setPath(mp3Path);
    auto start = Clock::now();
    const bool opened = player.open();
    const double openSeconds = secondsSince(start);
    if (!opened) {
        std::printf("media player: cannot open the MP3\n");
        return;
    }
    std::printf("media player, first open of a %lld min MP3 (frame table)  %7.2f ms\n",
                static_cast<long long>(player.length() / 60000), openSeconds * 1e3);
    std::mt19937 random(7);
    std::uniform_int_distribution<qint64> at(0, player.length() - 1);
    std::vector<double> times;
    for (int i = 0; i < 300; ++i) {
        const qint64 ms = at(random);
        start = Clock::now();
        player.seekAndPlay(ms);
        times.push_back(secondsSince(start));
    }
    std::sort(times.begin(), times.end());
    std::printf("media player seek and play (300 random)  median %6.3f ms  worst %6.3f ms   (aim: under 5 ms)\n",
                times[times.size() / 2] * 1e3, times.back() * 1e3);
    player.stopAndClose();
}

} // namespace

// With arguments, runs only the named parts ("peaks", "caches", "seek"); the cache part builds the
// peak file itself when "peaks" did not run.
int main(int argc, char **argv)
{
    const auto wanted = [&](const char *part) {
        if (argc < 2)
            return true;
        for (int i = 1; i < argc; ++i) {
            if (std::string(argv[i]) == part)
                return true;
        }
        return false;
    };
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const QString wavePath = dir.filePath(QStringLiteral("hour.wav"));
    const QString mp3Path = dir.filePath(QStringLiteral("hour.mp3"));
    std::printf("Generating a %d-minute WAV and MP3...\n", kMinutes);
    if ((wanted("peaks") || wanted("caches")) && !writeLongWave(wavePath)) {
        std::printf("Cannot write the test WAV\n");
        return 1;
    }
    if (wanted("seek") && !writeLongMp3(dir.path(), mp3Path)) {
        std::printf("Cannot write the test MP3 (is the encoder library installed?)\n");
        return 1;
    }
    if (wanted("peaks"))
        benchPeaks(wavePath);
    if (wanted("caches"))
        benchCaches(wavePath);
    if (wanted("seek"))
        benchSeek(mp3Path);
    return 0;
}

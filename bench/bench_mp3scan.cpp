// The MP3 file model's speed from the page cache: scanning 1,000 files with their playing time
// (from the Info tag, and by walking every frame where there is none), and a lossless copy of
// a 60-minute file. Aims: the scan of tagged files under 1 s, the walk and the copy at 1 GB/s.
#include "core/mp3/medialength.h"
#include "core/mp3/mp3fileinfo.h"
#include "core/mp3/mpegheader.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>

using namespace sonavell;

namespace {

constexpr int kFiles = 1000;
constexpr int kFileSeconds = 12;
constexpr int kLongFileSeconds = 60 * 60;
constexpr int kRepeats = 3;

// MPEG-1 Layer III, 44100 Hz, joint stereo; the bitrate index varies for a VBR-like stream.
QByteArray frame(int bitrateIndex, int padding, std::uint32_t &noise)
{
    const std::uint32_t header = 0xFFFB0040u | std::uint32_t(bitrateIndex) << 12 | std::uint32_t(padding) << 9;
    const int bitrate = mpeg::bitrateKbps(MpegVersion::Mpeg1, 3, bitrateIndex);
    QByteArray bytes(mpeg::frameLength(MpegVersion::Mpeg1, 3, bitrate, 44100, padding), '\0');
    for (int i = 4; i < bytes.size(); ++i) {
        noise = noise * 1664525u + 1013904223u;
        bytes[i] = char(noise >> 24);
    }
    for (int i = 0; i < 4; ++i)
        bytes[i] = char(header >> (24 - 8 * i));
    return bytes;
}

QByteArray stream(int seconds, bool infoTag)
{
    const int frames = seconds * 44100 / 1152;
    std::uint32_t noise = 1;
    QByteArray bytes;
    if (infoTag) {
        QByteArray info = frame(9, 0, noise);
        info.replace(36, 12, QByteArray("Info\0\0\0\x01", 8) + QByteArray(4, '\0'));
        for (int i = 0; i < 4; ++i)
            info[44 + i] = char(std::uint32_t(frames) >> (24 - 8 * i));
        bytes += info;
    }
    static const int kIndexes[] = {9, 9, 10, 11, 9, 8, 12, 9};
    for (int i = 0; i < frames; ++i)
        bytes += frame(kIndexes[i % 8], i % 3 == 0, noise);
    return bytes;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Best of kRepeats runs, in seconds; the first run also warms the page cache.
double bestSeconds(const std::function<void()> &run)
{
    double best = 1e9;
    for (int i = 0; i < kRepeats; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

void report(const char *what, double seconds, qint64 bytes, const char *aim)
{
    std::printf("%-44s %8.3f s  %7.2f GB/s   (%s)\n", what, seconds, double(bytes) / seconds / 1e9, aim);
}

} // namespace

int main()
{
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    std::printf("Generating %d files of %d s and one of %d min...\n", 2 * kFiles, kFileSeconds, kLongFileSeconds / 60);
    const QByteArray tagged = stream(kFileSeconds, true);
    const QByteArray plain = stream(kFileSeconds, false);
    for (int i = 0; i < kFiles; ++i) {
        if (!writeFile(dir.filePath(QStringLiteral("info%1.mp3").arg(i)), tagged)
            || !writeFile(dir.filePath(QStringLiteral("plain%1.mp3").arg(i)), plain))
            return 1;
    }
    const QString longPath = dir.filePath(QStringLiteral("long.mp3"));
    const QByteArray longStream = stream(kLongFileSeconds, false);
    if (!writeFile(longPath, longStream))
        return 1;
    const QString cutPath = dir.filePath(QStringLiteral("cut.mp3"));

    long long checksum = 0;
    auto scanAll = [&](const char *prefix) {
        for (int i = 0; i < kFiles; ++i) {
            Mp3FileInfo info;
            info.scanFile(dir.filePath(QStringLiteral("%1%2.mp3").arg(QLatin1String(prefix)).arg(i)), true);
            checksum += info.durationSeconds;
        }
    };
    report("scanFile + length, 1000 files with Info tag", bestSeconds([&] { scanAll("info"); }),
           qint64(kFiles) * tagged.size(), "aim: under 1 s");
    report("scanFile + length, 1000 files, frame walk", bestSeconds([&] { scanAll("plain"); }),
           qint64(kFiles) * plain.size(), "aim: 1 GB/s");
    report("queryMediaLength, 60-minute file walk", bestSeconds([&] { checksum += queryMediaLength(longPath); }),
           longStream.size(), "aim: 1 GB/s");
    report("copyFramesByTime, whole 60-minute file", bestSeconds([&] {
               Mp3FileInfo copier;
               checksum += copier.copyFramesByTime(longPath, cutPath, 0.0f, float(kLongFileSeconds));
           }),
           longStream.size(), "aim: 1 GB/s");
    const bool copyExact = QFile(cutPath).size() == longStream.size();
    std::printf("copy complete: %s; durations: %lld\n", copyExact ? "yes" : "NO", checksum);
    return copyExact ? 0 : 1;
}

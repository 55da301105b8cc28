#pragma once

// What the benchmarks share: a music-like test signal, CPU clocks, a timed step, and steps run
// in child processes, ours and a peer's in turn, compared by their medians.

#include "core/encode/mp3encoder.h"
#include "core/mp3/framereader.h"
#include "core/mp3/framewalker.h"
#include "core/record/captureengine.h"

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <QFile>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <numbers>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace sonavell::bench {

constexpr int kRate = 44100;

// 16-bit stereo: two tones per channel and a little noise, so the encoder works as on music.
class MusicLikeSignal
{
public:
    explicit MusicLikeSignal(std::uint32_t seed = 12345) : m_noise(seed) {}

    void fill(std::int16_t *out, qsizetype frames)
    {
        constexpr double pi2 = 2 * std::numbers::pi;
        for (qsizetype i = 0; i < frames; ++i, ++m_frame) {
            const double t = double(m_frame) / kRate;
            m_noise = m_noise * 1664525u + 1013904223u;
            const double n = (int(m_noise >> 16) - 32768) / 32768.0;
            const double left = 0.3 * std::sin(pi2 * 220 * t) + 0.2 * std::sin(pi2 * 1330 * t) + 0.05 * n;
            const double right = 0.3 * std::sin(pi2 * 330 * t) + 0.1 * std::sin(pi2 * 5000 * t) + 0.05 * n;
            out[2 * i] = static_cast<std::int16_t>(left * 32767);
            out[2 * i + 1] = static_cast<std::int16_t>(right * 32767);
        }
    }

private:
    std::uint32_t m_noise;
    qsizetype m_frame = 0;
};

inline QByteArray musicLikePcm(int seconds, std::uint32_t seed = 12345)
{
    const qsizetype frames = qsizetype(kRate) * seconds;
    QByteArray pcm(frames * 4, '\0');
    MusicLikeSignal(seed).fill(reinterpret_cast<std::int16_t *>(pcm.data()), frames);
    return pcm;
}

inline WaveFormat stereoCdFormat()
{
    WaveFormat format;
    format.channels = 2;
    format.samplesPerSec = kRate;
    return format.normalizedPcm();
}

// Encodes the signal chunk by chunk, so a long file never sits in memory as PCM.
inline bool writeMusicLikeMp3(const QString &path, int seconds, int bitRate = 128)
{
    Mp3Encoder encoder;
    encoder.setFormat(stereoCdFormat());
    encoder.setBitRate(bitRate);
    encoder.setPath(path);
    if (!encoder.start(0))
        return false;
    QByteArray chunk(static_cast<qsizetype>(encoder.bytesPerChunk()), '\0');
    const qsizetype framesPerChunk = chunk.size() / 4;
    MusicLikeSignal signal;
    for (qsizetype frame = 0; frame < qsizetype(kRate) * seconds; frame += framesPerChunk) {
        signal.fill(reinterpret_cast<std::int16_t *>(chunk.data()), framesPerChunk);
        encoder.encodeChunk(chunk.constData());
    }
    return encoder.finish();
}

// CPU seconds of this process (RUSAGE_SELF) or of its finished children (RUSAGE_CHILDREN).
inline double cpuSeconds(int who = RUSAGE_SELF)
{
    rusage usage{};
    getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
           + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs one step, prints its wall and CPU time (this process and the children it waited for)
// with the speed against the audio's length, and returns the CPU seconds.
template<typename Step>
double measure(const char *name, double audioSeconds, Step step)
{
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = cpuSeconds(RUSAGE_SELF) + cpuSeconds(RUSAGE_CHILDREN);
    const bool ok = step();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = cpuSeconds(RUSAGE_SELF) + cpuSeconds(RUSAGE_CHILDREN) - cpuStart;
    std::printf("%-46s %7.2f s wall %7.2f s CPU %8.1fx real time (CPU)%s\n", name, wall, cpu,
                cpu > 0 ? audioSeconds / cpu : 0.0, ok ? "" : "  FAILED");
    std::fflush(stdout);
    return cpu;
}

// Runs a command-line tool to its end; true when it exited normally with status 0.
inline bool runTool(const QString &program, const QStringList &args)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, args);
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// The largest resident size this process has had, in bytes.
inline qint64 peakResidentBytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return qint64(usage.ru_maxrss) * 1024;
}

struct Run
{
    double wall = 0;
    double cpu = 0;
    double peakMb = 0;
    bool ok = false;
};

// One step run in a child process: its wall and CPU time and its peak resident memory.
// Forks; the child does the step (ours) or runs the program (a peer) and the parent waits for it.
inline Run inChild(const std::function<bool()> &step)
{
    std::fflush(stdout);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(step() ? 0 : 1);
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    Run run;
    run.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
              + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    run.peakMb = double(usage.ru_maxrss) / 1024.0;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

inline bool exec(const QString &program, const QStringList &args)
{
    std::vector<QByteArray> bytes{QFile::encodeName(program)};
    for (const QString &arg : args)
        bytes.push_back(QFile::encodeName(arg));
    std::vector<char *> argv;
    for (QByteArray &b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    const int devnull = ::open("/dev/null", O_WRONLY);
    ::dup2(devnull, 1);
    ::execv(argv[0], argv.data());
    return false;
}

inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

struct Rows
{
    std::vector<double> wall, cpu, peak;
    bool ok = true;
    void add(const Run &run)
    {
        wall.push_back(run.wall);
        cpu.push_back(run.cpu);
        peak.push_back(run.peakMb);
        ok = ok && run.ok;
    }
    void print(const char *name) const
    {
        std::printf("  %-58s %7.2f s wall %7.2f s CPU %6.1f MB%s\n", name, median(wall), median(cpu), median(peak),
                    ok ? "" : "  FAILED");
    }
};

// Ours and the peer's take turns; prepare runs before each of them (fresh copies of inputs
// that are rewritten in place).
inline void compare(const char *title, int runs, const std::function<void()> &prepare, const char *oursName,
             const std::function<bool()> &ours, const char *peerName, const std::function<bool()> &peer,
             const char *target)
{
    std::printf("%s (medians of %d interleaved runs)\n", title, runs);
    Rows a, b;
    for (int i = 0; i < runs; ++i) {
        prepare();
        a.add(inChild(ours));
        if (peer) {
            prepare();
            b.add(inChild(peer));
        }
    }
    a.print(oursName);
    if (!peer) {
        std::printf("  (%s not installed: no peer row)\n\n", peerName);
        return;
    }
    b.print(peerName);
    std::printf("  ratio ours/peer: wall %.3f (target %s), CPU %.3f\n\n", median(a.wall) / median(b.wall), target,
                median(a.cpu) / median(b.cpu));
}

// The audio frames of a file without its Info frame, so that copies put end to end play as one.
inline QByteArray framesWithoutInfo(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    qint64 skip = 0;
    {
        FrameReader reader(file);
        FrameWalker walker(reader);
        MpegFrame frame;
        if (walker.next(frame) && frame.isVbrHeader)
            skip = frame.offset + frame.length;
    }
    file.seek(skip);
    return file.readAll();
}

} // namespace sonavell::bench

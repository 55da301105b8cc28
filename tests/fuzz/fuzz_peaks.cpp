// Arbitrary bytes as the peak file of a WAV: the first byte chooses the WAV's channels and
// sample width, the rest is the peak file. The WAV's data size is chosen so that the peak file
// has the size it implies (else it would only be rebuilt), and the peak file is made newer, so
// the document reads and derives its caches from these bytes at every zoom.
//
//   make fuzz && build-fuzz/tests/fuzz/fuzz_peaks -max_total_time=900 -max_len=16384 <corpus folder>

#include "core/play/peakfile.h"
#include "core/play/wavedocument.h"

#include "fuzzsupport.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <cstdint>

using namespace sonavell;
using namespace sonavell::fuzz;

namespace {

void appendU16(QByteArray &out, std::uint16_t v)
{
    out.append(char(v & 0xFF));
    out.append(char(v >> 8));
}

void appendU32(QByteArray &out, std::uint32_t v)
{
    appendU16(out, std::uint16_t(v & 0xFFFF));
    appendU16(out, std::uint16_t(v >> 16));
}

// The data size whose peak file has peakBytes bytes, or -1 when no data size gives that size.
qint64 dataBytesFor(qint64 peakBytes)
{
    constexpr qint64 kKeptPerBuffer = peakfile::kWriterBufferBytes - peakfile::kGroupBytes;
    constexpr qint64 kEntriesPerBuffer = peakfile::kWriterBufferBytes / peakfile::kGroupBytes;
    const qint64 rest = peakBytes % kKeptPerBuffer;
    if (rest % peakfile::kGroupBytes != 0)
        return -1;
    const qint64 entries = peakBytes / kKeptPerBuffer * kEntriesPerBuffer + (rest > 0 ? rest / peakfile::kGroupBytes + 1 : 0);
    return entries * peakfile::kGroupBytes * peakfile::kGroupsPerEntry;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const QString wavePath = scratchFolder() + QStringLiteral("/input.wav");
    if (size < 1)
        return 0;
    const QByteArray peaks = bytesOf(data + 1, size - 1);
    const qint64 dataBytes = dataBytesFor(peaks.size());
    if (dataBytes < 0)
        return 0;
    const std::uint16_t channels = (data[0] & 1) ? 2 : 1;
    const std::uint16_t bits = (data[0] & 2) ? 16 : 8;
    const std::uint32_t rate = 8000u << ((data[0] >> 2) & 3);
    QByteArray header("RIFF");
    appendU32(header, std::uint32_t(36 + dataBytes));
    header.append("WAVEfmt ");
    appendU32(header, 16);
    appendU16(header, 1);
    appendU16(header, channels);
    appendU32(header, rate);
    appendU32(header, rate * channels * bits / 8);
    appendU16(header, std::uint16_t(channels * bits / 8));
    appendU16(header, bits);
    header.append("data");
    appendU32(header, std::uint32_t(dataBytes));
    {
        // The samples are never read when the peak file is taken: a sparse file will do.
        QFile wave(wavePath);
        if (!wave.open(QIODevice::WriteOnly | QIODevice::Truncate) || wave.write(header) != header.size()
            || !wave.resize(header.size() + dataBytes))
            return 0;
    }
    const QString peakPath = peakfile::pathFor(wavePath);
    if (!writeFile(peakPath, peaks))
        return 0;
    {
        QFile peak(peakPath);
        if (!peak.open(QIODevice::ReadWrite)
            || !peak.setFileTime(QFileInfo(wavePath).lastModified().addSecs(10), QFileDevice::FileModificationTime))
            return 0;
    }

    WaveDocument document;
    check(document.load(wavePath), "load failed");
    check(fuzz::readFile(peakPath) == peaks, "a peak file of the right size was not reused");
    while (document.zoomIn()) {
    }
    do {
        for (const int height : {40, 333}) {
            document.updateCaches(height);
            for (const auto *cache : {&document.cacheA(), &document.cacheB()}) {
                for (const QPoint &point : *cache)
                    check(point.y() >= 0 && point.y() <= height, "a point outside its band");
            }
        }
    } while (document.zoomOut());
    return 0;
}

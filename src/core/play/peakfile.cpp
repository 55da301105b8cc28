#include "core/play/peakfile.h"

#include "core/io/regularfile.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>

namespace sonavell {

PeakWriter::PeakWriter(QIODevice &out, int bufferBytes)
    : m_out(out), m_buffer(static_cast<std::size_t>(bufferBytes - bufferBytes % peakfile::kGroupBytes))
{
}

void PeakWriter::flush()
{
    if (m_used >= peakfile::kGroupBytes) {
        const auto size = static_cast<qint64>(m_used - peakfile::kGroupBytes);
        if (size > 0 && m_out.write(reinterpret_cast<const char *>(m_buffer.data()), size) != size)
            m_ok = false;
    }
    m_used = 0;
}

bool PeakWriter::finish()
{
    flush();
    return m_ok;
}

namespace peakfile {

QString pathFor(const QString &wavePath)
{
    return wavePath.left(std::max<qsizetype>(0, wavePath.size() - 3)) + QStringLiteral("mmp");
}

qint64 expectedSize(qint64 dataBytes)
{
    constexpr qint64 kEntriesPerBuffer = kWriterBufferBytes / kGroupBytes;
    const qint64 entries = std::max<qint64>(0, dataBytes) / (kGroupBytes * kGroupsPerEntry);
    const qint64 rest = entries % kEntriesPerBuffer;
    return entries / kEntriesPerBuffer * (kWriterBufferBytes - kGroupBytes) + (rest > 0 ? (rest - 1) * kGroupBytes : 0);
}

bool build(const QString &wavePath, const QString &peakPath, bool mono, qint64 dataStart, qint64 dataBytes)
{
    QFile wave(wavePath);
    if (!openRegularFile(wave, QIODevice::Unbuffered))
        return false;
    QSaveFile peaks(peakPath);
    if (!peaks.open(QIODevice::WriteOnly))
        return false;
    PeakWriter writer(peaks);
    qint64 left = dataBytes < 0 ? wave.size() - dataStart : std::min(dataBytes, wave.size() - dataStart);
    if (left > 0 && wave.seek(dataStart)) {
        // kReadBlockBytes is a whole number of entries' spans, so each block starts a new span.
        static_assert(kReadBlockBytes % (kGroupBytes * kGroupsPerEntry) == 0);
        std::vector<std::uint8_t> block(kReadBlockBytes);
        constexpr qint64 kSpan = kGroupBytes * kGroupsPerEntry;
        std::uint8_t monoEntry[kGroupBytes];
        for (;;) {
            const qint64 got = wave.read(reinterpret_cast<char *>(block.data()), std::min<qint64>(kReadBlockBytes, left));
            if (got < 0)
                return false;
            left -= got;
            for (qint64 at = kSpan - kGroupBytes; at + kGroupBytes <= got; at += kSpan) {
                const std::uint8_t *group = block.data() + at;
                if (mono) {
                    monoEntry[0] = monoEntry[2] = group[0];
                    monoEntry[1] = monoEntry[3] = group[1];
                    writer.add(monoEntry);
                } else {
                    writer.add(group);
                }
            }
            if (got < kReadBlockBytes || left <= 0)
                break;
        }
    }
    return writer.finish() && peaks.commit();
}

} // namespace peakfile
} // namespace sonavell

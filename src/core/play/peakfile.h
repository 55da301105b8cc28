#pragma once

#include <QString>

#include <cstdint>
#include <vector>

class QIODevice;

namespace sonavell {

// The peak file beside a WAV file: a flat run of 4-byte entries, no header. Reading the WAV's
// samples as 4-byte groups from the start of its data, every 128th group (127, 255, ...) gives one entry: the group
// itself for stereo files, its first 16-bit word twice for mono files. An entry thus spans 128
// frames of 16-bit stereo, 256 of 16-bit mono or 8-bit stereo, 512 of 8-bit mono.
namespace peakfile {

constexpr int kGroupBytes = 4;
constexpr int kGroupsPerEntry = 128;
constexpr qint64 kWaveDataStart = 40; // right after a canonical header, for files without a data chunk
constexpr int kReadBlockBytes = 512000;
constexpr int kWriterBufferBytes = 256000;

// The WAV's path with its last three characters replaced by "mmp".
QString pathFor(const QString &wavePath);

// The size build() gives the peak file of dataBytes bytes of samples: one entry per 512 bytes,
// less the entry each writer buffer leaves out. A peak file of any other size is stale or damaged.
qint64 expectedSize(qint64 dataBytes);

// Writes the peak file for wavePath (replacing any old one through a temporary file, so an
// interrupted build never leaves a file that looks current). False when the WAV cannot be read
// or the peak file cannot be written.
// The samples are the dataBytes bytes from dataStart (-1: to the end of the file).
bool build(const QString &wavePath, const QString &peakPath, bool mono, qint64 dataStart = kWaveDataStart,
           qint64 dataBytes = -1);

} // namespace peakfile

// Collects entries and writes them in buffers of kWriterBufferBytes. Each buffer goes out
// without its last entry (a full one as 255,996 bytes, the final partial one as its length
// minus 4): the layout the view's readers expect.
class PeakWriter
{
public:
    explicit PeakWriter(QIODevice &out, int bufferBytes = peakfile::kWriterBufferBytes);

    // One 4-byte entry, as it lies in the WAV.
    void add(const std::uint8_t *entry)
    {
        std::uint8_t *to = m_buffer.data() + m_used;
        to[0] = entry[0];
        to[1] = entry[1];
        to[2] = entry[2];
        to[3] = entry[3];
        m_used += peakfile::kGroupBytes;
        if (m_used == m_buffer.size())
            flush();
    }
    // Writes what is left; false if any write fell short.
    bool finish();

private:
    void flush();

    QIODevice &m_out;
    std::vector<std::uint8_t> m_buffer;
    std::size_t m_used = 0;
    bool m_ok = true;
};

} // namespace sonavell

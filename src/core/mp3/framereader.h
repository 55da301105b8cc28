#pragma once

#include <QtGlobal>

#include <vector>

class QIODevice;

namespace sonavell {

// A read window over a random-access device, so that the frame search can step back and forth
// over raw bytes without a system call per step. Reads start small (a scan needs only the
// first frame) and grow while the caller keeps reading forward.
//
// The reader reads ahead, so the device position after use is wherever the last block ended.
class FrameReader
{
public:
    // The largest count peek() can return at once.
    static constexpr qint64 kMaxWindow = qint64(1) << 20;

    // Starts at the device's current position; the device must stay open while the reader lives.
    explicit FrameReader(QIODevice &device);

    QIODevice &device() { return m_device; }
    qint64 pos() const { return m_pos; }
    // Where the data ends for this reader: the file size, or less after setEnd().
    qint64 end() const { return m_end; }
    void setEnd(qint64 end);
    // Positions past the end are allowed; reads there return nothing.
    void seek(qint64 pos) { m_pos = pos < 0 ? 0 : pos; }
    void skip(qint64 count) { seek(m_pos + count); }

    // Up to count bytes (at most kMaxWindow) from pos() without moving it. available tells how
    // many are there: fewer than count only at the end or on a read error. The pointer stays
    // valid until the next peek().
    const unsigned char *peek(qint64 count, qint64 &available);

private:
    void fill(qint64 count);

    QIODevice &m_device;
    std::vector<unsigned char> m_buffer;
    qint64 m_bufferStart = 0;
    qint64 m_bufferLength = 0;
    qint64 m_pos = 0;
    qint64 m_end = 0;
    qint64 m_readSize = 16 * 1024;
};

} // namespace sonavell

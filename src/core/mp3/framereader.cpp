#include "core/mp3/framereader.h"

#include <QIODevice>

#include <algorithm>
#include <cstring>

namespace sonavell {

FrameReader::FrameReader(QIODevice &device)
    : m_device(device)
    , m_pos(device.pos())
    , m_end(device.size())
{
}

void FrameReader::setEnd(qint64 end)
{
    m_end = std::clamp<qint64>(end, 0, m_device.size());
    m_bufferLength = std::clamp<qint64>(m_end - m_bufferStart, 0, m_bufferLength);
}

const unsigned char *FrameReader::peek(qint64 count, qint64 &available)
{
    count = std::clamp<qint64>(count, 0, kMaxWindow);
    const qint64 bufferEnd = m_bufferStart + m_bufferLength;
    const bool inside = m_pos >= m_bufferStart && m_pos <= bufferEnd;
    // A window that already reaches the end has nothing more to read.
    if (!inside || (m_pos + count > bufferEnd && bufferEnd < m_end))
        fill(count);
    available = std::clamp<qint64>(m_bufferStart + m_bufferLength - m_pos, 0, count);
    return available > 0 ? m_buffer.data() + (m_pos - m_bufferStart) : nullptr;
}

// Moves the window to start at pos(), keeping the bytes already read, and reads at least count
// bytes more when the file has them.
void FrameReader::fill(qint64 count)
{
    qint64 kept = 0;
    const qint64 bufferEnd = m_bufferStart + m_bufferLength;
    if (m_pos >= m_bufferStart && m_pos < bufferEnd) {
        kept = bufferEnd - m_pos;
        std::memmove(m_buffer.data(), m_buffer.data() + (m_pos - m_bufferStart), size_t(kept));
    }
    m_bufferStart = m_pos;
    m_bufferLength = kept;
    if (m_pos >= m_end)
        return;

    const qint64 want = std::min({std::max(count, m_readSize), kMaxWindow, m_end - m_bufferStart});
    if (qint64(m_buffer.size()) < want)
        m_buffer.resize(size_t(want));
    m_readSize = std::min(m_readSize * 2, kMaxWindow);

    const qint64 readFrom = m_bufferStart + kept;
    const qint64 toRead = std::min(want - kept, m_end - readFrom);
    if (toRead <= 0)
        return;
    // Always seek: the device may have been moved by someone else since the last read.
    if (!m_device.seek(readFrom))
        return;
    qint64 got = 0;
    while (got < toRead) {
        const qint64 n = m_device.read(reinterpret_cast<char *>(m_buffer.data() + kept + got), toRead - got);
        if (n <= 0)
            break;
        got += n;
    }
    m_bufferLength += got;
}

} // namespace sonavell

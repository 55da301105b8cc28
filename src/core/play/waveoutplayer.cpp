#include "core/play/waveoutplayer.h"

#include "core/process/wavefile.h"

#include <cstring>

namespace sonavell {

WaveOutPlayer::WaveOutPlayer(AudioOutput &output)
    : m_output(output)
{
}

WaveOutPlayer::~WaveOutPlayer()
{
    // Unlike a bare close, stop resets the device first: freeing buffers it still holds would
    // leave it reading freed memory.
    stop();
    close();
}

bool WaveOutPlayer::open(const QString &path, qint64 startOffset, qint64 endOffset)
{
    stop();
    close();
    m_startOffset = 0;
    m_endOffset = endOffset;
    m_reader = std::make_unique<WaveFile>();
    if (m_reader->open(path, nullptr, WaveFile::ReadMode) != WaveFile::Result::Success)
        return false;
    const WaveFormat format = *m_reader->format();
    m_frameBytes = format.blockAlign > 0 ? format.blockAlign : 1;
    m_readSize = kBufferBytes - kBufferBytes % m_frameBytes;

    // A start inside a sample frame would play every sample with its bytes out of step.
    qint64 offset = startOffset > 0 ? startOffset - startOffset % m_frameBytes : 0;
    std::uint32_t skipped = 0;
    if (offset > 0xFFFFFFFFLL
        || m_reader->read(nullptr, static_cast<std::uint32_t>(offset), &skipped) != WaveFile::Result::Success
        || skipped != offset) {
        m_reader->reset();
        offset = 0;
    }
    m_startOffset = offset;

    // A busy device gets one more try.
    if (!m_output.open(format, this) && !m_output.open(format, this)) {
        close();
        return false;
    }
    m_deviceOpen = true;
    if (m_buffers.prepare(m_output, kMaxBuffers, kBufferBytes) < 2) {
        close();
        return false;
    }
    m_output.pause();
    bool filled = false;
    {
        std::lock_guard lock(m_fillMutex);
        m_playing = true;
        m_queuedCount = 0;
        m_nextIndex = 0;
        filled = refill();
    }
    if (!filled) {
        stop();
        return false;
    }
    m_output.restart();
    return true;
}

bool WaveOutPlayer::refill()
{
    const int count = m_buffers.count();
    while (m_playing && m_queuedCount < count) {
        AudioOutputBuffer &header = m_buffers.header(m_nextIndex);
        std::uint8_t *data = m_buffers.data(m_nextIndex);
        std::uint32_t got = 0;
        m_reader->read(data, m_readSize, &got);
        if (got == 0) {
            // Past the end of the data (or after a read error) the device keeps getting silence.
            std::memset(data, 0, m_buffers.capacity());
            header.length = m_readSize;
        } else {
            // A data chunk that ends inside a sample frame: complete the frame with silence.
            const std::uint32_t partial = got % m_frameBytes;
            if (partial != 0) {
                std::memset(data + got, 0, m_frameBytes - partial);
                got += m_frameBytes - partial;
            }
            header.length = got;
        }
        if (!m_output.write(header)) {
            m_playing = false;
            return false;
        }
        ++m_queuedCount;
        if (++m_nextIndex == count)
            m_nextIndex = 0;
    }
    return m_playing;
}

void WaveOutPlayer::onAudioOutput(Event event, AudioOutputBuffer *)
{
    std::lock_guard lock(m_fillMutex);
    if (!m_playing)
        return;
    if (event == Event::DeviceLost) {
        // The device cannot be reset from its own thread; the owner's stop() releases it.
        m_playing = false;
        return;
    }
    --m_queuedCount;
    refill();
}

qint64 WaveOutPlayer::position() const
{
    if (!m_playing || !m_deviceOpen)
        return 0;
    return static_cast<qint64>(m_output.positionBytes());
}

void WaveOutPlayer::stop()
{
    std::lock_guard stopLock(m_stopMutex);
    {
        std::lock_guard lock(m_fillMutex);
        m_playing = false;
    }
    if (!m_deviceOpen)
        return;
    // The buffers handed back by the reset find m_playing clear and are not queued again.
    m_output.reset();
    close();
}

void WaveOutPlayer::close()
{
    m_buffers.release(m_output);
    if (m_deviceOpen)
        m_output.close();
    m_deviceOpen = false;
    m_queuedCount = 0;
    m_nextIndex = 0;
    if (m_reader) {
        m_reader->close();
        m_reader.reset();
    }
}

} // namespace sonavell

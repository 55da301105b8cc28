#include "core/play/mediawindowplayer.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace sonavell {

MediaWindowPlayer::MediaWindowPlayer(AudioOutput &output)
    : m_output(output)
{
}

MediaWindowPlayer::~MediaWindowPlayer()
{
    stopAndClose();
}

bool MediaWindowPlayer::open()
{
    std::lock_guard command(m_commandMutex);
    return openLocked();
}

bool MediaWindowPlayer::openLocked()
{
    closeLocked();
    if (m_path.isEmpty())
        return false;
    // The frame table is built once per file and kept while the file is unchanged.
    const QFileInfo info(m_path);
    if (m_path != m_tablePath || info.size() != m_tableSize || info.lastModified() != m_tableModified) {
        m_tablePath = m_path;
        m_tableSize = info.size();
        m_tableModified = info.lastModified();
        m_table.build(m_path);
    }
    if (m_table.isEmpty() || !m_decoder.open(m_path))
        return false;
    const WaveFormat format = WaveFormat{1, static_cast<std::uint16_t>(m_table.channels()),
                                         static_cast<std::uint32_t>(m_table.sampleRate()), 0, 0, 16, 0}
                                  .normalizedPcm();
    m_frameBytes = format.blockAlign;
    // A busy device gets one more try.
    if (!m_output.open(format, this) && !m_output.open(format, this)) {
        m_decoder.close();
        return false;
    }
    m_deviceOpen = true;
    if (m_buffers.prepare(m_output, kBufferCount, kBufferBytes) < 2) {
        closeLocked();
        return false;
    }
    std::lock_guard lock(m_mutex);
    m_open = true;
    m_mode = MediaMode::Stopped;
    m_atEnd = false;
    m_baseSample = 0;
    return true;
}

void MediaWindowPlayer::closeLocked()
{
    {
        std::lock_guard lock(m_mutex);
        m_refilling = false;
        m_open = false;
        m_mode = MediaMode::NotReady;
    }
    m_paused = false;
    if (m_deviceOpen)
        m_output.reset();
    m_buffers.release(m_output);
    if (m_deviceOpen)
        m_output.close();
    m_deviceOpen = false;
    std::lock_guard lock(m_mutex);
    m_decoder.close();
    m_queued = m_nextIndex = 0;
}

void MediaWindowPlayer::stopAndClose()
{
    std::lock_guard command(m_commandMutex);
    closeLocked();
}

qint64 MediaWindowPlayer::halt()
{
    qint64 reached = 0;
    {
        std::lock_guard lock(m_mutex);
        reached = currentSample();
        m_refilling = false;
    }
    // Buffers handed back by the reset find m_refilling clear and stay home.
    m_output.reset();
    std::lock_guard lock(m_mutex);
    m_queued = m_nextIndex = 0;
    m_baseSample = reached;
    return reached;
}

void MediaWindowPlayer::startPlayback(qint64 sample)
{
    m_output.pause();
    {
        std::lock_guard lock(m_mutex);
        m_decoder.seek(sample);
        m_baseSample = m_decoder.position();
        m_atEnd = false;
        m_decodedAll = false;
        m_mode = MediaMode::Playing;
        m_refilling = true;
        refill();
    }
    // The first buffers are all queued before sound starts.
    m_output.restart();
}

void MediaWindowPlayer::resume()
{
    // The mode first: buffers finishing right after the restart may end the play.
    {
        std::lock_guard lock(m_mutex);
        m_mode = MediaMode::Playing;
    }
    m_output.restart();
}

void MediaWindowPlayer::refill()
{
    while (m_refilling && !m_decodedAll && m_queued < m_buffers.count()) {
        AudioOutputBuffer &header = m_buffers.header(m_nextIndex);
        const std::uint32_t got = m_decoder.read(m_buffers.data(m_nextIndex), m_buffers.capacity());
        if (got == 0) {
            m_decodedAll = true;
            break;
        }
        header.length = got;
        applyGain(m_buffers.data(m_nextIndex), got);
        if (!m_output.write(header)) {
            m_refilling = false;
            m_mode = MediaMode::Stopped;
            return;
        }
        ++m_queued;
        if (++m_nextIndex == m_buffers.count())
            m_nextIndex = 0;
    }
    if (m_refilling && m_decodedAll && m_queued == 0) {
        m_refilling = false;
        m_mode = MediaMode::Stopped;
        m_atEnd = true;
    }
}

void MediaWindowPlayer::applyGain(std::uint8_t *pcm, std::uint32_t bytes) const
{
    const float gain = m_gain.load(std::memory_order_relaxed);
    if (gain == 1.0F)
        return;
    for (std::uint32_t at = 0; at + 1 < bytes; at += 2) {
        std::int16_t sample = 0;
        std::memcpy(&sample, pcm + at, 2);
        sample = static_cast<std::int16_t>(std::clamp(std::lround(sample * gain), -32768L, 32767L));
        std::memcpy(pcm + at, &sample, 2);
    }
}

void MediaWindowPlayer::onAudioOutput(Event event, AudioOutputBuffer *)
{
    Notice notice;
    {
        std::lock_guard lock(m_mutex);
        if (!m_refilling)
            return;
        const MediaMode before = m_mode;
        if (event == Event::DeviceLost) {
            // Left open: the owner's next command resets the device or closes it.
            m_refilling = false;
            m_mode = MediaMode::Stopped;
        } else {
            --m_queued;
            refill();
            notice.position = true;
            notice.positionMs = positionMsLocked();
        }
        if (m_mode != before) {
            notice.mode = true;
            notice.newMode = m_mode;
            notice.sequence = ++m_modeSequence;
        }
    }
    notify(notice);
}

bool MediaWindowPlayer::play()
{
    Notice notice;
    {
        std::lock_guard command(m_commandMutex);
        if (!isOpen() && !openLocked())
            return false;
        const MediaMode before = mode();
        m_paused = false;
        if (before == MediaMode::Paused) {
            resume();
        } else if (before != MediaMode::Playing) {
            bool fromStart = false;
            {
                std::lock_guard lock(m_mutex);
                fromStart = m_atEnd;
            }
            const qint64 reached = halt();
            startPlayback(fromStart || reached >= m_table.totalSamples() ? 0 : reached);
        }
        notice = modeChange(before);
    }
    notify(notice);
    return true;
}

void MediaWindowPlayer::togglePause()
{
    Notice notice;
    {
        std::lock_guard command(m_commandMutex);
        if (!isOpen())
            return;
        const MediaMode before = mode();
        if (m_paused) {
            m_paused = false;
            if (before == MediaMode::Paused)
                resume();
        } else {
            m_paused = true;
            std::lock_guard lock(m_mutex);
            if (m_mode == MediaMode::Playing) {
                m_output.pause();
                m_mode = MediaMode::Paused;
            }
        }
        notice = modeChange(before);
    }
    notify(notice);
}

void MediaWindowPlayer::seekStart()
{
    stopAt(0, false);
}

void MediaWindowPlayer::seekEnd()
{
    stopAt(m_table.totalSamples(), true);
}

void MediaWindowPlayer::stopAt(qint64 sample, bool atEnd)
{
    Notice notice;
    {
        std::lock_guard command(m_commandMutex);
        if (!isOpen())
            return;
        const MediaMode before = mode();
        halt();
        {
            std::lock_guard lock(m_mutex);
            m_baseSample = sample;
            m_atEnd = atEnd;
            m_mode = MediaMode::Stopped;
        }
        notice = modeChange(before);
    }
    notify(notice);
}

void MediaWindowPlayer::seekAndPlay(qint64 ms)
{
    Notice notice;
    {
        std::lock_guard command(m_commandMutex);
        if (!isOpen())
            return;
        const MediaMode before = mode();
        const qint64 sample = std::clamp<qint64>(m_table.msToSample(ms), 0, m_table.totalSamples());
        halt();
        m_paused = false;
        if (sample >= m_table.totalSamples()) {
            // Playing from the very end ends at once.
            std::lock_guard lock(m_mutex);
            m_baseSample = sample;
            m_atEnd = true;
            m_mode = MediaMode::Stopped;
        } else {
            startPlayback(sample);
        }
        notice = modeChange(before);
    }
    notify(notice);
}

qint64 MediaWindowPlayer::currentSample() const
{
    const qint64 played = static_cast<qint64>(m_output.positionBytes() / m_frameBytes);
    return std::min(m_baseSample + played, m_table.totalSamples());
}

qint64 MediaWindowPlayer::positionMsLocked() const
{
    if (!m_open)
        return 0;
    return m_atEnd ? m_table.lengthMs() : m_table.sampleToMs(currentSample());
}

qint64 MediaWindowPlayer::length() const
{
    std::lock_guard lock(m_mutex);
    return m_open ? m_table.lengthMs() : 0;
}

qint64 MediaWindowPlayer::position() const
{
    std::lock_guard lock(m_mutex);
    return positionMsLocked();
}

bool MediaWindowPlayer::isOpen() const
{
    std::lock_guard lock(m_mutex);
    return m_open;
}

MediaMode MediaWindowPlayer::mode() const
{
    std::lock_guard lock(m_mutex);
    return m_mode;
}

MediaWindowPlayer::Notice MediaWindowPlayer::modeChange(MediaMode before)
{
    Notice notice;
    std::lock_guard lock(m_mutex);
    if (m_mode != before) {
        notice.mode = true;
        notice.newMode = m_mode;
        notice.sequence = ++m_modeSequence;
    }
    return notice;
}

void MediaWindowPlayer::notify(const Notice &notice)
{
    if (!m_owner || (!notice.mode && !notice.position))
        return;
    std::lock_guard lock(m_notifyMutex);
    if (notice.position)
        m_owner->mediaPositionChanged(notice.positionMs);
    if (notice.mode && notice.sequence > m_deliveredSequence) {
        m_deliveredSequence = notice.sequence;
        m_owner->mediaModeChanged(notice.newMode);
    }
}

} // namespace sonavell

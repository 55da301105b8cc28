#include "platform/fakeaudiooutput.h"

namespace sonavell {

FakeAudioOutput::~FakeAudioOutput()
{
    stopThread();
}

void FakeAudioOutput::allowBuffers(int count)
{
    {
        std::lock_guard lock(m_mutex);
        m_allowance = count;
    }
    m_changed.notify_all();
}

bool FakeAudioOutput::waitForPlayed(int count)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_playedCount >= count || m_stop; });
    return m_playedCount >= count;
}

QByteArray FakeAudioOutput::played() const
{
    std::lock_guard lock(m_mutex);
    return m_played;
}

bool FakeAudioOutput::open(const WaveFormat &format, AudioOutputClient *client)
{
    if (m_openFails || m_open) {
        m_error = QStringLiteral("open failed (scripted)");
        return false;
    }
    m_format = format;
    m_client = client;
    m_position = 0;
    {
        std::lock_guard lock(m_mutex);
        m_stop = false;
        m_paused = false;
        m_played.clear();
        m_playedCount = 0;
    }
    m_open = true;
    m_thread = std::thread([this] { run(); });
    return true;
}

bool FakeAudioOutput::prepare(AudioOutputBuffer &buffer)
{
    if (!m_open || !buffer.data)
        return false;
    buffer.prepared = true;
    return true;
}

bool FakeAudioOutput::unprepare(AudioOutputBuffer &buffer)
{
    if (buffer.queued)
        return false;
    buffer.prepared = false;
    return true;
}

bool FakeAudioOutput::write(AudioOutputBuffer &buffer)
{
    if (!m_open || !buffer.prepared)
        return false;
    {
        std::lock_guard lock(m_mutex);
        buffer.queued = true;
        m_queue.push_back(&buffer);
    }
    m_changed.notify_all();
    return true;
}

bool FakeAudioOutput::pause()
{
    std::lock_guard lock(m_mutex);
    m_paused = true;
    return m_open;
}

bool FakeAudioOutput::restart()
{
    {
        std::lock_guard lock(m_mutex);
        m_paused = false;
    }
    m_changed.notify_all();
    return m_open;
}

void FakeAudioOutput::run()
{
    for (;;) {
        AudioOutputBuffer *buffer = nullptr;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] { return m_stop || (!m_paused && !m_queue.empty() && m_allowance != 0); });
            if (m_stop)
                return;
            buffer = m_queue.front();
            m_queue.pop_front();
            if (m_allowance > 0)
                --m_allowance;
            m_played.append(reinterpret_cast<const char *>(buffer->data), buffer->length);
            buffer->queued = false;
            m_position += buffer->length;
        }
        if (m_client)
            m_client->onAudioOutput(AudioOutputClient::Event::BufferDone, buffer);
        {
            std::lock_guard lock(m_mutex);
            ++m_playedCount;
        }
        m_changed.notify_all();
    }
}

void FakeAudioOutput::stopThread()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

bool FakeAudioOutput::reset()
{
    if (!m_open)
        return false;
    stopThread();
    std::deque<AudioOutputBuffer *> pending;
    {
        std::lock_guard lock(m_mutex);
        pending.swap(m_queue);
        m_stop = false;
        m_paused = false;
    }
    for (AudioOutputBuffer *buffer : pending) {
        buffer->queued = false;
        if (m_client)
            m_client->onAudioOutput(AudioOutputClient::Event::BufferDone, buffer);
    }
    m_position = 0;
    m_thread = std::thread([this] { run(); });
    return true;
}

bool FakeAudioOutput::close()
{
    if (!m_open)
        return false;
    stopThread();
    m_open = false;
    return true;
}

} // namespace sonavell

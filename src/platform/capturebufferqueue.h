#pragma once

#include "core/audio/audioinput.h"

#include <QString>

#include <condition_variable>
#include <deque>
#include <mutex>

namespace sonavell {

// The buffers queued on a capture device, in queue order, shared by the caller's thread (queue,
// reset) and the device's capture thread (fill, hand back). Once the device is marked lost it
// takes no buffer any more.
class CaptureBufferQueue
{
public:
    // The checks of prepare, unprepare and queue; each gives the problem, empty when none.
    static QString prepare(AudioInputBuffer &buffer, std::uint32_t frameBytes)
    {
        if (!buffer.data || buffer.length < frameBytes)
            return QStringLiteral("A capture buffer holds less than one sample frame");
        buffer.prepared = true;
        return {};
    }
    static QString unprepare(AudioInputBuffer &buffer)
    {
        if (buffer.queued)
            return QStringLiteral("A capture buffer is still queued");
        buffer.prepared = false;
        return {};
    }
    // lostText: the back end's words for a device that went away.
    QString enqueue(AudioInputBuffer &buffer, const QString &lostText)
    {
        if (!buffer.prepared)
            return QStringLiteral("A capture buffer was queued without being prepared");
        return push(buffer) ? QString() : lostText;
    }

    // False when the device was lost.
    bool push(AudioInputBuffer &buffer)
    {
        {
            std::lock_guard lock(m_mutex);
            if (m_lost)
                return false;
            buffer.bytesRecorded = 0;
            buffer.queued = true;
            m_queued.push_back(&buffer);
        }
        m_changed.notify_all();
        return true;
    }

    // Capture thread: the first buffer once there is one (and `hold` is false); null as soon as
    // `stopping()` holds, which is looked at again after every wake().
    template <typename Stopping>
    AudioInputBuffer *waitFirst(Stopping stopping, bool hold)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return stopping() || (!hold && !m_queued.empty()); });
        return stopping() ? nullptr : m_queued.front();
    }

    std::uint32_t firstLength()
    {
        std::lock_guard lock(m_mutex);
        return m_queued.empty() ? 0 : m_queued.front()->length;
    }

    // The first buffer leaves the queue with `bytes` recorded; then the client is told.
    void handBackFirst(std::uint32_t bytes, AudioInputClient *client)
    {
        AudioInputBuffer *buffer = nullptr;
        {
            std::lock_guard lock(m_mutex);
            if (m_queued.empty())
                return;
            buffer = m_queued.front();
            m_queued.pop_front();
            buffer->queued = false;
            buffer->bytesRecorded = bytes;
        }
        if (client)
            client->onAudioInput(AudioInputClient::Event::BufferDone, buffer);
    }

    // Every buffer queued now goes back with nothing recorded; one the client queues again
    // from its notification stays queued.
    void handBackAll(AudioInputClient *client)
    {
        std::deque<AudioInputBuffer *> pending;
        {
            std::lock_guard lock(m_mutex);
            pending.swap(m_queued);
            for (AudioInputBuffer *buffer : pending) {
                buffer->queued = false;
                buffer->bytesRecorded = 0;
            }
        }
        if (client)
            for (AudioInputBuffer *buffer : pending)
                client->onAudioInput(AudioInputClient::Event::BufferDone, buffer);
    }

    void markLost()
    {
        std::lock_guard lock(m_mutex);
        m_lost = true;
    }

    void wake() { m_changed.notify_all(); }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<AudioInputBuffer *> m_queued;
    bool m_lost = false;
};

} // namespace sonavell

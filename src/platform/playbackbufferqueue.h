#pragma once

#include "core/audio/audiooutput.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace sonavell {

// The buffers written to a playback device, in write order, shared by the caller's thread
// (write, pause, restart, reset, stop) and the device's playback thread (take the first, hand
// it back). The pause and stop flags change under the queue's lock, so a wait never misses
// them, and are atomics so that a back end may also look at them under a lock of its own.
class PlaybackBufferQueue
{
public:
    // The checks of prepare, unprepare and write; each gives the problem, empty when none.
    static QString prepare(AudioOutputBuffer &buffer)
    {
        if (!buffer.data)
            return QStringLiteral("A playback buffer has no memory");
        buffer.prepared = true;
        return {};
    }
    static QString unprepare(AudioOutputBuffer &buffer)
    {
        if (buffer.queued)
            return QStringLiteral("A playback buffer is still queued");
        buffer.prepared = false;
        return {};
    }
    QString write(AudioOutputBuffer &buffer)
    {
        if (!buffer.prepared)
            return QStringLiteral("A playback buffer was written without being prepared");
        {
            std::lock_guard lock(m_mutex);
            buffer.queued = true;
            m_queued.push_back(&buffer);
        }
        m_changed.notify_all();
        return {};
    }

    void setPaused(bool paused) { set(m_paused, paused); }
    void setStopRequested(bool stop) { set(m_stopRequested, stop); }
    bool isPaused() const { return m_paused.load(); }
    bool isStopRequested() const { return m_stopRequested.load(); }
    // Paused or stopping: the buffer being played stays first in line.
    bool isInterrupted() const { return isPaused() || isStopRequested(); }
    void notify() { m_changed.notify_all(); }

    // Playback thread: the first buffer once there is one and playback is not paused; null as
    // soon as a stop is requested.
    AudioOutputBuffer *waitFirst()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return isStopRequested() || (!isPaused() && !m_queued.empty()); });
        return isStopRequested() ? nullptr : m_queued.front();
    }
    void waitForStop()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return isStopRequested(); });
    }

    // The first buffer has been played: it leaves the queue and the client is told. True when
    // no buffer is left.
    bool handBackFirst(AudioOutputClient *client)
    {
        AudioOutputBuffer *buffer = nullptr;
        bool last = false;
        {
            std::lock_guard lock(m_mutex);
            buffer = m_queued.front();
            m_queued.pop_front();
            buffer->queued = false;
            last = m_queued.empty();
        }
        if (client)
            client->onAudioOutput(AudioOutputClient::Event::BufferDone, buffer);
        return last;
    }

    // A reset, with the playback thread stopped: every queued buffer goes back unplayed and a
    // pause ends.
    void handBackAll(AudioOutputClient *client)
    {
        std::deque<AudioOutputBuffer *> pending;
        {
            std::lock_guard lock(m_mutex);
            pending.swap(m_queued);
            m_paused = false;
        }
        for (AudioOutputBuffer *buffer : pending) {
            buffer->queued = false;
            if (client)
                client->onAudioOutput(AudioOutputClient::Event::BufferDone, buffer);
        }
    }

private:
    void set(std::atomic<bool> &flag, bool value)
    {
        std::lock_guard lock(m_mutex);
        flag = value;
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<AudioOutputBuffer *> m_queued;
    std::atomic<bool> m_paused{false};
    std::atomic<bool> m_stopRequested{false};
};

} // namespace sonavell

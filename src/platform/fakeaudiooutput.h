#pragma once

#include "core/audio/audiooutput.h"

#include <QByteArray>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace sonavell {

// An in-memory playback device for tests: a thread "plays" written buffers instantly (or only
// as many as allowed), appending their bytes to played(), and hands them back in order.
class FakeAudioOutput : public AudioOutput
{
public:
    FakeAudioOutput() = default;
    ~FakeAudioOutput() override;

    // Play only as many more buffers as allowed; -1 (the default) plays all. Any time.
    void allowBuffers(int count);
    void setOpenFails(bool fails) { m_openFails = fails; }
    // Waits until `count` buffers have been played (or the device is reset or closed).
    bool waitForPlayed(int count);
    QByteArray played() const;
    bool isPaused() const { return m_paused; }
    const WaveFormat &openedFormat() const { return m_format; }

    bool open(const WaveFormat &format, AudioOutputClient *client) override;
    bool prepare(AudioOutputBuffer &buffer) override;
    bool unprepare(AudioOutputBuffer &buffer) override;
    bool write(AudioOutputBuffer &buffer) override;
    bool pause() override;
    bool restart() override;
    bool reset() override;
    std::uint64_t positionBytes() const override { return m_position; }
    bool close() override;
    bool isOpen() const override { return m_open; }
    QString errorText() const override { return m_error; }

private:
    void run();
    void stopThread();

    WaveFormat m_format;
    AudioOutputClient *m_client = nullptr;
    bool m_openFails = false;
    std::atomic<bool> m_open{false};
    QString m_error;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<AudioOutputBuffer *> m_queue;
    QByteArray m_played;
    int m_playedCount = 0;
    int m_allowance = -1;
    bool m_paused = false;
    bool m_stop = false;
    std::atomic<std::uint64_t> m_position{0};
    std::thread m_thread;
};

} // namespace sonavell

#pragma once

#include "core/audio/audioinput.h"

#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace sonavell {

// An in-memory capture device for tests. Its callback thread fills the queued buffers from a
// generated signal, as fast as buffers are queued (or as the test allows), and can be told to
// fail any step or to disappear after a number of frames.
class FakeAudioInput : public AudioInput
{
public:
    // The sample of `channel` in frame `frame`, counted from the start of capture.
    using Signal = std::function<std::int16_t(std::uint64_t frame, int channel)>;

    enum class Step { Open, Prepare, Queue, Start, Reset, Close };

    FakeAudioInput();
    ~FakeAudioInput() override;

    // Scripting; call before open() unless noted.
    void setDeviceNames(const QStringList &names) { m_names = names; }
    void setSignal(Signal signal) { m_signal = std::move(signal); }
    // The device is unplugged after this many frames.
    void setFrameLimit(std::uint64_t frames) { m_frameLimit = frames; }
    // The call number `call` (0 = the first) of `step` fails, counted from construction.
    void failAt(Step step, int call = 0);
    // Fill only as many buffers as allowed; -1 (the default) allows any number. Any time.
    void allowBuffers(int count);
    void setOverrunCount(std::uint64_t count) { m_overruns = count; }
    // Audio the device says went missing; any time.
    void setLostMilliseconds(std::uint64_t ms) { m_lostMs.store(ms); }

    // Observation, any thread.
    // Waits until at least `count` buffers have been delivered full; false when the device
    // is reset, lost or closed first.
    bool waitForDelivered(std::uint64_t count);
    std::uint64_t delivered() const { return m_delivered.load(); }
    std::uint64_t returnedByReset() const { return m_returned.load(); }
    int queuedCount() const;
    int callCount(Step step) const { return m_calls[static_cast<int>(step)].load(); }
    const WaveFormat &openedFormat() const { return m_format; }
    int openedDevice() const { return m_device; }

    int deviceCount() const override { return static_cast<int>(m_names.size()); }
    QString deviceName(int device) const override { return m_names.value(device); }
    bool open(int device, const WaveFormat &format, AudioInputClient *client) override;
    bool prepare(AudioInputBuffer &buffer) override;
    bool unprepare(AudioInputBuffer &buffer) override;
    bool queue(AudioInputBuffer &buffer) override;
    bool start() override;
    bool reset() override;
    bool close() override;
    bool isOpen() const override { return m_open; }
    QString errorText() const override;
    std::uint64_t overrunCount() const override { return m_overruns; }
    std::uint64_t lostMilliseconds() const override { return m_lostMs.load(); }

private:
    bool call(Step step);
    bool fail(const QString &text);
    void run();
    void stopThread();
    void fill(AudioInputBuffer &buffer, std::uint64_t frames);

    static constexpr int kSteps = 6;
    QStringList m_names{QStringLiteral("Fake input")};
    Signal m_signal;
    std::uint64_t m_frameLimit = UINT64_MAX;
    std::atomic<int> m_calls[kSteps] = {};
    int m_failAt[kSteps] = {-1, -1, -1, -1, -1, -1};

    WaveFormat m_format;
    int m_device = -1;
    AudioInputClient *m_client = nullptr;
    std::atomic<bool> m_open{false};
    std::uint64_t m_overruns = 0;
    std::atomic<std::uint64_t> m_lostMs{0};

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<AudioInputBuffer *> m_queue;
    int m_allowance = -1;
    bool m_stopRequested = false;
    bool m_ended = false; // reset, lost or closed: no more buffers will come
    std::uint64_t m_frame = 0;
    std::atomic<std::uint64_t> m_delivered{0};
    std::atomic<std::uint64_t> m_returned{0};
    std::thread m_thread;
    QString m_error;
};

} // namespace sonavell

#pragma once

#include "core/audio/audioinput.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

struct pa_stream;

namespace sonavell {

class PulseContext;

// Wave input through the sound server. The devices are the server's sources in the mixer's
// order (inputs, then monitors); a recording takes the chosen one, or the server's default.
// The stream is connected on start with fragments of one queued buffer; a capture thread of
// our own fills the buffers and delivers them, so a slow client never stalls the server's
// event thread. It is the callback thread of this device.
class PulseAudioInput : public AudioInput
{
public:
    explicit PulseAudioInput(std::shared_ptr<PulseContext> context);
    ~PulseAudioInput() override;

    int deviceCount() const override;
    QString deviceName(int device) const override;
    int chosenDevice() const override;
    bool chooseDevice(int device) override;

    bool open(int device, const WaveFormat &format, AudioInputClient *client) override;
    bool prepare(AudioInputBuffer &buffer) override;
    bool unprepare(AudioInputBuffer &buffer) override;
    bool queue(AudioInputBuffer &buffer) override;
    bool start() override;
    bool reset() override;
    bool close() override;
    bool isOpen() const override;

    QString errorText() const override;
    // Overflow notices of the stream: the server dropped audio we did not take in time.
    std::uint64_t overrunCount() const override { return m_overruns.load(); }
    std::uint64_t lostMilliseconds() const override { return m_lostMs.load(); }
    bool isDeviceLost() const { return m_deviceLost.load(); }

private:
    class Stream;

    bool fail(const QString &text);
    void run(Stream &stream);
    bool followMove(Stream &stream);
    static void onMoved(pa_stream *stream, void *data);
    void disconnect();

    std::shared_ptr<PulseContext> m_context;
    std::unique_ptr<Stream> m_stream;
    std::thread m_thread;
    std::atomic<std::uint64_t> m_overruns{0};
    std::atomic<std::uint64_t> m_lostMs{0};
    std::atomic<bool> m_deviceLost{false};
    mutable std::mutex m_errorMutex;
    QString m_error;
};

} // namespace sonavell

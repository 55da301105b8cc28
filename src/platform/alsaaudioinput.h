#pragma once

#include "core/audio/audioinput.h"

#include <QByteArray>
#include <QList>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace sonavell {

// Wave input on ALSA. Device 0 is ALSA's "default", further devices are the sound cards that
// can capture. A capture thread fills the queued buffers in order and delivers each one to the
// client as soon as it is full; it is the callback thread of this device.
class AlsaAudioInput : public AudioInput
{
public:
    AlsaAudioInput();
    // One device: the PCM `pcmName`. With `configText` the name is looked up in that ALSA
    // configuration instead of the system's, so no user file or environment is consulted.
    explicit AlsaAudioInput(const QString &pcmName, const QByteArray &configText = {});
    ~AlsaAudioInput() override;

    int deviceCount() const override;
    QString deviceName(int device) const override;

    bool open(int device, const WaveFormat &format, AudioInputClient *client) override;
    bool prepare(AudioInputBuffer &buffer) override;
    bool unprepare(AudioInputBuffer &buffer) override;
    bool queue(AudioInputBuffer &buffer) override;
    bool start() override;
    bool reset() override;
    bool close() override;
    bool isOpen() const override;

    QString errorText() const override;
    std::uint64_t overrunCount() const override { return m_overruns.load(); }
    std::uint64_t lostMilliseconds() const override { return m_lostMs.load(); }
    // The device went away during capture; the buffers filled before that were delivered.
    bool isDeviceLost() const { return m_deviceLost.load(); }

private:
    struct Device
    {
        QString displayName;
        QString pcmName;
    };
    class Stream;

    bool fail(const QString &text);
    void joinThread();

    QList<Device> m_devices;
    QByteArray m_configText;
    std::unique_ptr<Stream> m_stream;
    std::thread m_thread;
    std::atomic<std::uint64_t> m_overruns{0};
    std::atomic<std::uint64_t> m_lostMs{0};
    std::atomic<bool> m_deviceLost{false};
    mutable std::mutex m_errorMutex;
    QString m_error;
};

} // namespace sonavell

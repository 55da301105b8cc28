#pragma once

#include "core/audio/audiooutput.h"

#include <QByteArray>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace sonavell {

// Wave output on ALSA. A playback thread writes the buffers in order and hands each one back
// once the device has taken all of it; it is the callback thread of this device.
class AlsaAudioOutput : public AudioOutput
{
public:
    // `pcmName` is looked up in `configText` when given, else in the system's configuration.
    explicit AlsaAudioOutput(const QString &pcmName = QStringLiteral("default"), const QByteArray &configText = {});
    ~AlsaAudioOutput() override;

    bool open(const WaveFormat &format, AudioOutputClient *client) override;
    bool prepare(AudioOutputBuffer &buffer) override;
    bool unprepare(AudioOutputBuffer &buffer) override;
    bool write(AudioOutputBuffer &buffer) override;
    bool pause() override;
    bool restart() override;
    bool reset() override;
    std::uint64_t positionBytes() const override;
    bool close() override;
    bool isOpen() const override { return m_stream != nullptr; }
    QString errorText() const override;
    std::uint64_t underrunCount() const { return m_underruns.load(); }

private:
    class Stream;

    bool fail(const QString &text);
    void startThread();
    void stopThread();
    void run();

    QString m_pcmName;
    QByteArray m_configText;
    std::unique_ptr<Stream> m_stream;
    std::thread m_thread;
    std::atomic<std::uint64_t> m_underruns{0};
    mutable std::mutex m_errorMutex;
    QString m_error;
};

} // namespace sonavell

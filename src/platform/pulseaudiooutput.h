#pragma once

#include "core/audio/audiooutput.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

namespace sonavell {

class PulseContext;

// Wave output through the sound server's default sink. A playback thread of our own writes the
// buffers in order and hands each one back once the server has taken all of it; it is the
// callback thread of this device. Pause corks the stream.
class PulseAudioOutput : public AudioOutput
{
public:
    explicit PulseAudioOutput(std::shared_ptr<PulseContext> context);
    ~PulseAudioOutput() override;

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

private:
    class Stream;

    bool fail(const QString &text);
    void startThread();
    void stopThread();
    void run();
    void cork(bool on);

    std::shared_ptr<PulseContext> m_context;
    std::unique_ptr<Stream> m_stream;
    std::thread m_thread;
    mutable std::mutex m_errorMutex;
    QString m_error;
};

} // namespace sonavell

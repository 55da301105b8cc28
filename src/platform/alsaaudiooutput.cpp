#include "platform/alsaaudiooutput.h"

#include "platform/alsasupport.h"
#include "platform/losttimemeter.h"
#include "platform/playbackbufferqueue.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <vector>

namespace sonavell {
namespace {

// A fifth of a second keeps the position close to what is heard and rides out scheduling delays.
constexpr unsigned kLatencyUs = 200000;

} // namespace

class AlsaAudioOutput::Stream
{
public:
    alsa::ConfigHandle config;
    alsa::PcmHandle pcm;
    AudioOutputClient *client = nullptr;
    std::uint32_t frameBytes = 4;
    int wakeFd = -1;
    bool canPause = false;

    // Guards every ALSA call on `pcm` once the thread runs; never held while waiting.
    mutable std::mutex pcmMutex;
    std::uint64_t framesWritten = 0; // under pcmMutex

    PlaybackBufferQueue queue;

    ~Stream()
    {
        if (wakeFd >= 0)
            ::close(wakeFd);
    }

    // The one place where frame counts become byte counts.
    std::uint64_t toBytes(std::uint64_t frames) const { return frames * frameBytes; }

    void wake()
    {
        const std::uint64_t one = 1;
        [[maybe_unused]] ssize_t written = ::write(wakeFd, &one, sizeof one);
        queue.notify();
    }
    void drainWake()
    {
        std::uint64_t count = 0;
        [[maybe_unused]] ssize_t got = ::read(wakeFd, &count, sizeof count);
    }
};

AlsaAudioOutput::AlsaAudioOutput(const QString &pcmName, const QByteArray &configText)
    : m_pcmName(pcmName), m_configText(configText)
{
    alsa::silenceLibraryMessages();
}

AlsaAudioOutput::~AlsaAudioOutput()
{
    if (m_stream)
        close();
}

bool AlsaAudioOutput::fail(const QString &text)
{
    std::lock_guard lock(m_errorMutex);
    m_error = text;
    return false;
}

QString AlsaAudioOutput::errorText() const
{
    std::lock_guard lock(m_errorMutex);
    return m_error;
}

bool AlsaAudioOutput::open(const WaveFormat &format, AudioOutputClient *client)
{
    if (m_stream)
        return fail(QStringLiteral("The playback device is already open"));
    if (format.formatTag != 1 || (format.bitsPerSample != 16 && format.bitsPerSample != 8) || format.channels == 0)
        return fail(QStringLiteral("The playback format is not 8- or 16-bit PCM"));
    auto stream = std::make_unique<Stream>();
    snd_pcm_t *raw = nullptr;
    int error = 0;
    const QByteArray name = m_pcmName.toUtf8();
    if (m_configText.isEmpty()) {
        error = snd_pcm_open(&raw, name.constData(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
    } else {
        QString configError;
        stream->config = alsa::loadConfig(m_configText, &configError);
        if (!stream->config)
            return fail(configError);
        error = snd_pcm_open_lconf(&raw, name.constData(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK, stream->config.get());
    }
    if (error < 0)
        return fail(QStringLiteral("Cannot open playback device \"%1\": %2").arg(m_pcmName, alsa::errorString(error)));
    stream->pcm.reset(raw);
    error = snd_pcm_set_params(raw, alsa::sampleFormat(format.bitsPerSample), SND_PCM_ACCESS_RW_INTERLEAVED,
                               format.channels, format.samplesPerSec, 1, kLatencyUs);
    if (error < 0)
        return fail(QStringLiteral("Playback device \"%1\" cannot play this format: %2").arg(m_pcmName, alsa::errorString(error)));
    snd_pcm_hw_params_t *params = nullptr;
    snd_pcm_hw_params_alloca(&params);
    if (snd_pcm_hw_params_current(raw, params) >= 0)
        stream->canPause = snd_pcm_hw_params_can_pause(params);
    stream->wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (stream->wakeFd < 0)
        return fail(QStringLiteral("Cannot create the playback thread's wake-up event"));
    stream->client = client;
    stream->frameBytes = static_cast<std::uint32_t>(format.channels * format.bitsPerSample / 8);
    m_underruns = 0;
    m_stream = std::move(stream);
    startThread();
    return true;
}

bool AlsaAudioOutput::prepare(AudioOutputBuffer &buffer)
{
    if (!m_stream)
        return fail(QStringLiteral("The playback device is not open"));
    const QString problem = PlaybackBufferQueue::prepare(buffer);
    return problem.isEmpty() || fail(problem);
}

bool AlsaAudioOutput::unprepare(AudioOutputBuffer &buffer)
{
    const QString problem = PlaybackBufferQueue::unprepare(buffer);
    return problem.isEmpty() || fail(problem);
}

bool AlsaAudioOutput::write(AudioOutputBuffer &buffer)
{
    if (!m_stream)
        return fail(QStringLiteral("The playback device is not open"));
    const QString problem = m_stream->queue.write(buffer);
    return problem.isEmpty() || fail(problem);
}

void AlsaAudioOutput::startThread()
{
    m_stream->queue.setStopRequested(false);
    m_stream->drainWake();
    m_thread = std::thread([this] { run(); });
}

void AlsaAudioOutput::stopThread()
{
    m_stream->queue.setStopRequested(true);
    m_stream->wake();
    if (m_thread.joinable())
        m_thread.join();
}

void AlsaAudioOutput::run()
{
    Stream &stream = *m_stream;
    snd_pcm_t *pcm = stream.pcm.get();
    std::vector<pollfd> fds(static_cast<size_t>(std::max(snd_pcm_poll_descriptors_count(pcm), 0)) + 1);
    for (;;) {
        AudioOutputBuffer *buffer = stream.queue.waitFirst();
        if (!buffer)
            return;
        const std::uint64_t frames = buffer->length / stream.frameBytes;
        std::uint64_t done = 0;
        bool lost = false;
        while (done < frames) {
            if (stream.queue.isInterrupted())
                break;
            snd_pcm_sframes_t written = 0;
            {
                std::lock_guard lock(stream.pcmMutex);
                written = snd_pcm_writei(pcm, buffer->data + stream.toBytes(done), frames - done);
                if (written > 0)
                    stream.framesWritten += static_cast<std::uint64_t>(written);
            }
            if (written > 0) {
                done += static_cast<std::uint64_t>(written);
                continue;
            }
            const int error = written == 0 ? -EAGAIN : static_cast<int>(written);
            const StreamFailure failure = classifyStreamFailure(error);
            if (failure == StreamFailure::Overrun) {
                ++m_underruns;
                std::lock_guard lock(stream.pcmMutex);
                snd_pcm_prepare(pcm);
                continue;
            }
            if (failure == StreamFailure::Suspended) {
                std::lock_guard lock(stream.pcmMutex);
                if (snd_pcm_resume(pcm) < 0)
                    snd_pcm_prepare(pcm);
                continue;
            }
            if (failure == StreamFailure::DeviceGone) {
                fail(QStringLiteral("The playback device stopped: %1").arg(alsa::errorString(error)));
                lost = true;
                break;
            }
            const int count = snd_pcm_poll_descriptors(pcm, fds.data(), static_cast<unsigned>(fds.size() - 1));
            fds[static_cast<size_t>(count)] = {stream.wakeFd, POLLIN, 0};
            ::poll(fds.data(), static_cast<nfds_t>(count + 1), -1);
            stream.drainWake();
        }
        if (lost) {
            if (stream.client)
                stream.client->onAudioOutput(AudioOutputClient::Event::DeviceLost, nullptr);
            stream.queue.waitForStop();
            return;
        }
        if (done < frames)
            continue; // paused or stopping: the buffer stays first in line
        stream.queue.handBackFirst(stream.client);
    }
}

bool AlsaAudioOutput::pause()
{
    if (!m_stream)
        return fail(QStringLiteral("The playback device is not open"));
    m_stream->queue.setPaused(true);
    m_stream->wake();
    std::lock_guard lock(m_stream->pcmMutex);
    if (m_stream->canPause && snd_pcm_state(m_stream->pcm.get()) == SND_PCM_STATE_RUNNING)
        snd_pcm_pause(m_stream->pcm.get(), 1);
    return true;
}

bool AlsaAudioOutput::restart()
{
    if (!m_stream)
        return fail(QStringLiteral("The playback device is not open"));
    {
        std::lock_guard lock(m_stream->pcmMutex);
        if (snd_pcm_state(m_stream->pcm.get()) == SND_PCM_STATE_PAUSED)
            snd_pcm_pause(m_stream->pcm.get(), 0);
    }
    m_stream->queue.setPaused(false);
    m_stream->queue.notify();
    return true;
}

bool AlsaAudioOutput::reset()
{
    if (!m_stream)
        return fail(QStringLiteral("The playback device is not open"));
    if (m_thread.get_id() == std::this_thread::get_id())
        return fail(QStringLiteral("The playback device cannot be reset from its own notification"));
    stopThread();
    {
        std::lock_guard lock(m_stream->pcmMutex);
        snd_pcm_drop(m_stream->pcm.get());
        snd_pcm_prepare(m_stream->pcm.get());
        m_stream->framesWritten = 0;
    }
    m_stream->queue.handBackAll(m_stream->client);
    startThread();
    return true;
}

std::uint64_t AlsaAudioOutput::positionBytes() const
{
    if (!m_stream)
        return 0;
    std::lock_guard lock(m_stream->pcmMutex);
    snd_pcm_sframes_t delay = 0;
    if (snd_pcm_delay(m_stream->pcm.get(), &delay) < 0 || delay < 0)
        delay = 0;
    const std::uint64_t frames = m_stream->framesWritten;
    return m_stream->toBytes(frames > static_cast<std::uint64_t>(delay) ? frames - static_cast<std::uint64_t>(delay) : 0);
}

bool AlsaAudioOutput::close()
{
    if (!m_stream)
        return fail(QStringLiteral("The playback device is not open"));
    if (m_thread.get_id() == std::this_thread::get_id())
        return fail(QStringLiteral("The playback device cannot be closed from its own notification"));
    stopThread();
    {
        std::lock_guard lock(m_stream->pcmMutex);
        // Closing stops at once; a player that wants its tail heard waits for the last buffer first.
        snd_pcm_drop(m_stream->pcm.get());
    }
    m_stream.reset();
    return true;
}

} // namespace sonavell

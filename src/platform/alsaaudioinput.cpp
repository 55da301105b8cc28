#include "platform/alsaaudioinput.h"

#include "platform/alsasupport.h"
#include "platform/capturebufferqueue.h"
#include "platform/losttimemeter.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>
#include <vector>

namespace sonavell {
namespace {

std::uint64_t monotonicNs()
{
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

// Half a second of device buffering rides out a busy encode thread or a loaded machine.
constexpr unsigned kLatencyUs = 500000;

} // namespace

// The open PCM and the state the capture thread shares with the caller's thread.
class AlsaAudioInput::Stream
{
public:
    alsa::ConfigHandle config;
    alsa::PcmHandle pcm;
    AudioInputClient *client = nullptr;
    snd_pcm_format_t sampleFormat = SND_PCM_FORMAT_S16_LE;
    std::uint32_t frameBytes = 4;
    unsigned channels = 2;
    std::uint32_t rate = 44100;
    snd_pcm_uframes_t bufferFrames = 0;
    int wakeFd = -1;

    CaptureBufferQueue queue;
    std::atomic<bool> resetRequested{false};

    ~Stream()
    {
        if (wakeFd >= 0)
            ::close(wakeFd);
    }

    // The one place where frame counts become byte counts.
    std::uint32_t toBytes(std::uint64_t frames) const { return static_cast<std::uint32_t>(frames * frameBytes); }

    void wake()
    {
        resetRequested = true;
        queue.wake();
        const std::uint64_t one = 1;
        [[maybe_unused]] ssize_t written = ::write(wakeFd, &one, sizeof one);
    }

    void drainWake()
    {
        std::uint64_t count = 0;
        [[maybe_unused]] ssize_t got = ::read(wakeFd, &count, sizeof count);
    }

    // Waits up to timeoutMs for a reset; false when one is asked for.
    bool pause(int timeoutMs)
    {
        pollfd fd{wakeFd, POLLIN, 0};
        ::poll(&fd, 1, timeoutMs);
        return !resetRequested;
    }

    // Waits until the PCM can be read or a reset is asked for; false on reset.
    bool waitReadable()
    {
        const int count = snd_pcm_poll_descriptors_count(pcm.get());
        std::vector<pollfd> fds(static_cast<size_t>(std::max(count, 0)) + 1);
        snd_pcm_poll_descriptors(pcm.get(), fds.data(), static_cast<unsigned>(count));
        fds.back() = {wakeFd, POLLIN, 0};
        while (!resetRequested) {
            const int ready = ::poll(fds.data(), fds.size(), -1);
            if (ready < 0 && errno == EINTR)
                continue;
            return !resetRequested;
        }
        return false;
    }
};

AlsaAudioInput::AlsaAudioInput()
{
    for (const alsa::CaptureDevice &device : alsa::captureDevices())
        m_devices.append({device.displayName, device.pcmName});
}

AlsaAudioInput::AlsaAudioInput(const QString &pcmName, const QByteArray &configText)
    : m_devices{{pcmName, pcmName}}, m_configText(configText)
{
    alsa::silenceLibraryMessages();
}

AlsaAudioInput::~AlsaAudioInput()
{
    close();
}

int AlsaAudioInput::deviceCount() const
{
    return static_cast<int>(m_devices.size());
}

QString AlsaAudioInput::deviceName(int device) const
{
    return device >= 0 && device < m_devices.size() ? m_devices[device].displayName : QString();
}

bool AlsaAudioInput::fail(const QString &text)
{
    std::lock_guard lock(m_errorMutex);
    m_error = text;
    return false;
}

QString AlsaAudioInput::errorText() const
{
    std::lock_guard lock(m_errorMutex);
    return m_error;
}

bool AlsaAudioInput::isOpen() const
{
    return m_stream != nullptr;
}

bool AlsaAudioInput::open(int device, const WaveFormat &format, AudioInputClient *client)
{
    if (m_stream)
        return fail(QStringLiteral("The capture device is already open"));
    if (device < 0 || device >= m_devices.size())
        return fail(QStringLiteral("There is no capture device %1").arg(device));
    if (format.formatTag != 1 || (format.bitsPerSample != 16 && format.bitsPerSample != 8) || format.channels == 0)
        return fail(QStringLiteral("The capture format is not 8- or 16-bit PCM"));

    const QString &pcmName = m_devices[device].pcmName;
    auto stream = std::make_unique<Stream>();
    int error = 0;
    snd_pcm_t *raw = nullptr;
    if (m_configText.isEmpty()) {
        error = snd_pcm_open(&raw, pcmName.toUtf8().constData(), SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK);
    } else {
        QString configError;
        stream->config = alsa::loadConfig(m_configText, &configError);
        if (!stream->config)
            return fail(configError);
        error = snd_pcm_open_lconf(&raw, pcmName.toUtf8().constData(), SND_PCM_STREAM_CAPTURE,
                                   SND_PCM_NONBLOCK, stream->config.get());
    }
    if (error < 0)
        return fail(QStringLiteral("Cannot open capture device \"%1\": %2").arg(pcmName, alsa::errorString(error)));
    stream->pcm.reset(raw);

    stream->sampleFormat = alsa::sampleFormat(format.bitsPerSample);
    error = snd_pcm_set_params(stream->pcm.get(), stream->sampleFormat, SND_PCM_ACCESS_RW_INTERLEAVED,
                               format.channels, format.samplesPerSec, 1, kLatencyUs);
    if (error < 0)
        return fail(QStringLiteral("Capture device \"%1\" cannot record %2 Hz, %3 channel(s), %4 bit: %5")
                        .arg(pcmName)
                        .arg(format.samplesPerSec)
                        .arg(format.channels)
                        .arg(format.bitsPerSample)
                        .arg(alsa::errorString(error)));
    snd_pcm_uframes_t periodFrames = 0;
    snd_pcm_get_params(stream->pcm.get(), &stream->bufferFrames, &periodFrames);

    stream->wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (stream->wakeFd < 0)
        return fail(QStringLiteral("Cannot create the capture thread's wake-up event"));
    stream->client = client;
    stream->frameBytes = static_cast<std::uint32_t>(format.channels * format.bitsPerSample / 8);
    stream->channels = format.channels;
    stream->rate = format.samplesPerSec;
    m_overruns = 0;
    m_lostMs = 0;
    m_deviceLost = false;
    m_stream = std::move(stream);
    return true;
}

bool AlsaAudioInput::prepare(AudioInputBuffer &buffer)
{
    if (!m_stream)
        return fail(QStringLiteral("The capture device is not open"));
    const QString problem = CaptureBufferQueue::prepare(buffer, m_stream->frameBytes);
    return problem.isEmpty() || fail(problem);
}

bool AlsaAudioInput::unprepare(AudioInputBuffer &buffer)
{
    const QString problem = CaptureBufferQueue::unprepare(buffer);
    return problem.isEmpty() || fail(problem);
}

bool AlsaAudioInput::queue(AudioInputBuffer &buffer)
{
    if (!m_stream)
        return fail(QStringLiteral("The capture device is not open"));
    const QString problem = m_stream->queue.enqueue(buffer, QStringLiteral("The capture device was removed"));
    return problem.isEmpty() || fail(problem);
}

bool AlsaAudioInput::start()
{
    if (!m_stream)
        return fail(QStringLiteral("The capture device is not open"));
    if (m_thread.joinable()) {
        if (!m_stream->resetRequested)
            return true;
        m_thread.join(); // a reset asked from a notification left the thread ending
    }
    Stream &stream = *m_stream;
    stream.resetRequested = false;
    stream.drainWake();
    const snd_pcm_state_t state = snd_pcm_state(stream.pcm.get());
    if (state != SND_PCM_STATE_PREPARED) {
        if (const int error = snd_pcm_prepare(stream.pcm.get()); error < 0)
            return fail(QStringLiteral("Cannot prepare the capture device: %1").arg(alsa::errorString(error)));
    }
    if (const int error = snd_pcm_start(stream.pcm.get()); error < 0)
        return fail(QStringLiteral("Cannot start the capture device: %1").arg(alsa::errorString(error)));

    m_thread = std::thread([this, &stream] {
        LostTimeMeter meter;
        meter.start(monotonicNs(), stream.rate, stream.bufferFrames);
        snd_pcm_t *pcm = stream.pcm.get();
        bool lost = false;

        auto deliver = [&](std::uint64_t frames) { stream.queue.handBackFirst(stream.toBytes(frames), stream.client); };

        while (!stream.resetRequested) {
            AudioInputBuffer *buffer = stream.queue.waitFirst([&] { return stream.resetRequested.load(); }, lost);
            if (!buffer)
                break;
            const std::uint64_t wanted = buffer->length / stream.frameBytes;
            std::uint64_t filled = 0;
            while (filled < wanted && !lost) {
                const snd_pcm_sframes_t got = snd_pcm_readi(pcm, buffer->data + stream.toBytes(filled),
                                                            static_cast<snd_pcm_uframes_t>(wanted - filled));
                if (got > 0) {
                    filled += static_cast<std::uint64_t>(got);
                    const snd_pcm_sframes_t waiting = snd_pcm_avail_update(pcm);
                    meter.addFrames(static_cast<std::uint64_t>(got), monotonicNs(),
                                    waiting > 0 ? static_cast<std::uint64_t>(waiting) : 0);
                    m_lostMs = meter.lostMilliseconds();
                    continue;
                }
                const int error = got == 0 ? -EAGAIN : static_cast<int>(got);
                switch (classifyStreamFailure(error)) {
                case StreamFailure::TryAgain:
                    break;
                case StreamFailure::Overrun:
                    ++m_overruns;
                    if (snd_pcm_prepare(pcm) < 0 || snd_pcm_start(pcm) < 0)
                        lost = true;
                    continue;
                case StreamFailure::Suspended: {
                    int resumed = 0;
                    while ((resumed = snd_pcm_resume(pcm)) == -EAGAIN && stream.pause(100)) {}
                    if (resumed < 0 && (snd_pcm_prepare(pcm) < 0 || snd_pcm_start(pcm) < 0))
                        lost = true;
                    continue;
                }
                case StreamFailure::DeviceGone:
                    lost = true;
                    fail(QStringLiteral("The capture device stopped: %1").arg(alsa::errorString(error)));
                    continue;
                }
                if (!stream.waitReadable())
                    break;
            }
            if (stream.resetRequested) {
                deliver(filled);
                break;
            }
            if (lost) {
                // Keep what was captured; the rest of this buffer becomes silence.
                snd_pcm_format_set_silence(stream.sampleFormat, buffer->data + stream.toBytes(filled),
                                           static_cast<unsigned>((wanted - filled) * stream.channels));
                stream.queue.markLost();
                m_deviceLost = true;
                deliver(wanted);
                if (stream.client)
                    stream.client->onAudioInput(AudioInputClient::Event::DeviceLost, nullptr);
                continue;
            }
            deliver(filled);
        }

        snd_pcm_drop(pcm);
        // Hand back whatever is still queued, as a reset does.
        stream.queue.handBackAll(stream.client);
    });
    return true;
}

void AlsaAudioInput::joinThread()
{
    if (!m_thread.joinable())
        return;
    if (m_thread.get_id() == std::this_thread::get_id())
        return; // asked from a notification: the thread ends when it returns
    m_thread.join();
}

bool AlsaAudioInput::reset()
{
    if (!m_stream)
        return fail(QStringLiteral("The capture device is not open"));
    m_stream->wake();
    if (m_thread.joinable() && m_thread.get_id() == std::this_thread::get_id())
        return true;
    joinThread();
    // Buffers queued but never started are handed back here, on the caller's thread.
    m_stream->queue.handBackAll(m_stream->client);
    snd_pcm_drop(m_stream->pcm.get());
    snd_pcm_prepare(m_stream->pcm.get());
    m_stream->resetRequested = false;
    m_stream->drainWake();
    return true;
}

bool AlsaAudioInput::close()
{
    if (!m_stream)
        return fail(QStringLiteral("The capture device is not open"));
    if (m_thread.joinable() && m_thread.get_id() == std::this_thread::get_id())
        return fail(QStringLiteral("The capture device cannot be closed from its own notification"));
    m_stream->wake();
    if (m_thread.joinable())
        m_thread.join();
    m_stream.reset();
    return true;
}

} // namespace sonavell

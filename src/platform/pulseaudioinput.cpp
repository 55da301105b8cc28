#include "platform/pulseaudioinput.h"

#include "platform/capturebufferqueue.h"
#include "platform/losttimemeter.h"
#include "platform/pulsecontext.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

namespace sonavell {
namespace {

std::uint64_t monotonicNs()
{
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

// What the server may hold for us while the encoder is busy before it drops audio: as much as
// the ALSA path's device buffer and then some, never less than a few fragments.
constexpr std::uint32_t kHeldMs = 2000;
constexpr std::uint32_t kMinimumFragments = 8;

} // namespace

// The connected stream and the state the capture thread shares with the caller's thread.
class PulseAudioInput::Stream
{
public:
    explicit Stream(PulseContext &context) : pulse(context) {}

    PulseContext &pulse;
    pa_stream *stream = nullptr; // mainloop lock held
    QString source;
    AudioInputClient *client = nullptr;
    pa_sample_spec spec{};
    std::uint32_t frameBytes = 4;
    std::uint8_t silence = 0;
    std::uint64_t heldFrames = 0;
    std::vector<std::uint8_t> leftover; // the part of a server fragment that did not fit a buffer
    QString recording;                  // the source the stream records from
    bool moved = false;                 // the server moved the stream; mainloop lock held

    CaptureBufferQueue queue;
    std::atomic<bool> resetRequested{false};

    void wake()
    {
        resetRequested = true;
        queue.wake();
        PulseLock lock(pulse);
        pa_threaded_mainloop_signal(pulse.mainloop(), 0);
    }
};

namespace {

// Stream callbacks; mainloop thread, lock held.
void onStreamWake(pa_stream *, void *context)
{
    pa_threaded_mainloop_signal(static_cast<PulseContext *>(context)->mainloop(), 0);
}

void onStreamRead(pa_stream *, size_t, void *context)
{
    pa_threaded_mainloop_signal(static_cast<PulseContext *>(context)->mainloop(), 0);
}

} // namespace

// Mainloop thread, lock held: the capture thread looks at why the stream moved.
void PulseAudioInput::onMoved(pa_stream *, void *data)
{
    auto *stream = static_cast<Stream *>(data);
    stream->moved = true;
    pa_threaded_mainloop_signal(stream->pulse.mainloop(), 0);
}

// The server moves a stream when its source goes away (or someone moves it in a mixer). A
// recording that silently went on from another input would not be what the user chose, so
// it ends unless its source still exists. Capture thread, mainloop lock not held.
bool PulseAudioInput::followMove(Stream &stream)
{
    QString now;
    {
        PulseLock lock(*m_context);
        stream.moved = false;
        if (const char *name = pa_stream_get_device_name(stream.stream))
            now = QString::fromUtf8(name);
    }
    if (now.isEmpty() || now == stream.recording)
        return true;
    const QList<PulseSource> sources = m_context->sources();
    const bool stillThere = std::any_of(sources.begin(), sources.end(),
                                        [&](const PulseSource &source) { return source.name == stream.recording; });
    if (!stillThere) {
        fail(QStringLiteral("The capture source \"%1\" was removed").arg(stream.recording));
        return false;
    }
    stream.recording = now;
    PulseLock lock(*m_context);
    m_context->setCaptureSource(now);
    return true;
}

PulseAudioInput::PulseAudioInput(std::shared_ptr<PulseContext> context) : m_context(std::move(context)) {}

PulseAudioInput::~PulseAudioInput()
{
    if (m_stream)
        close();
}

int PulseAudioInput::deviceCount() const
{
    return static_cast<int>(m_context->sources().size());
}

QString PulseAudioInput::deviceName(int device) const
{
    const QList<PulseSource> sources = m_context->sources();
    return device >= 0 && device < sources.size() ? sources[device].description : QString();
}

int PulseAudioInput::chosenDevice() const
{
    const QList<PulseSource> sources = m_context->sources();
    const QString current = m_context->recordingSource();
    for (int i = 0; i < sources.size(); ++i)
        if (sources[i].name == current)
            return i;
    return sources.isEmpty() ? -1 : 0;
}

bool PulseAudioInput::chooseDevice(int device)
{
    const QList<PulseSource> sources = m_context->sources();
    if (device < 0 || device >= sources.size())
        return fail(QStringLiteral("There is no capture device %1").arg(device));
    return m_context->chooseSource(sources[device].name);
}

bool PulseAudioInput::fail(const QString &text)
{
    std::lock_guard lock(m_errorMutex);
    m_error = text;
    return false;
}

QString PulseAudioInput::errorText() const
{
    std::lock_guard lock(m_errorMutex);
    return m_error;
}

bool PulseAudioInput::isOpen() const
{
    return m_stream != nullptr;
}

bool PulseAudioInput::open(int device, const WaveFormat &format, AudioInputClient *client)
{
    if (m_stream)
        return fail(QStringLiteral("The capture device is already open"));
    if (format.formatTag != 1 || (format.bitsPerSample != 16 && format.bitsPerSample != 8) || format.channels == 0
        || format.channels > PA_CHANNELS_MAX)
        return fail(QStringLiteral("The capture format is not 8- or 16-bit PCM"));
    const QList<PulseSource> sources = m_context->sources();
    if (device < 0 || device >= sources.size())
        return fail(QStringLiteral("There is no capture device %1").arg(device));

    auto stream = std::make_unique<Stream>(*m_context);
    stream->source = sources[device].name;
    stream->client = client;
    stream->spec.format = format.bitsPerSample == 8 ? PA_SAMPLE_U8 : PA_SAMPLE_S16LE;
    stream->spec.channels = static_cast<std::uint8_t>(format.channels);
    stream->spec.rate = format.samplesPerSec;
    if (!pa_sample_spec_valid(&stream->spec))
        return fail(QStringLiteral("The sound server cannot record %1 Hz, %2 channel(s)")
                        .arg(format.samplesPerSec)
                        .arg(format.channels));
    stream->frameBytes = static_cast<std::uint32_t>(pa_frame_size(&stream->spec));
    stream->silence = format.bitsPerSample == 8 ? 0x80 : 0;
    m_overruns = 0;
    m_lostMs = 0;
    m_deviceLost = false;
    m_stream = std::move(stream);
    return true;
}

bool PulseAudioInput::prepare(AudioInputBuffer &buffer)
{
    if (!m_stream)
        return fail(QStringLiteral("The capture device is not open"));
    const QString problem = CaptureBufferQueue::prepare(buffer, m_stream->frameBytes);
    return problem.isEmpty() || fail(problem);
}

bool PulseAudioInput::unprepare(AudioInputBuffer &buffer)
{
    const QString problem = CaptureBufferQueue::unprepare(buffer);
    return problem.isEmpty() || fail(problem);
}

bool PulseAudioInput::queue(AudioInputBuffer &buffer)
{
    if (!m_stream)
        return fail(QStringLiteral("The capture device is not open"));
    const QString problem = m_stream->queue.enqueue(buffer, QStringLiteral("The capture source was removed"));
    return problem.isEmpty() || fail(problem);
}

bool PulseAudioInput::start()
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
    if (!stream.stream) {
        // Fragments of one buffer: the server hands over audio as fast as the encoder takes it.
        std::uint32_t fragment = stream.queue.firstLength();
        if (fragment == 0)
            fragment = static_cast<std::uint32_t>(pa_usec_to_bytes(50000, &stream.spec));
        fragment -= fragment % stream.frameBytes;
        const auto held = static_cast<std::uint32_t>(pa_usec_to_bytes(kHeldMs * 1000ull, &stream.spec));
        pa_buffer_attr attributes;
        attributes.maxlength = std::max(held, fragment * kMinimumFragments);
        attributes.fragsize = fragment;
        attributes.tlength = attributes.prebuf = attributes.minreq = static_cast<std::uint32_t>(-1);

        PulseLock lock(*m_context);
        pa_stream *raw = pa_stream_new(m_context->context(), "Recording", &stream.spec, nullptr);
        if (!raw)
            return fail(QStringLiteral("Cannot create a recording stream: %1").arg(m_context->lastServerError()));
        pa_stream_set_state_callback(raw, onStreamWake, m_context.get());
        pa_stream_set_read_callback(raw, onStreamRead, m_context.get());
        pa_stream_set_moved_callback(raw, &PulseAudioInput::onMoved, &stream);
        pa_stream_set_overflow_callback(
            raw,
            [](pa_stream *, void *self) {
                auto *input = static_cast<PulseAudioInput *>(self);
                ++input->m_overruns;
            },
            this);
        const QByteArray source = stream.source.toUtf8();
        const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY);
        pa_stream_state_t state = PA_STREAM_FAILED;
        if (pa_stream_connect_record(raw, source.constData(), &attributes, flags) >= 0) {
            while ((state = pa_stream_get_state(raw)) == PA_STREAM_CREATING)
                pa_threaded_mainloop_wait(m_context->mainloop());
        }
        if (state != PA_STREAM_READY) {
            const QString why = m_context->lastServerError();
            pa_stream_set_state_callback(raw, nullptr, nullptr);
            pa_stream_disconnect(raw);
            pa_stream_unref(raw);
            return fail(QStringLiteral("Cannot record from \"%1\": %2").arg(stream.source, why));
        }
        stream.stream = raw;
        const pa_buffer_attr *granted = pa_stream_get_buffer_attr(raw);
        stream.heldFrames = (granted ? granted->maxlength : attributes.maxlength) / stream.frameBytes;
        const char *device = pa_stream_get_device_name(raw);
        stream.recording = device ? QString::fromUtf8(device) : stream.source;
        stream.moved = false;
        m_context->setCaptureStream(raw, stream.recording);
    }
    m_thread = std::thread([this, &stream] { run(stream); });
    return true;
}

// The capture thread.
void PulseAudioInput::run(Stream &stream)
{
    LostTimeMeter meter;
    meter.start(monotonicNs(), stream.spec.rate, stream.heldFrames);
    std::uint64_t bytesTaken = 0;
    bool lost = false;

    auto deliver = [&](std::uint32_t bytes) { stream.queue.handBackFirst(bytes, stream.client); };
    auto took = [&](std::size_t bytes) {
        const std::uint64_t before = bytesTaken / stream.frameBytes;
        bytesTaken += bytes;
        meter.addFrames(bytesTaken / stream.frameBytes - before, monotonicNs());
        m_lostMs = meter.lostMilliseconds();
    };

    while (!stream.resetRequested) {
        AudioInputBuffer *buffer = stream.queue.waitFirst([&] { return stream.resetRequested.load(); }, lost);
        if (!buffer)
            break;
        const std::uint32_t wanted = buffer->length - buffer->length % stream.frameBytes;
        std::uint32_t filled = 0;
        if (!stream.leftover.empty()) {
            const auto part = static_cast<std::uint32_t>(std::min<std::size_t>(stream.leftover.size(), wanted));
            std::memcpy(buffer->data, stream.leftover.data(), part);
            stream.leftover.erase(stream.leftover.begin(), stream.leftover.begin() + part);
            filled = part;
        }
        while (filled < wanted && !lost) {
            std::size_t got = 0;
            bool moved = false;
            {
                PulseLock lock(*m_context);
                moved = stream.moved;
            }
            if (moved && !followMove(stream)) {
                lost = true;
                break;
            }
            {
                PulseLock lock(*m_context);
                if (stream.resetRequested)
                    break;
                if (stream.moved)
                    continue;
                if (pa_stream_get_state(stream.stream) != PA_STREAM_READY) {
                    lost = true;
                    fail(QStringLiteral("The sound server ended the recording from \"%1\"").arg(stream.source));
                    break;
                }
                const std::size_t readable = pa_stream_readable_size(stream.stream);
                if (readable == 0 || readable == static_cast<std::size_t>(-1)) {
                    pa_threaded_mainloop_wait(m_context->mainloop());
                    continue;
                }
                const void *data = nullptr;
                std::size_t length = 0;
                if (pa_stream_peek(stream.stream, &data, &length) < 0) {
                    lost = true;
                    fail(QStringLiteral("The recording stream failed: %1").arg(m_context->lastServerError()));
                    break;
                }
                if (length == 0)
                    continue;
                got = std::min<std::size_t>(length, wanted - filled);
                const auto *bytes = static_cast<const std::uint8_t *>(data);
                // A hole in the stream is audio nobody has: silence stands in for it.
                if (bytes) {
                    std::memcpy(buffer->data + filled, bytes, got);
                    stream.leftover.assign(bytes + got, bytes + length);
                } else {
                    std::memset(buffer->data + filled, stream.silence, got);
                    stream.leftover.assign(length - got, stream.silence);
                }
                pa_stream_drop(stream.stream);
            }
            filled += static_cast<std::uint32_t>(got);
            took(got);
        }
        if (stream.resetRequested) {
            deliver(filled);
            break;
        }
        if (lost) {
            // Keep what was captured; the rest of this buffer becomes silence.
            std::memset(buffer->data + filled, stream.silence, wanted - filled);
            stream.queue.markLost();
            m_deviceLost = true;
            deliver(wanted);
            if (stream.client)
                stream.client->onAudioInput(AudioInputClient::Event::DeviceLost, nullptr);
            continue;
        }
        deliver(filled);
    }

    // Hand back whatever is still queued, as a reset does.
    stream.queue.handBackAll(stream.client);
}

void PulseAudioInput::disconnect()
{
    Stream &stream = *m_stream;
    PulseLock lock(*m_context);
    if (!stream.stream)
        return;
    m_context->setCaptureStream(nullptr, {});
    pa_stream_set_state_callback(stream.stream, nullptr, nullptr);
    pa_stream_set_read_callback(stream.stream, nullptr, nullptr);
    pa_stream_set_moved_callback(stream.stream, nullptr, nullptr);
    pa_stream_set_overflow_callback(stream.stream, nullptr, nullptr);
    pa_stream_disconnect(stream.stream);
    pa_stream_unref(stream.stream);
    stream.stream = nullptr;
    stream.leftover.clear();
}

bool PulseAudioInput::reset()
{
    if (!m_stream)
        return fail(QStringLiteral("The capture device is not open"));
    m_stream->wake();
    if (m_thread.joinable() && m_thread.get_id() == std::this_thread::get_id())
        return true;
    if (m_thread.joinable())
        m_thread.join();
    // Buffers queued but never started are handed back here, on the caller's thread.
    m_stream->queue.handBackAll(m_stream->client);
    disconnect();
    m_stream->resetRequested = false;
    return true;
}

bool PulseAudioInput::close()
{
    if (!m_stream)
        return fail(QStringLiteral("The capture device is not open"));
    if (m_thread.joinable() && m_thread.get_id() == std::this_thread::get_id())
        return fail(QStringLiteral("The capture device cannot be closed from its own notification"));
    m_stream->wake();
    if (m_thread.joinable())
        m_thread.join();
    disconnect();
    m_stream.reset();
    return true;
}

} // namespace sonavell

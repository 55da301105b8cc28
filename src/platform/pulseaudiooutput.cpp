#include "platform/pulseaudiooutput.h"

#include "platform/playbackbufferqueue.h"
#include "platform/pulsecontext.h"

#include <pulse/pulseaudio.h>

#include <algorithm>

namespace sonavell {
namespace {

// A fifth of a second, as on ALSA: the position stays close to what is heard.
constexpr pa_usec_t kLatencyUs = 200000;

void onStreamWake(pa_stream *, void *context)
{
    pa_threaded_mainloop_signal(static_cast<PulseContext *>(context)->mainloop(), 0);
}

void onStreamWrite(pa_stream *, size_t, void *context)
{
    pa_threaded_mainloop_signal(static_cast<PulseContext *>(context)->mainloop(), 0);
}

} // namespace

class PulseAudioOutput::Stream
{
public:
    explicit Stream(PulseContext &context) : pulse(context) {}

    PulseContext &pulse;
    pa_stream *stream = nullptr;
    AudioOutputClient *client = nullptr;
    std::uint32_t frameBytes = 4;
    std::uint32_t bytesPerSecond = 176400;
    std::uint64_t bytesWritten = 0; // since open or the last reset; mainloop lock held
    std::uint32_t frontDone = 0;    // bytes of the first queued buffer already written; playback thread

    // Its pause and stop flags change before the mainloop is woken: the playback thread reads
    // them with the mainloop lock held before it waits there, so no wake-up is missed.
    PlaybackBufferQueue queue;

    void wake()
    {
        queue.notify();
        PulseLock lock(pulse);
        pa_threaded_mainloop_signal(pulse.mainloop(), 0);
    }
};

PulseAudioOutput::PulseAudioOutput(std::shared_ptr<PulseContext> context) : m_context(std::move(context)) {}

PulseAudioOutput::~PulseAudioOutput()
{
    if (m_stream)
        close();
}

bool PulseAudioOutput::fail(const QString &text)
{
    std::lock_guard lock(m_errorMutex);
    m_error = text;
    return false;
}

QString PulseAudioOutput::errorText() const
{
    std::lock_guard lock(m_errorMutex);
    return m_error;
}

bool PulseAudioOutput::open(const WaveFormat &format, AudioOutputClient *client)
{
    if (m_stream)
        return fail(QStringLiteral("The playback device is already open"));
    if (format.formatTag != 1 || (format.bitsPerSample != 16 && format.bitsPerSample != 8) || format.channels == 0
        || format.channels > PA_CHANNELS_MAX)
        return fail(QStringLiteral("The playback format is not 8- or 16-bit PCM"));
    pa_sample_spec spec;
    spec.format = format.bitsPerSample == 8 ? PA_SAMPLE_U8 : PA_SAMPLE_S16LE;
    spec.channels = static_cast<std::uint8_t>(format.channels);
    spec.rate = format.samplesPerSec;
    if (!pa_sample_spec_valid(&spec))
        return fail(QStringLiteral("The sound server cannot play %1 Hz, %2 channel(s)").arg(format.samplesPerSec).arg(format.channels));

    auto stream = std::make_unique<Stream>(*m_context);
    stream->client = client;
    stream->frameBytes = static_cast<std::uint32_t>(pa_frame_size(&spec));
    stream->bytesPerSecond = static_cast<std::uint32_t>(pa_bytes_per_second(&spec));
    pa_buffer_attr attributes;
    attributes.maxlength = static_cast<std::uint32_t>(-1);
    attributes.tlength = static_cast<std::uint32_t>(pa_usec_to_bytes(kLatencyUs, &spec));
    attributes.prebuf = static_cast<std::uint32_t>(-1);
    attributes.minreq = static_cast<std::uint32_t>(-1);
    attributes.fragsize = static_cast<std::uint32_t>(-1);
    const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_INTERPOLATE_TIMING
                                                      | PA_STREAM_AUTO_TIMING_UPDATE);
    {
        PulseLock lock(*m_context);
        pa_stream *raw = pa_stream_new(m_context->context(), "Playback", &spec, nullptr);
        if (!raw)
            return fail(QStringLiteral("Cannot create a playback stream: %1").arg(m_context->lastServerError()));
        pa_stream_set_state_callback(raw, onStreamWake, m_context.get());
        pa_stream_set_write_callback(raw, onStreamWrite, m_context.get());
        pa_stream_state_t state = PA_STREAM_FAILED;
        if (pa_stream_connect_playback(raw, nullptr, &attributes, flags, nullptr, nullptr) >= 0) {
            while ((state = pa_stream_get_state(raw)) == PA_STREAM_CREATING)
                pa_threaded_mainloop_wait(m_context->mainloop());
        }
        if (state != PA_STREAM_READY) {
            const QString why = m_context->lastServerError();
            pa_stream_set_state_callback(raw, nullptr, nullptr);
            pa_stream_set_write_callback(raw, nullptr, nullptr);
            pa_stream_disconnect(raw);
            pa_stream_unref(raw);
            return fail(QStringLiteral("Cannot play through the sound server: %1").arg(why));
        }
        stream->stream = raw;
    }
    m_stream = std::move(stream);
    startThread();
    return true;
}

bool PulseAudioOutput::prepare(AudioOutputBuffer &buffer)
{
    if (!m_stream)
        return fail(QStringLiteral("The playback device is not open"));
    const QString problem = PlaybackBufferQueue::prepare(buffer);
    return problem.isEmpty() || fail(problem);
}

bool PulseAudioOutput::unprepare(AudioOutputBuffer &buffer)
{
    const QString problem = PlaybackBufferQueue::unprepare(buffer);
    return problem.isEmpty() || fail(problem);
}

bool PulseAudioOutput::write(AudioOutputBuffer &buffer)
{
    if (!m_stream)
        return fail(QStringLiteral("The playback device is not open"));
    const QString problem = m_stream->queue.write(buffer);
    return problem.isEmpty() || fail(problem);
}

void PulseAudioOutput::startThread()
{
    m_stream->queue.setStopRequested(false);
    m_thread = std::thread([this] { run(); });
}

void PulseAudioOutput::stopThread()
{
    m_stream->queue.setStopRequested(true);
    m_stream->wake();
    if (m_thread.joinable())
        m_thread.join();
}

// The playback thread.
void PulseAudioOutput::run()
{
    Stream &stream = *m_stream;
    for (;;) {
        AudioOutputBuffer *buffer = stream.queue.waitFirst();
        if (!buffer)
            return;
        const std::uint32_t length = buffer->length - buffer->length % stream.frameBytes;
        std::uint32_t &done = stream.frontDone;
        bool lost = false;
        while (done < length) {
            PulseLock lock(*m_context);
            if (stream.queue.isInterrupted())
                break;
            if (pa_stream_get_state(stream.stream) != PA_STREAM_READY) {
                fail(QStringLiteral("The sound server ended the playback: %1").arg(m_context->lastServerError()));
                lost = true;
                break;
            }
            std::size_t room = pa_stream_writable_size(stream.stream);
            if (room != static_cast<std::size_t>(-1))
                room -= room % stream.frameBytes;
            if (room == 0 || room == static_cast<std::size_t>(-1)) {
                pa_threaded_mainloop_wait(m_context->mainloop());
                continue;
            }
            const auto chunk = static_cast<std::uint32_t>(std::min<std::size_t>(room, length - done));
            if (pa_stream_write(stream.stream, buffer->data + done, chunk, nullptr, 0, PA_SEEK_RELATIVE) < 0) {
                fail(QStringLiteral("The sound server took no more audio: %1").arg(m_context->lastServerError()));
                lost = true;
                break;
            }
            stream.bytesWritten += chunk;
            done += chunk;
        }
        if (lost) {
            if (stream.client)
                stream.client->onAudioOutput(AudioOutputClient::Event::DeviceLost, nullptr);
            stream.queue.waitForStop();
            return;
        }
        if (done < length)
            continue; // paused or stopping: the buffer stays first in line
        done = 0;
        if (stream.queue.handBackFirst(stream.client)) {
            // The end of a sound may be shorter than the server's prebuffer: start it anyway.
            PulseLock lock(*m_context);
            if (pa_operation *operation = pa_stream_trigger(stream.stream, nullptr, nullptr))
                pa_operation_unref(operation);
        }
    }
}

void PulseAudioOutput::cork(bool on)
{
    PulseLock lock(*m_context);
    if (pa_operation *operation = pa_stream_cork(m_stream->stream, on ? 1 : 0, nullptr, nullptr))
        pa_operation_unref(operation);
}

bool PulseAudioOutput::pause()
{
    if (!m_stream)
        return fail(QStringLiteral("The playback device is not open"));
    m_stream->queue.setPaused(true);
    m_stream->wake();
    cork(true);
    return true;
}

bool PulseAudioOutput::restart()
{
    if (!m_stream)
        return fail(QStringLiteral("The playback device is not open"));
    cork(false);
    m_stream->queue.setPaused(false);
    m_stream->wake();
    return true;
}

bool PulseAudioOutput::reset()
{
    if (!m_stream)
        return fail(QStringLiteral("The playback device is not open"));
    if (m_thread.get_id() == std::this_thread::get_id())
        return fail(QStringLiteral("The playback device cannot be reset from its own notification"));
    stopThread();
    m_stream->frontDone = 0; // the playback thread is stopped
    {
        PulseLock lock(*m_context);
        if (pa_operation *operation = pa_stream_flush(m_stream->stream, nullptr, nullptr))
            pa_operation_unref(operation);
        if (pa_operation *operation = pa_stream_cork(m_stream->stream, 0, nullptr, nullptr))
            pa_operation_unref(operation);
        m_stream->bytesWritten = 0;
    }
    m_stream->queue.handBackAll(m_stream->client);
    startThread();
    return true;
}

// What has been written less what the server has not played yet.
std::uint64_t PulseAudioOutput::positionBytes() const
{
    if (!m_stream)
        return 0;
    PulseLock lock(*m_context);
    pa_usec_t latency = 0;
    int negative = 0;
    std::uint64_t pending = m_stream->bytesWritten; // no timing yet: nothing is known to be played
    if (pa_stream_get_latency(m_stream->stream, &latency, &negative) == 0)
        pending = negative ? 0 : latency * m_stream->bytesPerSecond / 1000000;
    pending -= pending % m_stream->frameBytes;
    return m_stream->bytesWritten > pending ? m_stream->bytesWritten - pending : 0;
}

bool PulseAudioOutput::close()
{
    if (!m_stream)
        return fail(QStringLiteral("The playback device is not open"));
    if (m_thread.get_id() == std::this_thread::get_id())
        return fail(QStringLiteral("The playback device cannot be closed from its own notification"));
    stopThread();
    {
        PulseLock lock(*m_context);
        pa_stream_set_state_callback(m_stream->stream, nullptr, nullptr);
        pa_stream_set_write_callback(m_stream->stream, nullptr, nullptr);
        // Closing stops at once; a player that wants its tail heard waits for the last buffer first.
        pa_stream_disconnect(m_stream->stream);
        pa_stream_unref(m_stream->stream);
    }
    m_stream.reset();
    return true;
}

} // namespace sonavell

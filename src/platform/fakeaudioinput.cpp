#include "platform/fakeaudioinput.h"

#include <algorithm>
#include <cstring>

namespace sonavell {

FakeAudioInput::FakeAudioInput() = default;

FakeAudioInput::~FakeAudioInput()
{
    stopThread();
}

void FakeAudioInput::failAt(Step step, int call)
{
    m_failAt[static_cast<int>(step)] = call;
}

void FakeAudioInput::allowBuffers(int count)
{
    {
        std::lock_guard lock(m_mutex);
        m_allowance = count;
    }
    m_changed.notify_all();
}

bool FakeAudioInput::waitForDelivered(std::uint64_t count)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_delivered >= count || m_ended; });
    return m_delivered >= count;
}

int FakeAudioInput::queuedCount() const
{
    std::lock_guard lock(m_mutex);
    return static_cast<int>(m_queue.size());
}

QString FakeAudioInput::errorText() const
{
    std::lock_guard lock(m_mutex);
    return m_error;
}

bool FakeAudioInput::fail(const QString &text)
{
    std::lock_guard lock(m_mutex);
    m_error = text;
    return false;
}

bool FakeAudioInput::call(Step step)
{
    const int index = static_cast<int>(step);
    return m_calls[index]++ != m_failAt[index];
}

bool FakeAudioInput::open(int device, const WaveFormat &format, AudioInputClient *client)
{
    if (!call(Step::Open))
        return fail(QStringLiteral("open failed (scripted)"));
    if (device < 0 || device >= deviceCount())
        return fail(QStringLiteral("There is no capture device %1").arg(device));
    if (m_open)
        return fail(QStringLiteral("already open"));
    m_device = device;
    m_format = format;
    m_client = client;
    m_open = true;
    std::lock_guard lock(m_mutex);
    m_ended = false;
    m_frame = 0;
    return true;
}

bool FakeAudioInput::prepare(AudioInputBuffer &buffer)
{
    if (!call(Step::Prepare))
        return fail(QStringLiteral("prepare failed (scripted)"));
    if (!m_open || !buffer.data)
        return fail(QStringLiteral("prepare without a device or memory"));
    buffer.prepared = true;
    return true;
}

bool FakeAudioInput::unprepare(AudioInputBuffer &buffer)
{
    if (buffer.queued)
        return fail(QStringLiteral("unprepare of a queued buffer"));
    buffer.prepared = false;
    return true;
}

bool FakeAudioInput::queue(AudioInputBuffer &buffer)
{
    if (!call(Step::Queue))
        return fail(QStringLiteral("queue failed (scripted)"));
    if (!m_open || !buffer.prepared)
        return fail(QStringLiteral("queue without a device or an unprepared buffer"));
    {
        std::lock_guard lock(m_mutex);
        buffer.queued = true;
        buffer.bytesRecorded = 0;
        m_queue.push_back(&buffer);
    }
    m_changed.notify_all();
    return true;
}

bool FakeAudioInput::start()
{
    if (!call(Step::Start))
        return fail(QStringLiteral("start failed (scripted)"));
    if (!m_open)
        return fail(QStringLiteral("start without a device"));
    if (m_thread.joinable())
        return true;
    {
        std::lock_guard lock(m_mutex);
        m_stopRequested = false;
        m_ended = false;
    }
    m_thread = std::thread([this] { run(); });
    return true;
}

void FakeAudioInput::fill(AudioInputBuffer &buffer, std::uint64_t frames)
{
    const int channels = std::max<int>(1, m_format.channels);
    auto *samples = reinterpret_cast<std::int16_t *>(buffer.data);
    const std::uint64_t total = buffer.length / (2u * static_cast<unsigned>(channels));
    for (std::uint64_t f = 0; f < total; ++f) {
        for (int c = 0; c < channels; ++c) {
            const std::int16_t value = f < frames && m_signal ? m_signal(m_frame + f, c) : std::int16_t(0);
            samples[f * static_cast<unsigned>(channels) + static_cast<unsigned>(c)] = value;
        }
    }
}

void FakeAudioInput::run()
{
    const std::uint32_t frameBytes = std::max<std::uint32_t>(1, m_format.channels * 2u);
    for (;;) {
        AudioInputBuffer *buffer = nullptr;
        std::uint64_t frames = 0;
        bool lost = false;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] { return m_stopRequested || (!m_ended && !m_queue.empty() && m_allowance != 0); });
            if (m_stopRequested)
                break;
            buffer = m_queue.front();
            m_queue.pop_front();
            if (m_allowance > 0)
                --m_allowance;
            frames = std::min<std::uint64_t>(buffer->length / frameBytes, m_frameLimit - m_frame);
            lost = m_frame + frames >= m_frameLimit;
        }
        fill(*buffer, frames);
        {
            std::lock_guard lock(m_mutex);
            m_frame += frames;
            buffer->queued = false;
            buffer->bytesRecorded = static_cast<std::uint32_t>(frames * frameBytes);
        }
        if (frames > 0 || !lost) {
            if (m_client)
                m_client->onAudioInput(AudioInputClient::Event::BufferDone, buffer);
            {
                std::lock_guard lock(m_mutex);
                ++m_delivered;
            }
            m_changed.notify_all();
        } else {
            std::lock_guard lock(m_mutex);
            buffer->queued = true;
            m_queue.push_front(buffer);
        }
        if (lost) {
            if (m_client)
                m_client->onAudioInput(AudioInputClient::Event::DeviceLost, nullptr);
            {
                std::lock_guard lock(m_mutex);
                m_ended = true;
            }
            m_changed.notify_all();
        }
    }
    // A reset hands back what is still queued.
    for (;;) {
        AudioInputBuffer *buffer = nullptr;
        {
            std::lock_guard lock(m_mutex);
            if (m_queue.empty())
                break;
            buffer = m_queue.front();
            m_queue.pop_front();
            buffer->queued = false;
            buffer->bytesRecorded = 0;
        }
        ++m_returned;
        if (m_client)
            m_client->onAudioInput(AudioInputClient::Event::BufferDone, buffer);
    }
}

void FakeAudioInput::stopThread()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopRequested = true;
        m_ended = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id())
        m_thread.join();
}

bool FakeAudioInput::reset()
{
    if (!call(Step::Reset))
        return fail(QStringLiteral("reset failed (scripted)"));
    if (!m_open)
        return fail(QStringLiteral("reset without a device"));
    stopThread();
    if (m_thread.joinable() && m_thread.get_id() == std::this_thread::get_id())
        return true;
    // Nothing was started: hand back the queue here.
    std::deque<AudioInputBuffer *> pending;
    {
        std::lock_guard lock(m_mutex);
        pending.swap(m_queue);
    }
    for (AudioInputBuffer *buffer : pending) {
        buffer->queued = false;
        ++m_returned;
        if (m_client)
            m_client->onAudioInput(AudioInputClient::Event::BufferDone, buffer);
    }
    return true;
}

bool FakeAudioInput::close()
{
    if (!call(Step::Close))
        return fail(QStringLiteral("close failed (scripted)"));
    if (!m_open)
        return fail(QStringLiteral("close without a device"));
    stopThread();
    if (m_thread.joinable() && m_thread.get_id() == std::this_thread::get_id())
        return fail(QStringLiteral("close from the device's own notification"));
    m_open = false;
    return true;
}

} // namespace sonavell

#include "core/record/captureengine.h"

#include "core/encode/mp3encoder.h"
#include "core/settings/recordersettings.h"

#include <algorithm>
#include <cstring>

namespace sonavell {

namespace {

// Counts listener calls across recordings; every sixth call asks for a redraw.
std::atomic<int> redrawCounter{0};

bool redrawDue()
{
    int next = redrawCounter.load(std::memory_order_relaxed) + 1;
    const bool due = next > 5;
    redrawCounter.store(due ? 0 : next, std::memory_order_relaxed);
    return due;
}

} // namespace

CaptureEngine::CaptureEngine(AudioInput &input, const RecorderSettings &settings)
    : m_input(input), m_settings(settings)
{
}

CaptureEngine::~CaptureEngine()
{
    m_listener.store(nullptr);
    stop();
    if (m_input.isOpen())
        close();
    release();
}

// The first failure is kept; later ones are consequences of it.
bool CaptureEngine::fail(Error error, const QString &detail)
{
    std::lock_guard lock(m_errorMutex);
    if (m_error.load() == Error::None) {
        m_errorDetail = detail;
        m_error = error;
    }
    return false;
}

QString CaptureEngine::errorText() const
{
    switch (m_error.load()) {
    case Error::None:
        return {};
    case Error::NoDevice:
        return QStringLiteral("No capture device was found.");
    case Error::UnsupportedFormat:
        return QStringLiteral("The record format is not 8- or 16-bit PCM with one or two channels.");
    case Error::EncoderLibraryMissing:
    case Error::EncoderRejected:
    case Error::FileNotCreatable:
    case Error::DeviceOpen:
    case Error::DevicePrepare:
    case Error::DeviceQueue:
    case Error::DeviceStart:
    case Error::DeviceLost: {
        std::lock_guard lock(m_errorMutex);
        return m_errorDetail;
    }
    }
    return {};
}

bool CaptureEngine::open(const QString &path)
{
    {
        const std::lock_guard lock(m_historyMutex);
        m_historySize = kHistorySize;
        m_historyFill = 0;
        m_history.assign(static_cast<size_t>(m_historySize), 0);
    }
    m_handOff.create(m_bufferCount);

    m_format = (m_formatOverride ? *m_formatOverride : m_settings.recordFormat()).normalizedPcm();
    if (m_format.formatTag != 1 || m_format.channels < 1 || m_format.channels > 2 || m_format.samplesPerSec == 0
        || (m_format.bitsPerSample != 16 && m_format.bitsPerSample != 8))
        return fail(Error::UnsupportedFormat);

    // Looked at before the encoder creates the file, so a machine without a capture device is
    // not left with an empty recording.
    if (m_input.deviceCount() < 1)
        return fail(Error::NoDevice);

    m_encoder = std::make_unique<Mp3Encoder>();
    m_encoder->setFormat(m_format);
    m_encoder->setPath(path);
    m_encoder->setBitRate(m_bitRateOverride > 0 ? m_bitRateOverride : m_settings.bitRate());
    m_encoder->setSilenceSettings(&m_settings);
    m_encoder->setSyncInterval(m_syncInterval);
    if (!m_encoder->start(0)) {
        const QString detail = Mp3Encoder::errorText(m_encoder->error());
        switch (m_encoder->error()) {
        case Mp3Encoder::Error::LibraryMissing:
            return fail(Error::EncoderLibraryMissing, detail);
        case Mp3Encoder::Error::FileNotCreated:
            return fail(Error::FileNotCreatable, detail);
        default:
            return fail(Error::EncoderRejected, detail);
        }
    }
    m_encoder->setHandOff(&m_handOff);
    m_encoder->setBufferCount(m_bufferCount);

    m_bufferSize = static_cast<int>(m_encoder->bytesPerChunk());
    m_buffers.assign(static_cast<size_t>(m_bufferCount), std::vector<std::uint8_t>(static_cast<size_t>(m_bufferSize), 0));
    m_bufferTable.clear();
    for (auto &buffer : m_buffers)
        m_bufferTable.push_back(buffer.data());
    m_encoder->setBuffers(m_bufferTable.data());

    const auto length = static_cast<std::uint32_t>(m_bufferSize - m_bufferSize % m_format.blockAlign);
    m_headers.clear();
    for (std::uint8_t *buffer : m_bufferTable)
        m_headers.push_back(AudioInputBuffer{buffer, length, 0, false, false});
    return true;
}

bool CaptureEngine::start()
{
    if (!m_encoder || m_headers.empty())
        return false;
    m_encoder->startThread();
    // The encode thread keeps waiting after a failed open until the engine is stopped or destroyed.
    if (!m_input.open(std::max(m_input.chosenDevice(), 0), m_format, this))
        return fail(Error::DeviceOpen, m_input.errorText());
    for (AudioInputBuffer &header : m_headers) {
        if (!m_input.prepare(header)) {
            fail(Error::DevicePrepare, m_input.errorText());
            close();
            return false;
        }
    }
    // Set before the device starts: its first notification may come at once.
    m_current = 0;
    m_stopping = false;
    m_totalBytes = 0;
    for (AudioInputBuffer &header : m_headers) {
        if (!m_input.queue(header)) {
            fail(Error::DeviceQueue, m_input.errorText());
            stop();
            return false;
        }
    }
    if (!m_input.start()) {
        fail(Error::DeviceStart, m_input.errorText());
        stop();
        close();
        return false;
    }
    return true;
}

// The device's callback thread.
void CaptureEngine::onAudioInput(Event event, AudioInputBuffer *buffer)
{
    if (event == Event::DeviceLost) {
        fail(Error::DeviceLost, m_input.errorText());
        m_deviceLost = true;
        if (CaptureListener *listener = m_listener.load())
            listener->onDeviceLost();
        return;
    }
    if (event != Event::BufferDone || m_stopping.load() || !buffer)
        return;

    const auto size = static_cast<std::uint32_t>(m_bufferSize);
    m_totalBytes.fetch_add(size);
    const bool paused = m_paused.load();
    std::uint8_t *bytes = m_bufferTable[static_cast<size_t>(m_current)];
    if (!paused)
        appendHistory(bytes, size);

    // Lock-step with the encode thread: it releases `consumed` once it is done with this slot.
    m_handOff.ready().release();
    m_handOff.consumed().acquire();

    if (CaptureListener *listener = m_listener.load(); listener && !paused)
        listener->onBuffer(reinterpret_cast<const std::int16_t *>(bytes), size, redrawDue());

    if (!m_input.queue(m_headers[static_cast<size_t>(m_current)])) {
        // The recording ends at the next stop with what was captured; the device cannot be
        // reset from its own callback thread.
        fail(Error::DeviceQueue, m_input.errorText());
        m_stopping = true;
        return;
    }
    m_current = (m_current + 1) % m_bufferCount;
}

// The newest historySize bytes of the capture, oldest first. Callback thread.
std::vector<std::uint8_t> CaptureEngine::historySnapshot() const
{
    const std::lock_guard lock(m_historyMutex);
    const auto fill = static_cast<std::ptrdiff_t>(m_historyFill.load(std::memory_order_relaxed));
    return std::vector<std::uint8_t>(m_history.cbegin(), m_history.cbegin() + fill);
}

void CaptureEngine::appendHistory(const std::uint8_t *bytes, std::uint32_t count)
{
    // Held for one copy of at most 11520 bytes; the painter holds it no longer.
    const std::lock_guard lock(m_historyMutex);
    const int n = std::min(static_cast<int>(count), m_historySize);
    const int fill = m_historyFill.load(std::memory_order_relaxed);
    std::uint8_t *history = m_history.data();
    if (fill + n <= m_historySize) {
        std::memcpy(history + fill, bytes, static_cast<size_t>(n));
        m_historyFill.store(fill + n, std::memory_order_relaxed);
        return;
    }
    // Shift in place rather than through a second window, so a reader's pointer stays valid.
    const int keep = m_historySize - n;
    std::memmove(history, history + fill - keep, static_cast<size_t>(keep));
    std::memcpy(history + keep, bytes, static_cast<size_t>(n));
    m_historyFill.store(m_historySize, std::memory_order_relaxed);
}

bool CaptureEngine::stop()
{
    m_stopping = true;
    if (m_handOff.isCreated())
        m_handOff.consumed().release(m_handOff.maximum());
    if (m_encoder)
        m_encoder->stopThread();
    // Returns only when the callback thread has finished, so no listener call follows stop.
    if (m_input.isOpen())
        m_input.reset();
    return true;
}

bool CaptureEngine::close()
{
    if (!m_input.isOpen())
        return false;
    for (AudioInputBuffer &header : m_headers)
        m_input.unprepare(header);
    m_input.close();
    release();
    return true;
}

void CaptureEngine::release()
{
    m_encoder.reset();
    m_headers.clear();
    m_bufferTable.clear();
    m_buffers.clear();
}

bool CaptureEngine::togglePause()
{
    const bool paused = !m_paused.load();
    m_paused = paused;
    if (m_encoder)
        m_encoder->setPaused(paused);
    return paused;
}

QString CaptureEngine::elapsedText(const WaveFormat &format, std::uint64_t bytes)
{
    std::uint64_t seconds = 0;
    if (format.samplesPerSec != 0 && format.channels != 0) {
        seconds = bytes / format.samplesPerSec / format.channels;
        if (format.bitsPerSample == 16)
            seconds /= 2;
    }
    return QStringLiteral("%1 : %2")
        .arg(seconds / 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString CaptureEngine::fileName() const
{
    return m_encoder ? m_encoder->path() : QString();
}

} // namespace sonavell

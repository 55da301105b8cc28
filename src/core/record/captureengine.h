#pragma once

#include "core/audio/audioinput.h"
#include "core/encode/bufferhandoff.h"
#include "core/settings/waveformat.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace sonavell {

class Mp3Encoder;
class RecorderSettings;

// Receives every captured buffer that is not paused. Runs on the capture callback thread,
// after the encoder has finished with the buffer and never after the engine's stop() returned.
class CaptureListener
{
public:
    virtual ~CaptureListener() = default;
    // samples: the buffer's signed 16-bit PCM; byteCount: the buffer size; redraw: every sixth call.
    virtual void onBuffer(const std::int16_t *samples, std::uint32_t byteCount, bool redraw) = 0;
    // The capture device went away (unplugged). The audio captured so far is in the file once
    // the recording is stopped; no further buffers come.
    virtual void onDeviceLost() {}
};

// Takes PCM from the capture device in a ring of five buffers of one encoder chunk each and
// hands every filled buffer, in order, to the MP3 encoder's thread. Keeps the most recent audio
// for the waveform strip and counts the captured bytes for the elapsed time.
//
// open, start, stop, close and togglePause belong to the user-interface thread. The device is
// not owned and must outlive the engine; the listener is not owned either.
class CaptureEngine : private AudioInputClient
{
public:
    // Which step of open or start failed, so the window can tell the user.
    enum class Error {
        None,
        NoDevice,              // the platform reports no capture device
        UnsupportedFormat,     // the record format is not 8/16-bit PCM with 1 or 2 channels
        EncoderLibraryMissing,
        EncoderRejected,       // the encoder library refused the format or bit rate
        FileNotCreatable,
        DeviceOpen,
        DevicePrepare,
        DeviceQueue,
        DeviceStart,
        DeviceLost,            // during capture; the recording ends with what was captured
    };

    static constexpr int kBufferCount = 5;
    static constexpr int kInitialBufferSize = 16384;
    static constexpr int kHistorySize = 11520;

    // The record format and bit rate are taken from the settings at open; the silence fields
    // are read live while recording. The settings are not owned and outlive the engine.
    CaptureEngine(AudioInput &input, const RecorderSettings &settings);
    ~CaptureEngine() override;
    CaptureEngine(const CaptureEngine &) = delete;
    CaptureEngine &operator=(const CaptureEngine &) = delete;

    // Replace the settings' record format and bit rate for this engine only (before open).
    void setRecordFormat(const WaveFormat &format) { m_formatOverride = format; }
    void setBitRate(int kbps) { m_bitRateOverride = kbps; }
    // How often the encoder's file is flushed to the disk while recording (before open).
    void setSyncInterval(std::chrono::milliseconds interval) { m_syncInterval = interval; }

    bool open(const QString &path);
    bool start();
    bool stop();
    bool close();
    bool togglePause();
    void setListener(CaptureListener *listener) { m_listener.store(listener); }

    QString elapsedText() const { return elapsedText(m_format, totalBytes()); }
    // "%02d : %02d" minutes and seconds of `bytes` in `format`; the minutes have no upper bound.
    static QString elapsedText(const WaveFormat &format, std::uint64_t bytes);
    QString fileName() const;
    // A consistent copy of the newest captured bytes, oldest first; any thread. The callback
    // thread rewrites the history while the window paints it.
    std::vector<std::uint8_t> historySnapshot() const;
    int historySize() const { return m_historySize; }
    int historyFill() const { return m_historyFill.load(std::memory_order_relaxed); }
    bool isPaused() const { return m_paused.load(); }

    const WaveFormat &format() const { return m_format; }
    int bufferCount() const { return m_bufferCount; }
    int bufferSize() const { return m_bufferSize; }
    // Bytes of one header: bufferSize cut down to whole sample frames.
    std::uint32_t headerLength(int index) const { return m_headers[static_cast<size_t>(index)].length; }
    std::uint64_t totalBytes() const { return m_totalBytes.load(); }
    BufferHandOff &handOff() { return m_handOff; }
    Mp3Encoder *encoder() { return m_encoder.get(); }
    const Mp3Encoder *encoder() const { return m_encoder.get(); }

    Error error() const { return m_error.load(); }
    QString errorText() const;
    bool isDeviceLost() const { return m_deviceLost.load(); }
    std::uint64_t overrunCount() const { return m_input.overrunCount(); }
    std::uint64_t lostMilliseconds() const { return m_input.lostMilliseconds(); }

private:
    void onAudioInput(Event event, AudioInputBuffer *buffer) override;
    void appendHistory(const std::uint8_t *bytes, std::uint32_t count);
    bool fail(Error error, const QString &detail = {});
    void release();

    AudioInput &m_input;
    const RecorderSettings &m_settings;
    std::optional<WaveFormat> m_formatOverride;
    int m_bitRateOverride = 0;
    std::chrono::milliseconds m_syncInterval{5000};

    WaveFormat m_format;
    int m_bufferCount = kBufferCount;
    int m_bufferSize = kInitialBufferSize;
    std::vector<std::uint8_t> m_history; // guarded by m_historyMutex
    mutable std::mutex m_historyMutex;
    int m_historySize = kHistorySize;
    std::atomic<std::uint64_t> m_totalBytes{0};
    std::atomic<CaptureListener *> m_listener{nullptr};
    std::vector<AudioInputBuffer> m_headers;
    std::vector<std::vector<std::uint8_t>> m_buffers;
    std::vector<std::uint8_t *> m_bufferTable;
    int m_current = 0;
    std::atomic<bool> m_stopping{false};
    std::atomic<bool> m_paused{false};
    BufferHandOff m_handOff;
    std::unique_ptr<Mp3Encoder> m_encoder;
    std::atomic<int> m_historyFill{0};

    std::atomic<Error> m_error{Error::None};
    std::atomic<bool> m_deviceLost{false};
    mutable std::mutex m_errorMutex;
    QString m_errorDetail; // the device's or encoder's own words, set with the failure
};

} // namespace sonavell

#pragma once

#include "core/settings/waveformat.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

class QFile;

namespace sonavell {

class BufferHandOff;
class EncoderLibrary;
class RecorderSettings;
struct EncoderStream;

// Turns 16-bit PCM chunks into an MP3 file. File operations drive it one chunk at a time;
// a recording runs its own encode thread over the capture engine's ring of buffers.
class Mp3Encoder
{
public:
    enum class Error {
        None,
        LibraryMissing, // the encoder library or one of its entry points could not be loaded
        StreamFailed,   // the library refused the configuration
        FileNotCreated,
        EncodeFailed,   // the library failed on a chunk; the stream is closed
        WriteFailed,    // the disk took fewer bytes than were encoded (disk full)
        FinishFailed,
    };

    // Starts with the bit-rate table's default entry until setBitRate.
    Mp3Encoder();
    ~Mp3Encoder();
    Mp3Encoder(const Mp3Encoder &) = delete;
    Mp3Encoder &operator=(const Mp3Encoder &) = delete;

    void setFormat(const WaveFormat &format) { m_format = format; }
    void setPath(const QString &path) { m_path = path; }
    // Writes to this open descriptor instead of creating path: it is truncated by start() and
    // left open by finish(); not owned. -1 goes back to the path.
    void setFileDescriptor(int fd) { m_descriptor = fd; }
    void setBitRate(int kbps) { m_bitRate = kbps; }
    void setHandOff(BufferHandOff *handOff) { m_handOff = handOff; }
    void setBufferCount(int count) { m_bufferCount = count; }
    // The capture engine's table of bufferCount() buffers, each bytesPerChunk() long; not owned.
    void setBuffers(std::uint8_t *const *table) { m_buffers = table; }
    void setPaused(bool paused) { m_paused.store(paused, std::memory_order_relaxed); }
    // The encode thread leaves out the silent chunks before the first sound when these settings
    // say so, read live at every chunk; not owned. Null (the default): every chunk is encoded.
    void setSilenceSettings(const RecorderSettings *settings) { m_silence = settings; }

    const QString &path() const { return m_path; }
    const WaveFormat &format() const { return m_format; }
    int bitRate() const { return m_bitRate; }

    // Opens the library stream and creates (truncates) the file. chunkBytes 0 takes the
    // library's own chunk size; a caller's size scales the output buffer to match.
    bool start(std::uint32_t chunkBytes = 0);
    std::uint32_t bytesPerChunk() const { return m_bytesPerChunk; }
    // After start(): what the library changed of the asked bit rate or rate ("128 kbit/s instead
    // of the 144 asked for"), empty when it gave what was asked.
    QString substitutionNotice() const;
    std::uint32_t outputBufferSize() const { return m_outputBufferSize; }

    // Encodes bytesPerChunk()/2 samples from pcm and appends them; returns the bytes written.
    std::uint32_t encodeChunk(const void *pcm);
    // Encodes a shorter last chunk (at most bytesPerChunk() bytes).
    std::uint32_t encodeBytes(const void *pcm, std::uint32_t byteCount);

    // Writes the last frames and the Info tag, closes the stream and the file.
    // True at once when no stream is open.
    bool finish();

    // Must be called from the thread that owns the encoder, after start(). While the encode
    // thread runs, a second thread flushes the file to the disk every syncInterval, so a power
    // cut costs at most the last few seconds; never the capture callback's time.
    void startThread();
    void stopThread();
    void setSyncInterval(std::chrono::milliseconds interval) { m_syncInterval = interval; }
    // Flushes to the disk done so far by that thread.
    int syncCount() const { return m_syncCount.load(); }
    bool isThreadRunning() const { return m_thread.joinable(); }

    // A recording skipped every chunk so far as silence at its start.
    bool hasStarted() const { return m_started.load(std::memory_order_relaxed); }
    Error error() const { return m_error.load(std::memory_order_relaxed); }
    bool hasFailed() const { return error() != Error::None; }
    static QString errorText(Error error);

    // The shared library file loaded at the first start; replaceable for tests.
    static void setLibraryName(const QString &name);
    static QString libraryName();

private:
    void encodeLoop();
    void syncLoop();
    bool appendToFile(const unsigned char *bytes, std::uint32_t count);
    void closeStream();
    void writeInfoTag(const QByteArray &tag);
    void fail(Error error);

    QString m_path;
    int m_descriptor = -1;
    WaveFormat m_format;
    BufferHandOff *m_handOff = nullptr;
    const RecorderSettings *m_silence = nullptr;
    std::atomic<bool> m_paused{false};
    int m_bitRate = 0;
    std::atomic<bool> m_stopSignal{false};
    std::thread m_thread;
    std::shared_ptr<EncoderLibrary> m_library; // shared by every encoder of the process
    EncoderStream *m_stream = nullptr; // closed through the library, which frees it
    std::uint32_t m_bytesPerChunk = 0;
    int m_givenBitRate = 0;
    int m_givenSampleRate = 0;
    std::uint32_t m_outputBufferSize = 0;
    QByteArray m_output;
    std::uint8_t *const *m_buffers = nullptr;
    int m_bufferCount = 5;
    int m_index = -1;
    std::unique_ptr<QFile> m_file;
    std::atomic<bool> m_started{false};
    std::chrono::milliseconds m_syncInterval{5000};
    std::thread m_syncThread;
    std::mutex m_syncMutex;
    std::condition_variable m_syncWake;
    bool m_syncStop = false;
    std::atomic<int> m_syncCount{0};
    std::atomic<Error> m_error{Error::None};
};

} // namespace sonavell

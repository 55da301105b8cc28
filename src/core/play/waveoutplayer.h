#pragma once

#include "core/audio/audiooutput.h"
#include "core/play/playbackbuffers.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

namespace sonavell {

class WaveFile;

// Plays the data of a PCM WAV file from a byte offset, once, on an output device. It never ends
// by itself: past the end of the data it keeps sending silence until its owner stops it (the
// editor stops when position() + startOffset() reaches its end offset). To play again the
// owner makes a new player.
//
// open(), position(), stop() and the destructor belong to the owner's thread. The device's
// notification thread refills buffers; stop() and the refill exclude each other, so a refill
// never touches buffers that stop() is releasing, and once stop() has returned the device
// calls nothing more. The device is not owned and must outlive the player.
class WaveOutPlayer : private AudioOutputClient
{
public:
    static constexpr int kMaxBuffers = 16;
    static constexpr std::uint32_t kBufferBytes = 0x4000;

    explicit WaveOutPlayer(AudioOutput &output);
    ~WaveOutPlayer() override;
    WaveOutPlayer(const WaveOutPlayer &) = delete;
    WaveOutPlayer &operator=(const WaveOutPlayer &) = delete;

    // Starts playing `path` at `startOffset` bytes into its data, rounded down to whole sample
    // frames. An offset beyond the data starts at 0. `endOffset` is kept for the owner.
    // The whole initial queue is handed over before sound starts.
    bool open(const QString &path, qint64 startOffset, qint64 endOffset);
    // Bytes the device has played since open, not counting startOffset; 0 when not playing.
    qint64 position() const;
    // Stops the device at once and releases everything; safe on a stopped player.
    void stop();

    // Cleared by stop(), and by the player itself when the device refuses a buffer or is lost.
    bool isPlaying() const { return m_playing.load(); }
    qint64 startOffset() const { return m_startOffset; }
    qint64 endOffset() const { return m_endOffset; }
    int bufferCount() const { return m_buffers.count(); }

private:
    void onAudioOutput(Event event, AudioOutputBuffer *buffer) override;
    // Queues buffers until every one is with the device. Call with m_fillMutex held.
    bool refill();
    // Releases buffers, device and reader; the device must hold no buffer.
    void close();

    AudioOutput &m_output;
    PlaybackBuffers m_buffers;
    std::unique_ptr<WaveFile> m_reader;
    std::uint32_t m_readSize = kBufferBytes; // whole sample frames
    std::uint32_t m_frameBytes = 1;
    bool m_deviceOpen = false; // by this player: another may use the device before or after it
    qint64 m_startOffset = 0;
    qint64 m_endOffset = 0;

    // Taken for all of stop(); never by the notification thread.
    std::mutex m_stopMutex;
    // Guards the ring and the reader between the owner and the notification thread. Never held
    // while calling reset() or close() on the device, which wait for the notification thread.
    std::mutex m_fillMutex;
    std::atomic<bool> m_playing{false};
    int m_queuedCount = 0;
    int m_nextIndex = 0;
};

} // namespace sonavell

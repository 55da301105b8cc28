#pragma once

#include "core/audio/audiooutput.h"
#include "core/decode/mp3streamdecoder.h"
#include "core/mp3/mp3frametable.h"
#include "core/play/playbackbuffers.h"

#include <QDateTime>
#include <QString>

#include <atomic>
#include <mutex>

namespace sonavell {

// Media modes, numbered as the media-control service numbers them (525 is "stopped").
enum class MediaMode : int {
    NotReady = 524,
    Stopped = 525,
    Playing = 526,
    Paused = 529,
};

// Receives the player's notifications, one at a time and in order. They come on the thread of
// the command that changed the mode, or on the output's notification thread while playing
// advances and when it reaches the end. Handlers must neither block on the owner's thread nor call the player: a window
// posts the notification to itself and acts there.
class MediaPlayerOwner
{
public:
    virtual ~MediaPlayerOwner() = default;
    virtual void mediaModeChanged(MediaMode mode) = 0;
    virtual void mediaPositionChanged(qint64 positionMs) = 0;
};

// Plays one MP3 file for the player panel, in milliseconds: decoded as a stream with libmad
// into a ring of output buffers that the output's notification thread refills, seeking through
// a frame table built once per file. "Open" stands for the media window: without it every
// command but play() does nothing and length and position are 0.
//
// Commands belong to the owner's thread. Once stopAndClose() (or the destructor) has returned
// the player calls its owner no more. The output is not owned and must outlive the player.
//
// The end is reported when the device hands the last buffer back; a device that does so once it
// has taken the buffer (ALSA) is then still playing its latency's worth of sound.
class MediaWindowPlayer : private AudioOutputClient
{
public:
    static constexpr int kBufferCount = 8;
    static constexpr std::uint32_t kBufferBytes = 0x4000;

    explicit MediaWindowPlayer(AudioOutput &output);
    ~MediaWindowPlayer() override;
    MediaWindowPlayer(const MediaWindowPlayer &) = delete;
    MediaWindowPlayer &operator=(const MediaWindowPlayer &) = delete;

    void setPath(const QString &path) { m_path = path; }
    const QString &path() const { return m_path; }
    // Null: no notifications. Not owned.
    void setOwner(MediaPlayerOwner *owner) { m_owner = owner; }

    // Closes any open file, then opens the path: its frames, the decoder and the output device.
    bool open();
    // Opens first when needed; plays from the current position, from the start when the
    // position is at the end. Resumes a paused player.
    bool play();
    void togglePause();
    void stopAndClose();
    // Seeking stops playing.
    void seekStart();
    void seekEnd();
    void seekAndPlay(qint64 ms);

    qint64 length() const;
    qint64 position() const;
    bool isOpen() const;
    MediaMode mode() const;
    bool isPaused() const { return m_paused; }
    // Scales the samples decoded from now on (1 leaves them as they are): the volume for systems
    // whose mixer has no output control. Any thread.
    void setGain(float gain) { m_gain.store(gain, std::memory_order_relaxed); }
    float gain() const { return m_gain.load(std::memory_order_relaxed); }

private:
    struct Notice
    {
        bool mode = false;
        MediaMode newMode = MediaMode::Stopped;
        std::uint64_t sequence = 0; // order of the mode changes
        bool position = false;
        qint64 positionMs = 0;
    };

    void onAudioOutput(Event event, AudioOutputBuffer *buffer) override;
    bool openLocked();
    void closeLocked();
    // Stops the device and forgets its queue; returns the sample it had reached.
    qint64 halt();
    void startPlayback(qint64 sample);
    // Start and End: stopped at that sample.
    void stopAt(qint64 sample, bool atEnd);
    void resume();
    // Under m_mutex.
    void refill();
    void applyGain(std::uint8_t *pcm, std::uint32_t bytes) const;
    qint64 currentSample() const;
    qint64 positionMsLocked() const;
    Notice modeChange(MediaMode before);
    // Delivers in the order the modes changed: a mode change overtaken by a later one that was
    // already delivered is not reported.
    void notify(const Notice &notice);

    AudioOutput &m_output;
    MediaPlayerOwner *m_owner = nullptr;
    QString m_path;
    bool m_paused = false;
    std::atomic<float> m_gain{1.0F};

    Mp3FrameTable m_table;
    QString m_tablePath;
    qint64 m_tableSize = -1;
    QDateTime m_tableModified;
    Mp3StreamDecoder m_decoder{m_table};
    PlaybackBuffers m_buffers;
    std::uint32_t m_frameBytes = 4;
    bool m_deviceOpen = false; // by this player: another may use the device before or after it

    // Serialises the owner's commands; never taken by the notification thread.
    std::mutex m_commandMutex;
    // Guards what follows against the notification thread. Never held while resetting or
    // closing the output, which wait for that thread.
    mutable std::mutex m_mutex;
    bool m_open = false;
    MediaMode m_mode = MediaMode::NotReady;
    bool m_refilling = false; // buffers go to the device as they come back
    bool m_decodedAll = false;
    bool m_atEnd = false;
    int m_queued = 0;
    int m_nextIndex = 0;
    qint64 m_baseSample = 0; // the sample at the device's position 0
    std::uint64_t m_modeSequence = 0;

    // Held while the owner is called, so that notifications never overlap.
    std::mutex m_notifyMutex;
    std::uint64_t m_deliveredSequence = 0;
};

} // namespace sonavell

#pragma once

#include "core/settings/waveformat.h"

#include <QString>

#include <cstdint>

namespace sonavell {

// One playback buffer. The owner keeps the memory; the device reads it between write() and
// the done notification.
struct AudioOutputBuffer
{
    const std::uint8_t *data = nullptr;
    std::uint32_t length = 0; // bytes, a whole number of sample frames
    bool prepared = false;
    bool queued = false;
};

// Runs on the device's callback thread, never after reset() or close() has returned.
class AudioOutputClient
{
public:
    enum class Event {
        BufferDone, // `buffer` has been played (or returned by reset)
        DeviceLost,
    };

    virtual ~AudioOutputClient() = default;
    virtual void onAudioOutput(Event event, AudioOutputBuffer *buffer) = 0;
};

// The wave-output device for the players: buffers written are played in order and handed
// back one at a time through the client.
class AudioOutput
{
public:
    virtual ~AudioOutput() = default;

    virtual bool open(const WaveFormat &format, AudioOutputClient *client) = 0;
    virtual bool prepare(AudioOutputBuffer &buffer) = 0;
    virtual bool unprepare(AudioOutputBuffer &buffer) = 0;
    virtual bool write(AudioOutputBuffer &buffer) = 0;
    virtual bool pause() = 0;
    virtual bool restart() = 0;
    // Stops playing, hands every written buffer back as done and sets the position to 0.
    virtual bool reset() = 0;
    // Bytes played since open or the last reset.
    virtual std::uint64_t positionBytes() const = 0;
    virtual bool close() = 0;
    virtual bool isOpen() const = 0;

    virtual QString errorText() const = 0;
};

} // namespace sonavell

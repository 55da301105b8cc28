#pragma once

#include "core/settings/waveformat.h"

#include <QString>

#include <cstdint>

namespace sonavell {

// One capture buffer as the device sees it. The owner keeps the memory; the device only
// writes `data` between queue() and the done notification, and sets `bytesRecorded`.
struct AudioInputBuffer
{
    std::uint8_t *data = nullptr;
    std::uint32_t length = 0;        // bytes, a whole number of sample frames
    std::uint32_t bytesRecorded = 0; // set by the device when the buffer is done
    bool prepared = false;
    bool queued = false;
};

// Receives the device's notifications. Runs on the device's callback thread, never on the
// thread that called open/start, and never after reset() or close() has returned.
class AudioInputClient
{
public:
    enum class Event {
        BufferDone,  // `buffer` is full (or returned by reset) and no longer queued
        DeviceLost,  // the device went away (unplugged); no further buffers will be filled
    };

    virtual ~AudioInputClient() = default;
    virtual void onAudioInput(Event event, AudioInputBuffer *buffer) = 0;
};

// The wave-input device as the capture engine needs it: buffers are queued, filled in queue
// order and handed back one at a time through the client. Every call reports success or
// failure; errorText() then says which step failed and why.
class AudioInput
{
public:
    virtual ~AudioInput() = default;

    virtual int deviceCount() const = 0;
    virtual QString deviceName(int device) const = 0;
    // The device a recording should open, for back ends where the user picks one among the
    // listed devices; -1 when the device number carries no choice (open device 0).
    virtual int chosenDevice() const { return -1; }
    // Makes `device` the one recordings take from (a running recording follows when it can).
    virtual bool chooseDevice(int device)
    {
        (void)device;
        return false;
    }

    // The client is not owned and must outlive the open device.
    virtual bool open(int device, const WaveFormat &format, AudioInputClient *client) = 0;
    virtual bool prepare(AudioInputBuffer &buffer) = 0;
    virtual bool unprepare(AudioInputBuffer &buffer) = 0;
    virtual bool queue(AudioInputBuffer &buffer) = 0;
    virtual bool start() = 0;
    // Stops capturing and hands every queued buffer back as done. When reset returns, the
    // callback thread has finished: no notification runs afterwards.
    virtual bool reset() = 0;
    virtual bool close() = 0;
    virtual bool isOpen() const = 0;

    virtual QString errorText() const = 0;

    // Overruns the device reported and recovered from.
    virtual std::uint64_t overrunCount() const = 0;
    // Audio the device never delivered, measured against the clock (some devices drop audio
    // without reporting an overrun).
    virtual std::uint64_t lostMilliseconds() const = 0;
};

} // namespace sonavell

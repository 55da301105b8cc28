#pragma once

#include "core/audio/audiooutput.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace sonavell {

// The ring of output buffers a player hands to its device. Each buffer and its header are one
// allocation, made once per play and reused as the ring turns.
//
// Not thread-safe: the player guards it with its own lock.
class PlaybackBuffers
{
public:
    PlaybackBuffers() = default;
    ~PlaybackBuffers();
    PlaybackBuffers(const PlaybackBuffers &) = delete;
    PlaybackBuffers &operator=(const PlaybackBuffers &) = delete;

    // Allocates and prepares up to `count` buffers of `bytes` each, stopping at the first one the
    // device refuses to prepare. Returns how many are ready.
    int prepare(AudioOutput &output, int count, std::uint32_t bytes);
    // Unprepares and frees every buffer, last first. The device must hold none of them any more
    // (after reset() or when none was written).
    void release(AudioOutput &output);

    int count() const { return static_cast<int>(m_buffers.size()); }
    std::uint32_t capacity() const { return m_bytes; }
    AudioOutputBuffer &header(int index) { return m_buffers[static_cast<std::size_t>(index)]->header; }
    std::uint8_t *data(int index) { return m_buffers[static_cast<std::size_t>(index)]->data; }

private:
    struct Buffer
    {
        AudioOutputBuffer header;
        std::uint8_t *data = nullptr; // points just behind the header, into the same allocation
    };
    struct Free
    {
        void operator()(Buffer *buffer) const;
    };

    std::vector<std::unique_ptr<Buffer, Free>> m_buffers;
    std::uint32_t m_bytes = 0;
};

} // namespace sonavell

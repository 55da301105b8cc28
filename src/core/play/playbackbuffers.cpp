#include "core/play/playbackbuffers.h"

#include <cstdlib>
#include <new>

namespace sonavell {

void PlaybackBuffers::Free::operator()(Buffer *buffer) const
{
    buffer->~Buffer();
    std::free(buffer);
}

PlaybackBuffers::~PlaybackBuffers()
{
    m_buffers.clear();
}

int PlaybackBuffers::prepare(AudioOutput &output, int wanted, std::uint32_t bytes)
{
    m_bytes = bytes;
    for (int i = 0; i < wanted; ++i) {
        void *memory = std::malloc(sizeof(Buffer) + bytes);
        if (!memory)
            break;
        std::unique_ptr<Buffer, Free> buffer(new (memory) Buffer);
        buffer->data = static_cast<std::uint8_t *>(memory) + sizeof(Buffer);
        buffer->header.data = buffer->data;
        buffer->header.length = bytes;
        if (!output.prepare(buffer->header))
            break;
        m_buffers.push_back(std::move(buffer));
    }
    return count();
}

void PlaybackBuffers::release(AudioOutput &output)
{
    while (!m_buffers.empty()) {
        output.unprepare(m_buffers.back()->header);
        m_buffers.pop_back();
    }
}

} // namespace sonavell

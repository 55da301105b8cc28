#pragma once

#include "core/record/captureengine.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace sonavell::test {

// Pauses the engine once `bytes` have been captured (past the end of a file device's input it
// returns buffers it never wrote) and lets the main thread wait for that. Header only: the
// benchmarks use it too.
class CapturedBytes : public CaptureListener
{
public:
    CapturedBytes(CaptureEngine &engine, std::uint64_t bytes) : m_engine(engine), m_bytes(bytes) {}
    void onBuffer(const std::int16_t *, std::uint32_t byteCount, bool) override
    {
        std::lock_guard lock(m_mutex);
        m_seen += byteCount;
        if (m_seen >= m_bytes && !m_engine.isPaused())
            m_engine.togglePause();
        m_changed.notify_all();
    }
    void wait()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_seen >= m_bytes; });
    }

private:
    CaptureEngine &m_engine;
    const std::uint64_t m_bytes;
    std::uint64_t m_seen = 0;
    std::mutex m_mutex;
    std::condition_variable m_changed;
};

} // namespace sonavell::test

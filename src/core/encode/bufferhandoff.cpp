#include "core/encode/bufferhandoff.h"

#include <algorithm>

namespace sonavell {

void CountingSemaphore::release(int count)
{
    {
        std::lock_guard lock(m_mutex);
        m_count = std::min(m_maximum, m_count + std::max(0, count));
    }
    m_changed.notify_all();
}

void CountingSemaphore::acquire()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_count > 0; });
    --m_count;
}

bool CountingSemaphore::tryAcquire()
{
    std::lock_guard lock(m_mutex);
    if (m_count == 0)
        return false;
    --m_count;
    return true;
}

void BufferHandOff::create(int maximum)
{
    close();
    m_maximum = maximum;
    m_ready = std::make_unique<CountingSemaphore>(maximum);
    m_consumed = std::make_unique<CountingSemaphore>(maximum);
}

void BufferHandOff::close()
{
    m_ready.reset();
    m_consumed.reset();
    m_maximum = 0;
}

} // namespace sonavell

#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>

namespace sonavell {

// A counting semaphore whose count never exceeds its maximum. A release past the
// maximum clamps instead of failing, so releasing "by the maximum" always wakes a waiter.
class CountingSemaphore
{
public:
    explicit CountingSemaphore(int maximum) : m_maximum(maximum) {}

    void release(int count = 1);
    void acquire();
    bool tryAcquire();
    int maximum() const { return m_maximum; }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_count = 0;
    const int m_maximum;
};

// The capture side and the encode thread walk the same ring of buffers in lock-step:
// the capture side releases `ready` once per filled buffer and waits on `consumed`,
// which the encode thread releases once it has finished with that slot.
class BufferHandOff
{
public:
    // Closes any previous pair, then makes both semaphores anew at count 0.
    void create(int maximum);
    void close();
    bool isCreated() const { return m_ready != nullptr; }

    CountingSemaphore &ready() { return *m_ready; }
    CountingSemaphore &consumed() { return *m_consumed; }
    int maximum() const { return m_maximum; }

private:
    std::unique_ptr<CountingSemaphore> m_ready;
    std::unique_ptr<CountingSemaphore> m_consumed;
    int m_maximum = 0;
};

} // namespace sonavell

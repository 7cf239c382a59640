#pragma once

#include <condition_variable>
#include <mutex>

// A counting semaphore with a ceiling, as the capture side and the encode thread share it:
// a release that would pass the ceiling stops at it instead of failing or overflowing.
class CCountingSemaphore
{
public:
    CCountingSemaphore(int initial, int maximum);

    void Release(int count = 1);
    void Acquire();
    bool TryAcquire();
    int Count() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_available;
    int m_count;
    int m_maximum;
};

// The capture side releases `ready` once per filled buffer; the encode thread releases
// `consumed` once per buffer it is done with. Both start at 0 with a ceiling of the buffer count.
class CBufferHandshake
{
public:
    static constexpr int kDefaultMaximum = 5;

    explicit CBufferHandshake(int maximum = kDefaultMaximum);

    CCountingSemaphore& Ready() { return m_ready; }
    CCountingSemaphore& Consumed() { return m_consumed; }
    int MaximumCount() const { return m_maximum; }

private:
    int m_maximum;
    CCountingSemaphore m_ready;
    CCountingSemaphore m_consumed;
};

#include "record/BufferHandshake.h"

#include <algorithm>

CCountingSemaphore::CCountingSemaphore(int initial, int maximum)
    : m_count(std::clamp(initial, 0, std::max(maximum, 0)))
    , m_maximum(std::max(maximum, 0))
{}

void CCountingSemaphore::Release(int count)
{
    if (count <= 0) {
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_count = std::min(m_maximum, m_count + std::min(count, m_maximum));
    }
    m_available.notify_all();
}

void CCountingSemaphore::Acquire()
{
    std::unique_lock lock(m_mutex);
    m_available.wait(lock, [this] { return m_count > 0; });
    --m_count;
}

bool CCountingSemaphore::TryAcquire()
{
    std::lock_guard lock(m_mutex);
    if (m_count == 0) {
        return false;
    }
    --m_count;
    return true;
}

int CCountingSemaphore::Count() const
{
    std::lock_guard lock(m_mutex);
    return m_count;
}

CBufferHandshake::CBufferHandshake(int maximum)
    : m_maximum(maximum)
    , m_ready(0, maximum)
    , m_consumed(0, maximum)
{}

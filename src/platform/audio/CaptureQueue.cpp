#include "platform/audio/CaptureQueue.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{
// The queue whose delivery thread the current thread is, if any.
thread_local const CCaptureQueue* t_deliveringQueue = nullptr;
} // namespace

std::size_t CCaptureQueue::CapacityBuffersFor(std::size_t bytesPerSecond, std::size_t bufferBytes)
{
    if (bufferBytes == 0) {
        return kMinQueuedBuffers;
    }
    const auto buffers =
        static_cast<std::size_t>(std::ceil(kQueuedSeconds * double(bytesPerSecond) / double(bufferBytes)));
    return std::max(kMinQueuedBuffers, buffers);
}

CCaptureQueue::~CCaptureQueue()
{
    Stop();
    if (m_thread.joinable()) {
        // Destroyed from inside its own callback: the thread cannot join itself.
        m_thread.detach();
    }
}

bool CCaptureQueue::Configure(std::size_t bufferBytes, std::size_t capacityBuffers, BufferCallback onBuffer,
                              DeviceLostCallback onDeviceLost)
{
    if (bufferBytes == 0 || capacityBuffers == 0 || !onBuffer) {
        return false;
    }
    JoinUnlessSelf();
    std::lock_guard lock(m_mutex);
    if (m_running || m_thread.joinable()) {
        return false;
    }
    m_bufferBytes = bufferBytes;
    m_ring.assign(bufferBytes * capacityBuffers, 0);
    m_onBuffer = std::move(onBuffer);
    m_onDeviceLost = std::move(onDeviceLost);
    return true;
}

bool CCaptureQueue::Start()
{
    JoinUnlessSelf();
    std::lock_guard lock(m_mutex);
    if (m_running || m_thread.joinable() || m_ring.empty()) {
        return false;
    }
    m_written = 0;
    m_read = 0;
    m_lost = 0;
    m_owedSilence = 0;
    m_losses.clear();
    m_producerWaiting = false;
    m_delivered = 0;
    m_stopping = false;
    m_deviceLost = false;
    m_inCallback = false;
    m_threadEnded = false;
    m_running = true;
    m_thread = std::thread([this] { Run(); });
    return true;
}

void CCaptureQueue::Stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_running = false;
        m_stopping = true;
    }
    m_changed.notify_all();
    JoinUnlessSelf();
}

void CCaptureQueue::JoinUnlessSelf()
{
    if (m_thread.joinable() && !OnDeliveryThread()) {
        m_thread.join();
    }
}

bool CCaptureQueue::OnDeliveryThread() const
{
    return t_deliveringQueue == this;
}

void CCaptureQueue::CopyIn(const std::uint8_t* data, std::size_t bytes)
{
    const std::size_t at = static_cast<std::size_t>(m_written % m_ring.size());
    const std::size_t first = std::min(bytes, m_ring.size() - at);
    if (data) {
        std::memcpy(m_ring.data() + at, data, first);
        std::memcpy(m_ring.data(), data + first, bytes - first);
    } else {
        std::memset(m_ring.data() + at, 0, first);
        std::memset(m_ring.data(), 0, bytes - first);
    }
    m_written += bytes;
}

void CCaptureQueue::SetRoomCallback(RoomCallback onRoom)
{
    std::lock_guard lock(m_mutex);
    m_onRoom = std::move(onRoom);
}

void CCaptureQueue::RecordLoss(std::uint64_t bytes)
{
    if (bytes == 0) {
        return;
    }
    // The silence goes after everything already written or owed.
    const std::uint64_t position = m_written + m_owedSilence;
    const bool adjoinsLast = !m_losses.empty() && m_losses.back().positionBytes + m_losses.back().bytes == position;
    if (adjoinsLast || m_losses.size() >= kMaxLossRecords) {
        m_losses.back().bytes += bytes;
    } else {
        m_losses.push_back(CaptureLoss{position, bytes});
    }
    m_owedSilence += bytes;
    m_lost += bytes;
}

bool CCaptureQueue::PayOwedSilence()
{
    const auto piece = static_cast<std::size_t>(std::min<std::uint64_t>(m_owedSilence, FreeBytes()));
    if (piece > 0) {
        CopyIn(nullptr, piece);
        m_owedSilence -= piece;
    }
    return m_owedSilence == 0;
}

std::size_t CCaptureQueue::RoomBytes() const
{
    std::lock_guard lock(m_mutex);
    const std::size_t free = FreeBytes();
    return m_owedSilence >= free ? 0 : free - static_cast<std::size_t>(m_owedSilence);
}

bool CCaptureQueue::HasRoomOrWait(std::size_t bytes)
{
    std::lock_guard lock(m_mutex);
    if (!m_running || m_deviceLost) {
        return true;
    }
    const std::size_t free = FreeBytes();
    if (m_owedSilence < free && bytes <= free - static_cast<std::size_t>(m_owedSilence)) {
        return true;
    }
    m_producerWaiting = true;
    return false;
}

bool CCaptureQueue::Push(const std::uint8_t* data, std::size_t bytes)
{
    bool bufferComplete = false;
    bool accepted = false;
    {
        std::lock_guard lock(m_mutex);
        if (!m_running || m_deviceLost) {
            return false;
        }
        const std::uint64_t before = PendingBytes();
        // Newer sound may only follow the silence that stands for older lost sound.
        accepted = PayOwedSilence() && bytes <= FreeBytes();
        if (accepted) {
            CopyIn(data, bytes);
        } else {
            RecordLoss(bytes);
        }
        bufferComplete = before < m_bufferBytes && PendingBytes() >= m_bufferBytes;
    }
    if (bufferComplete) {
        m_changed.notify_all();
    }
    return accepted;
}

bool CCaptureQueue::PushGap(std::size_t bytes)
{
    bool bufferComplete = false;
    {
        std::lock_guard lock(m_mutex);
        if (!m_running || m_deviceLost) {
            return false;
        }
        const std::uint64_t before = PendingBytes();
        RecordLoss(bytes);
        PayOwedSilence();
        bufferComplete = before < m_bufferBytes && PendingBytes() >= m_bufferBytes;
    }
    if (bufferComplete) {
        m_changed.notify_all();
    }
    return true;
}

bool CCaptureQueue::PushWait(const std::uint8_t* data, std::size_t bytes)
{
    std::unique_lock lock(m_mutex);
    while (bytes > 0) {
        m_changed.wait(lock, [this] { return !m_running || m_deviceLost || FreeBytes() > 0; });
        if (!m_running || m_deviceLost) {
            return false;
        }
        if (!PayOwedSilence()) {
            m_changed.notify_all();
            continue;
        }
        const std::size_t piece = std::min(bytes, FreeBytes());
        CopyIn(data, piece);
        if (data) {
            data += piece;
        }
        bytes -= piece;
        m_changed.notify_all();
    }
    return true;
}

void CCaptureQueue::DeviceLost()
{
    {
        std::lock_guard lock(m_mutex);
        m_deviceLost = true;
    }
    m_changed.notify_all();
}

void CCaptureQueue::Run()
{
    t_deliveringQueue = this;
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stopping || m_deviceLost || PendingBytes() >= m_bufferBytes; });
        if (m_stopping) {
            break;
        }
        if (PendingBytes() >= m_bufferBytes) {
            // m_read only moves here, so the ring bytes under the callback stay put until it returns.
            const std::uint8_t* buffer = m_ring.data() + static_cast<std::size_t>(m_read % m_ring.size());
            m_inCallback = true;
            lock.unlock();
            m_onBuffer(buffer, m_bufferBytes);
            lock.lock();
            m_inCallback = false;
            m_read += m_bufferBytes;
            ++m_delivered;
            PayOwedSilence();
            m_changed.notify_all();
            if (m_producerWaiting && m_onRoom && !m_stopping) {
                m_producerWaiting = false;
                const RoomCallback onRoom = m_onRoom;
                lock.unlock();
                onRoom();
                lock.lock();
            }
            continue;
        }
        // Device lost with no complete buffer left: the partial rest is discarded.
        m_running = false;
        m_inCallback = true;
        lock.unlock();
        if (m_onDeviceLost) {
            m_onDeviceLost();
        }
        lock.lock();
        m_inCallback = false;
        break;
    }
    m_threadEnded = true;
    m_changed.notify_all();
}

bool CCaptureQueue::WaitUntilIdle(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout,
                              [this] { return m_threadEnded || (PendingBytes() < m_bufferBytes && !m_inCallback); });
}

bool CCaptureQueue::IsRunning() const
{
    std::lock_guard lock(m_mutex);
    return m_running;
}

std::uint64_t CCaptureQueue::LostBytes() const
{
    std::lock_guard lock(m_mutex);
    return m_lost;
}

std::vector<CaptureLoss> CCaptureQueue::Losses() const
{
    std::lock_guard lock(m_mutex);
    return m_losses;
}

std::uint64_t CCaptureQueue::DeliveredBuffers() const
{
    std::lock_guard lock(m_mutex);
    return m_delivered;
}

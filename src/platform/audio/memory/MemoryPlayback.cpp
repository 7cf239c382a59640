#include "platform/audio/memory/MemoryPlayback.h"

#include "platform/audio/memory/MemoryAudioBackend.h"

#include <algorithm>

CMemoryPlayback::CMemoryPlayback(std::shared_ptr<CMemoryAudioBackend> backend)
    : m_backend(std::move(backend))
{}

CMemoryPlayback::~CMemoryPlayback()
{
    Close();
}

bool CMemoryPlayback::Open(const PcmFormat& format)
{
    Close();
    if (!format.IsValid()) {
        m_error = QStringLiteral("unsupported playback format");
        return false;
    }
    // The card's lock comes before ours, so register before taking it.
    if (!m_backend->BeginPlayback(format, this)) {
        m_error = QStringLiteral("no output device");
        return false;
    }
    std::lock_guard lock(m_mutex);
    m_format = format;
    m_open = true;
    m_paused = false;
    m_failed = false;
    m_drainPending = false;
    m_written = 0;
    m_played = 0;
    return true;
}

CMemoryPlayback::DrainedCallback CMemoryPlayback::SettleLocked(bool autoPlay)
{
    if (autoPlay && !m_paused) {
        m_played = m_written;
    }
    if (m_drainPending && m_played == m_written) {
        m_drainPending = false;
        return m_onDrained;
    }
    return {};
}

bool CMemoryPlayback::Write(const void* data, std::size_t bytes)
{
    const bool autoPlay = m_backend->AutoPlay();
    DrainedCallback drained;
    {
        std::lock_guard lock(m_mutex);
        if (!m_open || m_failed || bytes % m_format.BlockAlign() != 0) {
            return false;
        }
        m_written += bytes;
        drained = SettleLocked(autoPlay);
    }
    m_backend->RecordPlayed(data, bytes);
    if (drained) {
        drained();
    }
    return true;
}

std::size_t CMemoryPlayback::WritableBytes()
{
    std::lock_guard lock(m_mutex);
    return m_open && !m_failed ? kWritableBytes : 0;
}

bool CMemoryPlayback::Pause()
{
    std::lock_guard lock(m_mutex);
    if (!m_open) {
        return false;
    }
    m_paused = true;
    return true;
}

bool CMemoryPlayback::Resume()
{
    const bool autoPlay = m_backend->AutoPlay();
    DrainedCallback drained;
    {
        std::lock_guard lock(m_mutex);
        if (!m_open) {
            return false;
        }
        m_paused = false;
        drained = SettleLocked(autoPlay);
    }
    if (drained) {
        drained();
    }
    return true;
}

bool CMemoryPlayback::IsPaused() const
{
    std::lock_guard lock(m_mutex);
    return m_paused;
}

bool CMemoryPlayback::Flush()
{
    std::lock_guard lock(m_mutex);
    if (!m_open) {
        return false;
    }
    m_written = 0;
    m_played = 0;
    m_drainPending = false;
    return true;
}

bool CMemoryPlayback::Drain(DrainedCallback onDrained)
{
    const bool autoPlay = m_backend->AutoPlay();
    DrainedCallback drained;
    {
        std::lock_guard lock(m_mutex);
        if (!m_open) {
            return false;
        }
        m_onDrained = std::move(onDrained);
        m_drainPending = true;
        drained = SettleLocked(autoPlay);
    }
    if (drained) {
        drained();
    }
    return true;
}

CMemoryPlayback::DrainedCallback CMemoryPlayback::Advance(std::uint64_t bytes)
{
    std::lock_guard lock(m_mutex);
    if (!m_open || m_paused) {
        return {};
    }
    m_played = std::min(m_written, m_played + bytes);
    return SettleLocked(false);
}

void CMemoryPlayback::MarkFailed()
{
    std::lock_guard lock(m_mutex);
    m_failed = true;
    m_drainPending = false;
}

std::uint64_t CMemoryPlayback::PlayedBytes()
{
    std::lock_guard lock(m_mutex);
    return m_played;
}

std::uint64_t CMemoryPlayback::WrittenBytes() const
{
    std::lock_guard lock(m_mutex);
    return m_written;
}

void CMemoryPlayback::Close()
{
    m_backend->EndPlayback(this);
    std::lock_guard lock(m_mutex);
    m_open = false;
    m_drainPending = false;
    m_onDrained = {};
}

bool CMemoryPlayback::IsOpen() const
{
    std::lock_guard lock(m_mutex);
    return m_open;
}

bool CMemoryPlayback::HasFailed() const
{
    std::lock_guard lock(m_mutex);
    return m_failed;
}

QString CMemoryPlayback::LastError() const
{
    std::lock_guard lock(m_mutex);
    return m_error;
}

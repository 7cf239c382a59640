#pragma once

#include "platform/audio/AudioPlayback.h"

#include <QString>
#include <memory>
#include <mutex>

class CMemoryAudioBackend;

// Playback into the in-memory sound card. Writes never block; what counts as played follows the
// card's auto-play setting or the test's AdvancePlayback calls.
class CMemoryPlayback : public AudioPlayback
{
public:
    static constexpr std::size_t kWritableBytes = 1 << 20;

    explicit CMemoryPlayback(std::shared_ptr<CMemoryAudioBackend> backend);
    ~CMemoryPlayback() override;

    bool Open(const PcmFormat& format) override;
    bool Write(const void* data, std::size_t bytes) override;
    std::size_t WritableBytes() override;
    bool Pause() override;
    bool Resume() override;
    bool IsPaused() const override;
    bool Flush() override;
    bool Drain(DrainedCallback onDrained) override;
    std::uint64_t PlayedBytes() override;
    std::uint64_t WrittenBytes() const override;
    void Close() override;
    bool IsOpen() const override;
    bool HasFailed() const override;
    QString LastError() const override;

private:
    friend class CMemoryAudioBackend;

    // Called by the card with its own lock held; returns the drained callback to run, if any,
    // which the card runs after letting go of its lock.
    DrainedCallback Advance(std::uint64_t bytes);
    void MarkFailed();
    // Plays everything queued when auto-play is on and not paused; the caller holds m_mutex.
    DrainedCallback SettleLocked(bool autoPlay);

    std::shared_ptr<CMemoryAudioBackend> m_backend;
    mutable std::mutex m_mutex;
    PcmFormat m_format;
    bool m_open = false;
    bool m_paused = false;
    bool m_failed = false;
    bool m_drainPending = false;
    DrainedCallback m_onDrained;
    std::uint64_t m_written = 0;
    std::uint64_t m_played = 0;
    QString m_error;
};

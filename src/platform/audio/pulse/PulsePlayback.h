#pragma once

#include "platform/audio/AudioPlayback.h"
#include "platform/audio/PlaybackVolume.h"
#include "platform/audio/pulse/PulseOperation.h"
#include "platform/audio/pulse/PulseStream.h"

#include <QString>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>

class CPulseConnection;
class CPulseMainLoop;
struct pa_stream;

// Playback through a PulseAudio playback stream on the server's default sink. Writers block on
// the main loop until the stream asks for more; the position comes from the stream's timing
// information, so it counts what has reached the output, not what was handed over. Its volume
// is Sorvane's playback volume, set on the stream's own sink input, never on the sink.
class CPulsePlayback : public AudioPlayback
{
public:
    // Queued ahead of the output: short enough for a prompt pause, long enough not to starve.
    static constexpr std::chrono::milliseconds kTargetLatency{250};

    explicit CPulsePlayback(QString server);
    ~CPulsePlayback() override;

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
    static void OnStreamState(pa_stream* stream, void* userdata);
    static void OnStreamWrite(pa_stream* stream, std::size_t bytes, void* userdata);
    static void OnDrained(pa_stream* stream, int success, void* userdata);
    // Creates and connects a fresh stream (corked when paused); the caller holds the loop lock.
    bool ConnectStream();
    bool SetCorked(bool corked);
    // Sets the stream's sink input to the level (all channels).
    void ApplyVolume(int level);
    // Moves the position on from the stream's clock; the caller holds the loop lock.
    void UpdatePlayedLocked();
    bool Fail(const QString& error);

    QString m_server;
    PcmFormat m_format;
    std::shared_ptr<CPulseConnection> SharedConnection() const;

    mutable std::mutex m_connectionMutex; // guards the pointer, not the connection
    std::shared_ptr<CPulseConnection> m_connection;
    CPulseMainLoop* m_loop = nullptr; // the connection's loop, for callbacks to wake waiters
    CPulseStream m_stream;
    CPulseOperation m_drainOperation;
    DrainedCallback m_onDrained;
    // Guarded by the loop lock.
    std::uint64_t m_written = 0;
    std::uint64_t m_played = 0;
    bool m_drained = false;
    unsigned m_generation = 0; // moves on at Flush and Close, so blocked writers give up
    int m_activeWriters = 0;
    std::atomic<bool> m_paused{false};
    std::atomic<bool> m_failed{false};
    std::atomic<std::uint64_t> m_writtenSnapshot{0};
    QString m_error;
    std::unique_ptr<PlaybackVolume::CFollower> m_volumeFollower;
};

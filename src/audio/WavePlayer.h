#pragma once

#include <QString>
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class AudioPlayback;
class CWaveFile;

// Plays a WAV file's sample data from a byte offset on the default output, streaming it from
// disk in 16 KiB blocks on a feeding thread of its own, with at most 16 blocks queued ahead.
// It never stops by itself: after the data it plays silence until Stop, and the owner decides
// when to stop by comparing StartOffset() + GetPosition() with its end offset.
class CWavePlayer
{
public:
    static constexpr int kBufferCount = 16;
    static constexpr std::uint32_t kBufferBytes = 16384;

    CWavePlayer();
    // Releases what is left, as Stop does.
    ~CWavePlayer();
    CWavePlayer(const CWavePlayer&) = delete;
    CWavePlayer& operator=(const CWavePlayer&) = delete;

    // Opens the file and starts playing at startOffset bytes into the sample data (from the
    // start when the file is shorter); false when the file or the output cannot be opened.
    bool Open(const QString& path, std::uint32_t startOffset, std::uint32_t endOffset);
    // Bytes played since playback started (relative to StartOffset()); 0 when not playing.
    std::uint32_t GetPosition() const;
    // Stops and releases output and file; safe when already stopped and from the owner's thread.
    void Stop();
    bool IsPlaying() const { return m_playing.load(); }
    std::uint32_t StartOffset() const { return m_startOffset; }
    std::uint32_t EndOffset() const { return m_endOffset; }

private:
    // Streams the file into the output until playing is cleared; runs on m_feeder.
    void Feed();
    // Fills a block from the file; 0 at the end of the data or on a read error.
    std::uint32_t ReadBlock(std::uint8_t* block);
    // Waits on the device until ready() holds; false once playing ended (also when the device
    // failed meanwhile).
    template <typename Ready>
    bool WaitFor(Ready ready);
    void WakeFeeder();

    std::unique_ptr<CWaveFile> m_file;
    std::unique_ptr<AudioPlayback> m_device;
    std::atomic<bool> m_playing{false};
    std::uint32_t m_startOffset = 0;
    std::mutex m_stopLock;
    std::uint32_t m_endOffset = 0;
    std::thread m_feeder;

    // The ring of blocks, one allocation made at Open.
    std::vector<std::uint8_t> m_blocks;
    // Per ring slot: where the block last written from it ends in the output's byte count; the
    // slot is free again once the output has played that far.
    std::array<std::uint64_t, kBufferCount> m_blockEnds{};
    std::uint32_t m_frameBytes = 1;
    std::uint32_t m_bytesPerSecond = 0;
    std::mutex m_feedMutex;
    std::condition_variable m_feedWake;
};

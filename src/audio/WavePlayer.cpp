#include "audio/WavePlayer.h"

#include "codec/WaveFile.h"
#include "platform/audio/AudioBackend.h"
#include "platform/audio/AudioPlayback.h"
#include "platform/audio/PcmFormat.h"

#include <QFileInfo>
#include <chrono>
#include <cstring>
#include <new>
#include <system_error>

namespace
{
constexpr std::uint64_t kAheadBytes = std::uint64_t(CWavePlayer::kBufferCount) * CWavePlayer::kBufferBytes;
// The output reports what it played without telling anyone, so a waiting feeder looks again
// this often (Stop wakes it at once).
constexpr std::chrono::milliseconds kPlayedPollInterval{10};
// Silence after the data is made no faster than this many times real time: an output that
// takes sound faster than it plays it would otherwise be given silence without end.
constexpr std::uint64_t kSilencePaceFactor = 2;
constexpr std::uint64_t kMillisecondsPerSecond = 1000;

// The device takes plain PCM only; everything else would play as noise or not at all.
bool DeviceFormatOf(const WaveFormat& wave, PcmFormat* device)
{
    if (wave.formatTag != WaveFormat::kPcmTag) {
        return false;
    }
    *device = PcmFormat{wave.channels, wave.samplesPerSec, wave.bitsPerSample};
    return device->IsValid();
}
} // namespace

CWavePlayer::CWavePlayer() = default;

CWavePlayer::~CWavePlayer()
{
    Stop();
}

bool CWavePlayer::Open(const QString& path, std::uint32_t startOffset, std::uint32_t endOffset)
{
    Stop();
    std::lock_guard lock(m_stopLock);

    // A FIFO or a device would block the open or never end. A name that is no file at all may
    // still be a program resource, which the WAV reader looks for.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        return false;
    }
    auto file = std::make_unique<CWaveFile>();
    if (file->Open(path, nullptr, CWaveFile::kModeRead) != CWaveFile::S_OK || file->Format() == nullptr) {
        return false;
    }
    PcmFormat format;
    if (!DeviceFormatOf(*file->Format(), &format)) {
        return false;
    }
    m_frameBytes = static_cast<std::uint32_t>(format.BlockAlign());
    m_bytesPerSecond = static_cast<std::uint32_t>(format.BytesPerSecond());

    // Starting inside a sample frame would swap the channels or the bytes of every sample.
    m_startOffset = startOffset - startOffset % m_frameBytes;
    m_endOffset = endOffset;
    std::uint32_t skipped = 0;
    if (file->Read(nullptr, m_startOffset, &skipped) != CWaveFile::S_OK || skipped < m_startOffset) {
        if (file->ResetFile() != CWaveFile::S_OK) {
            return false;
        }
        m_startOffset = 0;
    }

    auto device = AudioBackend::Current()->CreatePlayback();
    if (!device) {
        return false;
    }
    // A device that is busy for a moment gets one more chance.
    if (!device->Open(format) && !device->Open(format)) {
        return false;
    }

    try {
        m_blocks.assign(std::size_t(kBufferCount) * kBufferBytes, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    m_blockEnds.fill(0);
    m_file = std::move(file);
    m_device = std::move(device);
    m_playing = true;
    try {
        m_feeder = std::thread(&CWavePlayer::Feed, this);
    } catch (const std::system_error&) {
        m_playing = false;
        m_device->Close();
        m_device.reset();
        m_file.reset();
        return false;
    }
    return true;
}

std::uint32_t CWavePlayer::GetPosition() const
{
    if (!m_playing || !m_device || !m_device->IsOpen()) {
        return 0;
    }
    return static_cast<std::uint32_t>(m_device->PlayedBytes());
}

void CWavePlayer::Stop()
{
    std::lock_guard lock(m_stopLock);
    m_playing = false;
    WakeFeeder();
    if (m_device) {
        // Releases a Write blocked on a full output.
        m_device->Close();
    }
    if (m_feeder.joinable()) {
        m_feeder.join();
    }
    m_device.reset();
    if (m_file) {
        m_file->Close();
        m_file.reset();
    }
    m_blocks = {};
}

void CWavePlayer::WakeFeeder()
{
    // Taking the lock orders the wake-up after a check the feeder may be making.
    {
        std::lock_guard feedLock(m_feedMutex);
    }
    m_feedWake.notify_all();
}

template <typename Ready>
bool CWavePlayer::WaitFor(Ready ready)
{
    std::unique_lock feedLock(m_feedMutex);
    while (m_playing) {
        if (m_device->HasFailed()) {
            m_playing = false;
            return false;
        }
        if (ready()) {
            return true;
        }
        m_feedWake.wait_for(feedLock, kPlayedPollInterval);
    }
    return false;
}

std::uint32_t CWavePlayer::ReadBlock(std::uint8_t* block)
{
    std::uint32_t bytesRead = 0;
    if (m_file->Read(block, kBufferBytes, &bytesRead) != CWaveFile::S_OK) {
        return 0;
    }
    // The output takes whole frames only; a cut-off last frame is completed with silence.
    const std::uint32_t partial = bytesRead % m_frameBytes;
    if (partial != 0) {
        std::memset(block + bytesRead, 0, m_frameBytes - partial);
        bytesRead += m_frameBytes - partial;
    }
    return bytesRead;
}

void CWavePlayer::Feed()
{
    using Clock = std::chrono::steady_clock;
    std::size_t nextIndex = 0;
    std::uint64_t written = 0;
    std::uint64_t silenceWritten = 0;
    Clock::time_point silenceStart;

    while (m_playing) {
        // The slot still holds the block written kBufferCount blocks ago; refill it only once
        // that one was played, so no more than kBufferCount blocks are ever queued.
        const std::uint64_t slotEnd = m_blockEnds[nextIndex];
        if (!WaitFor([&] { return m_device->PlayedBytes() >= slotEnd; })) {
            break;
        }
        std::uint8_t* block = m_blocks.data() + nextIndex * kBufferBytes;
        std::uint32_t length = ReadBlock(block);
        if (length == 0) {
            // The player never ends by itself: after the data it plays silence until Stop.
            if (silenceWritten == 0) {
                silenceStart = Clock::now();
            }
            const bool paced = WaitFor([&] {
                const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - silenceStart);
                const std::uint64_t allowed = kAheadBytes + kSilencePaceFactor * m_bytesPerSecond *
                                                                std::uint64_t(elapsed.count()) / kMillisecondsPerSecond;
                return silenceWritten < allowed;
            });
            if (!paced) {
                break;
            }
            std::memset(block, 0, kBufferBytes);
            length = kBufferBytes;
            silenceWritten += length;
        }
        if (!m_device->Write(block, length)) {
            // Stop (on the owner's thread) releases the output; the owner sees playing cleared.
            m_playing = false;
            break;
        }
        written += length;
        m_blockEnds[nextIndex] = written;
        nextIndex = (nextIndex + 1) % kBufferCount;
    }
}

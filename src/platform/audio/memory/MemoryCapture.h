#pragma once

#include "platform/audio/AudioCapture.h"

#include <QString>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

class CCaptureQueue;
class CMemoryAudioBackend;

// Capture from the in-memory sound card: a feeder thread moves the scripted items into the
// capture queue as far as it has room, leaving the rest with the card until the queue's room
// callback says a buffer went out, as the real back-end leaves it with the sound server; the
// queue's thread delivers them.
class CMemoryCapture : public AudioCapture
{
public:
    explicit CMemoryCapture(std::shared_ptr<CMemoryAudioBackend> backend);
    ~CMemoryCapture() override;

    bool DeviceAvailable() override;
    bool Open(const PcmFormat& format, std::size_t bufferBytes, BufferCallback onBuffer,
              DeviceLostCallback onDeviceLost) override;
    bool Start() override;
    void Stop() override;
    void Close() override;
    bool IsOpen() const override;
    std::vector<CaptureLoss> Losses() const override;
    std::uint64_t LostBytes() const override;
    QString LastError() const override;

private:
    void Feed();
    // Moves one scripted piece of sound into the queue as room comes; false once stopped.
    bool FeedBytes(const QByteArray& bytes);
    void OnQueueRoom();

    std::shared_ptr<CMemoryAudioBackend> m_backend;
    std::shared_ptr<CCaptureQueue> m_queue;
    std::thread m_feeder;
    std::atomic<bool> m_stopFeeding{false};
    std::mutex m_roomMutex;
    std::condition_variable m_roomChanged;
    bool m_roomReady = false;
    bool m_open = false;
    std::atomic<bool> m_started{false};
    QString m_error;
};

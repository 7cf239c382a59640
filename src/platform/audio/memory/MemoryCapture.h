#pragma once

#include "platform/audio/AudioCapture.h"

#include <QString>
#include <atomic>
#include <memory>
#include <thread>

class CCaptureQueue;
class CMemoryAudioBackend;

// Capture from the in-memory sound card: a feeder thread moves the scripted items into the
// capture queue (waiting for room rather than dropping), and the queue's thread delivers them.
class CMemoryCapture : public AudioCapture
{
public:
    static constexpr std::size_t kQueuedBuffers = 8;

    explicit CMemoryCapture(std::shared_ptr<CMemoryAudioBackend> backend);
    ~CMemoryCapture() override;

    bool DeviceAvailable() override;
    bool Open(const PcmFormat& format, std::size_t bufferBytes, BufferCallback onBuffer,
              DeviceLostCallback onDeviceLost) override;
    bool Start() override;
    void Stop() override;
    void Close() override;
    bool IsOpen() const override;
    std::uint64_t DroppedBytes() const override;
    QString LastError() const override;

private:
    void Feed();

    std::shared_ptr<CMemoryAudioBackend> m_backend;
    std::shared_ptr<CCaptureQueue> m_queue;
    std::thread m_feeder;
    std::atomic<bool> m_stopFeeding{false};
    bool m_open = false;
    std::atomic<bool> m_started{false};
    QString m_error;
};

#pragma once

#include "codec/RecordFormat.h"
#include "platform/audio/AudioCapture.h"

#include <QString>
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class CBufferHandshake;
class CCaptureMonitor;
class CMp3StreamEncoder;

// Captures PCM from the default capture device into five one-frame buffers and hands each one,
// in order, to the encoder's encode thread and to the monitor. One engine per recorded file.
// Order at stop: SetMonitor(nullptr), Stop, OutputPath, Close, DestroyHandshake, destroy.
class CWaveRecorder
{
public:
    static constexpr int kBufferCount = 5;
    static constexpr int kInitialBufferBytes = 16384;
    static constexpr int kRecentWindowBytes = 11520;
    static constexpr int kRepaintEveryBuffers = 6;

    // Runs once, on the capture thread, when the recording can no longer go on as it should
    // (the capture device vanished, the encoder stopped writing). It should only post to the
    // controller, which then stops and files the recording as usual.
    using FailureCallback = std::function<void()>;

    CWaveRecorder();
    ~CWaveRecorder();
    CWaveRecorder(const CWaveRecorder&) = delete;
    CWaveRecorder& operator=(const CWaveRecorder&) = delete;

    // Prepares everything but the device: window, handshake, format copy from CRecordSettings,
    // the encoder (opened on outputPath), buffers. Fails when there is no capture device or the
    // encoder does not open, and then queues nothing.
    bool Open(const QString& outputPath);
    bool Start();
    bool TogglePause(); // the new paused state
    void Stop();        // stops capture and finishes the MP3 file
    void Close();
    void DestroyHandshake();
    // After SetMonitor returns, no call into the monitor it replaced is running or will begin
    // (unless it is called from inside that monitor's own OnBuffer), so the old monitor may be
    // destroyed. A monitor must therefore never wait for the thread that detaches it.
    void SetMonitor(CCaptureMonitor* monitor);
    // Set before Start.
    void SetFailureCallback(FailureCallback callback);
    // Records from the capture source of this name rather than the selected one; set before Open.
    void SetSourceName(const QString& name) { m_sourceName = name; }

    QString OutputPath() const;
    QString ElapsedText() const; // "%02d : %02d" of the recorded (not paused) time
    static QString ElapsedTextFor(std::uint64_t capturedBytes, const RecordFormat& format);
    // The window itself belongs to the capture thread: read it there (from OnBuffer) or once
    // capture has stopped. Other threads take a copy with CopyRecentWindow.
    const std::uint8_t* RecentWindow() const;
    int RecentFill() const;
    static constexpr int RecentCapacity() { return kRecentWindowBytes; }
    // The filled part of the window, copied consistently while the capture thread may write it.
    void CopyRecentWindow(std::vector<std::uint8_t>& out) const;

    int BufferBytes() const { return m_bufferBytes; }
    std::uint32_t CapturedBytes() const
    {
        return static_cast<std::uint32_t>(m_capturedBytes.load(std::memory_order_relaxed));
    }
    // The same count without the 32-bit wrap (after 4 GiB, under seven hours of stereo).
    std::uint64_t TotalCapturedBytes() const { return m_capturedBytes.load(std::memory_order_relaxed); }
    // The captured bytes that went into the recording: the paused ones left out.
    std::uint64_t RecordedBytes() const { return m_recordedBytes.load(std::memory_order_relaxed); }
    bool IsPaused() const { return m_paused.load(std::memory_order_relaxed); }
    const RecordFormat& Format() const { return m_format; }
    // Sound the device lost on the way, which the file holds as silence, in capture order;
    // complete once Stop has returned.
    std::vector<CaptureLoss> Losses() const { return m_losses; }
    // "2.5 s of sound were lost at 01:07", or empty when nothing was; once Stop has returned.
    QString LossText() const;
    // Why the recording ended or failed (encoder error, device lost), empty while all is well.
    QString FailureText() const;
    bool HasFailed() const { return m_failed.load(); }

private:
    // Per-buffer steps, on the capture thread.
    void HandleBuffer(const std::uint8_t* data, std::size_t bytes);
    void AppendToRecentWindow(const std::uint8_t* data, std::size_t bytes);
    void NotifyMonitor(const std::uint8_t* buffer);
    void HandleDeviceLost();
    void CheckEncoder();

    // Keeps the first reason; `notify` tells the controller through the failure callback.
    void RecordFailure(const QString& text, bool notify);
    void FreeBuffers();

    RecordFormat m_format;
    int m_bufferBytes = kInitialBufferBytes;
    // What the device fills per buffer: the buffer size in whole sample frames.
    std::size_t m_deviceBufferBytes = 0;
    // 64 bits so the elapsed time stays right past 4 GiB (under seven hours of stereo).
    std::atomic<std::uint64_t> m_capturedBytes{0};
    std::atomic<std::uint64_t> m_recordedBytes{0};
    QString m_sourceName;
    std::atomic<bool> m_paused{false};
    std::atomic<bool> m_stopping{false};
    bool m_opened = false;
    std::vector<CaptureLoss> m_losses;

    std::unique_ptr<CBufferHandshake> m_handshake;
    std::unique_ptr<CMp3StreamEncoder> m_encoder;
    std::unique_ptr<AudioCapture> m_capture;
    std::array<std::vector<std::uint8_t>, kBufferCount> m_buffers;
    std::array<std::uint8_t*, kBufferCount> m_bufferPointers{};
    int m_currentIndex = 0; // capture thread only

    mutable std::mutex m_windowMutex;
    std::vector<std::uint8_t> m_recentWindow;
    std::atomic<int> m_recentFill{0};

    std::mutex m_monitorMutex;
    std::condition_variable m_monitorIdle;
    CCaptureMonitor* m_monitor = nullptr;
    bool m_monitorBusy = false;
    std::thread::id m_monitorThread;

    mutable std::mutex m_failureMutex;
    QString m_failureText;
    FailureCallback m_failureCallback;
    std::atomic<bool> m_failed{false};
    std::atomic<bool> m_failureNotified{false};
};

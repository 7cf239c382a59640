#include "record/WaveRecorder.h"

#include "app/RecordSettings.h"
#include "platform/audio/AudioBackend.h"
#include "record/BufferHandshake.h"
#include "record/CaptureMonitor.h"
#include "record/LossReport.h"
#include "record/Mp3StreamEncoder.h"

#include <algorithm>
#include <cstring>

namespace
{
constexpr int kSecondsPerMinute = 60;
constexpr int kBytesPerSample16 = 2;
constexpr const char* kNoDeviceText = "there is no sound capture device";
constexpr const char* kDeviceNotStartedText = "the sound capture device could not be started";
constexpr const char* kDeviceLostText = "the sound capture device was lost";

// Paces the monitor's waveform repaint; shared by every engine of the process.
std::atomic<int> g_repaintCounter{0};

// Counts one monitored buffer; true on every sixth.
bool CountTowardsRepaint()
{
    int current = g_repaintCounter.load();
    int next = 0;
    bool repaint = false;
    do {
        next = current + 1;
        repaint = next >= CWaveRecorder::kRepaintEveryBuffers;
        if (repaint) {
            next = 0;
        }
    } while (!g_repaintCounter.compare_exchange_weak(current, next));
    return repaint;
}
} // namespace

CWaveRecorder::CWaveRecorder() = default;

CWaveRecorder::~CWaveRecorder()
{
    DestroyHandshake();
}

bool CWaveRecorder::Open(const QString& outputPath)
{
    // Each engine records once; a second Open must still not leave the first capture running.
    Close();
    {
        std::lock_guard lock(m_failureMutex);
        m_failureText.clear();
    }
    m_failed = false;
    m_failureNotified = false;
    m_losses.clear();

    {
        std::lock_guard lock(m_windowMutex);
        m_recentWindow.assign(kRecentWindowBytes, 0);
    }
    m_recentFill = 0;

    m_handshake = std::make_unique<CBufferHandshake>(kBufferCount);
    m_format = CRecordSettings::Instance().Format();

    m_encoder = std::make_unique<CMp3StreamEncoder>();
    m_encoder->SetFormat(m_format);
    m_encoder->SetOutputPath(outputPath);
    if (!m_encoder->Open(0)) {
        RecordFailure(CMp3StreamEncoder::ErrorText(m_encoder->LastError()), false);
        // The object stays for OutputPath; it holds no stream and no file.
        m_encoder->Destroy();
        return false;
    }
    m_encoder->SetHandshake(m_handshake.get());
    m_encoder->SetBufferCount(kBufferCount);

    m_bufferBytes = m_encoder->ChunkBytes();
    for (int i = 0; i < kBufferCount; ++i) {
        m_buffers[std::size_t(i)].assign(std::size_t(m_bufferBytes), 0);
        m_bufferPointers[std::size_t(i)] = m_buffers[std::size_t(i)].data();
    }
    m_encoder->SetBuffers(m_bufferPointers.data());

    m_capture = AudioBackend::Current()->CreateCapture();
    if (m_capture) {
        m_capture->SetSourceName(m_sourceName);
    }
    if (!m_capture || !m_capture->DeviceAvailable()) {
        RecordFailure(QLatin1String(kNoDeviceText), false);
        m_capture.reset();
        // No buffer will ever reach the stream: close it now. The file it created stays (the
        // few bytes an empty stream flushes) for the controller to file or delete.
        m_encoder->Destroy();
        FreeBuffers();
        return false;
    }

    const std::size_t blockAlign =
        m_format.blockAlign != 0 ? m_format.blockAlign : std::size_t(m_format.channels) * kBytesPerSample16;
    m_deviceBufferBytes =
        std::size_t(m_bufferBytes) - std::size_t(m_bufferBytes) % std::max<std::size_t>(blockAlign, 1);
    m_opened = true;
    return true;
}

bool CWaveRecorder::Start()
{
    // A failed Open leaves no stream: nothing may be queued for it.
    if (!m_opened || !m_capture || m_capture->IsOpen()) {
        return false;
    }
    if (!m_encoder->StartThread()) {
        RecordFailure(QStringLiteral("the encode thread could not be started"), false);
        return false;
    }
    // Reset before the device runs: the capture thread reads them from its first buffer on.
    m_currentIndex = 0;
    m_stopping = false;
    m_capturedBytes = 0;
    m_recordedBytes = 0;

    const PcmFormat format = PcmFormat::Pcm16(m_format.channels, m_format.samplesPerSec);
    const bool opened = m_capture->Open(
        format, m_deviceBufferBytes, [this](const std::uint8_t* data, std::size_t bytes) { HandleBuffer(data, bytes); },
        [this] { HandleDeviceLost(); });
    if (!opened || !m_capture->Start()) {
        const QString reason = m_capture->LastError();
        RecordFailure(reason.isEmpty() ? QLatin1String(kDeviceNotStartedText) : reason, false);
        // Finish the file at once rather than at the user's Stop; the encoder object stays so
        // OutputPath still names the file for the controller to file or delete.
        Stop();
        m_capture->Close();
        m_opened = false;
        return false;
    }
    return true;
}

void CWaveRecorder::HandleBuffer(const std::uint8_t* data, std::size_t bytes)
{
    if (m_stopping) {
        return;
    }
    // One reading per buffer, so the window, the monitor and the count agree about it.
    const bool paused = m_paused.load(std::memory_order_relaxed);
    m_capturedBytes.fetch_add(std::uint64_t(m_bufferBytes), std::memory_order_relaxed);
    if (!paused) {
        m_recordedBytes.fetch_add(std::uint64_t(m_bufferBytes), std::memory_order_relaxed);
    }

    // The device's memory is valid only during this call; the encoder reads the engine's copy.
    std::uint8_t* buffer = m_bufferPointers[std::size_t(m_currentIndex)];
    std::memcpy(buffer, data, std::min(bytes, std::size_t(m_bufferBytes)));
    if (!paused) {
        AppendToRecentWindow(buffer, std::size_t(m_bufferBytes));
    }

    m_handshake->Ready().Release();
    m_handshake->Consumed().Acquire();
    CheckEncoder();

    if (!paused) {
        NotifyMonitor(buffer);
    }
    m_currentIndex = (m_currentIndex + 1) % kBufferCount;
}

void CWaveRecorder::AppendToRecentWindow(const std::uint8_t* data, std::size_t bytes)
{
    std::lock_guard lock(m_windowMutex);
    if (m_recentWindow.empty()) {
        return;
    }
    const std::size_t capacity = m_recentWindow.size();
    const std::size_t fill = std::size_t(m_recentFill.load(std::memory_order_relaxed));
    if (fill + bytes <= capacity) {
        std::memcpy(m_recentWindow.data() + fill, data, bytes);
        m_recentFill.store(int(fill + bytes), std::memory_order_relaxed);
        return;
    }
    if (bytes >= capacity) {
        std::memcpy(m_recentWindow.data(), data + (bytes - capacity), capacity);
    } else {
        // Only captured bytes move up: while the window is not yet full, its tail holds nothing.
        const std::size_t kept = std::min(capacity - bytes, fill);
        std::memmove(m_recentWindow.data(), m_recentWindow.data() + (fill - kept), kept);
        std::memcpy(m_recentWindow.data() + kept, data, bytes);
        if (kept + bytes < capacity) {
            std::memset(m_recentWindow.data() + kept + bytes, 0, capacity - kept - bytes);
        }
    }
    m_recentFill.store(int(capacity), std::memory_order_relaxed);
}

void CWaveRecorder::NotifyMonitor(const std::uint8_t* buffer)
{
    CCaptureMonitor* monitor = nullptr;
    {
        std::lock_guard lock(m_monitorMutex);
        monitor = m_monitor;
        if (monitor == nullptr) {
            return;
        }
        m_monitorBusy = true;
        m_monitorThread = std::this_thread::get_id();
    }
    const bool repaint = CountTowardsRepaint();
    monitor->OnBuffer(reinterpret_cast<const std::int16_t*>(buffer), std::size_t(m_bufferBytes), repaint);
    {
        std::lock_guard lock(m_monitorMutex);
        m_monitorBusy = false;
    }
    m_monitorIdle.notify_all();
}

void CWaveRecorder::SetMonitor(CCaptureMonitor* monitor)
{
    std::unique_lock lock(m_monitorMutex);
    m_monitor = monitor;
    if (m_monitorBusy && m_monitorThread != std::this_thread::get_id()) {
        m_monitorIdle.wait(lock, [this] { return !m_monitorBusy; });
    }
}

void CWaveRecorder::SetFailureCallback(FailureCallback callback)
{
    std::lock_guard lock(m_failureMutex);
    m_failureCallback = std::move(callback);
}

void CWaveRecorder::HandleDeviceLost()
{
    if (!m_stopping) {
        RecordFailure(QLatin1String(kDeviceLostText), true);
    }
}

void CWaveRecorder::CheckEncoder()
{
    if (m_failureNotified.load(std::memory_order_relaxed) || m_stopping) {
        return;
    }
    const CMp3StreamEncoder::Error error = m_encoder->LastError();
    if (error != CMp3StreamEncoder::Error::None) {
        // The file keeps what was written; capture goes on until the controller stops it.
        RecordFailure(CMp3StreamEncoder::ErrorText(error), true);
    }
}

void CWaveRecorder::RecordFailure(const QString& text, bool notify)
{
    FailureCallback callback;
    {
        std::lock_guard lock(m_failureMutex);
        if (m_failureText.isEmpty()) {
            m_failureText = text;
        }
        m_failed = true;
        if (notify && !m_failureNotified.exchange(true)) {
            callback = m_failureCallback;
        }
    }
    if (callback) {
        callback();
    }
}

QString CWaveRecorder::FailureText() const
{
    std::lock_guard lock(m_failureMutex);
    return m_failureText;
}

bool CWaveRecorder::TogglePause()
{
    const bool paused = !m_paused.load();
    m_paused.store(paused);
    if (m_encoder) {
        m_encoder->SetPaused(paused);
    }
    return paused;
}

void CWaveRecorder::Stop()
{
    m_stopping = true;
    // Frees a capture thread waiting for the encoder, so neither stopping the encoder nor
    // stopping the device can wait on it.
    if (m_handshake) {
        m_handshake->Consumed().Release(m_handshake->MaximumCount());
    }
    if (m_encoder) {
        m_encoder->StopThread();
    }
    if (m_capture) {
        m_capture->Stop();
        m_losses = m_capture->Losses();
    }
}

QString CWaveRecorder::LossText() const
{
    const std::uint64_t bytesPerSecond =
        std::uint64_t(m_format.samplesPerSec) * std::max<std::uint64_t>(m_format.channels, 1) * kBytesPerSample16;
    return LossReport::Text(m_losses, TotalCapturedBytes(), bytesPerSecond);
}

void CWaveRecorder::Close()
{
    // Nothing below may go while the capture thread could still be using it.
    Stop();
    if (m_capture) {
        m_capture->Close();
        m_capture.reset();
    }
    if (m_encoder) {
        m_encoder->Destroy();
        m_encoder.reset();
    }
    FreeBuffers();
    {
        std::lock_guard lock(m_windowMutex);
        std::vector<std::uint8_t>().swap(m_recentWindow);
    }
    m_recentFill = 0;
    m_opened = false;
}

void CWaveRecorder::FreeBuffers()
{
    for (std::size_t i = 0; i < m_buffers.size(); ++i) {
        std::vector<std::uint8_t>().swap(m_buffers[i]);
        m_bufferPointers[i] = nullptr;
    }
}

void CWaveRecorder::DestroyHandshake()
{
    // The encoder and the capture thread must be gone before the semaphores they wait on.
    if (m_encoder || m_capture) {
        Close();
    }
    m_handshake.reset();
}

QString CWaveRecorder::OutputPath() const
{
    return m_encoder ? m_encoder->OutputPath() : QString();
}

QString CWaveRecorder::ElapsedTextFor(std::uint64_t capturedBytes, const RecordFormat& format)
{
    std::uint64_t seconds = 0;
    if (format.samplesPerSec != 0 && format.channels != 0) {
        seconds = capturedBytes / format.samplesPerSec / format.channels;
        if (format.bitsPerSample == RecordFormat::kBitsPerSample) {
            seconds /= kBytesPerSample16;
        }
    }
    return QString::asprintf("%02llu : %02llu", static_cast<unsigned long long>(seconds / kSecondsPerMinute),
                             static_cast<unsigned long long>(seconds % kSecondsPerMinute));
}

QString CWaveRecorder::ElapsedText() const
{
    // What the user hears back: a pause is not part of the recording's time.
    return ElapsedTextFor(m_recordedBytes.load(std::memory_order_relaxed), m_format);
}

const std::uint8_t* CWaveRecorder::RecentWindow() const
{
    return m_recentWindow.empty() ? nullptr : m_recentWindow.data();
}

int CWaveRecorder::RecentFill() const
{
    return m_recentFill.load(std::memory_order_relaxed);
}

void CWaveRecorder::CopyRecentWindow(std::vector<std::uint8_t>& out) const
{
    std::lock_guard lock(m_windowMutex);
    const std::size_t fill = std::size_t(m_recentFill.load(std::memory_order_relaxed));
    out.assign(m_recentWindow.begin(), m_recentWindow.begin() + std::ptrdiff_t(std::min(fill, m_recentWindow.size())));
}

#include "record/Mp3StreamEncoder.h"

#include "app/DataFolder.h"
#include "app/RecordSettings.h"
#include "codec/BitrateChoice.h"
#include "codec/LameLibrary.h"
#include "record/BufferHandshake.h"
#include "record/MixerState.h"
#include "record/SilenceDetector.h"

#include <QFile>
#include <algorithm>
#include <array>
#include <climits>
#include <mutex>
#include <system_error>

namespace
{
constexpr int kBytesPerSample = static_cast<int>(sizeof(std::int16_t));
constexpr const char* kDefaultFileName = "Record.mp3";
// Binary, created or truncated, readable and writable.
constexpr const char* kOutputFileMode = "wb+";

// Values of the configuration record that never change.
constexpr std::uint32_t kResampleKeepInputRate = 0;
constexpr std::uint32_t kOriginalBitSet = 1;
constexpr std::uint32_t kWriteVbrHeaderRequested = 1;
constexpr std::uint32_t kBitReservoirDisabled = 1;
constexpr int kMonoChannels = 1;

// The library's entry points for the whole process, refreshed on every load. They are only
// replaced by a copy that carries all four stream calls, so a broken copy loaded later cannot
// pull the calls away from encoders already running on a good one.
struct SharedEntryPoints
{
    std::atomic<BeInitStreamFn> initStream{nullptr};
    std::atomic<BeEncodeChunkFn> encodeChunk{nullptr};
    std::atomic<BeDeinitStreamFn> deinitStream{nullptr};
    std::atomic<BeCloseStreamFn> closeStream{nullptr};
    std::atomic<BeVersionFn> version{nullptr};
    std::atomic<BeWriteVbrHeaderFn> writeVbrHeader{nullptr};
    std::atomic<BeWriteInfoTagFn> writeInfoTag{nullptr};

    void Publish(const LameEntryPoints& entryPoints)
    {
        initStream = entryPoints.initStream;
        encodeChunk = entryPoints.encodeChunk;
        deinitStream = entryPoints.deinitStream;
        closeStream = entryPoints.closeStream;
        version = entryPoints.version;
        writeVbrHeader = entryPoints.writeVbrHeader;
        writeInfoTag = entryPoints.writeInfoTag;
    }
};

SharedEntryPoints& Shared()
{
    static SharedEntryPoints entryPoints;
    return entryPoints;
}

std::mutex& OverrideMutex()
{
    static std::mutex mutex;
    return mutex;
}

QString& LibraryPathOverride()
{
    static QString path;
    return path;
}

void PutU32(std::array<std::uint8_t, kBeConfigSize>& record, int offset, std::uint32_t value)
{
    constexpr int kFieldBytes = 4;
    constexpr int kBitsPerByte = 8;
    for (int i = 0; i < kFieldBytes; ++i) {
        record[static_cast<std::size_t>(offset + i)] = static_cast<std::uint8_t>(value >> (kBitsPerByte * i));
    }
}

// A VBR stream leaves the bit rate fields at 0: LAME's level alone decides the frame sizes.
void PutVbr(std::array<std::uint8_t, kBeConfigSize>& record, int vbrQuality)
{
    PutU32(record, kBeBitrateOffset, 0);
    PutU32(record, kBeEnableVbrOffset, 1);
    PutU32(record, kBeVbrQualityOffset, static_cast<std::uint32_t>(vbrQuality));
    PutU32(record, kBeVbrMethodOffset, static_cast<std::uint32_t>(kBeVbrMethodNew));
}

std::array<std::uint8_t, kBeConfigSize> ConfigRecord(const RecordFormat& format, int bitrateKbps, int vbrQuality)
{
    std::array<std::uint8_t, kBeConfigSize> record{};
    PutU32(record, kBeConfigKindOffset, kBeConfigKindLame);
    PutU32(record, kBeStructVersionOffset, kBeConfigStructVersion);
    PutU32(record, kBeStructSizeOffset, kBeConfigSize);
    PutU32(record, kBeSampleRateOffset, format.samplesPerSec);
    PutU32(record, kBeResampleRateOffset, kResampleKeepInputRate);
    PutU32(record, kBeModeOffset, format.channels == kMonoChannels ? kBeModeMono : kBeModeStereo);
    PutU32(record, kBeBitrateOffset, static_cast<std::uint32_t>(bitrateKbps));
    PutU32(record, kBeMpegVersionOffset, kBeMpeg1);
    PutU32(record, kBeOriginalOffset, kOriginalBitSet);
    PutU32(record, kBeWriteVbrHeaderOffset, kWriteVbrHeaderRequested);
    PutU32(record, kBeNoReservoirOffset, kBitReservoirDisabled);
    if (BitrateChoice::IsValidVbrQuality(vbrQuality)) {
        PutVbr(record, vbrQuality);
    }
    return record;
}
} // namespace

void CMp3StreamEncoder::FileCloser::operator()(std::FILE* file) const
{
    std::fclose(file);
}

CMp3StreamEncoder::CMp3StreamEncoder()
    : m_outputPath(CDataFolder::UserDefaultFolder() + QLatin1String(kDefaultFileName))
    , m_bitrateKbps(CRecordSettings::Instance().Bitrate())
    , m_vbrQuality(CRecordSettings::Instance().VbrQuality())
{}

CMp3StreamEncoder::~CMp3StreamEncoder()
{
    Destroy();
}

void CMp3StreamEncoder::SetFormat(const RecordFormat& format)
{
    m_format = format;
}

void CMp3StreamEncoder::SetOutputPath(const QString& path)
{
    m_outputPath = path;
}

void CMp3StreamEncoder::SetBitrate(int kbps)
{
    m_bitrateKbps = kbps;
    m_vbrQuality = BitrateChoice::kNoVbr;
}

void CMp3StreamEncoder::SetVbrQuality(int quality)
{
    m_vbrQuality = BitrateChoice::IsValidVbrQuality(quality) ? quality : BitrateChoice::kNoVbr;
}

void CMp3StreamEncoder::SetHandshake(CBufferHandshake* handshake)
{
    m_handshake = handshake;
}

void CMp3StreamEncoder::SetBufferCount(int count)
{
    m_bufferCount = count;
}

void CMp3StreamEncoder::SetBuffers(std::uint8_t* const* buffers)
{
    m_buffers = buffers;
}

void CMp3StreamEncoder::SetPaused(bool paused)
{
    m_paused = paused;
}

void CMp3StreamEncoder::SetLibraryPathOverride(const QString& path)
{
    std::lock_guard lock(OverrideMutex());
    LibraryPathOverride() = path;
}

QString CMp3StreamEncoder::ErrorText(Error error)
{
    switch (error) {
    case Error::None:
        return {};
    case Error::LibraryMissing:
        return QStringLiteral("the MP3 encoder library is missing");
    case Error::EncoderRefused:
        return QStringLiteral("the MP3 encoder refused the stream");
    case Error::OutputNotCreated:
        return QStringLiteral("the MP3 file could not be created");
    case Error::WriteFailed:
        return QStringLiteral("the MP3 file could not be written completely");
    }
    return {};
}

void CMp3StreamEncoder::Fail(Error error)
{
    m_lastError = error;
}

bool CMp3StreamEncoder::LoadLibrary()
{
    if (m_library) {
        return m_library->EntryPoints().IsComplete();
    }
    QString overridePath;
    {
        std::lock_guard lock(OverrideMutex());
        overridePath = LibraryPathOverride();
    }
    m_library = CLameLibrary::Load(overridePath);
    return m_library && m_library->EntryPoints().IsComplete();
}

bool CMp3StreamEncoder::Open(int chunkOverride)
{
    // A second Open starts a new file; the earlier one keeps its last frames.
    if (m_stream != 0 || m_file) {
        Finish();
    }
    m_lastError = Error::None;
    m_writeFailed = false;
    m_soundHeard = false;
    m_chunkBytes = 0;

    // Only the four stream calls decide; the load's own verdict plays no other part.
    LoadLibrary();
    if (!m_library || !m_library->EntryPoints().HasStreamEntryPoints()) {
        m_library.reset();
        Fail(Error::LibraryMissing);
        return false;
    }
    Shared().Publish(m_library->EntryPoints());

    const std::array<std::uint8_t, kBeConfigSize> record = ConfigRecord(m_format, m_bitrateKbps, m_vbrQuality);
    std::uint32_t samplesPerChunk = 0;
    std::uint32_t outputSize = 0;
    BeStreamHandle stream = 0;
    const BeError initResult = Shared().initStream.load()(record.data(), &samplesPerChunk, &outputSize, &stream);
    if (initResult != kBeOk || samplesPerChunk == 0 || outputSize == 0 || samplesPerChunk > INT_MAX / kBytesPerSample) {
        if (initResult == kBeOk) {
            Shared().closeStream.load()(stream);
        }
        Fail(Error::EncoderRefused);
        return false;
    }

    long long chunkBytes = static_cast<long long>(samplesPerChunk) * kBytesPerSample;
    long long outputBufferSize = outputSize;
    if (chunkOverride > 0 && chunkOverride != chunkBytes) {
        outputBufferSize *= chunkOverride / chunkBytes + 1;
        chunkBytes = chunkOverride;
    }
    if (outputBufferSize > INT_MAX) {
        Shared().closeStream.load()(stream);
        Fail(Error::EncoderRefused);
        return false;
    }

    std::vector<std::uint8_t>(static_cast<std::size_t>(outputBufferSize)).swap(m_outputBuffer);
    m_outputBufferSize = static_cast<int>(outputBufferSize);

    m_file.reset(std::fopen(QFile::encodeName(m_outputPath).constData(), kOutputFileMode));
    if (!m_file) {
        std::vector<std::uint8_t>().swap(m_outputBuffer);
        // No stream may outlive a failed Open: nothing would ever close it.
        Shared().closeStream.load()(stream);
        Fail(Error::OutputNotCreated);
        return false;
    }
    m_stream = stream;
    m_chunkBytes = static_cast<int>(chunkBytes);
    ReserveInfoTagFrame();
    return true;
}

void CMp3StreamEncoder::ReserveInfoTagFrame()
{
    // The tag frame takes its place as the file opens: a recording killed at any moment after
    // this still starts with a valid frame, and orphan recovery finds it there to fill in.
    std::uint32_t produced = 0;
    if (Shared().encodeChunk.load()(m_stream, 0, nullptr, m_outputBuffer.data(), &produced) == kBeOk && produced > 0 &&
        produced <= m_outputBuffer.size()) {
        std::fwrite(m_outputBuffer.data(), 1, produced, m_file.get());
        std::fflush(m_file.get());
    }
}

void CMp3StreamEncoder::CloseStream()
{
    if (m_stream != 0) {
        Shared().closeStream.load()(m_stream);
        m_stream = 0;
    }
}

bool CMp3StreamEncoder::CloseFile()
{
    if (!m_file) {
        return true;
    }
    std::FILE* file = m_file.release();
    const bool flushed = std::fflush(file) == 0 && std::ferror(file) == 0;
    const bool closed = std::fclose(file) == 0;
    return flushed && closed;
}

int CMp3StreamEncoder::EncodeChunk(const std::int16_t* samples)
{
    return EncodeSamples(samples, m_chunkBytes / kBytesPerSample);
}

int CMp3StreamEncoder::EncodeLastChunk(const std::int16_t* samples, int bytes)
{
    const int channels = std::max<int>(m_format.channels, 1);
    // Whole sample frames only, never more than a chunk.
    const int sampleCount = std::clamp(bytes, 0, m_chunkBytes) / kBytesPerSample / channels * channels;
    return sampleCount > 0 ? EncodeSamples(samples, sampleCount) : 0;
}

int CMp3StreamEncoder::EncodeSamples(const std::int16_t* samples, int sampleCount)
{
    if (m_stream == 0 || !m_file || samples == nullptr) {
        return 0;
    }
    std::uint32_t produced = 0;
    const BeError result = Shared().encodeChunk.load()(m_stream, static_cast<std::uint32_t>(sampleCount), samples,
                                                       m_outputBuffer.data(), &produced);
    if (result != kBeOk || produced > m_outputBuffer.size()) {
        CloseStream();
        Fail(Error::EncoderRefused);
        return 0;
    }
    const std::size_t written = std::fwrite(m_outputBuffer.data(), 1, produced, m_file.get());
    if (written < produced) {
        // Disk full or the like: what reached the file stays playable up to there, and
        // nothing more is encoded into it.
        m_writeFailed = true;
        CloseStream();
        CloseFile();
        Fail(Error::WriteFailed);
    }
    return static_cast<int>(written);
}

bool CMp3StreamEncoder::ShouldEncode(const std::uint8_t* buffer) const
{
    if (m_paused) {
        return false;
    }
    const CRecordSettings& settings = CRecordSettings::Instance();
    if (!settings.SkipSilentPassages() || m_soundHeard || !settings.SilenceDetectorEnabled()) {
        return true;
    }
    const int level =
        SilenceDetector::MeanAbsoluteLevel(reinterpret_cast<const std::int16_t*>(buffer), std::size_t(m_chunkBytes));
    return !SilenceDetector::IsSilent(level, MixerState::selectedLevel.load(std::memory_order_relaxed));
}

void CMp3StreamEncoder::EncodeThread()
{
    while (!m_stopRequested) {
        m_handshake->Ready().Acquire();
        if (m_stopRequested) {
            // The wake-up from StopThread carries no buffer; encoding one here would repeat
            // stale audio at the end of the file.
            m_handshake->Consumed().Release();
            break;
        }
        if (m_chunkBytes != 0 && m_buffers != nullptr && m_bufferCount > 0) {
            const std::uint8_t* buffer = m_buffers[m_nextBufferIndex];
            if (ShouldEncode(buffer)) {
                m_soundHeard = true;
                EncodeChunk(reinterpret_cast<const std::int16_t*>(buffer));
            }
            m_nextBufferIndex = (m_nextBufferIndex + 1) % m_bufferCount;
            FlushWhenDue();
        }
        m_handshake->Consumed().Release();
    }
}

void CMp3StreamEncoder::FlushWhenDue()
{
    constexpr std::uint64_t kMillisecondsPerSecond = 1000;
    const std::uint64_t channels = std::max<std::uint64_t>(m_format.channels, 1);
    m_framesSinceFlush += std::uint64_t(m_chunkBytes) / kBytesPerSample / channels;
    // Counted in buffers taken, dropped ones included: they arrive in real time, so a pause
    // or a skipped silence does not hold back what was encoded before it.
    if (m_framesSinceFlush * kMillisecondsPerSecond < std::uint64_t(kFlushIntervalMs) * m_format.samplesPerSec) {
        return;
    }
    m_framesSinceFlush = 0;
    if (m_file && std::fflush(m_file.get()) != 0) {
        // The disk is full or gone: what reached the file stays, nothing more is encoded.
        m_writeFailed = true;
        CloseStream();
        CloseFile();
        Fail(Error::WriteFailed);
    }
}

bool CMp3StreamEncoder::StartThread()
{
    if (m_thread.joinable() || m_handshake == nullptr) {
        return false;
    }
    m_stopRequested = false;
    m_nextBufferIndex = 0;
    m_framesSinceFlush = 0;
    try {
        m_thread = std::thread(&CMp3StreamEncoder::EncodeThread, this);
    } catch (const std::system_error&) {
        m_nextBufferIndex = -1;
        return false;
    }
    return true;
}

void CMp3StreamEncoder::StopThread()
{
    if (!m_thread.joinable()) {
        return;
    }
    // An unprivileged Linux process cannot raise a thread above normal priority; the wake-up
    // below is what lets the thread drain promptly.
    m_stopRequested = true;
    m_handshake->Ready().Release(m_handshake->MaximumCount());
    m_thread.join();
    Finish();
}

bool CMp3StreamEncoder::Finish()
{
    if (m_stream == 0) {
        // Never opened, or the stream already failed: only the file is left to close.
        const bool closed = CloseFile();
        if (!closed) {
            m_writeFailed = true;
            Fail(Error::WriteFailed);
        }
        return closed && !m_writeFailed;
    }
    std::uint32_t produced = 0;
    if (Shared().deinitStream.load()(m_stream, m_outputBuffer.data(), &produced) != kBeOk ||
        produced > m_outputBuffer.size()) {
        CloseStream();
        CloseFile();
        Fail(Error::EncoderRefused);
        return false;
    }
    if (produced > 0 && std::fwrite(m_outputBuffer.data(), 1, produced, m_file.get()) < produced) {
        m_writeFailed = true;
        CloseStream();
        CloseFile();
        Fail(Error::WriteFailed);
        return false;
    }
    if (!CloseFile()) {
        CloseStream();
        m_writeFailed = true;
        Fail(Error::WriteFailed);
        return false;
    }
    FillInfoTagAndRelease();
    return true;
}

void CMp3StreamEncoder::FillInfoTagAndRelease()
{
    const BeWriteInfoTagFn writeInfoTag = Shared().writeInfoTag.load();
    if (writeInfoTag == nullptr) {
        CloseStream();
        return;
    }
    // The file is complete and closed, so the library sees every frame. Should the tag not be
    // filled, the reserved frame stays a valid placeholder and the file still plays whole.
    writeInfoTag(m_stream, QFile::encodeName(m_outputPath).constData());
    m_stream = 0;
}

void CMp3StreamEncoder::Destroy()
{
    StopThread();
    Finish();
    std::vector<std::uint8_t>().swap(m_outputBuffer);
    m_library.reset();
}

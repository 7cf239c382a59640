#include "codec/WaveFile.h"

#include "platform/ReplacementFile.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <cstring>

namespace
{
constexpr std::int64_t kIoBufferBytes = 128 * 1024;
constexpr std::int64_t kIdBytes = 4;
constexpr std::int64_t kRiffHeaderBytes = 12; // "RIFF", size, "WAVE"
constexpr std::int64_t kChunkHeaderBytes = 8; // id, size
constexpr std::int64_t kRiffSizeField = 4;
constexpr std::uint32_t kPcmRecordBytes = 16;
constexpr std::uint32_t kExtraSizeFieldBytes = 2;
constexpr std::uint32_t kFactValueBytes = 4;
// A "fact" value that is not final yet: the file is still being written.
constexpr std::uint32_t kFactPending = 0xFFFFFFFF;
constexpr std::uint32_t kFactFinal = 0;
constexpr std::uint32_t kLargestRiffSize = 0xFFFFFFFF;

constexpr char kRiffId[] = "RIFF";
constexpr char kWaveId[] = "WAVE";
constexpr char kFormatId[] = "fmt ";
constexpr char kFactId[] = "fact";
constexpr char kDataId[] = "data";
constexpr char kListId[] = "LIST";
// An INFO list holds a few short texts; a larger list is not read whole.
constexpr std::uint32_t kLargestInfoListBytes = 64 * 1024;
constexpr const char* kResourceTypes[] = {"WAVE", "WAV"};

std::uint16_t Le16(const std::uint8_t* bytes)
{
    return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

std::uint32_t Le32(const std::uint8_t* bytes)
{
    return static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
           (static_cast<std::uint32_t>(bytes[2]) << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24);
}

void PutLe(QByteArray& out, std::uint32_t value, int byteCount)
{
    for (int i = 0; i < byteCount; ++i) {
        out.append(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

void PutLe16(QByteArray& out, std::uint16_t value)
{
    PutLe(out, value, 2);
}

void PutLe32(QByteArray& out, std::uint32_t value)
{
    PutLe(out, value, 4);
}

bool IdIs(const std::uint8_t* bytes, const char* id)
{
    return std::memcmp(bytes, id, kIdBytes) == 0;
}
} // namespace

CWaveFile::CWaveFile() = default;

CWaveFile::~CWaveFile()
{
    Close();
}

CWaveFile::Result CWaveFile::Open(const QString& name, const WaveFormat* format, int mode)
{
    if (IsOpen()) {
        Close();
    }
    m_lastStep = "";
    if (name.isEmpty()) {
        return E_INVALIDARG;
    }
    if (mode == kModeRead) {
        return OpenForReading(name);
    }
    if (mode == kModeWrite && format != nullptr) {
        return OpenForWriting(name, *format);
    }
    return E_INVALIDARG;
}

CWaveFile::Result CWaveFile::OpenMemory(const QByteArray& bytes)
{
    if (IsOpen()) {
        Close();
    }
    m_lastStep = "";
    m_format.reset();
    if (bytes.isEmpty()) {
        return Fail("SizeofResource");
    }
    m_resourceCopy = bytes;
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(m_resourceCopy);
    if (!buffer->open(QIODevice::ReadOnly)) {
        m_resourceCopy.clear();
        return Fail("LoadResource");
    }
    m_device = std::move(buffer);
    return StartReading();
}

CWaveFile::Result CWaveFile::OpenForReading(const QString& name)
{
    m_format.reset();
    auto file = std::make_unique<QFile>(name);
    // Our own block buffer does the buffering; a second one in QIODevice would only copy twice.
    if (!file->open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        return OpenResource(name);
    }
    m_device = std::move(file);
    return StartReading();
}

CWaveFile::Result CWaveFile::OpenResource(const QString& name)
{
    for (const char* type : kResourceTypes) {
        QFile resource(QStringLiteral(":/") + QLatin1String(type) + QLatin1Char('/') + name);
        if (!resource.exists()) {
            continue;
        }
        if (!resource.open(QIODevice::ReadOnly)) {
            return Fail("LoadResource");
        }
        return OpenMemory(resource.readAll());
    }
    return Fail("FindResource");
}

CWaveFile::Result CWaveFile::StartReading()
{
    m_mode = kModeRead;
    m_info = {};
    m_buffer = std::make_unique_for_overwrite<std::uint8_t[]>(kIoBufferBytes);
    m_bufferStart = 0;
    m_bufferLength = 0;
    m_position = 0;
    m_devicePosition = 0;
    m_fileSize = m_device->size();
    m_dataSize = 0;
    m_dataLeft = 0;
    if (!ReadHeader() || ResetFile() != S_OK) {
        ReleaseDevice();
        m_format.reset();
        return E_FAIL;
    }
    m_dataSize = m_dataLeft;
    return S_OK;
}

bool CWaveFile::ReadHeader()
{
    std::uint8_t riff[kRiffHeaderBytes];
    if (!ReadExactly(riff, kRiffHeaderBytes)) {
        m_lastStep = "mmioDescend";
        return false;
    }
    if (!IdIs(riff, kRiffId) || !IdIs(riff + 8, kWaveId)) {
        m_lastStep = "mmioFOURCC";
        return false;
    }
    ChunkLocation chunk;
    if (!FindChunk(kFormatId, &chunk)) {
        m_lastStep = "mmioDescend";
        return false;
    }
    if (chunk.size < kPcmRecordBytes) {
        m_lastStep = "sizeof(PCMWAVEFORMAT)";
        return false;
    }
    m_position = chunk.dataOffset;
    std::uint8_t record[kPcmRecordBytes];
    if (!ReadExactly(record, kPcmRecordBytes)) {
        m_lastStep = "mmioRead";
        return false;
    }
    auto format = std::make_unique<WaveFormat>();
    format->formatTag = Le16(record);
    format->channels = Le16(record + 2);
    format->samplesPerSec = Le32(record + 4);
    format->avgBytesPerSec = Le32(record + 8);
    format->blockAlign = Le16(record + 12);
    format->bitsPerSample = Le16(record + 14);
    // A non-PCM record carries its extra bytes behind a count. Some writers leave the count out
    // of a 16-byte chunk; reading on would take the next chunk's header as a count, so such a
    // record simply has no extra bytes.
    if (format->formatTag != WaveFormat::kPcmTag && chunk.size >= WaveFormat::kFixedRecordBytes) {
        std::uint8_t count[kExtraSizeFieldBytes];
        if (!ReadExactly(count, kExtraSizeFieldBytes)) {
            m_lastStep = "mmioRead";
            return false;
        }
        format->extraSize = Le16(count);
        if (format->extraSize > chunk.size - WaveFormat::kFixedRecordBytes) {
            m_lastStep = "mmioRead";
            return false;
        }
        format->extra.resize(format->extraSize);
        if (!ReadExactly(format->extra.data(), format->extraSize)) {
            m_lastStep = "mmioRead";
            return false;
        }
    }
    m_format = std::move(format);
    ReadInfoList();
    return true;
}

void CWaveFile::ReadInfoList()
{
    m_info = {};
    // A file may carry several lists (INFO, adtl and others); INFO is the one with the texts.
    std::int64_t offset = kRiffHeaderBytes;
    while (offset + kChunkHeaderBytes <= m_fileSize) {
        m_position = offset;
        std::uint8_t header[kChunkHeaderBytes];
        if (!ReadExactly(header, kChunkHeaderBytes)) {
            return;
        }
        const std::uint32_t size = Le32(header + kIdBytes);
        if (IdIs(header, kListId) && size <= kLargestInfoListBytes && offset + kChunkHeaderBytes + size <= m_fileSize) {
            QByteArray body(static_cast<qsizetype>(size), Qt::Uninitialized);
            if (!ReadExactly(body.data(), size)) {
                return;
            }
            if (std::optional<WaveInfoList> info = WaveInfoList::Parse(body)) {
                m_info = std::move(*info);
                return;
            }
        }
        offset += kChunkHeaderBytes + size + (size & 1);
    }
}

bool CWaveFile::FindChunk(const char* id, ChunkLocation* location)
{
    // The whole file is searched, not only the extent the RIFF size claims: writers that stream
    // to a pipe leave that size 0 or at its maximum, and the chunks are still there.
    std::int64_t offset = kRiffHeaderBytes;
    while (offset + kChunkHeaderBytes <= m_fileSize) {
        m_position = offset;
        std::uint8_t header[kChunkHeaderBytes];
        if (!ReadExactly(header, kChunkHeaderBytes)) {
            return false;
        }
        const std::uint32_t size = Le32(header + kIdBytes);
        if (IdIs(header, id)) {
            location->dataOffset = offset + kChunkHeaderBytes;
            location->size = size;
            return true;
        }
        // Chunks of odd size are followed by one pad byte.
        offset += kChunkHeaderBytes + size + (size & 1);
    }
    return false;
}

CWaveFile::Result CWaveFile::ResetFile()
{
    if (!m_device) {
        return CO_E_NOTINITIALIZED;
    }
    if (m_mode == kModeWrite) {
        // The "data" chunk is started when the writer is created; once sample data follows it,
        // there is no going back.
        return m_dataBytesWritten == 0 ? S_OK : Fail("ResetFile");
    }
    ChunkLocation chunk;
    if (!FindChunk(kDataId, &chunk)) {
        return Fail("mmioDescend");
    }
    // A "data" chunk that claims more than the file holds (an interrupted recording, a streamed
    // file) ends at the end of the file.
    const std::int64_t available = std::max<std::int64_t>(0, m_fileSize - chunk.dataOffset);
    m_dataStart = chunk.dataOffset;
    m_dataLeft = static_cast<std::uint32_t>(std::min<std::int64_t>(chunk.size, available));
    m_position = m_dataStart;
    return S_OK;
}

CWaveFile::Result CWaveFile::Read(void* destination, std::uint32_t byteCount, std::uint32_t* bytesRead)
{
    if (!m_device) {
        return CO_E_NOTINITIALIZED;
    }
    if (bytesRead == nullptr) {
        return E_INVALIDARG;
    }
    *bytesRead = 0;
    if (m_mode != kModeRead) {
        return Fail("mmioGetInfo");
    }
    const std::uint32_t wanted = std::min(byteCount, m_dataLeft);
    if (destination == nullptr) {
        // The data lies wholly inside the file, so a skip only moves the position; the buffer
        // refills from there on the next read.
        m_position += wanted;
        m_dataLeft -= wanted;
        *bytesRead = wanted;
        return S_OK;
    }
    const auto got = static_cast<std::uint32_t>(ReadBytes(destination, wanted));
    m_dataLeft -= got;
    *bytesRead = got;
    return got == wanted ? S_OK : Fail("mmioinfoIn.pchNext");
}

std::int64_t CWaveFile::ReadBytes(void* destination, std::int64_t byteCount)
{
    auto* out = static_cast<std::uint8_t*>(destination);
    std::int64_t done = 0;
    while (done < byteCount) {
        const std::int64_t inBuffer = m_bufferStart + m_bufferLength - m_position;
        if (m_position >= m_bufferStart && inBuffer > 0) {
            const std::int64_t take = std::min(inBuffer, byteCount - done);
            std::memcpy(out + done, m_buffer.get() + (m_position - m_bufferStart), static_cast<std::size_t>(take));
            m_position += take;
            done += take;
            continue;
        }
        if (!PositionDevice()) {
            break;
        }
        const std::int64_t remaining = byteCount - done;
        if (remaining >= kIoBufferBytes) {
            // Large reads go straight into the caller's memory.
            const qint64 got = m_device->read(reinterpret_cast<char*>(out + done), remaining);
            if (got <= 0) {
                break;
            }
            m_devicePosition += got;
            m_position += got;
            done += got;
            continue;
        }
        const qint64 got = m_device->read(reinterpret_cast<char*>(m_buffer.get()), kIoBufferBytes);
        if (got <= 0) {
            break;
        }
        m_bufferStart = m_position;
        m_bufferLength = got;
        m_devicePosition += got;
    }
    return done;
}

bool CWaveFile::ReadExactly(void* destination, std::int64_t byteCount)
{
    return ReadBytes(destination, byteCount) == byteCount;
}

bool CWaveFile::PositionDevice()
{
    if (m_devicePosition == m_position) {
        return true;
    }
    if (!m_device->seek(m_position)) {
        return false;
    }
    m_devicePosition = m_position;
    return true;
}

CWaveFile::Result CWaveFile::OpenForWriting(const QString& name, const WaveFormat& format)
{
    m_format.reset();
    const bool pcm = format.formatTag == WaveFormat::kPcmTag;
    if (!pcm && format.extra.size() != format.extraSize) {
        return E_INVALIDARG;
    }
    const QFileInfo existing(name);
    if ((existing.exists() && !existing.isFile()) || CReplacementFile::IsTemporaryPath(name)) {
        // Devices and pipes are written in place: there is no file to replace. So is the
        // temporary file of a replacement, which takes its name only once complete.
        auto file = std::make_unique<QFile>(name);
        if (!file->open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
            return Fail("mmioOpen");
        }
        m_device = std::move(file);
    } else {
        // The new file takes the old one's place only when it is complete. In a folder where no
        // temporary file may be created, the file itself is written, as any editor would.
        auto file = std::make_unique<QSaveFile>(name);
        file->setDirectWriteFallback(true);
        if (!file->open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
            return Fail("mmioOpen");
        }
        m_saveFile = file.get();
        m_device = std::move(file);
    }
    m_mode = kModeWrite;
    m_buffer = std::make_unique_for_overwrite<std::uint8_t[]>(kIoBufferBytes);
    m_bufferLength = 0;
    m_dataBytesWritten = 0;
    m_dataSize = 0;
    m_writeFailed = false;

    const std::uint32_t formatBytes = pcm ? kPcmRecordBytes : format.RecordBytes();
    QByteArray header;
    header.append(kRiffId, kIdBytes);
    PutLe32(header, 0);
    header.append(kWaveId, kIdBytes);
    header.append(kFormatId, kIdBytes);
    PutLe32(header, formatBytes);
    PutLe16(header, format.formatTag);
    PutLe16(header, format.channels);
    PutLe32(header, format.samplesPerSec);
    PutLe32(header, format.avgBytesPerSec);
    PutLe16(header, format.blockAlign);
    PutLe16(header, format.bitsPerSample);
    if (!pcm) {
        PutLe16(header, format.extraSize);
        header.append(reinterpret_cast<const char*>(format.extra.data()), format.extraSize);
    }
    if (formatBytes & 1) {
        header.append('\0');
    }
    header.append(kFactId, kIdBytes);
    PutLe32(header, kFactValueBytes);
    m_factValueField = header.size();
    PutLe32(header, kFactPending);
    header.append(kDataId, kIdBytes);
    m_dataSizeField = header.size();
    PutLe32(header, 0);
    m_dataStart = header.size();

    // Writing the header through at once reports a full disk or a dead device here, not later.
    if (!WriteOutput(header.constData(), header.size()) || !FlushOutput()) {
        ReleaseDevice();
        return Fail("WriteMMIO");
    }
    return S_OK;
}

CWaveFile::Result CWaveFile::Write(std::uint32_t byteCount, const void* source, std::uint32_t* bytesWritten)
{
    if (!m_device) {
        return CO_E_NOTINITIALIZED;
    }
    if (source == nullptr || bytesWritten == nullptr) {
        return E_INVALIDARG;
    }
    *bytesWritten = 0;
    if (m_mode != kModeWrite) {
        return Fail("mmioGetInfo");
    }
    if (m_writeFailed) {
        return Fail("mmioAdvance");
    }
    // The RIFF size, which counts everything behind its own field including a pad byte, must
    // stay within 32 bits or the file could not be read back.
    const std::int64_t largestData = std::int64_t{kLargestRiffSize} - (m_dataStart - kChunkHeaderBytes) - 1;
    if (m_dataBytesWritten + byteCount > largestData) {
        return Fail("mmioWrite");
    }
    if (!WriteOutput(source, byteCount)) {
        return Fail("mmioAdvance");
    }
    m_dataBytesWritten += byteCount;
    *bytesWritten = byteCount;
    return S_OK;
}

bool CWaveFile::WriteOutput(const void* source, std::int64_t byteCount)
{
    if (m_bufferLength + byteCount > kIoBufferBytes) {
        if (!FlushOutput()) {
            return false;
        }
        if (byteCount >= kIoBufferBytes) {
            if (m_device->write(static_cast<const char*>(source), byteCount) != byteCount) {
                m_writeFailed = true;
                return false;
            }
            return true;
        }
    }
    std::memcpy(m_buffer.get() + m_bufferLength, source, static_cast<std::size_t>(byteCount));
    m_bufferLength += byteCount;
    return true;
}

bool CWaveFile::FlushOutput()
{
    if (m_writeFailed) {
        return false;
    }
    if (m_bufferLength == 0) {
        return true;
    }
    const qint64 written = m_device->write(reinterpret_cast<const char*>(m_buffer.get()), m_bufferLength);
    if (written != m_bufferLength) {
        m_writeFailed = true;
        return false;
    }
    m_bufferLength = 0;
    return true;
}

bool CWaveFile::PatchField(std::int64_t offset, std::uint32_t value)
{
    QByteArray field;
    PutLe32(field, value);
    if (!m_device->seek(offset) || m_device->write(field) != field.size()) {
        m_writeFailed = true;
        return false;
    }
    return true;
}

CWaveFile::Result CWaveFile::CloseWriter()
{
    const std::uint32_t padBytes = m_dataBytesWritten & 1;
    const std::uint8_t pad = 0;
    bool complete = (padBytes == 0 || WriteOutput(&pad, padBytes)) && FlushOutput();
    if (!complete) {
        m_lastStep = "mmioAdvance";
    } else {
        const auto dataSize = static_cast<std::uint32_t>(m_dataBytesWritten);
        const auto riffSize = static_cast<std::uint32_t>(m_dataStart - kChunkHeaderBytes + dataSize + padBytes);
        complete = PatchField(kRiffSizeField, riffSize) && PatchField(m_dataSizeField, dataSize) &&
                   PatchField(m_factValueField, kFactFinal);
        if (!complete) {
            m_lastStep = "mmioAscend";
        }
    }
    if (complete && m_saveFile != nullptr && !m_saveFile->commit()) {
        m_lastStep = "mmioClose";
        complete = false;
    }
    // An uncommitted replacement is thrown away with the device; the old file stays as it was.
    m_dataSize = static_cast<std::uint32_t>(m_dataBytesWritten);
    ReleaseDevice();
    return complete ? S_OK : E_FAIL;
}

CWaveFile::Result CWaveFile::Close()
{
    if (!m_device) {
        return CO_E_NOTINITIALIZED;
    }
    if (m_mode == kModeWrite) {
        return CloseWriter();
    }
    ReleaseDevice();
    return S_OK;
}

std::uint32_t CWaveFile::GetSize() const
{
    return m_mode == kModeWrite ? static_cast<std::uint32_t>(m_dataBytesWritten) : m_dataSize;
}

CWaveFile::Result CWaveFile::Fail(const char* step)
{
    m_lastStep = step;
    return E_FAIL;
}

void CWaveFile::ReleaseDevice()
{
    m_device.reset();
    m_saveFile = nullptr;
    m_resourceCopy.clear();
    m_mode = 0;
    m_buffer.reset();
    m_bufferStart = 0;
    m_bufferLength = 0;
}

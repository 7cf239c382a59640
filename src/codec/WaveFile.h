#pragma once

#include "codec/WaveFormat.h"
#include "codec/WaveInfoList.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>

class QIODevice;
class QSaveFile;

// Reads and writes RIFF WAVE files through a large block buffer of its own, so callers may read
// or write in pieces of any size. A reader also accepts the name of a WAV program resource
// (":/WAVE/<name>", then ":/WAV/<name>") when no file of that name can be opened. Failures come
// back as result codes; LastStep() names the step that failed, for diagnostics only.
class CWaveFile
{
public:
    using Result = std::uint32_t;
    static constexpr Result S_OK = 0;
    static constexpr Result E_FAIL = 0x80004005;
    static constexpr Result E_INVALIDARG = 0x80070057;
    static constexpr Result CO_E_NOTINITIALIZED = 0x800401F0;

    static constexpr int kModeRead = 1;
    static constexpr int kModeWrite = 2;

    CWaveFile();
    ~CWaveFile();
    CWaveFile(const CWaveFile&) = delete;
    CWaveFile& operator=(const CWaveFile&) = delete;

    // mode kModeRead reads name (format is ignored); kModeWrite creates name with format. A writer
    // replaces an existing file only when Close completes it, so a failure never damages it.
    Result Open(const QString& name, const WaveFormat* format, int mode);
    // Reads a WAV image held in memory, as a program resource is read.
    Result OpenMemory(const QByteArray& bytes);

    // Copies up to byteCount bytes of sample data, or skips them when destination is null.
    Result Read(void* destination, std::uint32_t byteCount, std::uint32_t* bytesRead);
    Result Write(std::uint32_t byteCount, const void* source, std::uint32_t* bytesWritten);
    // A reader goes back to the first byte of sample data.
    Result ResetFile();
    // Bytes of sample data: the whole "data" chunk of a reader, the bytes written so far by a writer.
    std::uint32_t GetSize() const;
    // Completes a writer's file (chunk sizes, pad byte) or releases a reader.
    Result Close();

    bool IsOpen() const { return m_device != nullptr; }
    int Mode() const { return m_mode; }
    // The format record of the last file opened for reading (kept after Close); null for a writer.
    const WaveFormat* Format() const { return m_format.get(); }
    // The LIST/INFO texts of the last file opened for reading; empty when it has none.
    const WaveInfoList& Info() const { return m_info; }
    const char* LastStep() const { return m_lastStep; }

private:
    struct ChunkLocation
    {
        std::int64_t dataOffset = 0;
        std::uint32_t size = 0;
    };

    Result OpenForReading(const QString& name);
    Result OpenResource(const QString& name);
    Result StartReading();
    bool ReadHeader();
    bool FindChunk(const char* id, ChunkLocation* location);
    void ReadInfoList();
    std::int64_t ReadBytes(void* destination, std::int64_t byteCount);
    bool ReadExactly(void* destination, std::int64_t byteCount);
    bool PositionDevice();

    Result OpenForWriting(const QString& name, const WaveFormat& format);
    bool FlushOutput();
    bool WriteOutput(const void* source, std::int64_t byteCount);
    bool PatchField(std::int64_t offset, std::uint32_t value);
    Result CloseWriter();

    Result Fail(const char* step);
    void ReleaseDevice();

    std::unique_ptr<WaveFormat> m_format;
    WaveInfoList m_info;
    QByteArray m_resourceCopy;
    std::unique_ptr<QIODevice> m_device;
    QSaveFile* m_saveFile = nullptr; // m_device when a writer replaces a regular file, else null
    int m_mode = 0;
    const char* m_lastStep = "";

    // Block buffer: read-ahead for a reader, pending output for a writer.
    std::unique_ptr<std::uint8_t[]> m_buffer;
    std::int64_t m_bufferStart = 0;  // file offset of m_buffer[0] (reader)
    std::int64_t m_bufferLength = 0; // valid bytes in m_buffer
    std::int64_t m_position = 0;     // file offset of the next byte a reader delivers
    std::int64_t m_devicePosition = 0;

    // Reader
    std::int64_t m_fileSize = 0;
    std::int64_t m_dataStart = 0;
    std::uint32_t m_dataSize = 0;
    std::uint32_t m_dataLeft = 0;

    // Writer
    std::int64_t m_dataSizeField = 0;
    std::int64_t m_factValueField = 0;
    std::int64_t m_dataBytesWritten = 0;
    bool m_writeFailed = false;
};

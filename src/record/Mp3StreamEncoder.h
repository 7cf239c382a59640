#pragma once

#include "codec/BitrateChoice.h"
#include "codec/RecordFormat.h"

#include <QString>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

class CBufferHandshake;
class CLameLibrary;

// The one MP3 encoder wrapper: 16-bit PCM chunks in, MP3 bytes into an output file it owns.
// Direct use: Open -> EncodeChunk ... -> Finish. Threaded use (recording): Open -> SetHandshake,
// SetBufferCount, SetBuffers -> StartThread ... StopThread (which finishes the file).
// The encoder library (liblame_enc.so) is loaded at run time, so everything else in Sorvane
// works without it.
class CMp3StreamEncoder
{
public:
    enum class Error
    {
        None,
        LibraryMissing,   // liblame_enc.so could not be loaded or lacks a stream entry point
        EncoderRefused,   // beInitStream (or a later stream call) reported an error
        OutputNotCreated, // the output file could not be created
        WriteFailed,      // the output file took fewer bytes than produced (disk full, ...)
    };

    static constexpr int kDefaultBufferCount = 5;
    // While recording, the file is flushed at least this often (in captured time), so a
    // recording cut off by a crash or a kill keeps all but the last moments.
    static constexpr int kFlushIntervalMs = 500;

    CMp3StreamEncoder();  // bit rate (or VBR level) from CRecordSettings
    ~CMp3StreamEncoder(); // Destroy()
    CMp3StreamEncoder(const CMp3StreamEncoder&) = delete;
    CMp3StreamEncoder& operator=(const CMp3StreamEncoder&) = delete;

    void SetFormat(const RecordFormat& format);
    void SetOutputPath(const QString& path);
    // A constant bit rate; ends any VBR choice.
    void SetBitrate(int kbps);
    // Variable bit rate at LAME's level V0-V9; BitrateChoice::kNoVbr returns to SetBitrate's rate.
    void SetVbrQuality(int quality);
    const QString& OutputPath() const { return m_outputPath; }
    int Bitrate() const { return m_bitrateKbps; }
    int VbrQuality() const { return m_vbrQuality; }

    void SetHandshake(CBufferHandshake* handshake);
    void SetBufferCount(int count);
    void SetBuffers(std::uint8_t* const* buffers);
    void SetPaused(bool paused);

    int ChunkBytes() const { return m_chunkBytes; }
    int OutputBufferSize() const { return m_outputBufferSize; }
    bool Open(int chunkOverride = 0);
    int EncodeChunk(const std::int16_t* samples); // exactly ChunkBytes() of input; bytes written
    // The end of the input, shorter than a chunk: only these bytes are encoded, so the file's
    // tag counts exactly the samples given and players trim the rest.
    int EncodeLastChunk(const std::int16_t* samples, int bytes);
    bool StartThread();
    void StopThread();
    bool Finish();
    void Destroy();

    Error LastError() const { return m_lastError; }
    static QString ErrorText(Error error);

    // Where the library is looked for first; by default liblame_enc.so beside the executable,
    // then the system's library path. Tests point it elsewhere to simulate a missing library.
    static void SetLibraryPathOverride(const QString& path);

private:
    struct FileCloser
    {
        void operator()(std::FILE* file) const;
    };

    bool LoadLibrary();
    int EncodeSamples(const std::int16_t* samples, int sampleCount);
    void EncodeThread();
    bool ShouldEncode(const std::uint8_t* buffer) const;
    void CloseStream();
    // Has the library fill the tag frame it reserved with the stream's true counts; this also
    // releases the stream. Only once the file is closed.
    void FillInfoTagAndRelease();
    // Has the library hand out the tag frame it reserves and writes it first into the file.
    void ReserveInfoTagFrame();
    // Flushes and closes the output file; false when bytes could not be written.
    bool CloseFile();
    void Fail(Error error);
    // Counts one buffer taken by the encode thread and flushes the file when due.
    void FlushWhenDue();

    QString m_outputPath;
    RecordFormat m_format;
    int m_bitrateKbps = 0;
    int m_vbrQuality = BitrateChoice::kNoVbr;

    std::unique_ptr<CLameLibrary> m_library;
    std::uintptr_t m_stream = 0;
    int m_chunkBytes = 0;
    int m_outputBufferSize = 0;
    std::vector<std::uint8_t> m_outputBuffer;
    std::unique_ptr<std::FILE, FileCloser> m_file;
    std::atomic<Error> m_lastError{Error::None};
    bool m_writeFailed = false;

    CBufferHandshake* m_handshake = nullptr;
    std::uint8_t* const* m_buffers = nullptr;
    int m_bufferCount = kDefaultBufferCount;
    int m_nextBufferIndex = -1;
    std::atomic<bool> m_stopRequested{false};
    std::thread m_thread;
    std::atomic<bool> m_paused{false};
    // Set by the first encoded buffer; leading silence is skipped only before it.
    bool m_soundHeard = false;
    // Sample frames taken by the encode thread (encoded or not) since the file was last flushed.
    std::uint64_t m_framesSinceFlush = 0;
};

#pragma once

#include "app/RecordFormat.h"

#include <QString>
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

    CMp3StreamEncoder();  // bit rate from CRecordSettings
    ~CMp3StreamEncoder(); // Destroy()
    CMp3StreamEncoder(const CMp3StreamEncoder&) = delete;
    CMp3StreamEncoder& operator=(const CMp3StreamEncoder&) = delete;

    void SetFormat(const RecordFormat& format);
    void SetOutputPath(const QString& path);
    void SetBitrate(int kbps);
    const QString& OutputPath() const { return m_outputPath; }
    int Bitrate() const { return m_bitrateKbps; }

    void SetHandshake(CBufferHandshake* handshake);
    void SetBufferCount(int count);
    void SetBuffers(std::uint8_t* const* buffers);
    void SetPaused(bool paused);

    int ChunkBytes() const { return m_chunkBytes; }
    int OutputBufferSize() const { return m_outputBufferSize; }
    bool Open(int chunkOverride = 0);
    int EncodeChunk(const std::int16_t* samples); // exactly ChunkBytes() of input; bytes written
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
    // (implementation fields are the implementer's)
};

#pragma once

#include "codec/BitrateChoice.h"
#include "codec/RecordFormat.h"
#include "record/Mp3StreamEncoder.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

class CTranscodeOwner;

// The state of the running MP3 file operation, shared by the decoding run, its frame sink and
// the job. There is one per process, living for one operation: created on first use, destroyed
// by the operation when it ends (which finishes any open encoder). Only one file operation
// runs at a time, so it has no lock.
class CTranscodeContext
{
public:
    static constexpr std::int32_t kDefaultBitrateKbps = 32;
    static constexpr float kDefaultVolumeScale = 1.0f;

    std::unique_ptr<CMp3StreamEncoder> encoder; // null until the first decoded frame
    std::vector<std::uint8_t> pcmBuffer;        // one converted frame
    std::int32_t bitrateKbps = kDefaultBitrateKbps;
    std::int32_t vbrQuality = BitrateChoice::kNoVbr; // V0-V9 replaces bitrateKbps
    float volumeScale = kDefaultVolumeScale;
    QString outputPath;
    RecordFormat format;
    std::int32_t durationSeconds = 0; // playing time of the current input
    QString inputPath;
    std::int32_t elapsedSeconds = 0;
    std::int32_t frameCount = 0;      // frames delivered to the sink so far
    CTranscodeOwner* owner = nullptr; // not owned; null when nobody watches the run
    // Why the last EnsureEncoder failed; None otherwise.
    CMp3StreamEncoder::Error encoderError = CMp3StreamEncoder::Error::None;

    CTranscodeContext() = default;
    ~CTranscodeContext(); // finishes the encoder's file if it is still open
    CTranscodeContext(const CTranscodeContext&) = delete;
    CTranscodeContext& operator=(const CTranscodeContext&) = delete;

    // Creates and opens the encoder for outputPath when there is none yet: chunkBytes of
    // 16-bit PCM per EncodeChunk (0 = the encoder's own size), pcmBuffer sized to one chunk.
    // On failure no encoder is kept, encoderError says why, and false is returned.
    bool EnsureEncoder(int chunkBytes);

    // durationSeconds from the exact media length of the file (whole seconds).
    void SetDurationFromFile(const QString& path);

    // The process-wide instance, created with the defaults on first use.
    static CTranscodeContext& Instance();
    // The instance if one exists, without creating it.
    static CTranscodeContext* Existing();
    // Ends the operation: finishes the encoder, frees the buffers; the next use starts afresh.
    static void DestroyInstance();
};

class CByteSource;
class FrameSink;

// Decodes like DecodeMp3, then finishes the running operation's encoder, if any, so its file
// is complete even when the sink stopped early.
int DecodeMp3AndFinishEncoder(CByteSource& source, FrameSink& sink);
// The same over a whole file held in memory.
int DecodeMp3BufferAndFinishEncoder(const std::uint8_t* data, std::size_t length, FrameSink& sink);

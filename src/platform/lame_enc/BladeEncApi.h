#pragma once

/* The BladeEnc-style interface of liblame_enc.so, shared by the library and by the code that
 * loads it at run time. Plain C so that any caller can use it. */

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t BeError;
typedef uintptr_t BeStreamHandle; /* 0 is never a valid stream */

enum BeErrorCode
{
    kBeOk = 0,
    kBeInvalidConfig = 1,     /* unknown record kind, version or size */
    kBeInvalidParameters = 2, /* a field the encoder cannot honour */
    kBeNoMoreStreams = 3,
    kBeInvalidHandle = 4,
    kBeEncodeFailed = 5,
    kBeFileError = 6
};

/* The version-1 LAME configuration record: 331 bytes, little-endian, packed. Every field is
 * four bytes except the two-byte quality; the bytes from kBeReservedOffset on are reserved. */
enum BeConfigLayout
{
    kBeConfigSize = 331,
    kBeConfigKindLame = 256,
    kBeConfigStructVersion = 1,

    kBeConfigKindOffset = 0,
    kBeStructVersionOffset = 4,
    kBeStructSizeOffset = 8,
    kBeSampleRateOffset = 12,
    kBeResampleRateOffset = 16,
    kBeModeOffset = 20,
    kBeBitrateOffset = 24,
    kBeMaxBitrateOffset = 28,
    kBePresetOffset = 32,
    kBeMpegVersionOffset = 36,
    kBePsyModelOffset = 40,
    kBeEmphasisOffset = 44,
    kBePrivateOffset = 48,
    kBeCrcOffset = 52,
    kBeCopyrightOffset = 56,
    kBeOriginalOffset = 60,
    kBeWriteVbrHeaderOffset = 64,
    kBeEnableVbrOffset = 68,
    kBeVbrQualityOffset = 72,
    kBeAbrRateOffset = 76,
    kBeVbrMethodOffset = 80,
    kBeNoReservoirOffset = 84,
    kBeStrictIsoOffset = 88,
    kBeQualityOffset = 92, /* two bytes */
    kBeReservedOffset = 94
};

enum BeMode
{
    kBeModeStereo = 0,
    kBeModeJointStereo = 1,
    kBeModeDualChannel = 2,
    kBeModeMono = 3
};

/* Used when the enable-VBR field is non-zero: the stream is variable bit rate at LAME's level
 * V0 (best) to V9 (smallest) from the VBR quality field. A non-zero bit rate field is then the
 * lowest rate a frame may take and a non-zero maximum bit rate field the highest. */
enum BeVbrMethod
{
    kBeVbrMethodNone = -1, /* treated as the default method */
    kBeVbrMethodDefault = 0,
    kBeVbrMethodOld = 1,
    kBeVbrMethodNew = 2,
    kBeVbrMethodMtrh = 3,
    kBeVbrMethodAbr = 4 /* refused: average bit rate streams are not offered */
};

enum BeVbrQualityRange
{
    kBeBestVbrQuality = 0,
    kBeSmallestVbrQuality = 9
};

enum BeMpegVersion
{
    kBeMpeg2 = 0,
    kBeMpeg1 = 1
};

typedef struct BeVersionInfo
{
    uint8_t libraryMajor;
    uint8_t libraryMinor;
    uint8_t engineMajor;
    uint8_t engineMinor;
    uint8_t buildDay;
    uint8_t buildMonth;
    uint16_t buildYear;
    char homepage[129];
} BeVersionInfo;

/* Opens a stream from a configuration record. Reports the number of 16-bit samples (all
 * channels together) one beEncodeChunk call is meant to take, and an output buffer size that
 * holds the output of such a call. */
BeError beInitStream(const void* config, uint32_t* samplesPerChunk, uint32_t* outputBufferSize, BeStreamHandle* stream);

/* Encodes exactly sampleCount interleaved 16-bit samples. Any count works; the output buffer
 * must hold outputBufferSize * (sampleCount / samplesPerChunk + 1) bytes. */
BeError beEncodeChunk(BeStreamHandle stream, uint32_t sampleCount, const int16_t* samples, uint8_t* output,
                      uint32_t* produced);

/* Flushes the frames still held by the encoder into output (outputBufferSize bytes). */
BeError beDeinitStream(BeStreamHandle stream, uint8_t* output, uint32_t* produced);

BeError beCloseStream(BeStreamHandle stream);

void beVersion(BeVersionInfo* version);

/* A stream whose record asks for a VBR header (write VBR header = 1) puts a placeholder
 * LAME/Info tag frame in front of its first output (a beEncodeChunk of no samples hands out just
 * that frame, so a writer can reserve it as it opens its file); beWriteInfoTag, called after
 * beDeinitStream once the file holds everything the stream produced, fills that frame at the
 * start of mp3Path with the true frame count, encoder delay and padding, and releases the stream
 * whatever the outcome. beWriteVBRHeader has no stream to take counts from: it only checks that
 * the file exists. */
BeError beWriteVBRHeader(const char* mp3Path);
BeError beWriteInfoTag(BeStreamHandle stream, const char* mp3Path);

typedef BeError (*BeInitStreamFn)(const void*, uint32_t*, uint32_t*, BeStreamHandle*);
typedef BeError (*BeEncodeChunkFn)(BeStreamHandle, uint32_t, const int16_t*, uint8_t*, uint32_t*);
typedef BeError (*BeDeinitStreamFn)(BeStreamHandle, uint8_t*, uint32_t*);
typedef BeError (*BeCloseStreamFn)(BeStreamHandle);
typedef void (*BeVersionFn)(BeVersionInfo*);
typedef BeError (*BeWriteVbrHeaderFn)(const char*);
typedef BeError (*BeWriteInfoTagFn)(BeStreamHandle, const char*);

#ifdef __cplusplus
}
#endif

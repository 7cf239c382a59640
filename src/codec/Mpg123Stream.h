#pragma once

#include "codec/DecodedFrame.h"
#include "codec/Mp3AudioSpan.h"

#include <cstdint>
#include <memory>
#include <set>

class CByteSource;
struct mpg123_handle_struct;

// One pass of libmpg123 over the MPEG audio of an MP3 file, frame by frame. Only the audio
// between the tags reaches the library, so no tag byte is ever heard. Gapless: the Xing/Info
// or VBRI frame is never sound, and a LAME tag's encoder delay and padding are cut away, so a
// LAME-tagged file gives exactly mpg123's samples. Damaged stretches are skipped, with one line
// on stderr per kind of error (the caller keeps the kinds already told, per file).
class CMpg123Stream
{
public:
    enum class Result
    {
        Frame,  // header and pcm describe the next frame
        End,    // the audio ran out
        Failed, // the input could not be read, or the decoder could not go on
    };

    // The source must outlive the stream.
    CMpg123Stream(CByteSource& source, PcmSampleType sampleType, std::set<int>& reportedErrors);
    ~CMpg123Stream();
    CMpg123Stream(const CMpg123Stream&) = delete;
    CMpg123Stream& operator=(const CMpg123Stream&) = delete;

    // False when the decoder cannot be set up (out of memory) or there is no audio at all.
    bool Open();
    // Puts the next frame's first sample at sampleIndex (counted after the gapless trim); the
    // frames before it are decoded only as far as the bit reservoir needs.
    bool SeekToSample(std::uint64_t sampleIndex);
    // Decodes the next frame that yields sound; the pcm points into the decoder's own buffer
    // and stays valid until the next call.
    Result Next(Mp3FrameHeader& header, DecodedPcm& pcm);
    // Samples per channel of the whole stream, after the gapless trim, by reading every frame
    // header (nothing is decoded); -1 when unknown.
    std::int64_t CountSamples();

private:
    struct Reader;
    struct HandleDeleter
    {
        void operator()(mpg123_handle_struct* handle) const;
    };

    void Report(int kind, const char* text, std::uint64_t offset);
    void CheckContinuity();
    void FillHeader(Mp3FrameHeader& header) const;

    CByteSource& m_source;
    PcmSampleType m_sampleType;
    std::set<int>& m_reportedErrors;
    CMp3AudioSpan m_audio;
    std::unique_ptr<Reader> m_reader;
    std::unique_ptr<mpg123_handle_struct, HandleDeleter> m_handle;
    long m_rate = 0;
    int m_channels = 0;
    std::int64_t m_expectedFrameOffset = -1; // where the frame after the last one should start
};

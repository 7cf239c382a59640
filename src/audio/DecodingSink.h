#pragma once

#include "codec/FrameSink.h"

#include <cstddef>
#include <cstdint>
#include <optional>

class CTranscodeContext;

// The steps every sink of an MP3 file operation shares, for each frame: count it and update
// the elapsed time, post progress to the owner, stop when cancelled, set up on the first frame,
// convert to 16-bit PCM with the volume scale into the context's pcmBuffer (counting the
// samples that clip into the owner), deliver.
// Subclasses supply the set-up and the delivery.
//
// The output is set up for the first frame's channel count and sample rate. A later frame
// that differs in either (a damaged file, or a false sync read as another kind of frame) is
// skipped (with one line on stderr for the first) rather than fed to an output that cannot take it.
class CDecodingSink : public FrameSink
{
public:
    FrameFlow OnFrame(const Mp3FrameHeader& header, const DecodedPcm& pcm) final;
    // Float when the volume is scaled, so each sample is rounded once; else mpg123's 16 bits.
    PcmSampleType WantedSampleType() const override;

    // Frames left out because they did not match the first frame.
    int SkippedFrames() const { return m_skippedFrames; }
    // The first-frame set-up failed (for example the output file could not be created).
    bool SetUpFailed() const { return m_setUpFailed; }

    // Bytes of 16-bit PCM a frame converts to.
    static std::size_t FramePcmBytes(const DecodedPcm& pcm);
    // Bytes of 16-bit PCM a whole frame of this header holds, before any gapless trim: the
    // chunk an encoder is opened with, so one chunk is one frame.
    static std::size_t WholeFramePcmBytes(const Mp3FrameHeader& header, const DecodedPcm& pcm);

protected:
    CDecodingSink() = default;

    // The run's shared state; the process-wide context.
    static CTranscodeContext& Context();

    // Prepares the output for the first frame; false ends the run with nothing delivered.
    virtual bool SetUpFirstFrame(const Mp3FrameHeader& header, const DecodedPcm& pcm) = 0;
    // Whether a frame can go to the output that was set up; by default, frames of the first
    // frame's channel count and sample rate.
    virtual bool AcceptsFrame(const DecodedPcm& pcm) const;
    // Takes one converted frame (bytes of interleaved 16-bit little-endian PCM).
    virtual FrameFlow Deliver(const Mp3FrameHeader& header, const std::uint8_t* pcm, std::size_t bytes) = 0;

    struct FrameShape
    {
        unsigned int sampleRate = 0;
        unsigned short channels = 0;
    };
    // The first frame's shape, once set up.
    const std::optional<FrameShape>& FirstFrame() const { return m_firstFrame; }

private:
    void PostProgress(const CTranscodeContext& context) const;
    static void Convert(const DecodedPcm& pcm, float volumeScale, std::uint8_t* out, std::uint64_t* clippedSamples);

    std::optional<FrameShape> m_firstFrame;
    int m_skippedFrames = 0;
    bool m_setUpFailed = false;
};

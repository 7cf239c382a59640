#include "audio/DecodingSink.h"

#include "audio/TranscodeContext.h"
#include "audio/TranscodeOwner.h"
#include "codec/SampleScaling.h"
#include "platform/AppEvent.h"

#include <algorithm>
#include <cstdio>

namespace
{
constexpr std::size_t kBytesPerSample = 2;
constexpr float kUnchangedVolume = 1.0f;
} // namespace

CTranscodeContext& CDecodingSink::Context()
{
    return CTranscodeContext::Instance();
}

std::size_t CDecodingSink::FramePcmBytes(const DecodedPcm& pcm)
{
    return pcm.SampleCount() * kBytesPerSample;
}

std::size_t CDecodingSink::WholeFramePcmBytes(const Mp3FrameHeader& header, const DecodedPcm& pcm)
{
    return std::size_t(std::max(header.samplesPerFrame, pcm.length)) * pcm.channels * kBytesPerSample;
}

PcmSampleType CDecodingSink::WantedSampleType() const
{
    return Context().volumeScale == kUnchangedVolume ? PcmSampleType::Int16 : PcmSampleType::Float;
}

bool CDecodingSink::AcceptsFrame(const DecodedPcm& pcm) const
{
    return m_firstFrame && pcm.channels == m_firstFrame->channels && pcm.sampleRate == m_firstFrame->sampleRate;
}

FrameFlow CDecodingSink::OnFrame(const Mp3FrameHeader& header, const DecodedPcm& pcm)
{
    CTranscodeContext& context = Context();
    context.frameCount += 1;
    // Whole frames: the first and last of a gapless file are shorter, but the time a run has
    // reached is counted in frames as it always was.
    const unsigned frameLength = std::max(header.samplesPerFrame, pcm.length);
    if (pcm.sampleRate != 0) {
        context.elapsedSeconds =
            static_cast<std::int32_t>(std::int64_t(frameLength) * context.frameCount / pcm.sampleRate);
    }
    PostProgress(context);
    if (context.owner && context.owner->IsCancelRequested()) {
        return FrameFlow::Stop;
    }

    if (!m_firstFrame) {
        if (!SetUpFirstFrame(header, pcm)) {
            m_setUpFailed = true;
            return FrameFlow::Stop;
        }
        m_firstFrame = FrameShape{pcm.sampleRate, pcm.channels};
    }
    if (!AcceptsFrame(pcm)) {
        // Once per file: a stream that changes shape would otherwise give a line per frame.
        if (++m_skippedFrames == 1) {
            std::fprintf(stderr, "skipping frame %d: %u Hz, %u channel(s) do not fit the output\n", context.frameCount,
                         pcm.sampleRate, unsigned(pcm.channels));
        }
        return FrameFlow::Continue;
    }

    const std::size_t bytes = FramePcmBytes(pcm);
    // Normally sized by the set-up; grows only for a sink that accepts frames larger than the first.
    if (context.pcmBuffer.size() < bytes) {
        context.pcmBuffer.resize(bytes);
    }
    std::uint64_t clipped = 0;
    Convert(pcm, context.volumeScale, context.pcmBuffer.data(), &clipped);
    if (clipped > 0 && context.owner) {
        context.owner->AddClippedSamples(context.owner->CurrentFileIndex(), clipped);
    }
    return Deliver(header, context.pcmBuffer.data(), bytes);
}

void CDecodingSink::PostProgress(const CTranscodeContext& context) const
{
    if (!context.owner) {
        return;
    }
    CAppEvent::Post(context.owner->ProgressReceiver(), AppEventType::kJobProgress, context.owner->CurrentFileIndex(),
                    context.elapsedSeconds);
}

void CDecodingSink::Convert(const DecodedPcm& pcm, float volumeScale, std::uint8_t* out, std::uint64_t* clippedSamples)
{
    if (pcm.type == PcmSampleType::Float) {
        ScaleFrameTo16(pcm.floats, pcm.SampleCount(), volumeScale, out, clippedSamples);
    } else {
        Scale16FrameTo16(pcm.int16, pcm.SampleCount(), volumeScale, out, clippedSamples);
    }
}

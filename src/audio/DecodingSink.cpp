#include "audio/DecodingSink.h"

#include "audio/TranscodeContext.h"
#include "audio/TranscodeOwner.h"
#include "codec/SampleScaling.h"
#include "platform/AppEvent.h"

#include <cstdio>

namespace
{
constexpr std::size_t kBytesPerSample = 2;
constexpr int kStereo = 2;
} // namespace

CTranscodeContext& CDecodingSink::Context()
{
    return CTranscodeContext::Instance();
}

std::size_t CDecodingSink::FramePcmBytes(const mad_pcm& pcm)
{
    return std::size_t(pcm.length) * pcm.channels * kBytesPerSample;
}

bool CDecodingSink::AcceptsFrame(const mad_pcm& pcm) const
{
    return m_firstFrame && pcm.channels == m_firstFrame->channels && pcm.samplerate == m_firstFrame->sampleRate;
}

mad_flow CDecodingSink::OnFrame(const mad_header& header, const mad_pcm& pcm)
{
    CTranscodeContext& context = Context();
    context.frameCount += 1;
    if (pcm.samplerate != 0) {
        context.elapsedSeconds =
            static_cast<std::int32_t>(std::int64_t(pcm.length) * context.frameCount / pcm.samplerate);
    }
    PostProgress(context);
    if (context.owner && context.owner->IsCancelRequested()) {
        return MAD_FLOW_STOP;
    }

    if (!m_firstFrame) {
        if (!SetUpFirstFrame(header, pcm)) {
            m_setUpFailed = true;
            return MAD_FLOW_STOP;
        }
        m_firstFrame = FrameShape{pcm.samplerate, pcm.channels};
    }
    if (!AcceptsFrame(pcm)) {
        // Once per file: a stream that changes shape would otherwise give a line per frame.
        if (++m_skippedFrames == 1) {
            std::fprintf(stderr, "skipping frame %d: %u Hz, %u channel(s) do not fit the output\n", context.frameCount,
                         pcm.samplerate, unsigned(pcm.channels));
        }
        return MAD_FLOW_CONTINUE;
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

void CDecodingSink::Convert(const mad_pcm& pcm, float volumeScale, std::uint8_t* out, std::uint64_t* clippedSamples)
{
    const mad_fixed_t* right = pcm.channels == kStereo ? pcm.samples[1] : nullptr;
    ScaleFrameTo16(pcm.samples[0], right, pcm.length, volumeScale, out, clippedSamples);
}

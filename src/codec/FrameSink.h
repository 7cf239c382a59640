#pragma once

#include "codec/DecodedFrame.h"

#include <utility>

// What a sink asks of the decoding run after a frame.
enum class FrameFlow
{
    Continue,
    Stop, // ends the run after this frame
};

// Receives every decoded frame of a decoding run.
class FrameSink
{
public:
    virtual ~FrameSink() = default;

    virtual FrameFlow OnFrame(const Mp3FrameHeader& header, const DecodedPcm& pcm) = 0;
    // Called once after the last frame, before the encoder is finished, so a sink that holds
    // back a partial chunk can still pass it on.
    virtual void OnRunEnd() {}
    // Asked once before the run. 16-bit samples are mpg123's own output, bit for bit; a sink
    // that scales the volume asks for float so the scaled sample is rounded only once.
    virtual PcmSampleType WantedSampleType() const { return PcmSampleType::Int16; }
};

// Lets a lambda or any other callable serve as a sink:
//   auto sink = MakeFrameSink([&](const Mp3FrameHeader& h, const DecodedPcm& p) { ...; return FrameFlow::Continue; });
template <typename Callable>
class CCallableFrameSink final : public FrameSink
{
public:
    explicit CCallableFrameSink(Callable callable)
        : m_callable(std::move(callable))
    {}

    FrameFlow OnFrame(const Mp3FrameHeader& header, const DecodedPcm& pcm) override { return m_callable(header, pcm); }

private:
    Callable m_callable;
};

template <typename Callable>
CCallableFrameSink<Callable> MakeFrameSink(Callable callable)
{
    return CCallableFrameSink<Callable>(std::move(callable));
}

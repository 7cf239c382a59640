#pragma once

#include <mad.h>
#include <utility>

// Receives every decoded frame of a decoding run. Returning MAD_FLOW_STOP ends the run
// after this frame; MAD_FLOW_CONTINUE goes on.
class FrameSink
{
public:
    virtual ~FrameSink() = default;

    virtual mad_flow OnFrame(const mad_header& header, const mad_pcm& pcm) = 0;
    // Called once after the last frame, before the encoder is finished, so a sink that holds
    // back a partial chunk can still pass it on.
    virtual void OnRunEnd() {}
};

// Lets a lambda or any other callable serve as a sink:
//   auto sink = MakeFrameSink([&](const mad_header& h, const mad_pcm& p) { ...; return MAD_FLOW_CONTINUE; });
template <typename Callable>
class CCallableFrameSink final : public FrameSink
{
public:
    explicit CCallableFrameSink(Callable callable)
        : m_callable(std::move(callable))
    {}

    mad_flow OnFrame(const mad_header& header, const mad_pcm& pcm) override { return m_callable(header, pcm); }

private:
    Callable m_callable;
};

template <typename Callable>
CCallableFrameSink<Callable> MakeFrameSink(Callable callable)
{
    return CCallableFrameSink<Callable>(std::move(callable));
}

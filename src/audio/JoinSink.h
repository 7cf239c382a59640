#pragma once

#include "audio/DecodingSink.h"
#include "codec/RecordFormat.h"

class CJoinState;

// Joining: every frame of every file, whatever its rate and channel count, is converted to
// the join's target format and encoded through the carry buffer into the one output. The first
// frame of the whole join creates the encoder; one sink serves one file.
class CJoinSink : public CDecodingSink
{
public:
    CJoinSink(CJoinState& state, const RecordFormat& target);

    // The encoder took a chunk and failed (for example the disk is full).
    bool EncodeFailed() const { return m_encodeFailed; }

protected:
    bool SetUpFirstFrame(const Mp3FrameHeader& header, const DecodedPcm& pcm) override;
    // Any frame converts, whatever its rate and channels.
    bool AcceptsFrame(const DecodedPcm& pcm) const override;
    FrameFlow Deliver(const Mp3FrameHeader& header, const std::uint8_t* pcm, std::size_t bytes) override;

private:
    CJoinState& m_state;
    RecordFormat m_target;
    bool m_encodeFailed = false;
};

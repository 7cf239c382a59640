// Decodes arbitrary bytes as an MP3 file through the decoding driver and the shared sink
// skeleton (progress bookkeeping, 16-bit conversion), without encoding, once at 16 bits and
// once at a scaled volume (float samples). Complaints about damaged frames go to stderr; that
// is expected.
#include "audio/DecodingSink.h"
#include "audio/TranscodeContext.h"
#include "codec/Mp3Decoding.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace
{
constexpr float kUnchangedVolume = 1.0f;
constexpr float kScaledVolume = 1.5f;

class CCheckingSink : public CDecodingSink
{
protected:
    bool SetUpFirstFrame(const Mp3FrameHeader&, const DecodedPcm& pcm) override
    {
        return pcm.channels >= 1 && pcm.channels <= 2 && pcm.length <= 1152;
    }

    FrameFlow Deliver(const Mp3FrameHeader&, const std::uint8_t* pcm, std::size_t bytes) override
    {
        // Touch every converted byte, so a conversion past the buffer shows.
        unsigned sum = 0;
        for (std::size_t i = 0; i < bytes; ++i) {
            sum += pcm[i];
        }
        m_checksum += sum;
        return FrameFlow::Continue;
    }

private:
    unsigned m_checksum = 0;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // An exact-size copy so the sanitizer sees any read past the end.
    const std::vector<std::uint8_t> bytes(data, data + size);
    for (const float volume : {kUnchangedVolume, kScaledVolume}) {
        CTranscodeContext::Instance().volumeScale = volume;
        CCheckingSink sink;
        if (DecodeMp3BufferAndFinishEncoder(bytes.data(), bytes.size(), sink) != 0 || sink.SetUpFailed()) {
            std::abort();
        }
        CTranscodeContext::DestroyInstance();
    }
    return 0;
}

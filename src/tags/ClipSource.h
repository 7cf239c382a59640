#pragma once

#include "platform/audio/PcmFormat.h"

#include <cstddef>
#include <cstdint>
#include <functional>

// The sound of one media file as the clip player feeds it to the output: PCM in one fixed
// format from any position to the end.
class CClipSource
{
public:
    // Takes the next piece of PCM; false ends the run at once.
    using PcmConsumer = std::function<bool(const std::uint8_t* pcm, std::size_t bytes)>;

    virtual ~CClipSource() = default;

    virtual const PcmFormat& Format() const = 0;
    // Delivers the sound from startMs to the end, in order, on the calling thread. False when
    // the file could not be read; a consumer that stops the run is no failure.
    virtual bool Run(std::int64_t startMs, const PcmConsumer& consumer) = 0;
};

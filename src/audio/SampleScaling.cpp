#include "audio/SampleScaling.h"

#include "audio/TranscodeContext.h"

std::int16_t ScaleSample(mad_fixed_t sample)
{
    return ScaleSample(sample, CTranscodeContext::Instance().volumeScale);
}

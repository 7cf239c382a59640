#include "FakeLameEnc.h"

#include "platform/lame_enc/BladeEncApi.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#define FAKE_EXPORT __attribute__((visibility("default")))

namespace
{
constexpr std::uint32_t kFrameSamples = 1152;
constexpr std::uint32_t kDefaultOutputSize = 4096;
constexpr std::uint32_t kDefaultBytesPerEncode = 8;
constexpr std::uint32_t kFlushBytes = 4;
constexpr BeStreamHandle kStreamHandle = 42;

struct State
{
    std::mutex mutex;
    FakeLameScript script{0, kDefaultOutputSize, kBeOk, 0, kDefaultBytesPerEncode, 0};
    FakeLameCounts counts{};
    std::array<std::uint8_t, kBeConfigSize> config{};
    std::vector<int> firstSamples;
    std::uint32_t lastSampleCount = 0;
    std::uint32_t outputSize = kDefaultOutputSize;
};

State& TheState()
{
    static State state;
    return state;
}
} // namespace

extern "C" {

FAKE_EXPORT void fakeReset(void)
{
    State& state = TheState();
    std::lock_guard lock(state.mutex);
    state.script = FakeLameScript{0, kDefaultOutputSize, kBeOk, 0, kDefaultBytesPerEncode, 0};
    state.counts = {};
    state.config = {};
    state.firstSamples.clear();
    state.lastSampleCount = 0;
}

FAKE_EXPORT void fakeSetScript(const FakeLameScript* script)
{
    std::lock_guard lock(TheState().mutex);
    TheState().script = *script;
}

FAKE_EXPORT FakeLameCounts fakeCounts(void)
{
    std::lock_guard lock(TheState().mutex);
    return TheState().counts;
}

FAKE_EXPORT void fakeLastConfig(uint8_t* record331)
{
    std::lock_guard lock(TheState().mutex);
    std::memcpy(record331, TheState().config.data(), kBeConfigSize);
}

FAKE_EXPORT int fakeEncodedFirstSample(int index)
{
    std::lock_guard lock(TheState().mutex);
    const auto& samples = TheState().firstSamples;
    return index >= 0 && std::size_t(index) < samples.size() ? samples[std::size_t(index)] : -1;
}

FAKE_EXPORT uint32_t fakeLastSampleCount(void)
{
    std::lock_guard lock(TheState().mutex);
    return TheState().lastSampleCount;
}

FAKE_EXPORT BeError beInitStream(const void* config, uint32_t* samplesPerChunk, uint32_t* outputBufferSize,
                                 BeStreamHandle* stream)
{
    State& state = TheState();
    std::lock_guard lock(state.mutex);
    ++state.counts.inits;
    std::memcpy(state.config.data(), config, kBeConfigSize);
    const bool mono = state.config[kBeModeOffset] == kBeModeMono;
    *samplesPerChunk =
        state.script.samplesPerChunk != 0 ? state.script.samplesPerChunk : kFrameSamples * (mono ? 1u : 2u);
    *outputBufferSize = state.outputSize = state.script.outputBufferSize;
    *stream = state.script.initResult == kBeOk ? kStreamHandle : 0;
    return state.script.initResult;
}

// The partial build leaves this entry point out, as a damaged copy of the library would.
#ifndef FAKE_WITHOUT_ENCODE_CHUNK
FAKE_EXPORT BeError beEncodeChunk(BeStreamHandle stream, uint32_t sampleCount, const int16_t* samples, uint8_t* output,
                                  uint32_t* produced)
{
    State& state = TheState();
    int delay = 0;
    {
        std::lock_guard lock(state.mutex);
        delay = state.script.encodeDelayMilliseconds;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    std::lock_guard lock(state.mutex);
    *produced = 0;
    if (stream != kStreamHandle) {
        return kBeInvalidHandle;
    }
    if (sampleCount == 0) {
        return kBeOk; // the wrapper reserving a tag frame this stand-in never makes
    }
    ++state.counts.encodes;
    state.lastSampleCount = sampleCount;
    state.firstSamples.push_back(sampleCount > 0 ? samples[0] : -1);
    if (state.counts.encodes == state.script.failAtEncode) {
        return kBeEncodeFailed;
    }
    const std::uint32_t bytes = std::min(state.script.bytesPerEncode, state.outputSize);
    std::memset(output, 'M', bytes);
    *produced = bytes;
    return kBeOk;
}
#endif

FAKE_EXPORT BeError beDeinitStream(BeStreamHandle stream, uint8_t* output, uint32_t* produced)
{
    std::lock_guard lock(TheState().mutex);
    ++TheState().counts.deinits;
    *produced = 0;
    if (stream != kStreamHandle) {
        return kBeInvalidHandle;
    }
    std::memcpy(output, "END!", kFlushBytes);
    *produced = kFlushBytes;
    return kBeOk;
}

FAKE_EXPORT BeError beCloseStream(BeStreamHandle stream)
{
    std::lock_guard lock(TheState().mutex);
    ++TheState().counts.closes;
    return stream == kStreamHandle ? kBeOk : kBeInvalidHandle;
}

FAKE_EXPORT void beVersion(BeVersionInfo* version)
{
    std::memset(version, 0, sizeof(*version));
}

FAKE_EXPORT BeError beWriteVBRHeader(const char*)
{
    return kBeOk;
}

FAKE_EXPORT BeError beWriteInfoTag(BeStreamHandle stream, const char*)
{
    // Releases the stream, as the real library does.
    std::lock_guard lock(TheState().mutex);
    ++TheState().counts.closes;
    return stream == kStreamHandle ? kBeOk : kBeInvalidHandle;
}
}

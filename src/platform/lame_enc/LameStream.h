#pragma once

#include "BladeEncApi.h"
#include "InfoTagFrame.h"

#include <cstdint>
#include <lame/lame.h>
#include <memory>
#include <mutex>
#include <vector>

// One open encoder stream of liblame_enc.so: a configured LAME encoder plus what the
// BladeEnc-style calls need around it (chunk size, output buffer size, a held-over sample).
class CLameStream
{
    // Streams come only from Create, which checks the record first.
    struct PrivateTag
    {
        explicit PrivateTag() = default;
    };

public:
    explicit CLameStream(PrivateTag) {}
    // Reads the configuration record field by field; nullptr and an error code when the
    // record or one of its values cannot be honoured.
    static std::unique_ptr<CLameStream> Create(const std::uint8_t* record, BeError& error);
    ~CLameStream();
    CLameStream(const CLameStream&) = delete;
    CLameStream& operator=(const CLameStream&) = delete;

    std::uint32_t SamplesPerChunk() const { return m_samplesPerChunk; }
    std::uint32_t OutputBufferSize() const { return m_outputBufferSize; }

    BeError Encode(std::uint32_t sampleCount, const std::int16_t* samples, std::uint8_t* output,
                   std::uint32_t& produced);
    BeError Flush(std::uint8_t* output, std::uint32_t& produced);
    // Fills the tag frame this stream reserved at the start of mp3Path (behind an ID3v2 tag, if
    // one was put there since) with the stream's true counts. Only after Flush.
    BeError WriteInfoTag(const char* mp3Path);

    // The nearest bit rate an MPEG layer III stream at this sample rate can carry.
    static int NearestAllowedBitrate(int kbps, int sampleRate);

private:
    struct LameCloser
    {
        void operator()(lame_global_flags* flags) const { lame_close(flags); }
    };

    bool Configure(const std::uint8_t* record, BeError& error);
    // Variable bit rate, kept apart from the constant-rate set-up: whether the record asks for
    // it in a form this library honours, and the LAME settings that give it.
    static bool IsAcceptableVbrRequest(const std::uint8_t* record);
    static void ApplyVbr(lame_global_flags* flags, const std::uint8_t* record, int outputRate);
    // Encodes whole frames (one sample per channel each) and appends to output.
    bool EncodeFrames(const std::int16_t* samples, std::uint32_t frames, std::uint8_t*& output,
                      std::uint64_t& capacity);
    // The reserved tag frame goes in front of the stream's first output.
    void EmitReservedFrame(std::uint8_t*& output, std::uint64_t& capacity);
    InfoTagFacts FinalTagFacts() const;

    std::unique_ptr<lame_global_flags, LameCloser> m_lame;
    std::mutex m_mutex;
    int m_channels = 2;
    int m_inputRate = 0;
    int m_outputRate = 0;
    std::uint32_t m_samplesPerChunk = 0;
    std::uint32_t m_outputBufferSize = 0;
    // A stereo call with an odd sample count leaves the left half of a frame for the next call.
    bool m_hasPendingSample = false;
    std::int16_t m_pendingSample = 0;
    bool m_flushed = false;

    // With a reserved tag frame: the placeholder, whether it still has to go out, and what the
    // final tag counts.
    InfoTagFacts m_tagFacts;
    std::vector<std::uint8_t> m_placeholder;
    bool m_placeholderPending = false;
    std::uint64_t m_inputFrames = 0; // samples per channel taken
    std::uint64_t m_audioBytes = 0;  // bytes after the tag frame
    std::uint16_t m_musicCrc = 0;
};

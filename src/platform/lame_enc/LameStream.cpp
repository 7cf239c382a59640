#include "LameStream.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace
{
constexpr std::array<int, 14> kMpeg1Bitrates = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
constexpr std::array<int, 14> kMpeg2Bitrates = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
// LAME encodes MPEG-2.5 (below 16 kHz) at no more than 64 kbps.
constexpr std::array<int, 8> kMpeg25Bitrates = {8, 16, 24, 32, 40, 48, 56, 64};
constexpr std::array<int, 9> kMp3SampleRates = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
constexpr int kLowestMpeg1Rate = 32000;
constexpr int kLowestMpeg2Rate = 16000;
constexpr std::uint32_t kHighestMpegBitrate = 320;
// Input rates LAME can resample from in reasonable time and memory.
constexpr std::uint32_t kLowestInputRate = 4000;
constexpr std::uint32_t kHighestInputRate = 192000;

// LAME's own bound for the output of n samples per channel: 1.25 n + 7200 bytes.
constexpr std::uint64_t kWorstCaseFixedBytes = 7200;
constexpr std::uint64_t kWorstCaseNumerator = 5;
constexpr std::uint64_t kWorstCaseDenominator = 4;

// Keeps every single LAME call within its int sample count.
constexpr std::uint32_t kFramesPerLameCall = 1u << 20;

constexpr std::uint16_t kMaxLameQuality = 9;
constexpr std::uint32_t kHighestEmphasis = 3; // CCITT J.17

std::uint32_t ReadU32(const std::uint8_t* record, int offset)
{
    const std::uint8_t* p = record + offset;
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

std::uint16_t ReadU16(const std::uint8_t* record, int offset)
{
    const std::uint8_t* p = record + offset;
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

bool IsMp3SampleRate(std::uint32_t rate)
{
    return std::find(kMp3SampleRates.begin(), kMp3SampleRates.end(), static_cast<int>(rate)) != kMp3SampleRates.end();
}

int NearestMp3SampleRate(std::uint32_t rate)
{
    int best = kMp3SampleRates.front();
    for (int candidate : kMp3SampleRates) {
        if (std::llabs(static_cast<long long>(candidate) - rate) < std::llabs(static_cast<long long>(best) - rate)) {
            best = candidate;
        }
    }
    return best;
}

std::uint64_t WorstCaseOutputBytes(std::uint64_t framesPerChannel)
{
    return framesPerChannel * kWorstCaseNumerator / kWorstCaseDenominator + 1 + kWorstCaseFixedBytes;
}

struct FileCloser
{
    void operator()(std::FILE* file) const { std::fclose(file); }
};

constexpr std::size_t kId3v2HeaderBytes = 10;
constexpr std::size_t kId3v2FooterBytes = 10;
constexpr std::size_t kId3v2MagicBytes = 3;
constexpr std::size_t kId3v2FlagsOffset = 5;
constexpr std::size_t kId3v2SizeOffset = 6;
constexpr std::uint8_t kId3v2FooterFlag = 0x10;
constexpr int kSyncsafeBits = 7;
constexpr std::uint32_t kSyncsafeMask = 0x7F;

// Where the frame this stream reserved sits: at the start, or behind an ID3v2 tag put in front
// since. -1 when the file does not start with that frame, which is then never overwritten.
long ReservedFrameOffset(std::FILE* file, const std::vector<std::uint8_t>& placeholder)
{
    std::array<std::uint8_t, kId3v2HeaderBytes> head{};
    long offset = 0;
    if (std::fread(head.data(), 1, head.size(), file) == head.size() &&
        std::memcmp(head.data(), "ID3", kId3v2MagicBytes) == 0) {
        std::uint32_t tagBytes = 0;
        for (std::size_t i = kId3v2SizeOffset; i < kId3v2HeaderBytes; ++i) {
            tagBytes = tagBytes << kSyncsafeBits | (head[i] & kSyncsafeMask);
        }
        const bool footer = (head[kId3v2FlagsOffset] & kId3v2FooterFlag) != 0;
        offset = static_cast<long>(kId3v2HeaderBytes + tagBytes + (footer ? kId3v2FooterBytes : 0));
    }
    std::vector<std::uint8_t> found(placeholder.size());
    if (std::fseek(file, offset, SEEK_SET) != 0 || std::fread(found.data(), 1, found.size(), file) != found.size()) {
        return -1;
    }
    // The same header and a tag at its place: the frame may already hold counts from an
    // earlier fill-in, which are simply replaced.
    const bool sameHeader = std::equal(found.begin(), found.begin() + InfoTagFrame::kHeaderBytes, placeholder.begin());
    return sameHeader && InfoTagFrame::IsTagFrame(found.data(), found.size()) ? offset : -1;
}

// The library is used inside programs that keep the console quiet.
void DiscardReport(const char*, va_list) {}
} // namespace

namespace
{
template <std::size_t Size>
int NearestInTable(const std::array<int, Size>& table, int kbps)
{
    // Ties go to the lower rate, as LAME itself resolves them.
    int best = table.front();
    for (int candidate : table) {
        if (std::abs(candidate - kbps) < std::abs(best - kbps)) {
            best = candidate;
        }
    }
    return best;
}
} // namespace

int CLameStream::NearestAllowedBitrate(int kbps, int sampleRate)
{
    if (sampleRate >= kLowestMpeg1Rate) {
        return NearestInTable(kMpeg1Bitrates, kbps);
    }
    if (sampleRate >= kLowestMpeg2Rate) {
        return NearestInTable(kMpeg2Bitrates, kbps);
    }
    return NearestInTable(kMpeg25Bitrates, kbps);
}

bool CLameStream::IsAcceptableVbrRequest(const std::uint8_t* record)
{
    if (ReadU32(record, kBeEnableVbrOffset) == 0) {
        return true;
    }
    const auto method = static_cast<std::int32_t>(ReadU32(record, kBeVbrMethodOffset));
    return method >= kBeVbrMethodNone && method < kBeVbrMethodAbr &&
           ReadU32(record, kBeVbrQualityOffset) <= kBeSmallestVbrQuality;
}

void CLameStream::ApplyVbr(lame_global_flags* flags, const std::uint8_t* record, int outputRate)
{
    const auto method = static_cast<std::int32_t>(ReadU32(record, kBeVbrMethodOffset));
    // The bit rate field bounds the frames from below here; it is no target rate.
    lame_set_brate(flags, 0);
    lame_set_VBR(flags, method == kBeVbrMethodOld ? vbr_rh : vbr_mtrh);
    lame_set_VBR_q(flags, static_cast<int>(ReadU32(record, kBeVbrQualityOffset)));
    const std::uint32_t lowest = std::min(ReadU32(record, kBeBitrateOffset), kHighestMpegBitrate);
    if (lowest != 0) {
        lame_set_VBR_min_bitrate_kbps(flags, NearestAllowedBitrate(static_cast<int>(lowest), outputRate));
        // Strictly: LAME would otherwise still drop to its smallest frame for digital silence.
        lame_set_VBR_hard_min(flags, 1);
    }
    const std::uint32_t highest = std::min(ReadU32(record, kBeMaxBitrateOffset), kHighestMpegBitrate);
    if (highest != 0) {
        lame_set_VBR_max_bitrate_kbps(flags, NearestAllowedBitrate(static_cast<int>(highest), outputRate));
    }
}

std::unique_ptr<CLameStream> CLameStream::Create(const std::uint8_t* record, BeError& error)
{
    auto stream = std::make_unique<CLameStream>(PrivateTag{});
    if (!stream->Configure(record, error)) {
        return nullptr;
    }
    error = kBeOk;
    return stream;
}

CLameStream::~CLameStream() = default;

bool CLameStream::Configure(const std::uint8_t* record, BeError& error)
{
    error = kBeInvalidConfig;
    if (record == nullptr || ReadU32(record, kBeConfigKindOffset) != kBeConfigKindLame ||
        ReadU32(record, kBeStructVersionOffset) < kBeConfigStructVersion ||
        ReadU32(record, kBeStructSizeOffset) < kBeReservedOffset) {
        return false;
    }

    error = kBeInvalidParameters;
    const std::uint32_t inputRate = ReadU32(record, kBeSampleRateOffset);
    const std::uint32_t resampleRate = ReadU32(record, kBeResampleRateOffset);
    const std::uint32_t mode = ReadU32(record, kBeModeOffset);
    const std::uint16_t quality = ReadU16(record, kBeQualityOffset);
    if (inputRate < kLowestInputRate || inputRate > kHighestInputRate ||
        (resampleRate != 0 && !IsMp3SampleRate(resampleRate)) || mode > kBeModeMono ||
        !IsAcceptableVbrRequest(record) || ReadU32(record, kBePresetOffset) != 0 ||
        ReadU32(record, kBeEmphasisOffset) > kHighestEmphasis || quality > kMaxLameQuality) {
        return false;
    }
    // The output keeps the input's rate when it is one MP3 can carry; the MPEG version follows
    // from that rate, whatever the version field asks for.
    const int outputRate = resampleRate != 0            ? static_cast<int>(resampleRate)
                           : IsMp3SampleRate(inputRate) ? static_cast<int>(inputRate)
                                                        : NearestMp3SampleRate(inputRate);
    const auto requestedBitrate = std::min(ReadU32(record, kBeBitrateOffset), kHighestMpegBitrate);
    const int bitrate = NearestAllowedBitrate(static_cast<int>(requestedBitrate), outputRate);

    m_lame.reset(lame_init());
    if (!m_lame) {
        error = kBeNoMoreStreams;
        return false;
    }
    lame_global_flags* flags = m_lame.get();
    lame_set_errorf(flags, DiscardReport);
    lame_set_debugf(flags, DiscardReport);
    lame_set_msgf(flags, DiscardReport);

    m_channels = mode == kBeModeMono ? 1 : 2;
    static constexpr std::array<MPEG_mode, 4> kLameModes = {STEREO, JOINT_STEREO, DUAL_CHANNEL, MONO};
    lame_set_num_channels(flags, m_channels);
    lame_set_mode(flags, kLameModes[mode]);
    lame_set_in_samplerate(flags, static_cast<int>(inputRate));
    lame_set_out_samplerate(flags, outputRate);
    lame_set_VBR(flags, vbr_off);
    lame_set_brate(flags, bitrate);
    if (ReadU32(record, kBeEnableVbrOffset) != 0) {
        ApplyVbr(flags, record, outputRate);
    }
    lame_set_emphasis(flags, static_cast<int>(ReadU32(record, kBeEmphasisOffset)));
    lame_set_extension(flags, ReadU32(record, kBePrivateOffset) != 0);
    lame_set_error_protection(flags, ReadU32(record, kBeCrcOffset) != 0);
    lame_set_copyright(flags, ReadU32(record, kBeCopyrightOffset) != 0);
    lame_set_original(flags, ReadU32(record, kBeOriginalOffset) != 0);
    lame_set_disable_reservoir(flags, ReadU32(record, kBeNoReservoirOffset) != 0);
    lame_set_strict_ISO(flags, ReadU32(record, kBeStrictIsoOffset) != 0);
    if (quality != 0) {
        lame_set_quality(flags, quality);
    }
    // LAME's own tag frame is left out: it cannot be had at low bit rates, where its frame is too
    // small. This stream reserves its own (see below), and writes no ID3 tags.
    lame_set_bWriteVbrTag(flags, 0);
    lame_set_write_id3tag_automatic(flags, 0);

    if (lame_init_params(flags) < 0) {
        m_lame.reset();
        return false;
    }
    const auto framesPerChunk = static_cast<std::uint32_t>(lame_get_framesize(flags));
    m_samplesPerChunk = framesPerChunk * static_cast<std::uint32_t>(m_channels);
    m_outputBufferSize = static_cast<std::uint32_t>(WorstCaseOutputBytes(framesPerChunk));
    m_inputRate = static_cast<int>(inputRate);
    m_outputRate = outputRate;

    if (ReadU32(record, kBeWriteVbrHeaderOffset) != 0) {
        m_tagFacts.sampleRate = outputRate;
        m_tagFacts.channelMode = static_cast<int>(mode);
        m_tagFacts.streamKbps = bitrate;
        m_tagFacts.copyright = lame_get_copyright(flags) != 0;
        m_tagFacts.original = lame_get_original(flags) != 0;
        m_tagFacts.encoderDelay = lame_get_encoder_delay(flags);
        m_tagFacts.lowpassHz = lame_get_lowpassfreq(flags);
        m_tagFacts.encoder = std::string("LAME") + get_lame_short_version();
        m_tagFacts.placeholder = true;
        m_placeholder = InfoTagFrame::Build(m_tagFacts);
        m_placeholderPending = !m_placeholder.empty();
        // Room for the reserved frame in front of the first chunk's output.
        m_outputBufferSize += static_cast<std::uint32_t>(m_placeholder.size());
    }
    error = kBeOk;
    return true;
}

bool CLameStream::EncodeFrames(const std::int16_t* samples, std::uint32_t frames, std::uint8_t*& output,
                               std::uint64_t& capacity)
{
    // LAME takes non-const sample pointers but only reads them.
    auto* pcm = const_cast<std::int16_t*>(samples);
    while (frames > 0) {
        const std::uint32_t piece = std::min(frames, kFramesPerLameCall);
        const int room = static_cast<int>(std::min<std::uint64_t>(capacity, INT_MAX));
        const int written =
            m_channels == 2 ? lame_encode_buffer_interleaved(m_lame.get(), pcm, static_cast<int>(piece), output, room)
                            : lame_encode_buffer(m_lame.get(), pcm, pcm, static_cast<int>(piece), output, room);
        if (written < 0) {
            return false;
        }
        m_inputFrames += piece;
        m_musicCrc = InfoTagFrame::Crc16(m_musicCrc, output, static_cast<std::size_t>(written));
        m_audioBytes += static_cast<std::uint64_t>(written);
        output += written;
        capacity -= static_cast<std::uint64_t>(written);
        pcm += static_cast<std::size_t>(piece) * static_cast<std::size_t>(m_channels);
        frames -= piece;
    }
    return true;
}

BeError CLameStream::Encode(std::uint32_t sampleCount, const std::int16_t* samples, std::uint8_t* output,
                            std::uint32_t& produced)
{
    std::lock_guard lock(m_mutex);
    produced = 0;
    if (m_flushed) {
        return kBeEncodeFailed;
    }
    if (sampleCount == 0) {
        // No samples: the reserved tag frame goes out at once, so a file holds it from its start.
        if (output != nullptr) {
            std::uint64_t capacity = m_outputBufferSize;
            std::uint8_t* cursor = output;
            EmitReservedFrame(cursor, capacity);
            produced = static_cast<std::uint32_t>(cursor - output);
        }
        return kBeOk;
    }
    if (samples == nullptr || output == nullptr) {
        return kBeInvalidParameters;
    }
    // What the caller promises to have room for: one chunk's worth per started chunk.
    std::uint64_t capacity =
        std::uint64_t(m_outputBufferSize) * (sampleCount / std::max<std::uint32_t>(m_samplesPerChunk, 1) + 1);
    std::uint8_t* cursor = output;
    EmitReservedFrame(cursor, capacity);
    bool ok = true;
    if (m_channels == 2 && m_hasPendingSample) {
        const std::array<std::int16_t, 2> frame = {m_pendingSample, samples[0]};
        m_hasPendingSample = false;
        ok = EncodeFrames(frame.data(), 1, cursor, capacity);
        ++samples;
        --sampleCount;
    }
    if (ok) {
        const auto channels = static_cast<std::uint32_t>(m_channels);
        ok = EncodeFrames(samples, sampleCount / channels, cursor, capacity);
        if (sampleCount % channels != 0) {
            m_pendingSample = samples[sampleCount - 1];
            m_hasPendingSample = true;
        }
    }
    produced = static_cast<std::uint32_t>(cursor - output);
    return ok ? kBeOk : kBeEncodeFailed;
}

BeError CLameStream::Flush(std::uint8_t* output, std::uint32_t& produced)
{
    std::lock_guard lock(m_mutex);
    produced = 0;
    if (m_flushed) {
        return kBeEncodeFailed;
    }
    if (output == nullptr) {
        return kBeInvalidParameters;
    }
    std::uint64_t capacity = m_outputBufferSize;
    std::uint8_t* cursor = output;
    EmitReservedFrame(cursor, capacity);
    if (m_hasPendingSample) {
        // The half frame left over gets a silent right channel rather than being lost.
        const std::array<std::int16_t, 2> frame = {m_pendingSample, 0};
        m_hasPendingSample = false;
        if (!EncodeFrames(frame.data(), 1, cursor, capacity)) {
            return kBeEncodeFailed;
        }
    }
    m_flushed = true;
    const int written = lame_encode_flush(m_lame.get(), cursor, static_cast<int>(capacity));
    if (written < 0) {
        produced = static_cast<std::uint32_t>(cursor - output);
        return kBeEncodeFailed;
    }
    m_musicCrc = InfoTagFrame::Crc16(m_musicCrc, cursor, static_cast<std::size_t>(written));
    m_audioBytes += static_cast<std::uint64_t>(written);
    produced = static_cast<std::uint32_t>(cursor - output) + static_cast<std::uint32_t>(written);
    return kBeOk;
}

void CLameStream::EmitReservedFrame(std::uint8_t*& output, std::uint64_t& capacity)
{
    if (!m_placeholderPending || capacity < m_placeholder.size()) {
        return;
    }
    std::copy(m_placeholder.begin(), m_placeholder.end(), output);
    output += m_placeholder.size();
    capacity -= m_placeholder.size();
    m_placeholderPending = false;
}

InfoTagFacts CLameStream::FinalTagFacts() const
{
    InfoTagFacts facts = m_tagFacts;
    facts.placeholder = false;
    facts.frameCount = static_cast<std::uint32_t>(lame_get_frameNum(m_lame.get()));
    facts.audioBytes = m_audioBytes;
    facts.musicCrc = m_musicCrc;
    // Samples per channel as they reach the frames, after any resampling.
    const std::uint64_t outputFrames =
        (m_inputFrames * static_cast<std::uint64_t>(m_outputRate) + static_cast<std::uint64_t>(m_inputRate) / 2) /
        static_cast<std::uint64_t>(m_inputRate);
    const std::uint64_t framed =
        std::uint64_t(facts.frameCount) * static_cast<std::uint64_t>(InfoTagFrame::SamplesPerFrame(m_outputRate));
    const std::uint64_t used = outputFrames + static_cast<std::uint64_t>(facts.encoderDelay);
    facts.padding =
        framed > used ? static_cast<int>(std::min<std::uint64_t>(framed - used, InfoTagFrame::kMaxDelayOrPadding)) : 0;
    return facts;
}

BeError CLameStream::WriteInfoTag(const char* mp3Path)
{
    std::lock_guard lock(m_mutex);
    if (mp3Path == nullptr) {
        return kBeInvalidParameters;
    }
    // Without a reserved frame, or before the last frames are out, there is nothing true to write.
    if (m_placeholder.empty() || m_placeholderPending || !m_flushed) {
        return kBeEncodeFailed;
    }
    const std::vector<std::uint8_t> frame = InfoTagFrame::Build(FinalTagFacts());
    if (frame.size() != m_placeholder.size()) {
        return kBeEncodeFailed;
    }
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(mp3Path, "r+b"));
    if (!file) {
        return kBeFileError;
    }
    const long offset = ReservedFrameOffset(file.get(), m_placeholder);
    if (offset < 0 || std::fseek(file.get(), offset, SEEK_SET) != 0 ||
        std::fwrite(frame.data(), 1, frame.size(), file.get()) != frame.size()) {
        return kBeFileError;
    }
    return std::fclose(file.release()) == 0 ? kBeOk : kBeFileError;
}

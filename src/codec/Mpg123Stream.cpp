#include "codec/Mpg123Stream.h"

#include "codec/ByteSource.h"

#include <array>
#include <cstdio>
#include <mpg123.h>
#include <mutex>

namespace
{
// Kinds of damage told on stderr, beside libmpg123's own error codes (which are offset by
// kLibraryErrorBase so the two never meet).
constexpr int kLostSync = 0x0101;
constexpr int kLibraryErrorBase = 0x0200;
constexpr int kUnreadableInput = 0x0301;
// No limit: junk of any length between frames is searched through for the next frame.
constexpr long kUnlimitedResync = -1;
constexpr long kBitsPerKilobit = 1000;

void InitLibraryOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
}

MpegVersion VersionOf(int version)
{
    if (version == MPG123_2_0) {
        return MpegVersion::Mpeg2;
    }
    return version == MPG123_2_5 ? MpegVersion::Mpeg25 : MpegVersion::Mpeg1;
}

ChannelMode ModeOf(int mode)
{
    switch (mode) {
    case MPG123_M_JOINT:
        return ChannelMode::JointStereo;
    case MPG123_M_DUAL:
        return ChannelMode::DualChannel;
    case MPG123_M_MONO:
        return ChannelMode::Mono;
    default:
        return ChannelMode::Stereo;
    }
}
} // namespace

// What libmpg123 reads through: the audio span of the source, as a file of its own.
struct CMpg123Stream::Reader
{
    CByteSource* source = nullptr;
    std::uint64_t start = 0;
    std::uint64_t size = 0;
    std::uint64_t position = 0; // within the span

    static mpg123_ssize_t Read(void* handle, void* out, std::size_t length)
    {
        auto* reader = static_cast<Reader*>(handle);
        if (reader->position >= reader->size) {
            return 0;
        }
        const std::size_t wanted = std::min<std::uint64_t>(length, reader->size - reader->position);
        const std::size_t got =
            reader->source->ReadAt(reader->start + reader->position, wanted, static_cast<std::uint8_t*>(out));
        if (got == 0 && reader->source->Failed()) {
            return -1;
        }
        reader->position += got;
        return static_cast<mpg123_ssize_t>(got);
    }

    static off_t Seek(void* handle, off_t offset, int whence)
    {
        auto* reader = static_cast<Reader*>(handle);
        std::int64_t base = 0;
        if (whence == SEEK_CUR) {
            base = static_cast<std::int64_t>(reader->position);
        } else if (whence == SEEK_END) {
            base = static_cast<std::int64_t>(reader->size);
        } else if (whence != SEEK_SET) {
            return -1;
        }
        const std::int64_t target = base + offset;
        if (target < 0) {
            return -1;
        }
        reader->position = static_cast<std::uint64_t>(target);
        return static_cast<off_t>(target);
    }
};

void CMpg123Stream::HandleDeleter::operator()(mpg123_handle_struct* handle) const
{
    mpg123_close(handle);
    mpg123_delete(handle);
}

CMpg123Stream::CMpg123Stream(CByteSource& source, PcmSampleType sampleType, std::set<int>& reportedErrors)
    : m_source(source)
    , m_sampleType(sampleType)
    , m_reportedErrors(reportedErrors)
    , m_audio(CMp3AudioSpan::InBuffer(nullptr, 0))
{}

CMpg123Stream::~CMpg123Stream() = default;

bool CMpg123Stream::Open()
{
    m_audio = CMp3AudioSpan::Find(m_source.Size(), [this](std::uint64_t offset, std::size_t length, std::uint8_t* out) {
        return m_source.ReadExactly(offset, length, out);
    });
    if (m_audio.Size() == 0) {
        return false;
    }
    InitLibraryOnce();
    int error = MPG123_OK;
    m_handle.reset(mpg123_new(nullptr, &error));
    if (!m_handle) {
        return false;
    }
    mpg123_handle* handle = m_handle.get();
    mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0);
    mpg123_param(handle, MPG123_RESYNC_LIMIT, kUnlimitedResync, 0);
    // Every rate and layout as the file has it; only the sample type is ours to choose.
    const int encoding = m_sampleType == PcmSampleType::Float ? MPG123_ENC_FLOAT_32 : MPG123_ENC_SIGNED_16;
    mpg123_format_none(handle);
    const long* rates = nullptr;
    std::size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    for (std::size_t i = 0; i < rateCount; ++i) {
        if (mpg123_format(handle, rates[i], MPG123_MONO | MPG123_STEREO, encoding) != MPG123_OK) {
            return false;
        }
    }
    m_reader = std::make_unique<Reader>();
    m_reader->source = &m_source;
    m_reader->start = m_audio.Start();
    m_reader->size = m_audio.Size();
    if (mpg123_replace_reader_handle(handle, Reader::Read, Reader::Seek, nullptr) != MPG123_OK ||
        mpg123_open_handle(handle, m_reader.get()) != MPG123_OK) {
        return false;
    }
    return true;
}

bool CMpg123Stream::SeekToSample(std::uint64_t sampleIndex)
{
    if (!m_handle) {
        return false;
    }
    m_expectedFrameOffset = -1;
    return mpg123_seek(m_handle.get(), static_cast<off_t>(sampleIndex), SEEK_SET) >= 0;
}

std::int64_t CMpg123Stream::CountSamples()
{
    if (!m_handle || mpg123_scan(m_handle.get()) != MPG123_OK) {
        return -1;
    }
    const off_t length = mpg123_length(m_handle.get());
    return length < 0 ? -1 : static_cast<std::int64_t>(length);
}

void CMpg123Stream::Report(int kind, const char* text, std::uint64_t offset)
{
    // Once per kind of error: a damaged file would otherwise fill the console.
    if (m_reportedErrors.insert(kind).second) {
        std::fprintf(stderr, "decoding error 0x%04x (%s) at byte offset %llu\n", static_cast<unsigned>(kind), text,
                     static_cast<unsigned long long>(offset));
    }
}

// libmpg123 searches through junk between frames on its own and says nothing; a frame that
// does not start where the one before ended shows that it did. An ID3v2 tag filling the gap
// exactly (files put together) is no damage.
void CMpg123Stream::CheckContinuity()
{
    mpg123_handle* handle = m_handle.get();
    mpg123_frameinfo info{};
    const auto at = static_cast<std::int64_t>(mpg123_framepos(handle));
    if (mpg123_info(handle, &info) != MPG123_OK || at < 0) {
        return;
    }
    const std::int64_t expected = m_expectedFrameOffset;
    m_expectedFrameOffset = at + static_cast<std::int64_t>(info.framesize);
    if (expected < 0 || at <= expected) {
        return;
    }
    const std::uint64_t gapStart = m_audio.Start() + static_cast<std::uint64_t>(expected);
    const auto gap = static_cast<std::uint64_t>(at - expected);
    std::array<std::uint8_t, CMp3AudioSpan::kId3v2HeaderSize> tagHeader{};
    std::uint64_t tags = 0;
    while (tags < gap && m_source.ReadExactly(gapStart + tags, tagHeader.size(), tagHeader.data())) {
        const std::uint64_t tag = CMp3AudioSpan::Id3v2TagSize(tagHeader.data(), tagHeader.size());
        if (tag == 0) {
            break;
        }
        tags += tag;
    }
    if (tags != gap) {
        Report(kLostSync, "lost synchronization", gapStart);
    }
}

void CMpg123Stream::FillHeader(Mp3FrameHeader& header) const
{
    mpg123_frameinfo info{};
    mpg123_info(m_handle.get(), &info);
    header.sampleRate = static_cast<unsigned>(info.rate);
    header.mode = ModeOf(info.mode);
    header.channels = header.mode == ChannelMode::Mono ? 1 : 2;
    header.bitrate = static_cast<unsigned long>(info.bitrate) * kBitsPerKilobit;
    header.layer = info.layer;
    header.version = VersionOf(info.version);
    header.frameBytes = static_cast<std::size_t>(info.framesize);
    header.samplesPerFrame = static_cast<unsigned>(mpg123_spf(m_handle.get()));
}

CMpg123Stream::Result CMpg123Stream::Next(Mp3FrameHeader& header, DecodedPcm& pcm)
{
    if (!m_handle) {
        return Result::End;
    }
    mpg123_handle* handle = m_handle.get();
    for (;;) {
        off_t frameNumber = 0;
        unsigned char* audio = nullptr;
        std::size_t bytes = 0;
        const int status = mpg123_decode_frame(handle, &frameNumber, &audio, &bytes);
        if (status == MPG123_DONE) {
            return m_source.Failed() ? Result::Failed : Result::End;
        }
        if (status == MPG123_NEW_FORMAT) {
            int encoding = 0;
            mpg123_getformat(handle, &m_rate, &m_channels, &encoding);
            continue;
        }
        if (status != MPG123_OK) {
            if (m_source.Failed()) {
                Report(kUnreadableInput, "input could not be read", m_audio.Start() + m_reader->position);
                return Result::Failed;
            }
            const int code = mpg123_errcode(handle);
            Report(kLibraryErrorBase + code, mpg123_plain_strerror(code),
                   m_audio.Start() + static_cast<std::uint64_t>(std::max<off_t>(mpg123_framepos(handle), 0)));
            // The library gives up on what it cannot make sense of; what it decoded stands.
            return Result::End;
        }
        CheckContinuity();
        const std::size_t sampleBytes = m_sampleType == PcmSampleType::Float ? sizeof(float) : sizeof(std::int16_t);
        if (bytes == 0 || m_channels <= 0 || m_rate <= 0) {
            continue; // wholly inside the encoder's delay or padding
        }
        FillHeader(header);
        pcm.sampleRate = static_cast<unsigned>(m_rate);
        pcm.channels = static_cast<unsigned short>(m_channels);
        pcm.length = static_cast<unsigned>(bytes / (sampleBytes * static_cast<std::size_t>(m_channels)));
        pcm.type = m_sampleType;
        pcm.int16 = m_sampleType == PcmSampleType::Int16 ? reinterpret_cast<const std::int16_t*>(audio) : nullptr;
        pcm.floats = m_sampleType == PcmSampleType::Float ? reinterpret_cast<const float*>(audio) : nullptr;
        return Result::Frame;
    }
}

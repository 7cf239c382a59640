#include "tags/Mp3ClipSource.h"

#include "codec/FrameSink.h"
#include "codec/Mp3AudioSpan.h"
#include "codec/Mp3Decoding.h"
#include "codec/SampleScaling.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mad.h>
#include <set>

namespace
{
constexpr std::int64_t kMillisecondsPerSecond = 1000;
constexpr std::size_t kBytesPerSample = 2;
constexpr float kFullVolume = 1.0f;
// Enough frames to refill the largest Layer III bit reservoir (511 bytes) at the lowest bit
// rates; decoding them costs far less than a millisecond.
constexpr std::uint64_t kSeekPrerollFrames = 24;
constexpr unsigned kSamplesPerSubbandSlot = 32;
// The most samples one frame holds per channel (Layer II and MPEG-1 Layer III).
constexpr std::size_t kMaxFrameSamples = 1152;

// The state of one listening run, handed to libmad's callbacks.
struct ListenRun
{
    const unsigned char* start = nullptr;
    unsigned long remaining = 0;
    std::size_t audioBytes = 0; // the guard bytes follow
    PcmFormat format;
    std::uint64_t firstSample = 0; // the first sample the listener hears
    std::uint64_t frameStart = 0;  // sample index of the frame being decoded
    std::uint64_t nextFrameStart = 0;
    const CClipSource::PcmConsumer* consumer = nullptr;
    std::vector<std::uint8_t> pcm;
    std::set<int>* reportedErrors = nullptr; // kinds of error already reported for the file
};

mad_flow InputHandler(void* data, mad_stream* stream)
{
    auto* run = static_cast<ListenRun*>(data);
    if (run->remaining == 0) {
        return MAD_FLOW_STOP;
    }
    mad_stream_buffer(stream, run->start, run->remaining);
    run->remaining = 0;
    return MAD_FLOW_CONTINUE;
}

// Counts every frame's samples and lets only the frames near and after the start be decoded.
mad_flow HeaderHandler(void* data, const mad_header* header)
{
    auto* run = static_cast<ListenRun*>(data);
    if (header->samplerate != run->format.sampleRate) {
        return MAD_FLOW_IGNORE; // a false sync, or a stream change the open output cannot take
    }
    const std::uint64_t frameSamples = kSamplesPerSubbandSlot * MAD_NSBSAMPLES(header);
    run->frameStart = run->nextFrameStart;
    run->nextFrameStart += frameSamples;
    if (run->nextFrameStart + kSeekPrerollFrames * frameSamples <= run->firstSample) {
        return MAD_FLOW_IGNORE;
    }
    return MAD_FLOW_CONTINUE;
}

mad_flow OutputHandler(void* data, const mad_header*, mad_pcm* pcm)
{
    auto* run = static_cast<ListenRun*>(data);
    if (pcm->samplerate != run->format.sampleRate || pcm->channels != run->format.channels) {
        return MAD_FLOW_CONTINUE;
    }
    const std::uint64_t frameEnd = run->frameStart + pcm->length;
    if (frameEnd <= run->firstSample) {
        return MAD_FLOW_CONTINUE; // preroll: decoded only to warm the decoder up
    }
    const std::uint64_t skip = run->firstSample > run->frameStart ? run->firstSample - run->frameStart : 0;
    std::uint8_t* out = run->pcm.data();
    for (std::uint64_t i = skip; i < pcm->length; ++i) {
        for (unsigned channel = 0; channel < pcm->channels; ++channel) {
            const auto sample = static_cast<std::uint16_t>(ScaleSample(pcm->samples[channel][i], kFullVolume));
            *out++ = static_cast<std::uint8_t>(sample & 0xFF);
            *out++ = static_cast<std::uint8_t>(sample >> 8);
        }
    }
    const auto bytes = static_cast<std::size_t>(out - run->pcm.data());
    // Nothing may unwind through libmad's C frames.
    try {
        return (*run->consumer)(run->pcm.data(), bytes) ? MAD_FLOW_CONTINUE : MAD_FLOW_STOP;
    } catch (...) {
        return MAD_FLOW_BREAK;
    }
}

mad_flow ErrorHandler(void* data, mad_stream* stream, mad_frame*)
{
    const auto* run = static_cast<const ListenRun*>(data);
    // The first frames decoded after a skip point into a reservoir that was never filled; that
    // is expected and they are not heard anyway.
    if (stream->error == MAD_ERROR_BADDATAPTR && run->frameStart < run->firstSample) {
        return MAD_FLOW_CONTINUE;
    }
    const auto offset = stream->this_frame ? stream->this_frame - run->start : 0;
    // Running into the guard bytes is how the data ends.
    if (std::size_t(offset) >= run->audioBytes) {
        return MAD_FLOW_CONTINUE;
    }
    if (stream->error == MAD_ERROR_LOSTSYNC) {
        // An ID3v2 tag where the next frame was expected (files put together) is skipped whole.
        const std::uint64_t tag =
            CMp3AudioSpan::Id3v2TagSize(stream->this_frame, run->audioBytes - std::size_t(offset));
        if (tag != 0) {
            const bool fits = tag <= run->audioBytes - std::size_t(offset);
            mad_stream_skip(stream, static_cast<unsigned long>(fits ? tag : CMp3AudioSpan::kId3v2HeaderSize));
            return MAD_FLOW_CONTINUE;
        }
    }
    // Once per kind of error: a damaged file must not fill the console at every play.
    if (run->reportedErrors->insert(static_cast<int>(stream->error)).second) {
        std::fprintf(stderr, "decoding error 0x%04x (%s) at byte offset %u\n", static_cast<unsigned>(stream->error),
                     mad_stream_errorstr(stream), static_cast<unsigned>(offset));
    }
    return MAD_FLOW_CONTINUE;
}

class CListenDecoder
{
public:
    explicit CListenDecoder(ListenRun& run)
    {
        mad_decoder_init(&m_decoder, &run, InputHandler, HeaderHandler, nullptr, OutputHandler, ErrorHandler, nullptr);
    }
    ~CListenDecoder() { mad_decoder_finish(&m_decoder); }
    CListenDecoder(const CListenDecoder&) = delete;
    CListenDecoder& operator=(const CListenDecoder&) = delete;

    int Run() { return mad_decoder_run(&m_decoder, MAD_DECODER_MODE_SYNC); }

private:
    mad_decoder m_decoder{};
};
} // namespace

bool CMp3ClipSource::Load(const QString& path)
{
    m_audio.clear();
    // Only regular files: a FIFO or a device would block or never end.
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray bytes = file.readAll();
    return file.error() == QFileDevice::NoError && LoadBytes(bytes);
}

bool CMp3ClipSource::LoadBytes(const QByteArray& bytes)
{
    m_audio.clear();
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    m_reportedErrors.clear();
    const CMp3AudioSpan audio = CMp3AudioSpan::InBuffer(data, static_cast<std::size_t>(bytes.size()));
    m_audio.assign(data + audio.Start(), data + audio.End());
    m_audio.resize(m_audio.size() + MAD_BUFFER_GUARD, 0);

    bool found = false;
    auto probe = MakeFrameSink([&](const mad_header&, const mad_pcm& pcm) {
        m_format = PcmFormat::Pcm16(pcm.channels, pcm.samplerate);
        found = true;
        return MAD_FLOW_STOP;
    });
    DecodeMp3Buffer(m_audio.data(), m_audio.size(), probe);
    return found && m_format.IsValid();
}

bool CMp3ClipSource::Run(std::int64_t startMs, const PcmConsumer& consumer)
{
    if (m_audio.empty()) {
        return false;
    }
    ListenRun run;
    run.start = m_audio.data();
    run.remaining = static_cast<unsigned long>(m_audio.size());
    run.audioBytes = m_audio.size() - MAD_BUFFER_GUARD;
    run.format = m_format;
    run.firstSample =
        static_cast<std::uint64_t>(std::max<std::int64_t>(startMs, 0)) * m_format.sampleRate / kMillisecondsPerSecond;
    run.consumer = &consumer;
    run.reportedErrors = &m_reportedErrors;
    run.pcm.resize(std::size_t(PcmFormat::kMaxChannels) * kBytesPerSample * kMaxFrameSamples);
    CListenDecoder decoder(run);
    return decoder.Run() == 0;
}

#include "audio/SplitSink.h"

#include "app/OutputTarget.h"
#include "audio/TranscodeContext.h"
#include "platform/ReplacementFile.h"
#include "tags/Mp3TagFile.h"

namespace
{
constexpr unsigned long kBitsPerKilobit = 1000;
constexpr std::size_t kBytesPerSample = 2;
} // namespace

CSplitSink::CSplitSink(QString basePath, int partCount, std::uint64_t sourceSamples)
    : m_basePath(std::move(basePath))
    , m_partCount(partCount)
    , m_sourceSamples(sourceSamples)
{}

CSplitSink::~CSplitSink() = default;

QString CSplitSink::PartPath(const QString& basePath, int partIndex)
{
    return partIndex == 1 ? basePath + QStringLiteral("_1.mp3") : basePath + QString::asprintf("_%d.mp3", partIndex);
}

bool CSplitSink::CreatePartFile()
{
    const QString partPath = PartPath(m_basePath, m_partIndex);
    if (const QString refusal = COutputTarget::Refusal(partPath, m_replaceExisting, {Context().inputPath});
        !refusal.isEmpty()) {
        m_errorText = refusal;
        return false;
    }
    m_part = std::make_unique<CReplacementFile>(partPath, m_replaceExisting ? CReplacementFile::Mode::Replace
                                                                            : CReplacementFile::Mode::CreateNew);
    if (!m_part->Create()) {
        m_errorText = QStringLiteral("Create File %1 Error").arg(m_part->TargetPath());
        m_part.reset();
        return false;
    }
    Context().outputPath = m_part->TemporaryPath();
    return true;
}

bool CSplitSink::CommitCurrentPart()
{
    if (!m_part) {
        return false;
    }
    if (m_tagParts) {
        TagFields tags = m_partTags;
        tags.track = m_partIndex;
        if (!CMp3TagFile::WriteInto(m_part->TemporaryPath(), tags)) {
            m_errorText = QStringLiteral("%1: its tags cannot be written").arg(m_part->TargetPath());
            m_part.reset();
            return false;
        }
    }
    if (!m_part->Commit()) {
        m_errorText = QStringLiteral("%1: cannot be written").arg(m_part->TargetPath());
        m_part.reset();
        return false;
    }
    m_writtenParts << m_part->TargetPath();
    m_part.reset();
    return true;
}

bool CSplitSink::SetUpFirstFrame(const Mp3FrameHeader& header, const DecodedPcm& pcm)
{
    CTranscodeContext& context = Context();
    context.format = RecordFormat::Pcm16(pcm.channels, pcm.sampleRate);
    context.bitrateKbps = static_cast<std::int32_t>(header.bitrate / kBitsPerKilobit);
    m_chunkBytes = static_cast<int>(WholeFramePcmBytes(header, pcm));
    if (!CreatePartFile()) {
        return false;
    }
    if (!context.EnsureEncoder(m_chunkBytes)) {
        m_errorText =
            QStringLiteral("%1: %2").arg(m_part->TargetPath(), CMp3StreamEncoder::ErrorText(context.encoderError));
        m_part.reset();
        return false;
    }
    context.SetDurationFromFile(context.inputPath);
    return true;
}

bool CSplitSink::BoundaryReached() const
{
    // Counted in samples, not seconds: whole seconds made parts of a 20 s file in three 6, 7
    // and 7 s long.
    return m_partIndex < m_partCount && m_sourceSamples > 0 &&
           m_samplesWritten * std::uint64_t(m_partCount) >= m_sourceSamples * std::uint64_t(m_partIndex);
}

bool CSplitSink::StartNextPart()
{
    CMp3StreamEncoder& encoder = *Context().encoder;
    // A partial chunk held back is the start of the next part: padded out here it would put
    // silence at every cut, since gapless frames no longer line up with the chunks.
    if (!encoder.Finish()) {
        m_errorText = QStringLiteral("%1: %2").arg(m_part ? m_part->TargetPath() : m_basePath,
                                                   CMp3StreamEncoder::ErrorText(encoder.LastError()));
        m_part.reset();
        return false;
    }
    if (!CommitCurrentPart()) {
        return false;
    }
    ++m_partIndex;
    if (!CreatePartFile()) {
        return false;
    }
    encoder.SetOutputPath(Context().outputPath);
    // The same chunk as the first part: the frames have not changed size.
    if (!encoder.Open(m_chunkBytes)) {
        m_errorText =
            QStringLiteral("%1: %2").arg(m_part->TargetPath(), CMp3StreamEncoder::ErrorText(encoder.LastError()));
        m_part.reset();
        return false;
    }
    return true;
}

FrameFlow CSplitSink::Deliver(const Mp3FrameHeader&, const std::uint8_t* pcm, std::size_t bytes)
{
    if (!m_firstFrameDelivered) {
        m_firstFrameDelivered = true;
    } else if (BoundaryReached() && !StartNextPart()) {
        return FrameFlow::Stop;
    }
    m_samplesWritten += bytes / (kBytesPerSample * FirstFrame()->channels);
    if (!EncodePcm(pcm, bytes)) {
        const CMp3StreamEncoder* encoder = Context().encoder.get();
        m_errorText = QStringLiteral("%1: %2").arg(
            PartPath(m_basePath, m_partIndex),
            CMp3StreamEncoder::ErrorText(encoder ? encoder->LastError() : CMp3StreamEncoder::Error::EncoderRefused));
        return FrameFlow::Stop;
    }
    return FrameFlow::Continue;
}

bool CSplitSink::CompleteLastPart()
{
    if (!m_part || !m_errorText.isEmpty()) {
        return false;
    }
    const CMp3StreamEncoder* encoder = Context().encoder.get();
    if (encoder && encoder->LastError() != CMp3StreamEncoder::Error::None) {
        m_errorText =
            QStringLiteral("%1: %2").arg(m_part->TargetPath(), CMp3StreamEncoder::ErrorText(encoder->LastError()));
        m_part.reset();
        return false;
    }
    return CommitCurrentPart();
}

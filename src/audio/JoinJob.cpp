#include "audio/JoinJob.h"

#include "app/OutputTarget.h"
#include "audio/JoinSink.h"
#include "audio/TranscodeContext.h"
#include "codec/FileByteSource.h"
#include "codec/Mp3Decoding.h"
#include "platform/AppEvent.h"
#include "platform/ReplacementFile.h"
#include "tags/Mp3TagFile.h"

namespace
{
constexpr float kUnityVolume = 1.0f;

QString OpenErrorText(const QString& path)
{
    return QStringLiteral("Open File %1 Error").arg(path);
}

QString EncoderErrorText(const QString& path, CMp3StreamEncoder::Error error)
{
    return QStringLiteral("%1: %2").arg(path, CMp3StreamEncoder::ErrorText(error));
}

// The context of the join lives from the first file to the end of Run, whatever way it ends.
struct ContextGuard
{
    ContextGuard() = default;
    ~ContextGuard() { CTranscodeContext::DestroyInstance(); }
    ContextGuard(const ContextGuard&) = delete;
    ContextGuard& operator=(const ContextGuard&) = delete;
};
} // namespace

CJoinJob::CJoinJob(QStringList files, std::int32_t bitrateKbps, QString outputPath, const RecordFormat& target)
    : m_files(std::move(files))
    , m_bitrateKbps(bitrateKbps)
    , m_outputPath(std::move(outputPath))
    , m_target(target)
{}

bool CJoinJob::Run()
{
    m_messages.clear();
    m_outputFailed = false;
    if (const QString refusal = COutputTarget::Refusal(m_outputPath, m_replaceExisting, m_files); !refusal.isEmpty()) {
        m_messages << refusal;
        return false;
    }
    CReplacementFile output(m_outputPath,
                            m_replaceExisting ? CReplacementFile::Mode::Replace : CReplacementFile::Mode::CreateNew);
    if (m_outputPath.isEmpty() || !output.Create()) {
        m_messages << QStringLiteral("Create File %1 Error").arg(m_outputPath);
        return false;
    }

    ContextGuard contextGuard;
    CTranscodeContext::DestroyInstance();
    CTranscodeContext& context = CTranscodeContext::Instance();
    context.owner = this;
    context.bitrateKbps = m_bitrateKbps;
    context.volumeScale = kUnityVolume;
    context.outputPath = output.TemporaryPath();

    for (int i = 0; i < m_files.size(); ++i) {
        if (m_cancelRequested) {
            break;
        }
        m_currentIndex = i;
        CAppEvent::Post(m_receiver, AppEventType::kJobProgress, i, 0);
        if (!ProcessFile(m_files.at(i))) {
            break;
        }
    }

    // A cancelled join leaves nothing under the output's name: a shorter file there would pass
    // for the whole join.
    bool written = !m_cancelRequested && FinishOutput();
    // The joined file is named and tagged after its first file.
    if (written && !m_files.isEmpty()) {
        const std::optional<CMp3TagFile::Reading> first = CMp3TagFile::Read(m_files.first());
        if (first && !first->FoundTags().isEmpty() && !CMp3TagFile::WriteInto(output.TemporaryPath(), first->fields)) {
            m_messages << QStringLiteral("%1: its tags cannot be written").arg(m_outputPath);
            written = false;
        }
    }
    if (written && !output.Commit()) {
        m_messages << QStringLiteral("%1: cannot be written").arg(m_outputPath);
        written = false;
    }
    m_state.Release();
    return written;
}

bool CJoinJob::ProcessFile(const QString& path)
{
    CTranscodeContext& context = CTranscodeContext::Instance();
    context.inputPath = path;
    context.frameCount = 0;
    context.elapsedSeconds = 0;
    context.SetDurationFromFile(path);

    CFileByteSource input;
    if (!input.Open(path)) {
        m_messages << OpenErrorText(path);
        return true; // the join goes on without it
    }
    CJoinSink sink(m_state, m_target);
    DecodeMp3(input, sink);
    if (sink.SetUpFailed()) {
        m_messages << EncoderErrorText(m_outputPath, context.encoderError);
        m_outputFailed = true;
        return false;
    }
    if (sink.EncodeFailed()) {
        const auto error = context.encoder ? context.encoder->LastError() : CMp3StreamEncoder::Error::EncoderRefused;
        m_messages << EncoderErrorText(m_outputPath, error);
        m_outputFailed = true;
        return false;
    }
    return true;
}

bool CJoinJob::FinishOutput()
{
    CTranscodeContext* context = CTranscodeContext::Existing();
    if (!context || !context->encoder) {
        if (!m_outputFailed) {
            m_messages << QStringLiteral("No MP3 frame was decoded; %1 was not written").arg(m_outputPath);
        }
        return false;
    }
    CMp3StreamEncoder& encoder = *context->encoder;
    const bool flushed =
        !m_outputFailed && m_state.FlushCarry([&encoder](const std::int16_t* samples, std::size_t count) {
            encoder.EncodeLastChunk(samples, static_cast<int>(count * sizeof(std::int16_t)));
            return encoder.LastError() == CMp3StreamEncoder::Error::None;
        });
    const bool finished = encoder.Finish();
    if (!m_outputFailed && !(flushed && finished)) {
        m_messages << EncoderErrorText(m_outputPath, encoder.LastError());
    }
    return flushed && finished;
}

#include "audio/SplitJob.h"

#include "app/OutputTarget.h"
#include "audio/Mp3Decoding.h"
#include "audio/SplitSink.h"
#include "audio/TranscodeContext.h"
#include "audio/WholeFile.h"
#include "platform/AppEvent.h"

#include <QFileInfo>

namespace
{
const QString kMp3Extension = QStringLiteral(".mp3");

struct ContextGuard
{
    ContextGuard() = default;
    ~ContextGuard() { CTranscodeContext::DestroyInstance(); }
    ContextGuard(const ContextGuard&) = delete;
    ContextGuard& operator=(const ContextGuard&) = delete;
};
} // namespace

CSplitJob::CSplitJob(QStringList files, float volumeScale, std::int32_t splitCount)
    : m_files(std::move(files))
    , m_volumeScale(volumeScale)
    , m_splitCount(splitCount)
{}

QString CSplitJob::BasePath(const QString& path)
{
    // The folders keep their case: a lower-cased folder would be another folder here.
    const int separator = path.lastIndexOf(QLatin1Char('/'));
    QString base = path.left(separator + 1) + path.mid(separator + 1).toLower();
    if (base.endsWith(kMp3Extension)) {
        base.chop(kMp3Extension.size());
    }
    return base;
}

bool CSplitJob::Run()
{
    m_messages.clear();
    m_writtenFiles.clear();
    bool allSplit = true;
    for (int i = 0; i < m_files.size(); ++i) {
        if (m_cancelRequested) {
            break;
        }
        m_currentIndex = i;
        CAppEvent::Post(m_receiver, AppEventType::kJobProgress, i, 0);
        allSplit = ProcessFile(m_files.at(i)) && allSplit;
    }
    return allSplit;
}

bool CSplitJob::ProcessFile(const QString& path)
{
    if (m_splitCount < kMinSplitCount || m_splitCount > kMaxSplitCount) {
        m_messages << QStringLiteral("The split count must be from %1 to %2").arg(kMinSplitCount).arg(kMaxSplitCount);
        return false;
    }
    // A part named like another file of the batch would replace that file before (or after)
    // it is split, and the user's recording would be gone.
    const QString clash = InputReplacedByPart(path);
    if (!clash.isEmpty()) {
        m_messages << QStringLiteral("%1: its part would replace %2, which is in the same batch; it was not split")
                          .arg(path, clash);
        return false;
    }
    ContextGuard contextGuard;
    CTranscodeContext::DestroyInstance();
    CTranscodeContext& context = CTranscodeContext::Instance();
    context.owner = this;
    context.volumeScale = m_volumeScale;
    context.inputPath = path;
    context.SetDurationFromFile(path);

    CWholeFile input;
    if (!input.Load(path)) {
        m_messages << QStringLiteral("Open File %1 Error").arg(path);
        return false;
    }
    CSplitSink sink(BasePath(path), m_splitCount);
    sink.SetReplaceExisting(m_replaceExisting);
    DecodeMp3Buffer(input.Data(), input.Size(), sink);
    // A cancel drops the part being written: only complete parts carry the part names.
    const bool complete = !m_cancelRequested && sink.CompleteLastPart();
    m_writtenFiles << sink.WrittenParts();
    if (m_cancelRequested) {
        return false;
    }
    if (!sink.ErrorText().isEmpty()) {
        m_messages << sink.ErrorText();
        return false;
    }
    if (sink.WrittenParts().isEmpty()) {
        m_messages << QStringLiteral("%1: no MP3 frame decodes; nothing was written").arg(path);
        return false;
    }
    return complete;
}

QStringList CSplitJob::ExistingParts() const
{
    QStringList existing;
    for (const QString& file : m_files) {
        const QString base = BasePath(file);
        for (int part = 1; part <= m_splitCount; ++part) {
            const QString partPath = CSplitSink::PartPath(base, part);
            if (COutputTarget::Examine(partPath) != COutputTarget::Verdict::New) {
                existing << partPath;
            }
        }
    }
    return existing;
}

QString CSplitJob::InputReplacedByPart(const QString& path) const
{
    const QString base = BasePath(path);
    for (const QString& input : m_files) {
        const QString inputPath = QFileInfo(input).absoluteFilePath();
        for (int part = 1; part <= m_splitCount; ++part) {
            if (QFileInfo(CSplitSink::PartPath(base, part)).absoluteFilePath() == inputPath) {
                return input;
            }
        }
    }
    return {};
}

#include "audio/SplitJob.h"

#include "app/OutputTarget.h"
#include "audio/SplitSink.h"
#include "audio/TranscodeContext.h"
#include "codec/FileByteSource.h"
#include "codec/Mp3Decoding.h"
#include "platform/AppEvent.h"
#include "platform/FileLock.h"
#include "tags/Mp3TagFile.h"

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
    // The name keeps its case: names that differ only in case are different files here, and
    // lower-cased parts of "A.mp3" and "a.mp3" would replace each other.
    QString base = path;
    if (base.endsWith(kMp3Extension, Qt::CaseInsensitive)) {
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
    const QString clash = BatchClash(path);
    if (!clash.isEmpty()) {
        m_messages << clash;
        return false;
    }
    ContextGuard contextGuard;
    CTranscodeContext::DestroyInstance();
    CTranscodeContext& context = CTranscodeContext::Instance();
    context.owner = this;
    context.volumeScale = m_volumeScale;
    context.inputPath = path;
    context.SetDurationFromFile(path);

    // Read in pieces under a shared lock held to the end, so a tag being written meanwhile
    // cannot be read half-way.
    CFileLock readLock;
    if (readLock.Acquire(path, CFileLock::Mode::Shared) == CFileLock::Result::Busy) {
        m_messages << CFileLock::BusyText(path);
        return false;
    }
    CFileByteSource input;
    if (!input.Open(path)) {
        m_messages << QStringLiteral("Open File %1 Error").arg(path);
        return false;
    }
    // The samples the decoder will give, gapless trim included, so the parts come out equal.
    CSplitSink sink(BasePath(path), m_splitCount, CountMp3Samples(input));
    sink.SetReplaceExisting(m_replaceExisting);
    if (const auto tags = CMp3TagFile::Read(path); tags && !tags->FoundTags().isEmpty()) {
        sink.SetPartTags(tags->fields);
    }
    DecodeMp3AndFinishEncoder(input, sink);
    readLock.Release();
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

QString CSplitJob::BatchClash(const QString& path) const
{
    const QString base = BasePath(path);
    QStringList partPaths;
    for (int part = 1; part <= m_splitCount; ++part) {
        partPaths << QFileInfo(CSplitSink::PartPath(base, part)).absoluteFilePath();
    }
    for (const QString& input : m_files) {
        if (partPaths.contains(QFileInfo(input).absoluteFilePath())) {
            return QStringLiteral("%1: its part would replace %2, which is in the same batch; it was not split")
                .arg(path, input);
        }
    }
    // "Song.mp3" and "Song.MP3" have the same parts; the one split first keeps them.
    const QString absoluteBase = QFileInfo(base).absoluteFilePath();
    for (int i = 0; i < m_files.size() && m_files.at(i) != path; ++i) {
        if (QFileInfo(BasePath(m_files.at(i))).absoluteFilePath() == absoluteBase) {
            return QStringLiteral(
                       "%1: its parts would replace those of %2, which is in the same batch; it was not split")
                .arg(path, m_files.at(i));
        }
    }
    return {};
}

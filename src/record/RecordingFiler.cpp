#include "record/RecordingFiler.h"

#include "codec/MediaLength.h"
#include "platform/NoReplaceRename.h"
#include "platform/Trash.h"
#include "record/RecordingNames.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

namespace
{
constexpr qsizetype kExtensionLength = 4;
constexpr const char* kContinuationNumberFormat = "%03d";
// NAME001 to NAME9999: far more than one name can collect, few enough to give up in time.
constexpr int kMaxContinuationNumber = 9999;

bool IsSameFile(const QString& a, const QString& b)
{
    const QString canonicalA = QFileInfo(a).canonicalFilePath();
    return !canonicalA.isEmpty() && canonicalA == QFileInfo(b).canonicalFilePath();
}

RecordingFiler::FilingResult Result(RecordingFiler::FilingOutcome outcome, const QString& path,
                                    const QString& reason = {})
{
    return {outcome, path, reason};
}

QString ErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}
} // namespace

namespace RecordingFiler
{
QString ContinuationName(const QString& destination, int number)
{
    if (number <= 0) {
        return destination;
    }
    const qsizetype stemLength = std::max<qsizetype>(destination.size() - kExtensionLength, 0);
    return destination.left(stemLength) + QString::asprintf(kContinuationNumberFormat, number) +
           destination.mid(stemLength);
}

FilingResult FileRecording(const QString& recordedPath, const QString& destination, const FilingRules& rules)
{
    const QFileInfo recorded(recordedPath);
    if (!recorded.isFile()) {
        return Result(FilingOutcome::NothingRecorded, {},
                      QStringLiteral("The recording \"%1\" does not exist.").arg(recordedPath));
    }
    if (recorded.size() == 0) {
        // Nothing ever reached the file: there is nothing to keep.
        QFile::remove(recordedPath);
        return Result(FilingOutcome::DiscardedAsEmpty, {});
    }

    // Judged by playing time: bytes say nothing about it across bit rates and sample rates.
    if (rules.trashShortRecordings && CMediaLength::QueryLength(recordedPath) < kShortRecordingMs) {
        const CTrash::Result trashed = CTrash::MoveToTrash(recordedPath);
        if (trashed.ok) {
            return Result(FilingOutcome::TrashedAsTooShort, trashed.trashedPath,
                          QStringLiteral("The recording \"%1\" played for less than one second and was moved to "
                                         "the trash.")
                              .arg(RecordingNames::FileNamePart(destination)));
        }
        // A recording that cannot go to the trash is filed as any other: it is not deleted.
    }

    if (IsSameFile(recordedPath, destination)) {
        return Result(FilingOutcome::Filed, destination);
    }

    const QByteArray from = QFile::encodeName(recordedPath);
    for (int number = 0; number <= kMaxContinuationNumber; ++number) {
        const QString target = ContinuationName(destination, number);
        const int error = NoReplaceRename::Rename(from, QFile::encodeName(target));
        if (error == 0) {
            return Result(FilingOutcome::Filed, target);
        }
        if (error != EEXIST && error != ENOTEMPTY) {
            return Result(
                FilingOutcome::KeptUnderTemporaryName, recordedPath,
                QStringLiteral("The recording could not be moved to \"%1\" (%2).").arg(target, ErrorText(error)));
        }
    }
    return Result(FilingOutcome::KeptUnderTemporaryName, recordedPath,
                  QStringLiteral("Every name from \"%1\" to \"%2\" is taken.")
                      .arg(destination, ContinuationName(destination, kMaxContinuationNumber)));
}
} // namespace RecordingFiler

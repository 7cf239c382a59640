#include "record/RecordingFiler.h"

#include "record/RecordingNames.h"

#include <QFile>
#include <QFileInfo>
#include <QLatin1StringView>
#include <algorithm>

namespace
{
constexpr qsizetype kExtensionLength = 4;
constexpr const char* kUnNamedExtension = ".Mp3";
constexpr const char* kSecondTrySuffix = "repeat.mp3";

QString WithoutExtension(const QString& path)
{
    return path.left(std::max<qsizetype>(path.size() - kExtensionLength, 0));
}

bool IsTaken(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

bool IsSameFile(const QString& a, const QString& b)
{
    const QString canonicalA = QFileInfo(a).canonicalFilePath();
    return !canonicalA.isEmpty() && canonicalA == QFileInfo(b).canonicalFilePath();
}

// The destination beside the one that could not be freed, named after a fresh "Un" file.
QString UnNamedDestination(const QString& destination, const QString& saveDirectory)
{
    const QString placeholder = RecordingNames::CreateUniqueTemporaryFile(saveDirectory);
    if (placeholder.isEmpty()) {
        return destination; // the move will fail on the occupied name and try "repeat.mp3"
    }
    const QString unName = WithoutExtension(RecordingNames::FileNamePart(placeholder));
    // The empty placeholder only lent its number; leaving it would litter the save folder.
    QFile::remove(placeholder);
    return WithoutExtension(destination) + unName + QLatin1StringView(kUnNamedExtension);
}

RecordingFiler::FilingResult Result(RecordingFiler::FilingOutcome outcome, const QString& path,
                                    const QString& reason = {})
{
    return {outcome, path, reason};
}
} // namespace

namespace RecordingFiler
{
FilingResult FileRecording(const QString& recordedPath, const QString& destination, const FilingRules& rules)
{
    const QFileInfo recorded(recordedPath);
    if (!recorded.isFile()) {
        // Removing an existing destination now would lose it with nothing to take its place.
        return Result(FilingOutcome::NothingRecorded, {},
                      QStringLiteral("The recording \"%1\" does not exist.").arg(recordedPath));
    }

    // Decided before making room, so a recording that is thrown away anyway does not take an
    // earlier file of the same name with it.
    if (recorded.size() < rules.shortRecordingBytes) {
        if (QFile::remove(recordedPath)) {
            return Result(FilingOutcome::DiscardedAsTooShort, {});
        }
        return Result(FilingOutcome::DiscardedAsTooShort, recordedPath,
                      QStringLiteral("The short recording \"%1\" could not be deleted.").arg(recordedPath));
    }

    if (IsSameFile(recordedPath, destination)) {
        return Result(FilingOutcome::Filed, destination);
    }

    QString target = destination;
    if (IsTaken(target) && !QFile::remove(target)) {
        target = UnNamedDestination(target, rules.saveDirectory);
    }

    QFile recording(recordedPath);
    if (recording.rename(target)) {
        return Result(FilingOutcome::Filed, target);
    }
    const QString firstError = recording.errorString();

    const QString secondTarget = WithoutExtension(target) + QLatin1StringView(kSecondTrySuffix);
    if (recording.rename(secondTarget)) {
        return Result(FilingOutcome::Filed, secondTarget);
    }
    return Result(FilingOutcome::KeptUnderTemporaryName, recordedPath,
                  QStringLiteral("The recording could not be moved to \"%1\" (%2) nor to \"%3\" (%4).")
                      .arg(target, firstError, secondTarget, recording.errorString()));
}
} // namespace RecordingFiler

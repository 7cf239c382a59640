#include "record/RecordingNames.h"

#include <QFile>
#include <QFileInfo>
#include <QLatin1StringView>
#include <QRandomGenerator>
#include <algorithm>
#include <climits>

namespace
{
constexpr QChar kSeparator = u'/';
constexpr QChar kExtensionDot = u'.';
constexpr qsizetype kExtensionLength = 4; // ".mp3", ".wav"
constexpr const char* kContinuationNumberFormat = "%03d";
constexpr const char* kTemporaryPrefix = "Un";
constexpr const char* kTemporarySuffix = ".tmp";
constexpr int kTemporaryNumberCount = 0x10000; // four hex digits
constexpr int kTemporaryNumberWidth = 4;
constexpr int kHexBase = 16;
constexpr qsizetype kMaxNameBytes = NAME_MAX;

QString ContinuationNumber(int counter)
{
    return QString::asprintf(kContinuationNumberFormat, counter);
}
} // namespace

namespace RecordingNames
{
QString WithMp3Extension(const QString& name)
{
    const QString ending = name.right(kExtensionLength);
    if (ending.toLower() == QLatin1StringView(kMp3Extension)) {
        return name;
    }
    QString result = name;
    if (ending.startsWith(kExtensionDot)) {
        result.chop(kExtensionLength);
    }
    return result + QLatin1StringView(kMp3Extension);
}

QString FileNamePart(const QString& path)
{
    return path.mid(path.lastIndexOf(kSeparator) + 1);
}

QString DirectoryPart(const QString& path)
{
    return path.left(path.lastIndexOf(kSeparator) + 1);
}

QString OutputPath(const QString& saveDirectory, const QDateTime& localNow)
{
    return saveDirectory + localNow.toString(QLatin1StringView(kOutputTimeFormat));
}

QString RecordFileTextAtStart(const QString& recordFileText, const QString& outputPath)
{
    if (!recordFileText.isEmpty()) {
        return recordFileText;
    }
    return WithMp3Extension(FileNamePart(outputPath));
}

QString DestinationPath(const QString& recordedPath, const QString& recordFileText)
{
    if (recordFileText.isEmpty()) {
        return WithMp3Extension(recordedPath);
    }
    return WithMp3Extension(DirectoryPart(recordedPath) + recordFileText);
}

QString ContinuationText(const QString& recordFileText, int newFileCounter)
{
    const int counter = std::max(newFileCounter, 0);
    // The ".mp3" rule first, so a text typed without an extension ("interview") loses only
    // the extension it was given, not the last letters of the name.
    QString base = WithMp3Extension(recordFileText);
    base.chop(kExtensionLength);
    // Only the number this sequence appended last time is replaced; a name the user changed
    // in the meantime keeps all of its characters.
    const QString previousNumber = ContinuationNumber(counter);
    if (counter != 0 && base.endsWith(previousNumber)) {
        base.chop(previousNumber.size());
    }
    return base + ContinuationNumber(counter + 1) + QLatin1StringView(kMp3Extension);
}

QString RecordFileTextProblem(const QString& text)
{
    if (text.contains(kSeparator)) {
        return QStringLiteral("the file name \"%1\" has a folder part; give a name only (the folder is the save "
                              "directory)")
            .arg(text);
    }
    const qsizetype bytes = QFile::encodeName(WithMp3Extension(text)).size();
    if (bytes > kMaxNameBytes) {
        return QStringLiteral("the file name is too long for the file system: %1 bytes with \".mp3\", at most %2")
            .arg(bytes)
            .arg(kMaxNameBytes);
    }
    return {};
}

QString CreateUniqueTemporaryFile(const QString& folder)
{
    if (folder.isEmpty()) {
        return {};
    }
    const QString directory = folder.endsWith(kSeparator) ? folder : folder + kSeparator;
    const int first = static_cast<int>(QRandomGenerator::global()->bounded(kTemporaryNumberCount));
    for (int step = 0; step < kTemporaryNumberCount; ++step) {
        const int number = (first + step) % kTemporaryNumberCount;
        const QString path = directory + QLatin1StringView(kTemporaryPrefix) +
                             QStringLiteral("%1").arg(number, kTemporaryNumberWidth, kHexBase, QChar(u'0')).toUpper() +
                             QLatin1StringView(kTemporarySuffix);
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            return path;
        }
        // Only a name that is taken (a dangling link counts) is worth another number; any other
        // failure, a read-only or missing folder, fails for every name.
        const QFileInfo existing(path);
        if (!existing.exists() && !existing.isSymLink()) {
            return {};
        }
    }
    return {};
}
} // namespace RecordingNames

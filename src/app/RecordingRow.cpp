#include "app/RecordingRow.h"

#include "record/RecordingNames.h"
#include "tags/Id3v1Tag.h"
#include "tags/Mp3TagFile.h"

#include <QFileInfo>

namespace
{
constexpr QChar kSeparator = QLatin1Char('/');
constexpr int kExtensionDotFromEnd = 4; // "x.mp3": the dot is the fourth character from the end
constexpr int kExtensionLength = 3;
constexpr const char* kMp3ExtensionLetters = "mp3";
constexpr int kQuarters = 4;
} // namespace

QString RecordingRow::FullPath() const
{
    return RecordingRows::JoinPath(folder, name);
}

namespace RecordingRows
{
std::optional<RecordingRow> Read(const QString& path, bool withTime)
{
    if (path.isEmpty()) {
        return std::nullopt;
    }
    const QString absolute = QFileInfo(path).isRelative() ? QFileInfo(path).absoluteFilePath() : path;
    CId3v1Tag tag;
    if (!tag.LoadTag(absolute, withTime)) {
        return std::nullopt;
    }
    RecordingRow row;
    row.name = RecordingNames::FileNamePart(absolute);
    row.folder = RecordingNames::DirectoryPart(absolute);
    row.folder.chop(1); // the separator itself belongs to neither column
    row.sizeText = SizeText(QFileInfo(absolute).size());
    if (withTime) {
        row.timeText = FormatMinSec(tag.Duration());
    }
    return row;
}

QString TagToolTip(const QString& path)
{
    const std::optional<CMp3TagFile::Reading> reading = CMp3TagFile::Read(path);
    if (!reading) {
        return {};
    }
    QStringList lines;
    const auto add = [&lines](const char* caption, const QString& value) {
        if (!value.isEmpty()) {
            lines << QStringLiteral("%1: %2").arg(QLatin1String(caption), value);
        }
    };
    add("Title", reading->fields.title);
    add("Artist", reading->fields.artist);
    add("Album", reading->fields.album);
    return lines.join(QLatin1Char('\n'));
}

QString SizeText(qint64 bytes)
{
    return QStringLiteral("%1KB").arg(bytes / kBytesPerKilobyte);
}

QString JoinPath(const QString& folder, const QString& name)
{
    return folder + kSeparator + name;
}

QString SaveAsPath(const QString& chosenPath)
{
    if (chosenPath.size() >= kExtensionDotFromEnd &&
        chosenPath.at(chosenPath.size() - kExtensionDotFromEnd) == QLatin1Char('.')) {
        return chosenPath.left(chosenPath.size() - kExtensionLength) + QLatin1String(kMp3ExtensionLetters);
    }
    return chosenPath + QLatin1Char('.') + QLatin1String(kMp3ExtensionLetters);
}

std::array<int, kColumnCount> ColumnWidths(int clientWidth)
{
    constexpr int kNameMargin = 15;
    constexpr int kSizeExtra = 25;
    constexpr int kTimeMargin = 20;
    constexpr int kFolderExtra = 10;
    const int quarter = clientWidth / kQuarters;
    return {(quarter * 3) / 2 - kNameMargin, quarter / 2 + kSizeExtra, quarter - kTimeMargin, quarter + kFolderExtra};
}
} // namespace RecordingRows

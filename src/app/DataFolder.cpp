#include "app/DataFolder.h"

#include "platform/ExecutableDirectory.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <unistd.h>

namespace
{
constexpr const char* kConfigHomeVariable = "XDG_CONFIG_HOME";
constexpr const char* kDefaultConfigFolder = ".config";
constexpr const char* kApplicationFolder = "sorvane";

QString EnvironmentPath(const char* name)
{
    return QString::fromLocal8Bit(qgetenv(name));
}

// A folder is only worth choosing when Sorvane can both create it and write into it; an
// installed program's own folder is usually read-only.
bool IsUsableFolder(const QString& path)
{
    if (!QDir().mkpath(path) || !QFileInfo(path).isDir()) {
        return false;
    }
    return ::access(QFile::encodeName(path).constData(), W_OK | X_OK) == 0;
}

QString ConfigFallbackPath()
{
    QString configHome = EnvironmentPath(kConfigHomeVariable);
    // Relative values are invalid for this variable and would depend on the working folder.
    if (configHome.isEmpty() || QDir::isRelativePath(configHome)) {
        configHome = QDir::homePath() + QLatin1Char('/') + QLatin1String(kDefaultConfigFolder);
    }
    return QDir::cleanPath(configHome + QLatin1Char('/') + QLatin1String(kApplicationFolder) + QLatin1Char('/') +
                           QLatin1String(CDataFolder::kFolderName));
}
} // namespace

QString CDataFolder::Path()
{
    return PathFor(ExecutableDirectory());
}

QString CDataFolder::PathFor(const QString& executableDirectory)
{
    const QString overridePath = EnvironmentPath(kOverrideVariable);
    if (!overridePath.isEmpty()) {
        return QDir::cleanPath(overridePath);
    }
    if (!executableDirectory.isEmpty()) {
        const QString beside = QDir::cleanPath(executableDirectory + QLatin1Char('/') + QLatin1String(kFolderName));
        if (IsUsableFolder(beside)) {
            return beside;
        }
    }
    return ConfigFallbackPath();
}

QString CDataFolder::FilePath(const QString& fileName)
{
    return Path() + QLatin1Char('/') + fileName;
}

QString CDataFolder::UserDefaultFolder()
{
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    QString folder = (!music.isEmpty() && QFileInfo(music).isDir()) ? music : QDir::homePath();
    if (!folder.endsWith(QLatin1Char('/'))) {
        folder += QLatin1Char('/');
    }
    return folder;
}

#pragma once

#include <QString>

// Where Sorvane keeps its settings and folder-memory files, and the folder that stands in for
// a drive root until the user has chosen one.
class CDataFolder
{
public:
    static constexpr const char* kOverrideVariable = "SORVANE_DATA_DIR";
    static constexpr const char* kFolderName = "Data";

    // SORVANE_DATA_DIR when set; else "Data" beside the executable when that folder exists or
    // can be created, and is writable; else $XDG_CONFIG_HOME/sorvane/Data. No trailing separator.
    static QString Path();
    // The same choice for an executable living in executableDirectory.
    static QString PathFor(const QString& executableDirectory);
    static QString FilePath(const QString& fileName);

    // The user's Music folder, or the home folder when there is none; always ends with "/".
    static QString UserDefaultFolder();
};

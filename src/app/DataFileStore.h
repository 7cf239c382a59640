#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Small per-key files in the Data folder (key + ".dat"): a 4-byte little-endian length, then
// that many bytes. File dialogs keep their last folder in them.
namespace DataFileStore
{
inline constexpr const char* kOpenDirKey = "OpenDir";
inline constexpr const char* kSelectionSaveDirKey = "SWFFilePath";
inline constexpr const char* kOpenWavDirKey = "OpenDir_Wav";
inline constexpr const char* kExtension = ".dat";

// Data folder + key + ".dat"; empty for a key that could name a file elsewhere.
QString FilePath(const QString& key);

// The payload, or nothing when the file is missing, unreadable or shorter than it claims.
std::optional<QByteArray> LoadDataFile(const QString& key);
// Replaces the file atomically, creating the Data folder when needed.
bool SaveDataFile(const QString& key, const QByteArray& payload);

// The file image <-> payload conversions behind the two calls above.
std::optional<QByteArray> ParseDataFile(const QByteArray& fileBytes);
std::optional<QByteArray> EncodeDataFile(const QByteArray& payload);

// A remembered folder is stored as its text plus a terminating zero byte.
QString FolderFromPayload(const QByteArray& payload);
QByteArray PayloadFromFolder(const QString& folder);

// The remembered folder for key; fallback (by default the user's default folder) when none.
QString LoadFolder(const QString& key);
QString LoadFolder(const QString& key, const QString& fallback);
bool SaveFolder(const QString& key, const QString& folder);
} // namespace DataFileStore

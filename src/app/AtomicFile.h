#pragma once

#include <QByteArray>
#include <QString>

// Replaces path with bytes so that a crash or a failed write leaves either the old file or the
// new one, never a mixture: the bytes go to a temporary file in the same folder, which is then
// renamed over the target. The folder is created first when missing.
bool WriteFileAtomically(const QString& path, const QByteArray& bytes);

#pragma once

#include <QByteArray>

// rename() that never replaces what already stands at the target: it fails with EEXIST instead.
namespace NoReplaceRename
{
// 0 on success, else the errno of the failure.
int Rename(const QByteArray& from, const QByteArray& to);
} // namespace NoReplaceRename

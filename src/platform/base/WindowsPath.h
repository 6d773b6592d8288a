#pragma once
// Paths the program composes from its own texts ("LonWorks Path" + "\types\User") use "\" and match
// folder names case-insensitively, as Windows does. Here they become "/" paths whose components are
// matched, one by one, against what exists on disk.
#include <QString>

namespace winpath {

// Turns "\" into "/" and, component by component, picks the existing entry whose name equals the
// wanted one ignoring case (an exact match wins). Components that do not exist are kept as written,
// so the result also serves as the path of a file about to be created.
QString Resolve(const QString& windowsPath);

// The same matching for a "/" path made of names the file system gave: a "\" there is part of a
// name (Linux allows it) and stays as it is.
QString MatchCase(const QString& path);

// Joins a folder and a relative part with exactly one "/" between them.
QString Join(const QString& folder, const QString& relative);

}  // namespace winpath

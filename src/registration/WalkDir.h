#pragma once
// The folder walk that finds a device's external interface file (XIF) by its program ID, and the
// reading of that ID from a file's first lines.
#include <QString>

namespace WalkDir {

// Depth first below folder: the folder's own *.xif files (any case) before its subfolders, the first
// file whose program ID equals programId (upper-cased first) wins; "folder/name", or empty. Names
// beginning with "." are hidden and skipped; a folder reached twice (a loop through symbolic links)
// is searched once; folders and files that cannot be read are passed over.
QString FindXifInFolder(const QString& folder, const QString& programId);

// True for an existing folder (a symbolic link to one included).
bool IsFolder(const QString& path);

// The program ID written on line 4 of the XIF at path, or on line 5 when line 4 is blank: "80:00:D3:.."
// (hexadecimal form) gives "8000D3..", a line beginning with a character after "8" is the text form
// (each pair a character code, "00" a blank, eight blanks appended). Empty for a path not ending in
// ".xif" (any case) or a file that cannot be read. Reads no more than the first lines.
QString XifProgramId(const QString& path);

}  // namespace WalkDir

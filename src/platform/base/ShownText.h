#pragma once
// How a message shows text that someone gave it (a value, a path, a name, another program's words):
// whole when short, else its beginning and its length, so that a 100 KB value makes a line a person
// can read rather than a 100 KB one.
#include <QString>

namespace shown {

// Texts up to this many characters are shown whole.
constexpr qsizetype MaxShownLength = 64;

// The text itself, or its first characters followed by "... (N characters)".
QString Shown(const QString& text);

}  // namespace shown

#pragma once
// How a message shows text that someone gave it (a value, a path, a name, another program's words):
// whole when short, else its beginning and its length, so that a 100 KB value makes a line a person
// can read rather than a 100 KB one.
#include <QByteArray>
#include <QString>

namespace shown {

// Texts up to this many characters are shown whole.
constexpr qsizetype MaxShownLength = 64;

// The text itself, or its first characters followed by "... (N characters)"; a NUL written as \u0000.
QString Shown(const QString& text);

// True when the bytes are UTF-8: a name given as bytes (a file name, an argument) is then the same name
// when held as text. Any other byte would be read as a replacement character, and two names as one.
bool IsUtf8(const QByteArray& bytes);
// Bytes as a message shows them: UTF-8 as text, any other byte as \xNN ("x\xe9y").
QString ShownBytes(const QByteArray& bytes);

// A connection setting (a postgresql:// URI as psql takes it, or keyword=value pairs) as anything
// shown shows it: every password in it replaced by "***", whichever form gives it (user:password@,
// password= or sslpassword= in the query, its key percent-encoded or not, or a keyword value, quoted
// or not). Anything else in it stays as given.
QString WithoutPasswords(const QString& setting);

}  // namespace shown

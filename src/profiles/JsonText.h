#pragma once
// JSON text written by hand where the key order matters to a reader (profiles) or the size makes
// the generic writer slow (reports of a thousand devices).
#include <QString>

#include <optional>

namespace profiles {

// The text as a JSON string literal: quotes, backslashes and control characters escaped.
QString JsonString(const QString& text);
// The same, appended to out (no copy of the literal on the way).
void AppendJsonString(QString& out, const QString& text);

// The first key that an object of the JSON text holds twice, at any depth (a parser keeps only one
// of them, silently); nothing when there is none. The text must be JSON a parser accepts.
std::optional<QString> FirstDuplicateKey(const QString& json);

}  // namespace profiles

#pragma once
// The director's verbs: each file defines its verbs with a static Verb registration.
#include <QString>
#include <QStringList>
#include <functional>

namespace director {

struct Verb {
    QString name;     // "session", "reg", ...
    QString usage;    // one line, printed by --help
    QString help;     // the verb's --help text
    std::function<int(const QStringList& arguments)> run;  // arguments after the verb
};

// Registers a verb at start-up; returns true so it can initialise a static.
bool RegisterVerb(Verb verb);
const QList<Verb>& Verbs();

// Prints to standard output / standard error (UTF-8).
void Out(const QString& line);
void Err(const QString& line);

}  // namespace director

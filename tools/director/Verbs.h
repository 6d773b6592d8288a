#pragma once
// The director's verbs: each file defines its verbs with a static Verb registration.
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <functional>

namespace director {

struct Verb {
    QString name;                                          // "session", "reg", ...
    QString usage;                                         // one line, printed by --help
    QString help;                                          // the verb's --help text
    std::function<int(const QStringList& arguments)> run;  // arguments after the verb
};

// Registers a verb at start-up; returns true so it can initialise a static.
bool RegisterVerb(Verb verb);
const QList<Verb>& Verbs();

// Runs session steps ("create", "set networkName Demo", "send 13 7 PATH", ...) against the plug-in on
// the session bus, printing each result; returns the session's exit status (1 after an error).
int RunSessionSteps(const QStringList& steps);

// Prints to standard output / standard error (UTF-8).
void Out(const QString& line);
void Err(const QString& line);

// "--json" among a verb's arguments: takes it out and says whether it was there. Such a verb prints one
// JSON document on standard output instead of its lines; errors stay lines on standard error.
bool TakeJsonOption(QStringList& arguments);
void OutJson(const QJsonObject& document);

}  // namespace director

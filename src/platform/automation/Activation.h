#pragma once
// The activation file that lets the session bus start the server on demand, the counterpart of a
// local server's class registration: $XDG_DATA_HOME/dbus-1/services/<service>.service.
#include <QByteArray>
#include <QString>
#include <optional>

namespace automation {

QString ActivationFilePath(const QString& serviceName);
// Writes the file whose Exec starts executable with "-Embedding"; false when it cannot be written.
bool WriteActivationFile(const QString& serviceName, const QString& executable);
// Removes it; true when it is gone afterwards.
bool RemoveActivationFile(const QString& serviceName);

// The file's bytes as they are now, nothing when there is none: what a failed registration puts back.
std::optional<QByteArray> ReadActivationFile(const QString& serviceName);
// Puts back what ReadActivationFile gave: those bytes, or no file; true when that is what is there.
bool RestoreActivationFile(const QString& serviceName, const std::optional<QByteArray>& content);

}  // namespace automation

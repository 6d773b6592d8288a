#pragma once
// The activation file that lets the session bus start the server on demand, the counterpart of a
// local server's class registration: $XDG_DATA_HOME/dbus-1/services/<service>.service.
#include <QString>

namespace automation {

QString ActivationFilePath(const QString& serviceName);
// Writes the file whose Exec starts executable with "-Embedding"; false when it cannot be written.
bool WriteActivationFile(const QString& serviceName, const QString& executable);
// Removes it; true when it is gone afterwards.
bool RemoveActivationFile(const QString& serviceName);

}  // namespace automation

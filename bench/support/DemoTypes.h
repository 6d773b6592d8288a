#pragma once
#include <QString>

namespace bench {

// The demo installation's resource files, copied into the types folder below lonWorksPath and indexed
// there, so that the thermostat's own types format as they do for the plug-in. Returns what went
// wrong, or nothing.
QString InstallDemoTypes(const QString& lonWorksPath);

}  // namespace bench

#pragma once
// Where the LonWorks installation lives: the machine value "LonWorks Path" under "SOFTWARE\LonWorks",
// by default $XDG_DATA_HOME/LonWorks.
#include <QString>

namespace registry {

inline const char* const LonWorksKey = "SOFTWARE\\LonWorks";
inline const char* const LonWorksPathValue = "LonWorks Path";

// A text value under the LonWorks key, as stored (empty when missing).
QString LonWorksSetting(const QString& valueName);
// The folder named by the registry value (as stored, which may be empty).
QString LonWorksPathSetting();
// Names the folder in the registry; false when the registry cannot be written.
bool SetLonWorksPathSetting(const QString& path);
// The folder to use when the value is missing: $XDG_DATA_HOME/LonWorks.
QString DefaultLonWorksPath();
// The setting, or the default when it is empty.
QString LonWorksPath();

}  // namespace registry

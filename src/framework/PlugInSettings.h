#pragma once
// The plug-in's two settings, kept as text values in its registry key: the display units and the
// debug switch (a session loads them into its own DisplayUnits and DebugMode).
#include <QString>

namespace framework {

// Reads "DisplayUnits": 0 exactly for the text "0", otherwise 1.
qint16 ReadDisplayUnitsSetting();
// Writes the units as "0" or "1".
void WriteDisplayUnitsSetting(qint16 units);
// Reads "Debug": 1 when its numeric value, rounded to an integer, is 1; otherwise 0.
qint16 ReadDebugSetting();

}  // namespace framework

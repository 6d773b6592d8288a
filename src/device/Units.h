#pragma once
// The two unit systems a value is shown in: 0 metric, 1 imperial.
#include <QString>

namespace device {

// "ºC", "ºF" or "ºX" (the first character is U+00BA, the masculine ordinal indicator).
QString UnitSymbol(qint16 units);
// The format suffix that asks the object server for the units: "#SI" for metric, "#US" otherwise.
QString UnitSuffix(qint16 units);

}  // namespace device

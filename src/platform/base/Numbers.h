#pragma once
// Numbers as the program reads them from and writes them into texts: "." is the decimal separator
// whatever the user's locale, as the object server writes it.
#include <QString>
#include <optional>

namespace numbers {

// The leading number of a text ("21.5abc" gives 21.5, "  -3" gives -3), 0 when it starts with none.
double Val(const QString& text);
// True when the whole text (blanks around it allowed) is a number; an empty text is not, nor one
// with thousands separators ("21,500"): a comma separates the fields of a device value.
bool IsNumeric(const QString& text);
// The text as a number when it is numeric.
std::optional<double> ToNumber(const QString& text);
// Rounds to the nearest integer, a half to the even neighbour (2.5 gives 2, 3.5 gives 4).
double RoundHalfEven(double value);
// Rounds to a 16-bit integer, halves to even; nothing when it does not fit.
std::optional<qint16> ToInt16(double value);
// The plain shortest decimal form, as the object server writes and reads numbers: 22 (not 22.0 or
// +22), 21.5, 31.95, -2.5, 0.5 (not .5), 100000000000000000000 (not 1e+20). At most 15 significant
// digits, so that the binary noise of a sum (20.1 + 2.2) does not show.
QString ShortestNumber(double value);

}  // namespace numbers

#pragma once
// The Global module: rounding of field values, the object server's error texts, and the numbers of
// the program's own run-time failures (raised as com::ComError like every other failure).
#include "platform/base/ComError.h"
#include "platform/objectserver/ObjectServer.h"

#include <QString>

namespace Global {

inline constexpr qint32 ObjectServerErrorBase = lns::ObjectServerErrorBase;

// Run-time failures of the data model, numbered as a Basic runtime numbers them, so that a message
// box or a log row shows a familiar number.
inline constexpr qint32 ErrInvalidArgument = 5;
inline constexpr qint32 ErrOverflow = 6;
inline constexpr qint32 ErrSubscriptOutOfRange = 9;
inline constexpr qint32 ErrDivisionByZero = 11;
inline constexpr qint32 ErrTypeMismatch = 13;
inline constexpr qint32 ErrObjectNotSet = 91;
inline constexpr qint32 ErrKeyInUse = 457;

// Raises one of the failures above with its usual description.
[[noreturn]] void Raise(qint32 number, const QString& source);

// The fixed text of an object-server error code (the number minus ObjectServerErrorBase): 18200,
// 18034 and 18035 have one; any other code gives an empty text.
Sentence::Part ObjectServerErrorText(qint64 code);

// value rounded to a multiple of step, halves to the even multiple (21.25 by 0.5 gives 21). A value
// that is not numeric gives 0; a step of 0 raises ErrDivisionByZero; a quotient beyond the 32-bit
// range raises ErrOverflow.
double RoundToStep(const QString& value, double step);
double RoundToStep(double value, double step);

}  // namespace Global

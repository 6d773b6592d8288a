#include "device/Global.h"

#include "platform/base/Numbers.h"

#include <cmath>
#include <limits>

namespace Global {

void Raise(qint32 number, const QString& source)
{
    const char* description = nullptr;
    switch (number) {
    case ErrOverflow: description = QT_TRANSLATE_NOOP("Runtime", "Overflow"); break;
    case ErrSubscriptOutOfRange: description = QT_TRANSLATE_NOOP("Runtime", "Subscript out of range"); break;
    case ErrDivisionByZero: description = QT_TRANSLATE_NOOP("Runtime", "Division by zero"); break;
    case ErrTypeMismatch: description = QT_TRANSLATE_NOOP("Runtime", "Type mismatch"); break;
    case ErrObjectNotSet: description = QT_TRANSLATE_NOOP("Runtime", "Object variable not set"); break;
    case ErrKeyInUse:
        description = QT_TRANSLATE_NOOP("Runtime", "This key is already associated with an element of this collection");
        break;
    default: description = QT_TRANSLATE_NOOP("Runtime", "Application-defined or object-defined error"); break;
    }
    throw com::ComError(number, source, Sentence("Runtime", description));
}

Sentence::Part ObjectServerErrorText(qint64 code)
{
    const char* text = nullptr;
    switch (code) {
    case lns::ErrDeviceCommunication:
        text = QT_TRANSLATE_NOOP("Runtime", "Failed to communicate with target device.");
        break;
    case lns::ErrWriteFailed:
        text = QT_TRANSLATE_NOOP("Runtime", "Failed to write data to the network variable object.");
        break;
    case lns::ErrFormatFailed:
        text = QT_TRANSLATE_NOOP("Runtime", "An attempt to format the requested data has failed.");
        break;
    default: return QString();
    }
    return Sentence("Runtime", text);
}

double RoundToStep(double value, double step)
{
    if (!std::isfinite(value))
        return 0;
    if (step == 0)
        Raise(ErrDivisionByZero, QStringLiteral("RoundToStep"));
    const double quotient = numbers::RoundHalfEven(value / step);
    if (!std::isfinite(quotient) || quotient < std::numeric_limits<qint32>::min() ||
        quotient > std::numeric_limits<qint32>::max())
        Raise(ErrOverflow, QStringLiteral("RoundToStep"));
    return static_cast<qint32>(quotient) * step;
}

double RoundToStep(const QString& value, double step)
{
    const auto number = numbers::ToNumber(value);
    if (!number)
        return 0;
    return RoundToStep(*number, step);
}

}  // namespace Global

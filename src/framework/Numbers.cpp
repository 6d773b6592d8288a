#include "framework/Numbers.h"

#include <QLocale>
#include <QRegularExpression>
#include <cmath>
#include <limits>

namespace framework {

double Val(const QString& text)
{
    static const QRegularExpression leading(QStringLiteral("^\\s*([+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?)"));
    const QRegularExpressionMatch m = leading.match(text);
    if (!m.hasMatch())
        return 0;
    bool ok = false;
    const double v = QLocale::c().toDouble(m.captured(1), &ok);
    return ok && std::isfinite(v) ? v : 0;
}

std::optional<double> ToNumber(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double v = c.toDouble(t, &ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

bool IsNumeric(const QString& text)
{
    return ToNumber(text).has_value();
}

double RoundHalfEven(double value)
{
    return std::nearbyint(value);  // the default rounding mode: to nearest, ties to even
}

std::optional<qint16> ToInt16(double value)
{
    const double r = RoundHalfEven(value);
    if (!std::isfinite(r) || r < std::numeric_limits<qint16>::min() || r > std::numeric_limits<qint16>::max())
        return std::nullopt;
    return static_cast<qint16>(r);
}

QString ShortestNumber(double value)
{
    if (value == 0)
        return QStringLiteral("0");
    const QLocale c = QLocale::c();
    // Rounded to 15 significant digits first, then written out in full without an exponent.
    const double rounded = c.toDouble(c.toString(value, 'g', 15));
    return c.toString(rounded, 'f', QLocale::FloatingPointShortest);
}

}  // namespace framework

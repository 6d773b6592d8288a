#include "platform/base/Numbers.h"

#include <QLocale>
#include <QRegularExpression>
#include <charconv>
#include <cmath>
#include <iterator>
#include <limits>
#include <string>
#include <string_view>
#include <system_error>

namespace numbers {

namespace {

// A plain decimal, -?(0|[1-9][0-9]*)(.[0-9]+)?, as the device's values are written: read directly,
// without the locale's general parser (a profile apply reads thousands). Anything else is left to that
// parser.
std::optional<double> PlainDecimal(const QString& text)
{
    constexpr qsizetype Longest = 24;
    if (text.isEmpty() || text.size() > Longest)
        return std::nullopt;
    char ascii[Longest];
    qsizetype i = 0;
    for (const QChar c : text)
        ascii[i++] = c.unicode() < 0x80 ? char(c.unicode()) : '\0';
    const char* p = ascii;
    const char* const end = ascii + text.size();
    const auto digits = [&] {
        const char* start = p;
        while (p != end && *p >= '0' && *p <= '9')
            ++p;
        return p - start;
    };
    if (p != end && *p == '-')
        ++p;
    const char* const integer = p;
    const auto integerDigits = digits();
    if (integerDigits == 0 || (integerDigits > 1 && *integer == '0'))
        return std::nullopt;
    if (p != end && *p == '.') {
        ++p;
        if (digits() == 0)
            return std::nullopt;
    }
    double value = 0;
    if (p != end || std::from_chars(ascii, end, value).ptr != end)
        return std::nullopt;
    return value;
}

}  // namespace

double Val(const QString& text)
{
    if (const auto plain = PlainDecimal(text))
        return *plain;
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
    if (const auto plain = PlainDecimal(t))
        return plain;
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
    // The shortest digits that read back as the value; when there are 15 or fewer, rounding to 15
    // significant digits keeps them, and they are written out without an exponent here, which is
    // much quicker than the locale's two conversions (a profile apply writes thousands).
    char buffer[32];
    const auto written = std::to_chars(std::begin(buffer), std::end(buffer), value, std::chars_format::scientific);
    const std::string_view text(buffer, std::size_t(written.ptr - buffer));
    const std::size_t e = text.find('e');
    const bool negative = text.front() == '-';
    std::string digits;
    for (const char c : text.substr(negative ? 1 : 0, e - (negative ? 1 : 0)))
        if (c != '.')
            digits += c;
    int exponent = 0;
    if (written.ec == std::errc() && e != std::string_view::npos && digits.size() <= 15 &&
        std::from_chars(text.data() + e + (text[e + 1] == '+' ? 2 : 1), text.data() + text.size(), exponent).ec ==
            std::errc()) {
        const auto point = std::ptrdiff_t(exponent) + 1;  // digits before the decimal point
        const auto count = std::ptrdiff_t(digits.size());
        std::string out = negative ? "-" : "";
        if (point <= 0)
            out += "0." + std::string(std::size_t(-point), '0') + digits;
        else if (point >= count)
            out += digits + std::string(std::size_t(point - count), '0');
        else
            out += digits.substr(0, std::size_t(point)) + '.' + digits.substr(std::size_t(point));
        return QString::fromLatin1(out.data(), qsizetype(out.size()));
    }
    // Rounded to 15 significant digits first, then written out in full without an exponent.
    const QLocale c = QLocale::c();
    const double rounded = c.toDouble(c.toString(value, 'g', 15));
    return c.toString(rounded, 'f', QLocale::FloatingPointShortest);
}

}  // namespace numbers

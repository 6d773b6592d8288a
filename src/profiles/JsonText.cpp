#include "profiles/JsonText.h"

#include <algorithm>

namespace profiles {

QString JsonString(const QString& text)
{
    QString out;
    out.reserve(text.size() + 2);
    AppendJsonString(out, text);
    return out;
}

void AppendJsonString(QString& out, const QString& text)
{
    // No reserve here: a report appends thousands of these, and growing in steps is what keeps that linear.
    out += QLatin1Char('"');
    const bool plain = std::all_of(text.begin(), text.end(), [](QChar c) {
        return c.unicode() >= 0x20 && c != QLatin1Char('"') && c != QLatin1Char('\\');
    });
    if (plain) {
        out += text;
        out += QLatin1Char('"');
        return;
    }
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '"': out += QLatin1String("\\\""); break;
        case '\\': out += QLatin1String("\\\\"); break;
        case '\n': out += QLatin1String("\\n"); break;
        case '\r': out += QLatin1String("\\r"); break;
        case '\t': out += QLatin1String("\\t"); break;
        default:
            if (c.unicode() < 0x20)
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    out += QLatin1Char('"');
}

}  // namespace profiles

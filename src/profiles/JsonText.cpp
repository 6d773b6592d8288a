#include "profiles/JsonText.h"

#include <algorithm>
#include <set>
#include <vector>

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

namespace {

// The string whose opening quote is at json[start], its escapes decoded; end is set to its closing quote.
QString StringAt(const QString& json, qsizetype start, qsizetype& end)
{
    QString text;
    qsizetype i = start + 1;
    for (; i < json.size() && json[i] != QLatin1Char('"'); ++i) {
        if (json[i] != QLatin1Char('\\')) {
            text += json[i];
            continue;
        }
        const QChar escaped = json[++i];
        switch (escaped.unicode()) {
        case 'b': text += QLatin1Char('\b'); break;
        case 'f': text += QLatin1Char('\f'); break;
        case 'n': text += QLatin1Char('\n'); break;
        case 'r': text += QLatin1Char('\r'); break;
        case 't': text += QLatin1Char('\t'); break;
        case 'u':
            // A surrogate pair arrives as two escapes, each one UTF-16 unit: appended as they come.
            text += QChar(char16_t(json.mid(i + 1, 4).toUShort(nullptr, 16)));
            i += 4;
            break;
        default: text += escaped;
        }
    }
    end = i;
    return text;
}

}  // namespace

std::optional<QString> FirstDuplicateKey(const QString& json)
{
    struct Container {
        bool object = false;
        bool keyNext = false;
        std::set<QString> keys;
    };
    std::vector<Container> open;
    for (qsizetype i = 0; i < json.size(); ++i) {
        switch (json[i].unicode()) {
        case '"': {
            const QString text = StringAt(json, i, i);
            if (!open.empty() && open.back().object && open.back().keyNext) {
                if (!open.back().keys.insert(text).second)
                    return text;
                open.back().keyNext = false;
            }
            break;
        }
        case '{': open.push_back({true, true, {}}); break;
        case '[': open.push_back({false, false, {}}); break;
        case '}':
        case ']': open.pop_back(); break;
        case ',':
            if (!open.empty() && open.back().object)
                open.back().keyNext = true;
            break;
        default: break;
        }
    }
    return std::nullopt;
}

}  // namespace profiles

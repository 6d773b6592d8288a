#include "platform/base/Sentence.h"

#include <QCoreApplication>

namespace {

// %1 to %9 replaced in one pass, so a value that itself holds "%2" stays as it is.
QString Fill(const QString& pattern, const QList<Sentence::Part>& parts, QString Sentence::Part::*text)
{
    QString out;
    out.reserve(pattern.size());
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        if (c == QLatin1Char('%') && i + 1 < pattern.size() && pattern[i + 1] >= QLatin1Char('1') &&
            pattern[i + 1] <= QLatin1Char('9')) {
            const qsizetype n = pattern[i + 1].unicode() - '1';
            if (n < parts.size()) {
                out += parts[n].*text;
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

QString Join(const QList<Sentence>& sentences, const QString& separator, const QString& (Sentence::*text)() const)
{
    QString out;
    for (const Sentence& s : sentences) {
        if (!out.isEmpty())
            out += separator;
        out += (s.*text)();
    }
    return out;
}

}  // namespace

Sentence::Sentence(const char* context, const char* source, const QList<Part>& parts)
    : m_english(Fill(QString::fromUtf8(source), parts, &Part::english)),
      m_shown(Fill(QCoreApplication::translate(context, source), parts, &Part::shown))
{
}

QString Sentence::JoinEnglish(const QList<Sentence>& sentences, const QString& separator)
{
    return Join(sentences, separator, &Sentence::English);
}

QString Sentence::JoinShown(const QList<Sentence>& sentences, const QString& separator)
{
    return Join(sentences, separator, &Sentence::Shown);
}

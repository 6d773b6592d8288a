#include "platform/base/ShownText.h"

#include <QUrl>

namespace shown {

QString Shown(const QString& text)
{
    // A NUL ends the text wherever it travels as a C string (a bus message, a terminal): it is written
    // out instead, and counts as the one character it is.
    const auto visible = [](QString part) { return part.replace(QChar(0), QLatin1String("\\u0000")); };
    if (text.size() <= MaxShownLength)
        return visible(text);
    qsizetype kept = MaxShownLength - 16;
    // Half a surrogate pair is no character.
    if (text.at(kept - 1).isHighSurrogate())
        --kept;
    return visible(text.left(kept)) + QStringLiteral("... (%1 characters)").arg(text.size());
}

bool IsUtf8(const QByteArray& bytes)
{
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}

QString ShownBytes(const QByteArray& bytes)
{
    QString out;
    qsizetype at = 0;
    while (at < bytes.size()) {
        // The longest UTF-8 character that starts here, else the byte alone.
        qsizetype length = 4;
        while (length > 0 && (at + length > bytes.size() || !IsUtf8(bytes.mid(at, length))))
            --length;
        if (length > 0)
            out += QString::fromUtf8(bytes.mid(at, length));
        else
            out += QStringLiteral("\\x%1").arg(uchar(bytes[at]), 2, 16, QLatin1Char('0'));
        at += qMax<qsizetype>(length, 1);
    }
    return out;
}

namespace {

const QString Masked = QStringLiteral("***");

// The keywords whose values PostgreSQL's client takes as secrets.
bool isSecretKey(const QString& key)
{
    const QString name = QUrl::fromPercentEncoding(key.trimmed().toUtf8());
    return name.compare(QLatin1String("password"), Qt::CaseInsensitive) == 0 ||
           name.compare(QLatin1String("sslpassword"), Qt::CaseInsensitive) == 0;
}

bool isUri(const QString& setting, qsizetype& authority)
{
    const qsizetype separator = setting.indexOf(QLatin1String("://"));
    if (separator <= 0)
        return false;
    for (qsizetype i = 0; i < separator; ++i) {
        const QChar c = setting.at(i);
        if (!(c.isLetterOrNumber() || c == QLatin1Char('+') || c == QLatin1Char('.') || c == QLatin1Char('-')))
            return false;
    }
    authority = separator + 3;
    return true;
}

QString uriWithoutPasswords(QString uri, qsizetype authority)
{
    qsizetype end = uri.indexOf(QLatin1Char('#'), authority);
    if (end < 0)
        end = uri.size();
    const qsizetype query = uri.indexOf(QLatin1Char('?'), authority);
    if (query >= 0 && query < end) {
        QStringList parameters = uri.mid(query + 1, end - query - 1).split(QLatin1Char('&'));
        for (QString& parameter : parameters) {
            const qsizetype equals = parameter.indexOf(QLatin1Char('='));
            if (equals >= 0 && isSecretKey(parameter.left(equals)))
                parameter = parameter.left(equals + 1) + Masked;
        }
        uri.replace(query + 1, end - query - 1, parameters.join(QLatin1Char('&')));
        end = query;
    }
    // user:password@ ends at the last "@" before the query: a password may hold one, even unescaped.
    const qsizetype at = uri.lastIndexOf(QLatin1Char('@'), end - 1);
    if (at >= authority) {
        const qsizetype colon = uri.indexOf(QLatin1Char(':'), authority);
        if (colon >= 0 && colon < at)
            uri.replace(colon + 1, at - colon - 1, Masked);
    }
    return uri;
}

// keyword = value pairs, blanks around "=" allowed, a value in single quotes with backslash escapes.
QString pairsWithoutPasswords(const QString& pairs)
{
    QString out;
    qsizetype i = 0;
    const qsizetype n = pairs.size();
    const auto copyBlanks = [&] {
        while (i < n && pairs.at(i).isSpace())
            out += pairs.at(i++);
    };
    while (i < n) {
        copyBlanks();
        const qsizetype keyStart = i;
        while (i < n && !pairs.at(i).isSpace() && pairs.at(i) != QLatin1Char('='))
            ++i;
        const QString key = pairs.mid(keyStart, i - keyStart);
        out += key;
        copyBlanks();
        if (i >= n || pairs.at(i) != QLatin1Char('=')) {
            out += pairs.mid(i);
            break;
        }
        out += pairs.at(i++);
        copyBlanks();
        const qsizetype valueStart = i;
        const bool quoted = i < n && pairs.at(i) == QLatin1Char('\'');
        if (quoted)
            ++i;
        while (i < n && (quoted ? pairs.at(i) != QLatin1Char('\'') : !pairs.at(i).isSpace())) {
            if (pairs.at(i) == QLatin1Char('\\'))
                ++i;
            ++i;
        }
        if (quoted && i < n)
            ++i;
        i = qMin(i, n);
        out += isSecretKey(key) ? Masked : pairs.mid(valueStart, i - valueStart);
    }
    return out;
}

}  // namespace

QString WithoutPasswords(const QString& setting)
{
    qsizetype authority = 0;
    return isUri(setting, authority) ? uriWithoutPasswords(setting, authority) : pairsWithoutPasswords(setting);
}

}  // namespace shown

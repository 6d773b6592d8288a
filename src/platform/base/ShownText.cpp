#include "platform/base/ShownText.h"

namespace shown {

QString Shown(const QString& text)
{
    if (text.size() <= MaxShownLength)
        return text;
    qsizetype kept = MaxShownLength - 16;
    // Half a surrogate pair is no character.
    if (text.at(kept - 1).isHighSurrogate())
        --kept;
    return text.left(kept) + QStringLiteral("... (%1 characters)").arg(text.size());
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

}  // namespace shown

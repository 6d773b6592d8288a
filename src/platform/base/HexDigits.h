#pragma once
// Hexadecimal digits and program IDs as XIF files and the catalog write them: ASCII only, either case.
// QChar::isDigit would also take the digits of other scripts.
#include <QChar>
#include <QString>

namespace hex {

inline bool IsDigit(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= '0' && u <= '9') || (u >= 'A' && u <= 'F') || (u >= 'a' && u <= 'f');
}

// A program ID: sixteen such digits.
inline bool IsProgramId(const QString& text)
{
    if (text.size() != 16)
        return false;
    for (const QChar c : text) {
        if (!IsDigit(c))
            return false;
    }
    return true;
}

}  // namespace hex

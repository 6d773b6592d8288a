#pragma once
// Hexadecimal digits as program IDs and XIF files write them: ASCII only, either case.
// QChar::isDigit would also take the digits of other scripts.
#include <QChar>

namespace hex {

inline bool IsDigit(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= '0' && u <= '9') || (u >= 'A' && u <= 'F') || (u >= 'a' && u <= 'f');
}

}  // namespace hex

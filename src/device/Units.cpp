#include "device/Units.h"

namespace device {

QString UnitSymbol(qint16 units)
{
    switch (units) {
    case 0: return QString(QChar(0x00BA)) + QLatin1Char('C');
    case 1: return QString(QChar(0x00BA)) + QLatin1Char('F');
    default: return QString(QChar(0x00BA)) + QLatin1Char('X');
    }
}

QString UnitSuffix(qint16 units)
{
    return units != 0 ? QStringLiteral("#US") : QStringLiteral("#SI");
}

}  // namespace device

#include "framework/PlugInSettings.h"

#include "framework/CRegistry.h"
#include "framework/Numbers.h"

namespace framework {

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

qint16 ReadDisplayUnitsSetting()
{
    return CRegistry().MachineSetting(PlugInKey(), QStringLiteral("DisplayUnits")) == QLatin1String("0") ? 0 : 1;
}

void WriteDisplayUnitsSetting(qint16 units)
{
    CRegistry().SetMachineSetting(PlugInKey(), QStringLiteral("DisplayUnits"), QString::number(units));
}

qint16 ReadDebugSetting()
{
    const auto value = ToInt16(Val(CRegistry().MachineSetting(PlugInKey(), QStringLiteral("Debug"))));
    return value && *value == 1 ? 1 : 0;
}

}  // namespace framework

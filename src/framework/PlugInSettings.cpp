#include "framework/PlugInSettings.h"

#include "framework/CRegistry.h"
#include "platform/base/Numbers.h"

namespace framework {

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
    const auto value = numbers::ToInt16(numbers::Val(CRegistry().MachineSetting(PlugInKey(), QStringLiteral("Debug"))));
    return value && *value == 1 ? 1 : 0;
}

}  // namespace framework

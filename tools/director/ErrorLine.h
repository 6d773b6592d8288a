#pragma once
// How the director shows a failure of the object server, its provisioning or its value formats: one
// line "error CODE SOURCE: DESCRIPTION". The object server's numbers are shown as its own codes
// (18200, 18035, 4010, ...), without the 0x80040000 they travel with, as people look them up.
#include "platform/base/ComError.h"
#include "platform/objectserver/ObjectServer.h"

#include <QString>

namespace director {

inline qint64 ShownErrorNumber(qint32 number)
{
    const quint32 bits = static_cast<quint32>(number);
    if ((bits & 0xFFFF0000u) == static_cast<quint32>(lns::ObjectServerErrorBase))
        return bits & 0xFFFFu;
    return number;
}

inline QString ErrorLine(const com::ComError& e)
{
    QString description = e.description();
    description.replace(QLatin1String("\r\n"), QLatin1String(" ")).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return QStringLiteral("error %1 %2: %3").arg(ShownErrorNumber(e.number())).arg(e.source(), description);
}

}  // namespace director

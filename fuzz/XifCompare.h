#pragma once
// Whether two interface definitions describe the same template, for the XIF and XFB fuzz targets.
#include "platform/objectserver/Xif.h"

#include <cstdlib>

namespace fuzzing {

inline bool sameTemplate(const lns::xif::InterfaceDefinition& a, const lns::xif::InterfaceDefinition& b)
{
    if (a.programId != b.programId || a.networkVariables.size() != b.networkVariables.size() ||
        a.lonMarkObjects.size() != b.lonMarkObjects.size())
        return false;
    for (qsizetype i = 0; i < a.networkVariables.size(); ++i) {
        const auto& x = a.networkVariables[i];
        const auto& y = b.networkVariables[i];
        if (x.index != y.index || x.name != y.name || x.typeName != y.typeName || x.size != y.size ||
            x.input != y.input || x.config != y.config)
            return false;
    }
    for (qsizetype i = 0; i < a.lonMarkObjects.size(); ++i) {
        const auto& x = a.lonMarkObjects[i];
        const auto& y = b.lonMarkObjects[i];
        if (x.index != y.index || x.name != y.name || x.displayName != y.displayName || x.profileKey != y.profileKey)
            return false;
    }
    return true;
}

// A definition that was read must come back the same from the XFB written of it.
inline void requireXfbRoundTrip(const lns::xif::InterfaceDefinition& definition)
{
    const QString name = QStringLiteral("fuzz.XFB");
    if (!sameTemplate(lns::xif::ReadXfbData(lns::xif::XfbData(definition, name), name), definition))
        std::abort();
}

}  // namespace fuzzing

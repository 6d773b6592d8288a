// Object paths as callers pass them: every component the parser reports lies inside the path,
// holds no "/" and is not empty.
#include "framework/Connection.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    framework::ConnectionState c;
    const qsizetype count = framework::ParseObjectPath(c, path);
    for (qsizetype i = 1; i <= count; ++i) {
        const QString component = framework::PathComponent(c, i, false);
        if (component.isEmpty() || component.contains(QLatin1Char('/')) || !path.contains(component))
            std::abort();
        framework::PathComponent(c, i, true);
    }
    if (!framework::PathComponent(c, count + 1, false).isEmpty())
        std::abort();
    return 0;
}

// XIF text: parsed, then written as XFB and read back, which must give the same template.
#include "XifCompare.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    lns::xif::InterfaceDefinition definition;
    try {
        definition = lns::xif::ParseXifData(bytes, QStringLiteral("fuzz.XIF"));
    } catch (const com::ComError&) {
        return 0;
    }
    fuzzing::requireXfbRoundTrip(definition);
    return 0;
}

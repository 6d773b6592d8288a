// Profiles as integrators' files and directors hand them in, checked as an apply checks them before it
// opens a network. A refusal is an answer; anything else must not crash, and a profile that passes,
// written out again by the program, must pass again.
#include "platform/base/ComError.h"
#include "profiles/ProfileDocument.h"
#include "profiles/Profiles.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString json = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        profiles::Check(json);
    } catch (const com::ComError&) {
        return 0;
    }
    try {
        profiles::Check(profiles::WriteProfile(profiles::ReadProfile(json)));
    } catch (const com::ComError&) {
        std::abort();
    }
    return 0;
}

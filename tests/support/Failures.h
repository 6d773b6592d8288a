#pragma once
// The number of the failure a call raises, for tests of failure paths.
#include "platform/base/ComError.h"

#include <functional>

namespace testsupport {

// The number of the com::ComError fn raises; 0 when it raises none.
inline qint32 FailureOf(const std::function<void()>& fn)
{
    try {
        fn();
    } catch (const com::ComError& e) {
        return e.number();
    }
    return 0;
}

}  // namespace testsupport

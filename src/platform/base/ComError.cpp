#include "platform/base/ComError.h"

namespace com {

ErrorState& Err()
{
    static ErrorState state;
    return state;
}

void ClearErr()
{
    Err() = ErrorState{};
}

void RaiseToErr(const ComError& e)
{
    Err() = ErrorState{e.number(), e.source(), e.description()};
}

}  // namespace com

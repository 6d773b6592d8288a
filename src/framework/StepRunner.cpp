#include "framework/StepRunner.h"

namespace framework {

com::ComError AsComError(const std::exception& e)
{
    if (const auto* c = dynamic_cast<const com::ComError*>(&e))
        return *c;
    return com::ComError(-1, QString(), QString::fromLocal8Bit(e.what()));
}

bool RunSteps(const std::vector<Step>& steps, const StepFailurePolicy& policy)
{
    int i = 0;
    const int count = int(steps.size());
    while (i >= 0 && i < count) {
        int next = Step::Next;
        try {
            next = steps[size_t(i)].run();
        } catch (const std::exception& e) {
            const com::ComError failure = AsComError(e);
            if (policy.beforeBox)
                policy.beforeBox(failure);
            const toolkit::Answer answer =
                toolkit::MsgBox(failure.description(), toolkit::Buttons::AbortRetryIgnore, policy.icon, policy.title);
            if (answer == toolkit::Answer::Retry)
                continue;
            if (answer != toolkit::Answer::Ignore) {
                if (policy.onAbort)
                    policy.onAbort();
                return false;
            }
            next = steps[size_t(i)].ignore ? steps[size_t(i)].ignore(failure) : Step::Next;
        }
        if (next == Step::Finish)
            return true;
        i = next == Step::Next ? i + 1 : next;
    }
    return true;
}

}  // namespace framework

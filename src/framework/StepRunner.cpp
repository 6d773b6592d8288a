#include "framework/StepRunner.h"

#include <QHash>
#include <stdexcept>

namespace framework {

com::ComError AsComError(const std::exception& e)
{
    if (const auto* c = dynamic_cast<const com::ComError*>(&e))
        return *c;
    return com::ComError(-1, QString(), QString::fromLocal8Bit(e.what()));
}

bool RunSteps(const std::vector<Step>& steps, const StepFailurePolicy& policy)
{
    QHash<QString, size_t> byName;
    for (size_t k = 0; k < steps.size(); ++k) {
        const QString& name = steps[k].name;
        if (name.isEmpty())
            continue;
        if (byName.contains(name))
            throw std::logic_error("two steps of one procedure are named " + name.toStdString());
        byName.insert(name, k);
    }
    size_t i = 0;
    while (i < steps.size()) {
        Go next = Step::Next;
        try {
            next = steps[i].run();
        } catch (const std::exception& e) {
            const com::ComError failure = AsComError(e);
            if (policy.beforeBox)
                policy.beforeBox(failure);
            const toolkit::Answer answer =
                toolkit::MsgBox(failure.shown(), toolkit::Buttons::AbortRetryIgnore, policy.icon, policy.title);
            if (answer == toolkit::Answer::Retry)
                continue;
            if (answer != toolkit::Answer::Ignore) {
                if (policy.onAbort)
                    policy.onAbort();
                return false;
            }
            next = steps[i].ignore ? steps[i].ignore(failure) : Step::Next;
        }
        switch (next.kind) {
        case Go::Kind::Finish: return true;
        case Go::Kind::Next: ++i; break;
        case Go::Kind::Named: {
            const auto found = byName.constFind(next.step);
            if (found == byName.constEnd())
                throw std::logic_error("no step of the procedure is named " + next.step.toStdString());
            i = *found;
            break;
        }
        }
    }
    return true;
}

}  // namespace framework

#pragma once
// The one way procedures handle a failed step with Abort / Retry / Ignore: the description is shown
// in a box with those three buttons; Retry runs the failed step again, Ignore goes on (with the step
// the procedure names for that case), Abort leaves the procedure with failure after its clean-up.
#include "platform/base/ComError.h"
#include "platform/toolkit/MessageBox.h"

#include <QString>
#include <functional>
#include <vector>

namespace framework {

// Where a procedure goes on after a step: the next step, the end, or the step of a name. Steps are
// reached by name, never by position, so that a step can be added without renumbering the others.
struct Go {
    enum class Kind { Next, Finish, Named };
    Kind kind = Kind::Next;
    QString step;

    static Go To(const QString& step) { return Go{Kind::Named, step}; }
};

struct Step {
    static inline const Go Next{Go::Kind::Next, {}};
    static inline const Go Finish{Go::Kind::Finish, {}};

    std::function<Go()> run;
    // On Ignore: anything the procedure does with the failure, and the step to go on with
    // (default: the next one).
    std::function<Go(const com::ComError&)> ignore;
    // What other steps go to; empty for a step nothing goes to.
    QString name;

    // A step that always goes on with the next one.
    static Step Do(std::function<void()> action)
    {
        return Step{[action = std::move(action)] {
                        action();
                        return Next;
                    },
                    {},
                    {}};
    }
    static Step Do(const QString& name, std::function<void()> action)
    {
        Step step = Do(std::move(action));
        step.name = name;
        return step;
    }
    static Step Named(const QString& name, std::function<Go()> run, std::function<Go(const com::ComError&)> ignore = {})
    {
        return Step{std::move(run), std::move(ignore), name};
    }
};

struct StepFailurePolicy {
    QString title;  // the box's title
    toolkit::Icon icon = toolkit::Icon::Critical;
    std::function<void(const com::ComError&)> beforeBox;  // e.g. log the failure, unload the progress window
    std::function<void()> onAbort;                        // undo visible side effects
};

// Runs the steps from the first; true when they ran to the end (or Finish), false after Abort.
// Two steps of one name, or a step that goes to a name none has, are mistakes in the procedure:
// std::logic_error.
bool RunSteps(const std::vector<Step>& steps, const StepFailurePolicy& policy);

// Any failure as the program reports it: a ComError as it is, anything else with its text.
com::ComError AsComError(const std::exception& e);

}  // namespace framework

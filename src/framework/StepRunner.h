#pragma once
// The one way procedures handle a failed step with Abort / Retry / Ignore: the description is shown
// in a box with those three buttons; Retry runs the failed step again, Ignore goes on (with the step
// the procedure names for that case), Abort leaves the procedure with failure after its clean-up.
#include "platform/base/ComError.h"
#include "platform/toolkit/MessageBox.h"

#include <functional>
#include <vector>

namespace framework {

struct Step {
    // Index of the next step to run, or Next / Finish.
    static constexpr int Next = -1;
    static constexpr int Finish = -2;

    std::function<int()> run;
    // On Ignore: anything the procedure does with the failure, and the step to go on with
    // (default: the next one).
    std::function<int(const com::ComError&)> ignore;

    // A step that always goes on with the next one.
    static Step Do(std::function<void()> action)
    {
        return Step{[action = std::move(action)] {
                        action();
                        return Next;
                    },
                    {}};
    }
};

struct StepFailurePolicy {
    QString title;                                            // the box's title
    toolkit::Icon icon = toolkit::Icon::Critical;
    std::function<void(const com::ComError&)> beforeBox;      // e.g. log the failure, unload the progress window
    std::function<void()> onAbort;                            // undo visible side effects
};

// Runs the steps from the first; true when they ran to the end (or Finish), false after Abort.
bool RunSteps(const std::vector<Step>& steps, const StepFailurePolicy& policy);

// Any failure as the program reports it: a ComError as it is, anything else with its text.
com::ComError AsComError(const std::exception& e);

}  // namespace framework

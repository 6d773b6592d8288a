#pragma once
// What a piece of work writes to the activity log without knowing its window (the profiles, for
// one): the log window implements it.
#include <QString>

namespace framework {

class ActivityLog {
public:
    virtual ~ActivityLog() = default;
    // A command and its results (a green row).
    virtual void LogCommand(const QString& command, const QString& results) = 0;
    // A failure: its first line the action, the second the results (a red row).
    virtual void LogError(const QString& message) = 0;
};

}  // namespace framework

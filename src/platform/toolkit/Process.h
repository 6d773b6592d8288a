#pragma once
// Starting another program (the XIF converter, the program itself for its server registration),
// behind a seam so that tests can see what was started and make a start fail.
#include <QString>
#include <QStringList>

namespace toolkit {

struct ProcessOutcome {
    bool started = false;
    bool finished = false;  // ended within the wait
    int exitCode = -1;
    QString errorText;    // the system's description when it could not be started
    QString errorOutput;  // what it wrote to its standard error, when it ended within the wait
};

class ProcessService {
public:
    virtual ~ProcessService() = default;
    // Starts program with the arguments as a list (no shell, no composed command line). With waitMs
    // > 0 waits at most that long for it to end, letting window events run meanwhile; with 0 does not
    // wait. Standard output goes where the program's own goes; standard error is kept for the outcome
    // (and passed on to the program's own).
    virtual ProcessOutcome start(const QString& program, const QStringList& arguments, int waitMs) = 0;
};

ProcessOutcome StartProcess(const QString& program, const QStringList& arguments, int waitMs);
void SetProcessService(ProcessService* service);  // nullptr restores real process starts

}  // namespace toolkit

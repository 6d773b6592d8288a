#include "platform/toolkit/Process.h"

#include "platform/toolkit/Events.h"

#include <QElapsedTimer>
#include <QProcess>
#include <cstdio>

namespace toolkit {
namespace {

class RealProcesses : public ProcessService {
public:
    ProcessOutcome start(const QString& program, const QStringList& arguments, int waitMs) override
    {
        ProcessOutcome outcome;
        if (waitMs <= 0) {
            qint64 pid = 0;
            outcome.started = QProcess::startDetached(program, arguments, QString(), &pid);
            if (!outcome.started)
                outcome.errorText = QStringLiteral("The system cannot find the file specified.");
            return outcome;
        }
        // On the heap: a process we stop waiting for must go on running, and destroying its QProcess
        // would kill it.
        auto* process = new QProcess;
        // Standard error is the reason a tool gives for refusing its work; the caller shows it.
        process->setProcessChannelMode(QProcess::ForwardedOutputChannel);
        process->start(program, arguments);
        if (!process->waitForStarted(5000)) {
            outcome.errorText = process->errorString();
            delete process;
            return outcome;
        }
        outcome.started = true;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < waitMs) {
            // The events below may be the ones that see it end; waiting then answers false at once.
            if (process->waitForFinished(20) || process->state() == QProcess::NotRunning) {
                outcome.finished = true;
                outcome.exitCode = process->exitStatus() == QProcess::NormalExit ? process->exitCode() : -1;
                const QByteArray errorOutput = process->readAllStandardError();
                std::fwrite(errorOutput.constData(), 1, static_cast<size_t>(errorOutput.size()), stderr);
                outcome.errorOutput = QString::fromLocal8Bit(errorOutput);
                delete process;
                return outcome;
            }
            DoEvents();
        }
        return outcome;
    }
};

RealProcesses& realService()
{
    static RealProcesses service;
    return service;
}

ProcessService*& current()
{
    static ProcessService* service = nullptr;
    return service;
}

}  // namespace

ProcessOutcome StartProcess(const QString& program, const QStringList& arguments, int waitMs)
{
    return (current() ? current() : &realService())->start(program, arguments, waitMs);
}

void SetProcessService(ProcessService* service)
{
    current() = service;
}

}  // namespace toolkit

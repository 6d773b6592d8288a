#include "platform/toolkit/Events.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>

#include <unistd.h>
#include <cstdio>

namespace toolkit {
namespace {

MousePointer& pointerState()
{
    static MousePointer pointer = MousePointer::Default;
    return pointer;
}

std::function<void(int)>& endReplacement()
{
    static std::function<void(int)> end;
    return end;
}

std::function<void()>& beforeEnd()
{
    static std::function<void()> hook;
    return hook;
}

bool& ended()
{
    static bool value = false;
    return value;
}

}  // namespace

void SetMousePointer(MousePointer pointer)
{
    if (pointerState() == pointer)
        return;
    pointerState() = pointer;
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return;
    if (pointer == MousePointer::Hourglass) {
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    } else {
        while (QGuiApplication::overrideCursor())
            QGuiApplication::restoreOverrideCursor();
    }
}

MousePointer CurrentMousePointer()
{
    return pointerState();
}

void DoEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void EndProgram(int exitCode)
{
    if (endReplacement()) {
        ended() = true;
        endReplacement()(exitCode);
        return;
    }
    if (beforeEnd())
        beforeEnd()();
    std::fflush(stdout);
    std::fflush(stderr);
    ::_exit(exitCode);
}

void SetProgramEnd(std::function<void(int)> end)
{
    endReplacement() = std::move(end);
}

void SetBeforeProgramEnd(std::function<void()> hook)
{
    beforeEnd() = std::move(hook);
}

bool ProgramEnded()
{
    return ended();
}

void ResetProgramEnded()
{
    ended() = false;
}

}  // namespace toolkit

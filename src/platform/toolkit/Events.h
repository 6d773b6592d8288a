#pragma once
// The screen's mouse pointer, "let pending events run", and ending the program at once.
#include <functional>

namespace toolkit {

enum class MousePointer { Default, Hourglass };

void SetMousePointer(MousePointer pointer);
MousePointer CurrentMousePointer();

// Lets pending window events (and incoming bus calls) run, as a long operation does between steps.
void DoEvents();

// Ends the program at once: no further events run, no window asks anything. Tests replace the ending
// with a recorder, since their process must go on; then it returns, so callers return right after it.
void EndProgram(int exitCode = 0);
void SetProgramEnd(std::function<void(int)> end);  // empty function restores the real end
// Runs right before the real end, e.g. to make sure replies already sent have left the process.
void SetBeforeProgramEnd(std::function<void()> hook);
// True once EndProgram ran under a replaced ending.
bool ProgramEnded();
void ResetProgramEnded();

}  // namespace toolkit

#pragma once
// The program entry: a COM start serves the plug-in object on the bus; a stand-alone start reads the
// command line and registers, deregisters, or shows the registration window.
#include <QString>
#include <QStringList>

namespace MMain {

// What a command line asks for.
enum class Command { ComStart, RegServer, UnregServer, RegPlugIn, DeregPlugIn, ShowWindow };
struct ParsedCommandLine {
    Command command = Command::ShowWindow;
    qint16 mode = 0;  // for DeregPlugIn
};
// arguments: the program's arguments without its name, as given (before Qt takes its options).
ParsedCommandLine ParseCommandLine(const QStringList& arguments);

// Runs the program; returns its exit status.
int Main(int argc, char** argv);

}  // namespace MMain

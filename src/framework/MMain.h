#pragma once
// The program entry: a COM start serves the plug-in object on the bus; a stand-alone start reads the
// command line and registers, deregisters, or shows the registration window.
#include <QString>
#include <QStringList>

namespace MMain {

// The service and interface names on the bus.
inline const char* const ServiceName = "KR5MHUConfigure.LNSPlugInAPI";
inline const char* const FactoryInterface = "KR5MHUConfigure.ClassFactory";
inline const char* const ObjectInterface = "KR5MHUConfigure._LNSPlugInAPI";
// The configuration profiles, a further interface on the same object.
inline const char* const ProfilesInterface = "KR5MHUConfigure.Profiles";
inline const char* const ObjectPathPrefix = "/LNSPlugInAPI";
inline const char* const ErrorPrefix = "KR5MHUConfigure.Error.";
// The object interface's help text, as directors show it.
inline const char* const ObjectInterfaceHelp = "KR5MM-HU LNS Plug-In";

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

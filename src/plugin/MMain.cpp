#include "plugin/MMain.h"

#include "plugin/BusNames.h"

#include "framework/Identity.h"
#include "framework/PlugInSession.h"
#include "platform/automation/Activation.h"
#include "platform/automation/AutomationServer.h"
#include "platform/toolkit/Events.h"
#include "platform/toolkit/MessageBox.h"
#include "platform/toolkit/Translations.h"
#include "plugin/LNSPlugInAPI.h"
#include "registration/PlugInRegistration.h"
#include "registration/fRegisterPlugIn.h"
#include "ui/main/fMain.h"
#include "ui/main/modSnapshot.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QFontDatabase>
#include <QImageReader>
#include <QThreadPool>
#include <QTimer>
#include <cstdio>

namespace MMain {

ParsedCommandLine ParseCommandLine(const QStringList& arguments)
{
    ParsedCommandLine parsed;
    if (!arguments.isEmpty()) {
        const QString first = arguments.first().toLower();
        // A COM start never reads the rest of the line.
        if (first == QLatin1String("-embedding") || first == QLatin1String("/embedding") ||
            first == QLatin1String("--embedding")) {
            parsed.command = Command::ComStart;
            return parsed;
        }
    }
    // The whole command line: the arguments joined with one blank each, trimmed, lower-cased, and
    // compared as a whole.
    const QString line = arguments.join(QLatin1Char(' ')).trimmed().toLower();
    if (line == QLatin1String("/regserver"))
        parsed.command = Command::RegServer;
    else if (line == QLatin1String("/unregserver"))
        parsed.command = Command::UnregServer;
    else if (line == QLatin1String("/regplugin"))
        parsed.command = Command::RegPlugIn;
    else if (line == QLatin1String("/deregplugin") || line == QLatin1String("/deregplugin /deregmode:0"))
        parsed = {Command::DeregPlugIn, 0};
    else if (line == QLatin1String("/deregplugin /deregmode:-1"))
        parsed = {Command::DeregPlugIn, -1};
    else if (line == QLatin1String("/deregplugin /deregmode:1"))
        parsed = {Command::DeregPlugIn, 1};
    return parsed;
}

namespace {

// Loading the font database and the image-format plug-ins takes milliseconds that the first object's
// window would otherwise spend measuring its first text and painting its first frame. A worker loads
// them while this thread connects to the bus and reads the registry; Qt guards both with its own locks.
void preloadForTheWindow()
{
    QThreadPool::globalInstance()->start([] {
        QFontDatabase::families();
        QImageReader::supportedImageFormats();
    });
}

int serveBus()
{
    // The process's one configuration session, shared by the plug-in objects directors create.
    framework::PlugInSession session;
    PlugInHost host(session);
    modSnapshot::InstallFromEnvironment();
    automation::ServerConfig config{
        QString::fromLatin1(bus::ServiceName),     QString::fromLatin1(bus::FactoryInterface),
        QString::fromLatin1(bus::ObjectInterface), QString::fromLatin1(bus::ObjectPathPrefix),
        QString::fromLatin1(bus::ErrorPrefix),     QString::fromLatin1(bus::ObjectInterfaceHelp)};
    auto* server = new automation::AutomationServer(
        config, [&host](const QString& owner) { return std::make_unique<LNSPlugInAPI>(host, owner); },
        QDBusConnection::sessionBus(), qApp);
    // Ending the process must neither swallow the reply of the call that ended it nor take with it a
    // director's next request: the name goes first, then the replies, then the process.
    toolkit::SetBeforeProgramEnd([server] { server->prepareForEnd(); });
    // A COM server whose client side is gone has nobody left to serve.
    QObject::connect(server, &automation::AutomationServer::connectionLost, [] { toolkit::EndProgram(0); });
    QString error;
    if (!server->start(true, &error)) {
        std::fprintf(stderr, "KR5MHUConfigure: cannot serve %s on the session bus: %s\n", bus::ServiceName,
                     qPrintable(error));
        return 1;
    }
    // Only a process that serves will show a window; the preload never outlives the application.
    preloadForTheWindow();
    // Started for a call that made no object (one to an object of a process that has ended, or a
    // CreateInstance whose caller left before it arrived), the server would have nothing to serve and
    // nothing to end it: it ends by itself when no object has come after a while.
    constexpr int EndWithoutObjectsMs = 3000;
    QTimer::singleShot(EndWithoutObjectsMs, server, [server, &host] {
        if (server->objectCount() == 0 && !host.window)
            toolkit::EndProgram(0);
    });
    const int status = QApplication::exec();
    QThreadPool::globalInstance()->waitForDone();
    // The objects go before the session they work in.
    delete server;
    return status;
}

int showRegistrationWindow()
{
    // It opens no network: deregistration walks the networks in a session of its own.
    auto* window = new fRegisterPlugIn([] {
        // Closing the registration window ends the program, as closing the configuration window does.
        toolkit::EndProgram(0);
    });
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    window->show();
    return QApplication::exec();
}

}  // namespace

int Main(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const ParsedCommandLine parsed = ParseCommandLine(arguments);

    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    toolkit::InstallMessageBoxesFromEnvironment();
    toolkit::InstallTranslations();
    framework::LoadPlugInIdentity();

    switch (parsed.command) {
    case Command::ComStart: return serveBus();
    case Command::RegServer:
    case Command::UnregServer: {
        // A status 1 always says why: the registration that started us shows it.
        QString reason;
        const bool done =
            parsed.command == Command::RegServer
                ? automation::WriteActivationFileForThisProgram(QString::fromLatin1(bus::ServiceName), &reason)
                : automation::RemoveActivationFile(QString::fromLatin1(bus::ServiceName), &reason);
        if (!done)
            std::fprintf(stderr, "KR5MHUConfigure: cannot %s the server on the session bus: %s\n",
                         parsed.command == Command::RegServer ? "register" : "deregister", qPrintable(reason));
        return done ? 0 : 1;
    }
    case Command::RegPlugIn:
    case Command::DeregPlugIn:
        try {
            if (parsed.command == Command::RegPlugIn) {
                const auto outcome = registration::RegisterPlugIn(false);
                // Silent on the command line: the exit status tells a script what happened.
                switch (outcome) {
                case registration::RegisterOutcome::Registered:
                case registration::RegisterOutcome::Updated: return 0;
                case registration::RegisterOutcome::NewerRegistered: return 3;
                default: return 1;
                }
            }
            // Silent too: a failure that leaves the plug-in registered is a non-zero status.
            return registration::DeregisterPlugIn(parsed.mode, false) ? 0 : 1;
        } catch (const std::exception&) {
            // A failure escaping the command-line handling leaves the user the window to retry by hand.
        }
        return showRegistrationWindow();
    case Command::ShowWindow: return showRegistrationWindow();
    }
    return 0;
}

}  // namespace MMain

#include "framework/Connection.h"

#include "platform/base/ShownText.h"
#include "platform/toolkit/Events.h"

namespace framework {

com::ComError PlugInError(qint32 number, const QString& description)
{
    return com::ComError(number, PlugInName(), description);
}

namespace {

// The object server's own words stay with it as the cause, for callers that show more than the
// director's fixed text (a profile names the store and why it failed).
com::ComError cannotOpen(const QString& networkName, const com::ComError& why)
{
    return com::ComError(ErrPlugInState, PlugInName(),
                         QStringLiteral("Cannot open the network ") + shown::Shown(networkName), why.cause());
}

// Opens the named network and its first system on the open object server and makes them current.
void openNetworkAndSystem(ConnectionState& c, lns::ObjectServer& os, const QString& networkName, bool internet)
{
    c.CurrentNetwork = os.Networks()->Item(networkName);
    c.CurrentNetwork->OpenNetwork();
    c.CurrentNetworkName = c.CurrentNetwork->NetworkName();
    c.CurrentSystem = c.CurrentNetwork->NetworkSystems()->Item(1);
    c.CurrentSystem->OpenSystem();
    if (internet) {
        c.CurrentSystem->SetSystemOptionFlag(true);
        c.CurrentSystem->SetSystemOptionValue(0);
        c.CurrentSystem->SetSystemOptionFlag(false);
    }
    c.NetworkOpen = true;
    c.CurrentSystem->SetSystemTuningValue(200);
}

}  // namespace

void OpenNetworkByName(ConnectionState& c, const QString& networkName, const QString& interfaceName)
{
    toolkit::SetMousePointer(toolkit::MousePointer::Hourglass);
    if (networkName == c.CurrentNetworkName && c.NetworkOpen) {
        toolkit::SetMousePointer(toolkit::MousePointer::Default);
        return;
    }
    try {
        if (!c.objectServer)
            throw com::ComError(lns::ObjectServerError(lns::ErrNotOpen), QStringLiteral("Connection"),
                                QStringLiteral("No object server"));
        lns::ObjectServer& os = *c.objectServer;
        const bool modeAtEntry = os.RemoteMode();
        const bool wanted = !interfaceName.isEmpty();
        if (wanted != modeAtEntry) {
            if (os.ObjectServerIsOpen()) {
                os.CloseObjectServer();
                c.ObjectServerOpen = false;
            }
            os.SetRemoteMode(wanted);
        }
        bool internet = false;
        if (!c.ObjectServerOpen) {
            if (os.ObjectServerIsOpen())
                os.CloseObjectServer();
            os.SetPreOpenOption(false);
            if (modeAtEntry) {
                qint32 flags = os.RemoteFlags() & ~(0x10 | 0x20);
                if (interfaceName == QLatin1String("Internet")) {
                    flags |= 0x10;
                    internet = true;
                } else {
                    flags |= 0x20;
                }
                os.SetRemoteFlags(flags);
            }
            os.OpenObjectServer();
            c.ObjectServerOpen = true;
        }
        if (!interfaceName.isEmpty() && !internet)
            os.SelectNetworkInterface(os.NetworkInterfaces()->Item(interfaceName));
        openNetworkAndSystem(c, os, networkName, internet);
    } catch (const com::ComError& e) {
        c.NetworkOpen = false;
        c.CurrentNetworkName.clear();
        toolkit::SetMousePointer(toolkit::MousePointer::Default);
        throw cannotOpen(networkName, e);
    }
    toolkit::SetMousePointer(toolkit::MousePointer::Default);
}

void ChangeRemoteMode(ConnectionState& c, lns::ObjectServer& server, bool remote)
{
    const bool wasOpen = server.ObjectServerIsOpen();
    c.ObjectServerOpen = wasOpen;
    if (wasOpen)
        server.CloseObjectServer();
    server.SetRemoteMode(remote);
    if (!wasOpen)
        return;
    // Whatever fails from here, the network of the closed session is forgotten: left current, it
    // would answer nothing, and naming it again would change nothing.
    const QString networkName = c.CurrentNetworkName;
    const auto forgetNetwork = [&c] {
        c.NetworkOpen = false;
        c.CurrentNetworkName.clear();
        c.CurrentNetwork.reset();
        c.CurrentSystem.reset();
    };
    try {
        server.OpenObjectServer();
    } catch (const com::ComError& e) {
        c.ObjectServerOpen = false;
        if (!c.NetworkOpen)
            throw;
        forgetNetwork();
        throw cannotOpen(networkName, e);
    }
    if (!c.NetworkOpen)
        return;
    try {
        openNetworkAndSystem(c, server, networkName, false);
    } catch (const com::ComError& e) {
        forgetNetwork();
        throw cannotOpen(networkName, e);
    }
}

qsizetype ParseObjectPath(ConnectionState& c, const QString& path)
{
    c.ParsedPath = path;
    c.PathComponents.clear();
    // A component runs to the next "/". The text after a "/" is trimmed: its leading blanks are skipped
    // and its end is the last character that is not a blank (found once: trimming never removes a "/").
    // Without any "/" the whole path is the one component, untrimmed. An empty component ends the list.
    qsizetype start = 0;
    qsizetype end = path.size();
    bool endTrimmed = false;
    for (;;) {
        const qsizetype slash = path.indexOf(QLatin1Char('/'), start);
        const qsizetype stop = slash < 0 ? end : slash;
        if (stop == start)
            break;
        c.PathComponents.append({start, stop - start});
        if (slash < 0)
            break;
        start = slash + 1;
        if (!endTrimmed) {
            while (end > start && path.at(end - 1).isSpace())
                --end;
            endTrimmed = true;
        }
        while (start < end && path.at(start).isSpace())
            ++start;
    }
    return c.PathComponents.size();
}

QString PathComponent(const ConnectionState& c, qsizetype index, bool stripLabel)
{
    if (index < 1 || index > c.PathComponents.size())
        return QString();
    const auto [start, length] = c.PathComponents.at(index - 1);
    QString component = c.ParsedPath.mid(start, length);
    if (stripLabel) {
        const qsizetype colon = component.indexOf(QLatin1Char(':'));
        if (colon >= 0) {
            QString name = component.mid(colon + 1).trimmed();
            if (!name.isEmpty())
                return name;
        }
    }
    return component;
}

ResolvedObject ResolveObject(const ConnectionState& c, qint16 objectClassId)
{
    ResolvedObject result;
    const qsizetype count = c.PathComponents.size();
    try {
        if (!c.CurrentSystem)
            return result;
        if (objectClassId == 7) {
            const auto subsystem = c.CurrentSystem->SystemSubsystems()->Item(PathComponent(c, count - 1, true));
            result.device = subsystem->SubsystemAppDevices()->Item(PathComponent(c, count, true));
        } else if (objectClassId == 28) {
            const auto subsystem = c.CurrentSystem->SystemSubsystems()->Item(PathComponent(c, count - 2, true));
            const auto device = subsystem->SubsystemAppDevices()->Item(PathComponent(c, count - 1, true));
            result.lonMarkObject =
                device->DeviceInterface()->InterfaceLonMarkObjects()->LonMarkObjectsItem(PathComponent(c, count, true));
        }
    } catch (const com::ComError& e) {
        // Only a name that is not there means no such object; a store that cannot answer (a lost
        // database connection) says so in its own words.
        if (e.number() != lns::ObjectServerError(lns::ErrItemNotFound))
            throw;
        return ResolvedObject{};
    }
    return result;
}

void DispatchToWindow(int entryIndex, const ResolvedObject& object, WindowDispatch& window, const QString& path)
{
    if (object.isNone())
        throw PlugInError(ErrObjectNotFound, QStringLiteral("Object not found: ") + shown::Shown(path));
    const PlugInCommandInfo& entry = PlugInCommands(entryIndex);
    if (entry.ObjectClassId == 7 && object.device)
        window.ProcessDeviceCommand(object.device, entry);
    else if (entry.ObjectClassId == 28 && object.lonMarkObject)
        window.ProcessLonMarkObjectCommand(object.lonMarkObject, entry);
}

std::optional<UncleanedNetwork> ForEachNetworkDeregister(ConnectionState& c, bool exhaustive, NetworkWalkHooks& hooks)
{
    if (!c.objectServer)
        return std::nullopt;
    lns::ObjectServer& server = *c.objectServer;
    LoadPlugInCommands();
    const bool progress = ShowProgress();
    const auto status = [&](const QString& text) {
        if (progress) {
            hooks.DisplayStatus(text);
            toolkit::DoEvents();
        }
    };
    status(QStringLiteral("Opening the Object Server..."));
    try {
        server.SetRemoteMode(false);
        server.OpenObjectServer();
    } catch (const com::ComError&) {
    }
    lns::Ptr<lns::Networks> networks;
    qint32 count = 0;
    try {
        networks = server.Networks();
        count = networks->Count();
    } catch (const com::ComError&) {
        count = 0;
    }
    std::optional<UncleanedNetwork> uncleaned;
    // A network whose commands could not be removed ends the walk: the plug-in stays registered
    // anyway, and the other networks, in the same database, would each wait out the same lock.
    for (qint32 i = 1; i <= count && !uncleaned; ++i) {
        lns::Ptr<lns::Network> network;
        lns::Ptr<lns::System> system;
        QString networkName;
        // Every failure here is ignored: only a network that cannot be opened is skipped.
        const auto ignoring = [](const auto& action) {
            try {
                action();
            } catch (const com::ComError&) {
            }
        };
        if (progress)
            hooks.DisplayCount(i, count);
        ignoring([&] { network = networks->Item(i); });
        ignoring([&] {
            if (network) {
                networkName = network->NetworkName();
                status(QStringLiteral("Opening ") + networkName + QStringLiteral("..."));
            }
        });
        try {
            if (network)
                network->OpenNetwork();
        } catch (const com::ComError&) {
            network.reset();
        }
        if (network) {
            lns::Ptr<lns::NetworkServiceDevice> nsd;
            lns::Ptr<lns::NetworkInterface> kept;
            bool detached = false;
            bool opened = false;
            ignoring([&] { system = network->NetworkSystems()->Item(1); });
            ignoring([&] {
                if (system)
                    nsd = system->SystemNetworkServiceDevice();
            });
            ignoring([&] {
                if (nsd)
                    kept = nsd->NsdNetworkInterface();
            });
            // Unattached if the system allows it: nothing on the network needs to answer.
            ignoring([&] {
                if (nsd) {
                    nsd->SetNsdNetworkInterface(nullptr);
                    detached = true;
                }
            });
            ignoring([&] {
                if (system)
                    status(QStringLiteral("Opening ") + system->SystemName() +
                           QStringLiteral("...\r\nEngineered system mode"));
            });
            try {
                if (system) {
                    system->OpenSystem();
                    opened = true;
                }
            } catch (const com::ComError&) {
            }
            if (system && !opened) {
                ignoring([&] {
                    if (nsd && detached) {
                        nsd->SetNsdNetworkInterface(kept);
                        detached = false;
                    }
                });
                ignoring([&] {
                    status(QStringLiteral("Opening ") + system->SystemName() +
                           QStringLiteral("...\r\nNetwork Interface '") + (kept ? kept->InterfaceName() : QString()) +
                           QStringLiteral("'"));
                });
                try {
                    system->OpenSystem();
                    opened = true;
                } catch (const com::ComError&) {
                }
            }
            if (opened) {
                const lns::Ptr<lns::Network> previousNetwork = c.CurrentNetwork;
                const lns::Ptr<lns::System> previousSystem = c.CurrentSystem;
                c.CurrentNetwork = network;
                c.CurrentSystem = system;
                status(QStringLiteral("Deregister commands..."));
                try {
                    hooks.DeregisterCommands(exhaustive, i == 1);
                } catch (const com::ComError& e) {
                    uncleaned = UncleanedNetwork{networkName, e.description()};
                }
                c.CurrentNetwork = previousNetwork;
                c.CurrentSystem = previousSystem;
            }
            // The network keeps its interface whichever way the system opened: the walk must not
            // leave every network detached. One the walk could not detach needs no write.
            try {
                if (nsd && kept && detached)
                    nsd->SetNsdNetworkInterface(kept);
            } catch (const com::ComError&) {
            }
            try {
                if (system && system->SystemIsOpen())
                    system->CloseSystem();
            } catch (const com::ComError&) {
            }
            try {
                network->CloseNetwork();
            } catch (const com::ComError&) {
            }
        }
    }
    if (progress) {
        hooks.UnloadProgress();
        toolkit::DoEvents();
    }
    try {
        server.CloseObjectServer();
    } catch (const com::ComError&) {
    }
    c.ObjectServerOpen = false;
    return uncleaned;
}

void CloseConnection(ConnectionState& c)
{
    try {
        if (c.CurrentSystem && c.CurrentSystem->SystemIsOpen())
            c.CurrentSystem->CloseSystem();
    } catch (const com::ComError&) {
    }
    c.CurrentSystem.reset();
    try {
        if (c.CurrentNetwork && c.CurrentNetwork->NetworkIsOpen())
            c.CurrentNetwork->CloseNetwork();
    } catch (const com::ComError&) {
    }
    c.CurrentNetwork.reset();
    try {
        if (c.objectServer && c.objectServer->ObjectServerIsOpen())
            c.objectServer->CloseObjectServer();
    } catch (const com::ComError&) {
    }
    c.ObjectServerOpen = false;
    c.NetworkOpen = false;
}

}  // namespace framework

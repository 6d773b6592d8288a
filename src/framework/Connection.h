#pragma once
// A session's connection to its object server and the one network and system it works on: opening
// a network by name, resolving the object a configure command names, handing it to the window, and
// closing everything at the end. Each operation works on the ConnectionState it is given (the
// session's, see PlugInSession).
#include "framework/Identity.h"
#include "platform/objectserver/ObjectServer.h"

#include <QList>
#include <QString>

#include <optional>
#include <utility>

namespace framework {

// Implemented by the configuration window; the connection hands resolved objects to it.
class WindowDispatch {
public:
    virtual ~WindowDispatch() = default;
    virtual void ProcessDeviceCommand(const lns::Ptr<lns::AppDevice>& device, const PlugInCommandInfo& entry) = 0;
    virtual void ProcessLonMarkObjectCommand(const lns::Ptr<lns::LonMarkObject>& object,
                                             const PlugInCommandInfo& entry) = 0;
};

struct ConnectionState {
    lns::ObjectServer* objectServer = nullptr;
    bool ObjectServerOpen = false;
    bool NetworkOpen = false;
    QString CurrentNetworkName;
    lns::Ptr<lns::Network> CurrentNetwork;
    lns::Ptr<lns::System> CurrentSystem;
    QString CurrentObjectName;
    // The last object path as parsed, and where each of its components lies in it (start, length): a
    // long path is split once, without a copy per component.
    QString ParsedPath;
    QList<std::pair<qsizetype, qsizetype>> PathComponents;
    bool RemoteAtRegistration = false;
    // The root of the XIF search and the first folder of the XIF dialog; empty until a local command
    // registration read the open system's import folder (remote registrations leave it as it is).
    QString ImportFolder;
};

// Opens the object server, the network and its first system; raises 20006 "Cannot open the network "
// + name on any failure.
void OpenNetworkByName(ConnectionState& c, const QString& networkName, const QString& interfaceName);

// Splits the path into its components and returns their count, however many there are.
// The Remote write: closes the object server around the change of its remote mode and opens it again
// if it was open. A network that was open is opened again with its system on the reopened server;
// when that fails the network is forgotten (so that naming it again opens it afresh) and 20006
// "Cannot open the network " + its name is raised.
void ChangeRemoteMode(ConnectionState& c, lns::ObjectServer& server, bool remote);

qsizetype ParseObjectPath(ConnectionState& c, const QString& path);
QString PathComponent(const ConnectionState& c, qsizetype index, bool stripLabel);

struct ResolvedObject {
    lns::Ptr<lns::AppDevice> device;
    lns::Ptr<lns::LonMarkObject> lonMarkObject;
    bool isNone() const { return !device && !lonMarkObject; }
};
// The object of the class (7 application device, 28 LonMark object) named by the path components;
// none when one of them is not there. Any other failure of the object server is raised.
ResolvedObject ResolveObject(const ConnectionState& c, qint16 objectClassId);

// Raises 20005 "Object not found: <path>" for none; otherwise calls the window for the entry's class.
void DispatchToWindow(int entryIndex, const ResolvedObject& object, WindowDispatch& window, const QString& path);

// What the all-networks walk needs from above: the progress window and the removal of the plug-in's
// commands from the network it has open.
class NetworkWalkHooks {
public:
    virtual ~NetworkWalkHooks() = default;
    virtual void DisplayStatus(const QString& text) = 0;  // shows the progress window when needed
    // Which network of how many the walk is at (from 1), before its first status.
    virtual void DisplayCount(qint32 current, qint32 total) = 0;
    virtual void UnloadProgress() = 0;
    // Raises when a removal could not be written.
    virtual void DeregisterCommands(bool exhaustive, bool firstNetwork) = 0;
};

// A network whose commands could not be removed, with the object server's reason.
struct UncleanedNetwork {
    QString name;
    QString reason;
};

// Opens every network the object server knows, one after the other, with its system (unattached if it
// can, through its network interface otherwise), and has the commands removed from each. A network
// that cannot be opened is skipped; one whose commands could not be removed (the hook raised) ends
// the walk and is returned. Progress, with the count of networks, is shown when ShowProgress() is
// set. The connection's object server is left closed.
std::optional<UncleanedNetwork> ForEachNetworkDeregister(ConnectionState& c, bool exhaustive, NetworkWalkHooks& hooks);

// Closes system, network and object server (each only if open), ignoring failures.
void CloseConnection(ConnectionState& c);

// The failure numbers returned to the director.
inline constexpr qint32 ErrUnableToRegister = 20000;
inline constexpr qint32 ErrReadOnlyProperty = 20002;
inline constexpr qint32 ErrCommandNotSupported = 20003;
inline constexpr qint32 ErrObjectTypeNotSupported = 20004;
inline constexpr qint32 ErrObjectNotFound = 20005;
inline constexpr qint32 ErrPlugInState = 20006;

// A failure with the plug-in's name as source.
com::ComError PlugInError(qint32 number, const QString& description);

}  // namespace framework

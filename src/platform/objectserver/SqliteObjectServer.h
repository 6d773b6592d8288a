#pragma once
// The object server on a SQLite file (ObjectServerDatabasePath). CreateObjectServer answers one of
// these; tests reach it with dynamic_cast<lns::SqliteObjectServer*> to read its journal.
//
// What belongs to this instance and not to the database: remote mode and flags, the pre-open option,
// the selected network interface, which networks and systems are open, the system option / tuning
// values, and the journal. Everything else (networks, devices, values, faults, component
// applications, the network service device's interface) is in the database at once.
//
// The journal has one entry per operation called on this server or on any object it handed out,
// failed calls included, in call order. An entry is the operation's name as ObjectServer.h declares
// it, then its words separated by one blank each:
//   - the name of the object it is called on, for networks, devices, templates, LonMark objects,
//     network variables, component applications, subsystems and network interfaces
//     ("OpenNetwork Demo", "NvFormattedValue nciSetPts", "TemplateComponentApps KR5M-HU-1");
//     not for the object server, systems, collections, interfaces and the network service device
//     ("OpenSystem", "SystemSubsystems");
//   - then the arguments: texts as given, numbers in decimal, booleans true / false, a network
//     interface by its name or "none" ("SetRemoteFlags 32", "SetSystemOptionFlag true",
//     "SetNvFormattedValue nciSetPts 21,23,25,20,18,16", "SetNsdNetworkInterface none").
// Names that several classes share are qualified by the class: "Networks.Count", "Networks.Item Demo",
// "Systems.Item 1", "Subsystems.Item Floor 1", "AppDevices.Item Thermostat 1", "AppDevices.Count",
// "NetworkVariables.Item 3", "NetworkInterfaces.Item LON1", "DeviceTemplates.Count",
// "AppDevice.Name Thermostat 1", "Subsystem.Name Floor 1", "NetworkVariable.Name nciSetPts",
// "LonMarkObject.Name Thermostat", "ComponentApp.Name Configure".
#include "platform/objectserver/ObjectServer.h"

#include <QStringList>
#include <memory>

namespace lns {

namespace sqlite {
struct ServerState;
}

class SqliteObjectServer : public ObjectServer {
    Q_OBJECT
public:
    // lonWorksPath empty = the installation the registry names, looked up when the server opens.
    explicit SqliteObjectServer(const QString& lonWorksPath = QString(), QObject* parent = nullptr);
    ~SqliteObjectServer() override;

    void OpenObjectServer() override;
    void CloseObjectServer() override;
    bool ObjectServerIsOpen() override;
    bool RemoteMode() override;
    void SetRemoteMode(bool remote) override;
    qint32 RemoteFlags() override;
    void SetRemoteFlags(qint32 flags) override;
    void SetPreOpenOption(bool option) override;
    Ptr<lns::Networks> Networks() override;
    Ptr<lns::NetworkInterfaces> NetworkInterfaces() override;
    void SelectNetworkInterface(const Ptr<NetworkInterface>& networkInterface) override;
    Ptr<ComponentApps> ObjectServerComponentApps() override;

    // ---- For tests and tools; none of these is journaled.
    const QStringList& journal() const;
    void clearJournal();
    // The installation folder (resolved once the server was opened) and the database file.
    QString lonWorksPath() const;
    QString databasePath() const;
    bool preOpenOption() const;
    // The interface SelectNetworkInterface chose last; empty for none.
    QString selectedNetworkInterface() const;
    // The values last set on the system of that network while this server had it open (0 / false
    // when never set).
    bool systemOptionFlag(const QString& networkName) const;
    qint32 systemOptionValue(const QString& networkName) const;
    qint32 systemTuningValue(const QString& networkName) const;

private:
    std::shared_ptr<sqlite::ServerState> m_state;
};

}  // namespace lns

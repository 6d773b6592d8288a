#pragma once
// The object server on its SQL store (a SQLite file, ObjectServerDatabasePath, or a PostgreSQL
// server). CreateObjectServer answers one of these; tests and tools reach it with
// dynamic_cast<lns::SqlObjectServer*> for what only they need.
//
// What belongs to this instance and not to the database: remote mode and flags, the pre-open option,
// the selected network interface, which networks and systems are open, and the system option / tuning
// values. Everything else (networks, devices, values, faults, component applications, the network
// service device's interface) is in the database at once.
#include "platform/objectserver/ObjectServer.h"

#include <QStringList>
#include <memory>

namespace lns {

namespace sql {
struct ServerState;
}

class SqlObjectServer : public ObjectServer {
    Q_OBJECT
public:
    // lonWorksPath empty = the installation the registry names, looked up when the server opens.
    explicit SqlObjectServer(const QString& lonWorksPath = QString(), QObject* parent = nullptr);
    ~SqlObjectServer() override;

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
    void SetChangeOrigin(const QString& program, const QString& batch = QString()) override;

    // ---- For tests and tools.
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
    std::shared_ptr<sql::ServerState> m_state;
};

}  // namespace lns

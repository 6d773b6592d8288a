#pragma once
// A network opened through the object server as a director opens one: the object server, the network
// and its first system, closed again (quietly: closing changes nothing done) when it goes. The verbs
// that read or write a network work through this and nothing else of the store.
#include "platform/objectserver/ObjectServer.h"

#include <QString>
#include <QStringList>
#include <memory>

namespace director {

class OpenedNetwork {
public:
    // Raises com::ComError as the object server does: no such network 4010, a system that opens only
    // through its network interface 4020, a store that cannot be reached.
    // program: what the history names as the writer of what this director writes.
    explicit OpenedNetwork(const QString& networkName, const QString& program = QStringLiteral("lnsdirector"),
                           const QString& batch = QString());
    ~OpenedNetwork();
    OpenedNetwork(const OpenedNetwork&) = delete;
    OpenedNetwork& operator=(const OpenedNetwork&) = delete;

    lns::ObjectServer& server() { return *m_server; }
    lns::Network& network() { return *m_network; }
    lns::System& system() { return *m_system; }
    const QString& name() const { return m_name; }

    // "NETWORK/SYSTEM/SUBSYSTEM/DEVICE" of every device, by subsystem then device.
    QStringList devicePaths();
    // A device's variable by its path, as devicePaths gives it.
    lns::Ptr<lns::NetworkVariable> variable(const QString& devicePath, const QString& name);

private:
    void close();

    QString m_name;
    std::unique_ptr<lns::ObjectServer> m_server;
    lns::Ptr<lns::Network> m_network;
    lns::Ptr<lns::System> m_system;
};

}  // namespace director

#pragma once
// An object server that hands every call on to a real one and writes it down first, for the tests
// whose subject is the order of the calls a real object server depends on: remote mode and flags
// before the open, the interface chosen before the network opens, the system open before its
// options are set, and a variable's access option and format set before its value is read or
// written.
//
// The server, its networks, systems and network interfaces are recorded, and network variables that
// a test wraps with Recorded(); every other handle is the real server's own. An entry is the
// operation's name, then the name of the object for networks, network interfaces and network
// variables, then the arguments (texts as given, numbers in decimal, true / false, a network
// interface by its name or "none"). Look-ups that several classes share are qualified by the class:
// "Networks.Item Demo", "Systems.Item 1", "NetworkInterfaces.Item LON1", "NetworkVariables.Item 3".
#include "platform/objectserver/ObjectServer.h"

#include <QStringList>
#include <memory>

namespace testsupport {

using CallLog = std::shared_ptr<QStringList>;

class RecordingObjectServer : public lns::ObjectServer {
public:
    explicit RecordingObjectServer(std::unique_ptr<lns::ObjectServer> inner, QObject* parent = nullptr);

    QStringList calls() const { return *m_log; }
    void clearCalls() { m_log->clear(); }
    const CallLog& log() const { return m_log; }
    lns::ObjectServer& inner() { return *m_inner; }

    void OpenObjectServer() override;
    void CloseObjectServer() override;
    bool ObjectServerIsOpen() override;
    bool RemoteMode() override;
    void SetRemoteMode(bool remote) override;
    qint32 RemoteFlags() override;
    void SetRemoteFlags(qint32 flags) override;
    void SetPreOpenOption(bool option) override;
    lns::Ptr<lns::Networks> Networks() override;
    lns::Ptr<lns::NetworkInterfaces> NetworkInterfaces() override;
    void SelectNetworkInterface(const lns::Ptr<lns::NetworkInterface>& networkInterface) override;
    lns::Ptr<lns::ComponentApps> ObjectServerComponentApps() override;
    void SetChangeOrigin(const QString& program, const QString& batch = QString()) override;

private:
    std::unique_ptr<lns::ObjectServer> m_inner;
    CallLog m_log = std::make_shared<QStringList>();
};

// The variables of a real interface, recorded into log.
lns::Ptr<lns::NetworkVariables> Recorded(const lns::Ptr<lns::NetworkVariables>& variables, const CallLog& log);

// The real handle behind a recorded network interface (the handle itself when it is not recorded):
// a real object server accepts only its own.
lns::Ptr<lns::NetworkInterface> Unwrapped(const lns::Ptr<lns::NetworkInterface>& networkInterface);

}  // namespace testsupport

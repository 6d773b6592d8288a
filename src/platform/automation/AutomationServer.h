#pragma once
// Serves automation objects on a D-Bus connection, as a local COM server serves its class:
//  - a factory object at "/" whose CreateInstance() makes a new object and returns its path;
//  - each object at <prefix>/<n>, with its methods, Release(), Invoke(dispid, kind, args) and its
//    properties through org.freedesktop.DBus.Properties (served here, so that a property write can
//    fail with the object's own error);
//  - an object answers only the connection that created it (others get AccessDenied; Introspect and
//    Peer stay open), and introspection lists each caller's own objects only;
//  - the objects of a client that leaves the bus are released, as COM releases a dead client's;
//  - failures travel as D-Bus errors <errorPrefix>E<number>, message = description, then source and
//    number as further arguments.
#include "platform/automation/Dispatch.h"

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QMap>
#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>

class QDBusServiceWatcher;

namespace automation {

struct ServerConfig {
    QString serviceName;       // "KR5MHUConfigure.LNSPlugInAPI"
    QString factoryInterface;  // "KR5MHUConfigure.ClassFactory"
    QString objectInterface;   // "KR5MHUConfigure._LNSPlugInAPI"
    QString objectPathPrefix;  // "/LNSPlugInAPI"
    QString errorPrefix;       // "KR5MHUConfigure.Error."
    QString objectHelp;        // the object interface's help text, "KR5MM-HU LNS Plug-In"
};

class ObjectNode;

class FactoryNode;
class ContainerNode;

class AutomationServer : public QObject {
    Q_OBJECT
public:
    // Makes an object for its creator (a unique bus name, or empty for none).
    using Factory = std::function<std::unique_ptr<Dispatchable>(const QString& owner)>;

    AutomationServer(ServerConfig config, Factory factory, QDBusConnection connection, QObject* parent = nullptr);
    ~AutomationServer() override;

    // Registers the factory at "/" and, when requestName is set, the service name.
    bool start(bool requestName, QString* error = nullptr);

    int objectCount() const { return int(m_objects.size()); }
    const ServerConfig& config() const { return m_config; }
    QDBusConnection connection() const { return m_connection; }

    // Creates an object owned by the given client (a unique bus name, or empty for none) and
    // registers it; returns its path.
    QString createObject(const QString& owner);
    // Releases the object at path; false when there is none. Its destructor runs once no call of it
    // is under way any more.
    bool releaseObject(const QString& path);

    // For a process that ends while serving: gives up the service name first, so that whoever asks
    // for an object from now on gets a new process instead of this one, then sends the replies of the
    // calls under way (the Release that ended it) and returns once the bus daemon has read them.
    void prepareForEnd();

signals:
    // The bus connection went away (the bus daemon ended).
    void connectionLost();

private slots:
    void onClientGone(const QString& client);
    void onDisconnected();

private:
    friend class ObjectNode;
    friend class FactoryNode;
    friend class ContainerNode;
    struct Entry {
        std::unique_ptr<Dispatchable> object;
        std::unique_ptr<ObjectNode> node;
        QString owner;
        int activeCalls = 0;
        bool released = false;
    };
    void destroyIfIdle(const QString& path);
    // The paths of the live objects the client created.
    QStringList objectsOf(const QString& client) const;
    // A call's reply goes out after the call's own consequences (an object destroyed, the process
    // ending): prepareForEnd sends whatever is held at that moment.
    quint64 holdReply(const QDBusMessage& reply);
    void sendHeldReply(quint64 id);

    ServerConfig m_config;
    Factory m_factory;
    QDBusConnection m_connection;
    QMap<QString, std::shared_ptr<Entry>> m_objects;
    QDBusServiceWatcher* m_watcher = nullptr;
    std::unique_ptr<FactoryNode> m_factoryNode;
    std::unique_ptr<ContainerNode> m_containerNode;
    quint64 m_nextId = 1;
    QMap<quint64, QDBusMessage> m_heldReplies;
    quint64 m_nextReplyId = 1;
    bool m_ownsName = false;
};

}  // namespace automation

#include "platform/automation/AutomationServer.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QPointer>

namespace automation {

namespace {

const QString PropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString IntrospectableInterface = QStringLiteral("org.freedesktop.DBus.Introspectable");
const QString PeerInterface = QStringLiteral("org.freedesktop.DBus.Peer");

bool isIntrospection(const QDBusMessage& message)
{
    return message.interface() == IntrospectableInterface && message.member() == QLatin1String("Introspect");
}

QDBusMessage noSuchMethod(const QDBusMessage& message, const QString& member)
{
    return message.createErrorReply(QDBusError::UnknownMethod, QStringLiteral("No such method: %1").arg(member));
}

QString introspectionDocument(const QString& body)
{
    return QStringLiteral("<!DOCTYPE node PUBLIC \"-//freedesktop//DTD D-BUS Object Introspection 1.0//EN\" "
                          "\"http://www.freedesktop.org/standards/dbus/1.0/introspect.dtd\">\n<node>\n") +
           body + QStringLiteral("</node>\n");
}

// Child nodes, by the last element of each path.
QString childNodes(const QStringList& paths)
{
    QString xml;
    for (const QString& path : paths)
        xml += QStringLiteral("  <node name=\"%1\"/>\n").arg(path.section(QLatin1Char('/'), -1));
    return xml;
}

QVariantList fromBusArguments(const QVariant& value)
{
    // An "av" argument arrives as a QDBusArgument until demarshalled.
    if (value.metaType() == QMetaType::fromType<QDBusArgument>()) {
        const QDBusArgument arg = value.value<QDBusArgument>();
        QVariantList list;
        arg.beginArray();
        while (!arg.atEnd()) {
            QDBusVariant v;
            arg >> v;
            list << v.variant();
        }
        arg.endArray();
        return list;
    }
    return value.toList();
}

QString xmlEscaped(const QString& s)
{
    return s.toHtmlEscaped();
}

QString methodElement(const Member& m)
{
    QString xml = QStringLiteral("    <method name=\"%1\">\n").arg(xmlEscaped(m.name));
    for (const Argument& a : m.arguments)
        xml += QStringLiteral("      <arg name=\"%1\" type=\"%2\" direction=\"in\"/>\n").arg(a.name, a.signature);
    if (!m.signature.isEmpty())
        xml += QStringLiteral("      <arg name=\"result\" type=\"%1\" direction=\"out\"/>\n").arg(m.signature);
    return xml + QStringLiteral("    </method>\n");
}

}  // namespace

// One registered object path: dispatches the calls that arrive for it.
class ObjectNode : public QDBusVirtualObject {
public:
    ObjectNode(AutomationServer* server, QString path) : m_server(server), m_path(std::move(path)) {}

    QString introspect(const QString&) const override
    {
        auto it = m_server->m_objects.find(m_path);
        if (it == m_server->m_objects.end())
            return QString();
        QString xml = QStringLiteral("  <interface name=\"%1\">\n").arg(m_server->m_config.objectInterface);
        if (!m_server->m_config.objectHelp.isEmpty())
            xml += QStringLiteral("    <annotation name=\"org.freedesktop.DBus.Description\" value=\"%1\"/>\n")
                       .arg(xmlEscaped(m_server->m_config.objectHelp));
        const QList<Member>& members = it.value()->object->members();
        for (const Member& m : members)
            if (m.kind == Member::Kind::Method && m.interfaceName.isEmpty())
                xml += methodElement(m);
        xml += QStringLiteral("    <method name=\"Release\"/>\n"
                              "    <method name=\"Invoke\">\n"
                              "      <arg name=\"dispid\" type=\"i\" direction=\"in\"/>\n"
                              "      <arg name=\"kind\" type=\"i\" direction=\"in\"/>\n"
                              "      <arg name=\"args\" type=\"av\" direction=\"in\"/>\n"
                              "      <arg name=\"result\" type=\"v\" direction=\"out\"/>\n"
                              "    </method>\n");
        for (const Member& m : members) {
            if (m.kind == Member::Kind::Property && m.interfaceName.isEmpty())
                xml += QStringLiteral("    <property name=\"%1\" type=\"%2\" access=\"%3\"/>\n")
                           .arg(xmlEscaped(m.name), m.signature,
                                m.writable ? QStringLiteral("readwrite") : QStringLiteral("read"));
        }
        xml += QStringLiteral("  </interface>\n");
        for (const QString& further : FurtherInterfaces(members)) {
            xml += QStringLiteral("  <interface name=\"%1\">\n").arg(xmlEscaped(further));
            for (const Member& m : members) {
                if (m.interfaceName != further)
                    continue;
                if (m.kind == Member::Kind::Method) {
                    xml += methodElement(m);
                } else if (m.kind == Member::Kind::Signal) {
                    xml += QStringLiteral("    <signal name=\"%1\">\n").arg(xmlEscaped(m.name));
                    for (const Argument& a : m.arguments)
                        xml += QStringLiteral("      <arg name=\"%1\" type=\"%2\"/>\n").arg(a.name, a.signature);
                    xml += QStringLiteral("    </signal>\n");
                }
            }
            xml += QStringLiteral("  </interface>\n");
        }
        xml += QStringLiteral("  <interface name=\"%1\">\n"
                              "    <method name=\"Get\"><arg name=\"interface_name\" type=\"s\" direction=\"in\"/>"
                              "<arg name=\"property_name\" type=\"s\" direction=\"in\"/><arg name=\"value\" type=\"v\" "
                              "direction=\"out\"/></method>\n"
                              "    <method name=\"Set\"><arg name=\"interface_name\" type=\"s\" direction=\"in\"/>"
                              "<arg name=\"property_name\" type=\"s\" direction=\"in\"/><arg name=\"value\" type=\"v\" "
                              "direction=\"in\"/></method>\n"
                              "    <method name=\"GetAll\"><arg name=\"interface_name\" type=\"s\" direction=\"in\"/>"
                              "<arg name=\"values\" type=\"a{sv}\" direction=\"out\"/></method>\n"
                              "  </interface>\n")
                   .arg(PropertiesInterface);
        return xml;
    }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        // Keep the entry alive for the whole call, even if a nested event loop releases it.
        auto it = m_server->m_objects.find(m_path);
        if (it == m_server->m_objects.end() || it.value()->released) {
            connection.send(
                message.createErrorReply(QDBusError::UnknownObject, QStringLiteral("The object has been released")));
            return true;
        }
        std::shared_ptr<AutomationServer::Entry> entry = it.value();
        // An object is its creator's: another client may look at it, but neither use nor release it.
        if (message.service() != entry->owner && !isIntrospection(message) && message.interface() != PeerInterface) {
            connection.send(message.createErrorReply(QDBusError::AccessDenied,
                                                     QStringLiteral("The object belongs to another connection")));
            return true;
        }
        ++entry->activeCalls;
        QPointer<AutomationServer> server(m_server);
        const QString path = m_path;
        bool destroyAfter = false;
        QDBusMessage reply;
        try {
            reply = dispatch(*entry, message, &destroyAfter);
        } catch (const InvalidArguments& e) {
            reply = message.createErrorReply(QDBusError::InvalidArgs, e.description());
        } catch (const com::ComError& e) {
            reply = message.createErrorReply(ErrorName(m_server->m_config.errorPrefix, e.number()), e.description());
            // The bus puts the description first; source and number follow it.
            reply.setArguments({e.source(), e.number()});
        } catch (const std::exception& e) {
            reply = message.createErrorReply(QDBusError::Failed, QString::fromLocal8Bit(e.what()));
        }
        --entry->activeCalls;
        if (!server) {
            connection.send(reply);
            return true;
        }
        // Destroying the object may end the process; the reply then leaves with prepareForEnd.
        const quint64 held = server->holdReply(reply);
        if (destroyAfter || entry->released)
            server->destroyIfIdle(path);
        if (server)
            server->sendHeldReply(held);
        return true;
    }

private:
    QDBusMessage dispatch(AutomationServer::Entry& entry, const QDBusMessage& message, bool* release)
    {
        const QString iface = message.interface();
        const QString member = message.member();
        const QList<Member>& members = entry.object->members();
        const QString objectInterface = m_server->m_config.objectInterface;

        if (isIntrospection(message))
            return message.createReply(introspectionDocument(introspect(m_path)));
        if (iface == PropertiesInterface) {
            const QVariantList args = message.arguments();
            if (member == QLatin1String("Get") && message.signature() == QLatin1String("ss")) {
                const Member* m = FindMember(members, QString(), args.at(1).toString());
                if (!m || m->kind != Member::Kind::Property || !knownInterface(args.at(0).toString()))
                    return message.createErrorReply(QDBusError::UnknownProperty, QStringLiteral("No such property"));
                return message.createReply(QVariant::fromValue(QDBusVariant(entry.object->getProperty(m->name))));
            }
            if (member == QLatin1String("Set") && message.signature() == QLatin1String("ssv")) {
                const Member* m = FindMember(members, QString(), args.at(1).toString());
                if (!m || m->kind != Member::Kind::Property || !knownInterface(args.at(0).toString()))
                    return message.createErrorReply(QDBusError::UnknownProperty, QStringLiteral("No such property"));
                QVariant value;
                if (!ConvertToSignature(args.at(2), m->signature, value))
                    return message.createErrorReply(
                        QDBusError::InvalidArgs,
                        QStringLiteral("Property %1 takes type %2").arg(m->name, m->signature));
                entry.object->setProperty(m->name, value);
                return message.createReply();
            }
            if (member == QLatin1String("GetAll") && message.signature() == QLatin1String("s")) {
                const QString asked = args.at(0).toString();
                const bool further = FurtherInterfaces(members).contains(asked);
                if (!knownInterface(asked) && !further)
                    return message.createErrorReply(QDBusError::UnknownInterface,
                                                    QStringLiteral("No such interface: %1").arg(asked));
                QVariantMap all;
                for (const Member& m : members) {
                    // A further interface has no properties of its own.
                    if (m.kind != Member::Kind::Property || further || !m.interfaceName.isEmpty())
                        continue;
                    try {
                        all.insert(m.name, entry.object->getProperty(m.name));
                    } catch (const com::ComError&) {
                        // A property that cannot be read now is left out.
                    }
                }
                return message.createReply(QVariant::fromValue(all));
            }
            return message.createErrorReply(QDBusError::InvalidArgs, QStringLiteral("Unknown call or arguments"));
        }
        const bool ownInterface = iface.isEmpty() || iface == objectInterface;
        if (!ownInterface && !FurtherInterfaces(members).contains(iface))
            return message.createErrorReply(QDBusError::UnknownInterface,
                                            QStringLiteral("No such interface: %1").arg(iface));
        if (!ownInterface)
            return callMember(entry, message, FindMember(members, iface, member));

        if (member == QLatin1String("Release")) {
            if (!message.signature().isEmpty())
                return message.createErrorReply(QDBusError::InvalidArgs, QStringLiteral("Release takes no arguments"));
            *release = true;
            m_server->releaseObject(m_path);
            return message.createReply();
        }
        if (member == QLatin1String("Invoke")) {
            if (message.signature() != QLatin1String("iiav"))
                return message.createErrorReply(QDBusError::InvalidArgs,
                                                QStringLiteral("Invoke takes arguments (iiav)"));
            const QVariantList args = message.arguments();
            return invoke(entry, message, args.at(0).toInt(), args.at(1).toInt(), fromBusArguments(args.at(2)));
        }
        return callMember(entry, message,
                          iface.isEmpty() ? FindMember(members, member) : FindMember(members, QString(), member));
    }

    QDBusMessage callMember(AutomationServer::Entry& entry, const QDBusMessage& message, const Member* m)
    {
        if (!m || m->kind != Member::Kind::Method)
            return noSuchMethod(message, message.member());
        QString signature;
        for (const Argument& a : m->arguments)
            signature += a.signature;
        if (message.signature() != signature)
            return message.createErrorReply(QDBusError::InvalidArgs,
                                            QStringLiteral("%1 takes arguments (%2)").arg(m->name, signature));
        const QVariant result = entry.object->callMethod(m->name, message.arguments());
        return result.isValid() ? message.createReply(result) : message.createReply();
    }

    QDBusMessage invoke(AutomationServer::Entry& entry, const QDBusMessage& message, qint32 dispid, qint32 kind,
                        const QVariantList& args)
    {
        const Member* m = FindMember(entry.object->members(), dispid);
        const auto reply = [&](const QVariant& v) {
            return message.createReply(QVariant::fromValue(QDBusVariant(v.isValid() ? v : QVariant(QString()))));
        };
        if (!m)
            return message.createErrorReply(QDBusError::InvalidArgs,
                                            QStringLiteral("Unknown dispatch id %1").arg(dispid));
        // Late-binding clients ask for "method or property get" at once, as IDispatch allows.
        const bool methodOrGet = kind == (DispatchMethod | DispatchPropertyGet);
        if (m->kind == Member::Kind::Method && (kind == DispatchMethod || methodOrGet)) {
            if (args.size() != m->arguments.size())
                return message.createErrorReply(
                    QDBusError::InvalidArgs,
                    QStringLiteral("%1 takes %2 arguments").arg(m->name).arg(m->arguments.size()));
            QVariantList converted;
            for (int i = 0; i < args.size(); ++i) {
                QVariant v;
                if (!ConvertToSignature(args[i], m->arguments[i].signature, v))
                    return message.createErrorReply(
                        QDBusError::InvalidArgs,
                        QStringLiteral("Argument %1 of %2 has the wrong type").arg(i + 1).arg(m->name));
                converted << v;
            }
            return reply(entry.object->callMethod(m->name, converted));
        }
        if (m->kind == Member::Kind::Property && (kind == DispatchPropertyGet || methodOrGet) && args.isEmpty())
            return reply(entry.object->getProperty(m->name));
        if (m->kind == Member::Kind::Property && kind == DispatchPropertyPut && args.size() == 1) {
            QVariant v;
            if (!ConvertToSignature(args[0], m->signature, v))
                return message.createErrorReply(QDBusError::InvalidArgs,
                                                QStringLiteral("Property %1 takes type %2").arg(m->name, m->signature));
            entry.object->setProperty(m->name, v);
            return reply(QVariant());
        }
        return message.createErrorReply(QDBusError::InvalidArgs,
                                        QStringLiteral("Dispatch id %1 does not take kind %2 with %3 arguments")
                                            .arg(dispid)
                                            .arg(kind)
                                            .arg(args.size()));
    }

    bool knownInterface(const QString& name) const
    {
        return name.isEmpty() || name == m_server->m_config.objectInterface;
    }

    AutomationServer* m_server;
    QString m_path;
};

// The class factory at "/": CreateInstance() -> o.
class FactoryNode : public QDBusVirtualObject {
public:
    explicit FactoryNode(AutomationServer* server) : m_server(server) {}

    QString introspect(const QString&) const override { return introspectFor(QString()); }

    // The factory and the caller's own objects, if it has any, as nodes within the objects' folder.
    QString introspectFor(const QString& caller) const
    {
        QString xml =
            QStringLiteral(
                "  <interface name=\"%1\">\n"
                "    <method name=\"CreateInstance\"><arg name=\"object\" type=\"o\" direction=\"out\"/></method>\n"
                "  </interface>\n")
                .arg(m_server->m_config.factoryInterface);
        const QStringList objects = m_server->objectsOf(caller);
        if (objects.isEmpty())
            return xml;
        const QStringList folders = m_server->m_config.objectPathPrefix.split(QLatin1Char('/'), Qt::SkipEmptyParts);
        QString nested = childNodes(objects);
        for (auto it = folders.crbegin(); it != folders.crend(); ++it)
            nested = QStringLiteral("  <node name=\"%1\">\n").arg(*it) + nested + QStringLiteral("  </node>\n");
        return xml + nested;
    }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        if (isIntrospection(message)) {
            connection.send(message.createReply(introspectionDocument(introspectFor(message.service()))));
            return true;
        }
        if ((message.interface().isEmpty() || message.interface() == m_server->m_config.factoryInterface) &&
            message.member() == QLatin1String("CreateInstance") && message.signature().isEmpty()) {
            try {
                const QString path = m_server->createObject(message.service());
                connection.send(message.createReply(QVariant::fromValue(QDBusObjectPath(path))));
            } catch (const com::ComError& e) {
                QDBusMessage reply =
                    message.createErrorReply(ErrorName(m_server->m_config.errorPrefix, e.number()), e.description());
                reply.setArguments({e.source(), e.number()});
                connection.send(reply);
            }
            return true;
        }
        connection.send(noSuchMethod(message, message.member()));
        return true;
    }

private:
    AutomationServer* m_server;
};

// The folder of the objects: introspection lists the caller's own objects, nobody else's.
class ContainerNode : public QDBusVirtualObject {
public:
    explicit ContainerNode(AutomationServer* server) : m_server(server) {}

    QString introspect(const QString&) const override { return QString(); }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        if (isIntrospection(message)) {
            connection.send(
                message.createReply(introspectionDocument(childNodes(m_server->objectsOf(message.service())))));
            return true;
        }
        connection.send(noSuchMethod(message, message.member()));
        return true;
    }

private:
    AutomationServer* m_server;
};

AutomationServer::AutomationServer(ServerConfig config, Factory factory, QDBusConnection connection, QObject* parent)
    : QObject(parent), m_config(std::move(config)), m_factory(std::move(factory)), m_connection(std::move(connection))
{
    m_watcher = new QDBusServiceWatcher(this);
    m_watcher->setConnection(m_connection);
    m_watcher->setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
    connect(m_watcher, &QDBusServiceWatcher::serviceUnregistered, this, &AutomationServer::onClientGone);
}

AutomationServer::~AutomationServer()
{
    for (auto it = m_objects.begin(); it != m_objects.end(); ++it)
        m_connection.unregisterObject(it.key());
}

bool AutomationServer::start(bool requestName, QString* error)
{
    if (!m_connection.isConnected()) {
        if (error)
            *error = m_connection.lastError().message();
        return false;
    }
    m_connection.connect(QString(), QStringLiteral("/org/freedesktop/DBus/Local"),
                         QStringLiteral("org.freedesktop.DBus.Local"), QStringLiteral("Disconnected"), this,
                         SLOT(onDisconnected()));
    m_factoryNode = std::make_unique<FactoryNode>(this);
    m_containerNode = std::make_unique<ContainerNode>(this);
    if (!m_connection.registerVirtualObject(QStringLiteral("/"), m_factoryNode.get(), QDBusConnection::SingleNode) ||
        !m_connection.registerVirtualObject(m_config.objectPathPrefix, m_containerNode.get(),
                                            QDBusConnection::SingleNode)) {
        if (error)
            *error = QStringLiteral("Cannot register the class factory");
        return false;
    }
    if (requestName && !m_connection.registerService(m_config.serviceName)) {
        if (error) {
            // A name that another process holds is refused without any error of the connection.
            const QDBusError reason = m_connection.lastError();
            const QDBusReply<uint> owner = m_connection.interface()->servicePid(m_config.serviceName);
            if (owner.isValid())
                *error = QStringLiteral("the name is already taken by process %1").arg(owner.value());
            else
                *error = reason.isValid() ? reason.message() : QStringLiteral("the bus refused the name");
        }
        return false;
    }
    m_ownsName = requestName;
    return true;
}

quint64 AutomationServer::holdReply(const QDBusMessage& reply)
{
    const quint64 id = m_nextReplyId++;
    m_heldReplies.insert(id, reply);
    return id;
}

void AutomationServer::sendHeldReply(quint64 id)
{
    const auto it = m_heldReplies.find(id);
    if (it == m_heldReplies.end())
        return;
    m_connection.send(it.value());
    m_heldReplies.erase(it);
}

void AutomationServer::prepareForEnd()
{
    // Giving up the name is a call to the bus daemon: when it returns, new requests go elsewhere.
    if (m_ownsName && m_connection.isConnected())
        m_connection.unregisterService(m_config.serviceName);
    m_ownsName = false;
    for (const QDBusMessage& reply : std::as_const(m_heldReplies))
        m_connection.send(reply);
    m_heldReplies.clear();
    // A round trip to the bus daemon returns only after it has read everything sent before it.
    QDBusMessage ping =
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                                       QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetId"));
    m_connection.call(ping, QDBus::Block, 2000);
}

QString AutomationServer::createObject(const QString& owner)
{
    auto entry = std::make_shared<Entry>();
    QString path = m_config.objectPathPrefix + QLatin1Char('/') + QString::number(m_nextId++);
    entry->owner = owner;
    entry->node = std::make_unique<ObjectNode>(this, path);
    m_objects.insert(path, entry);
    // The object is made after it is listed, so that a creation that runs events finds it.
    entry->object = m_factory(owner);
    // Its signals go to its creator alone, as its replies do; an object nobody created has no listener.
    entry->object->setSignalSink(
        [this, path, owner](const QString& iface, const QString& name, const QVariantList& arguments) {
            if (owner.isEmpty())
                return;
            QDBusMessage signal = QDBusMessage::createTargetedSignal(owner, path, iface, name);
            signal.setArguments(arguments);
            m_connection.send(signal);
        });
    m_connection.registerVirtualObject(path, entry->node.get(), QDBusConnection::SingleNode);
    if (!owner.isEmpty() && !m_watcher->watchedServices().contains(owner))
        m_watcher->addWatchedService(owner);
    return path;
}

bool AutomationServer::releaseObject(const QString& path)
{
    auto it = m_objects.find(path);
    if (it == m_objects.end() || it.value()->released)
        return false;
    it.value()->released = true;
    it.value()->object->markReleased();
    m_connection.unregisterObject(path);
    destroyIfIdle(path);
    return true;
}

void AutomationServer::destroyIfIdle(const QString& path)
{
    auto it = m_objects.find(path);
    if (it == m_objects.end() || !it.value()->released || it.value()->activeCalls > 0)
        return;
    std::shared_ptr<Entry> entry = it.value();
    m_objects.erase(it);
    // Destroying the object may end the process (the last object of a hidden window).
    entry->object.reset();
}

QStringList AutomationServer::objectsOf(const QString& client) const
{
    QStringList paths;
    for (auto it = m_objects.begin(); it != m_objects.end(); ++it)
        if (it.value()->owner == client && !it.value()->released)
            paths << it.key();
    return paths;
}

void AutomationServer::onClientGone(const QString& client)
{
    const QStringList paths = m_objects.keys();
    for (const QString& path : paths) {
        auto it = m_objects.find(path);
        if (it != m_objects.end() && it.value()->owner == client)
            releaseObject(path);
    }
    m_watcher->removeWatchedService(client);
}

void AutomationServer::onDisconnected()
{
    emit connectionLost();
}

}  // namespace automation

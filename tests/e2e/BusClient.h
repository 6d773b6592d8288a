#pragma once
// Calls on the plug-in over the session bus, as a director makes them, for the whole-process tests.
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTextStream>

#include "support/TestEnvironment.h"

namespace e2e {

// Writes the plug-in's activation file (/regserver), so that the bus of this run can start it; an
// empty text when that worked, else what went wrong.
inline QString RegisterServer()
{
    QProcess reg;
    reg.start(testsupport::BinDir() + QStringLiteral("/KR5MHUConfigure"), {QStringLiteral("/regserver")});
    if (!reg.waitForFinished(20000))
        return QStringLiteral("/regserver did not end");
    return reg.exitCode() == 0 ? QString() : QStringLiteral("/regserver ended with %1").arg(reg.exitCode());
}

inline const QString Service = QStringLiteral("KR5MHUConfigure.LNSPlugInAPI");
inline const QString Interface = QStringLiteral("KR5MHUConfigure._LNSPlugInAPI");

// On the test's own connection, or as another director on a connection of its own.
inline QDBusMessage call(const QString& path, const QString& iface, const QString& member,
                         const QVariantList& args = {},
                         const QDBusConnection& connection = QDBusConnection::sessionBus())
{
    QDBusMessage m = QDBusMessage::createMethodCall(Service, path, iface, member);
    m.setArguments(args);
    // A command may wait on a (scripted) person.
    return connection.call(m, QDBus::Block, 120000);
}

inline QString createObject(const QDBusConnection& connection = QDBusConnection::sessionBus())
{
    const QDBusMessage reply = call(QStringLiteral("/"), QStringLiteral("KR5MHUConfigure.ClassFactory"),
                                    QStringLiteral("CreateInstance"), {}, connection);
    return reply.arguments().value(0).value<QDBusObjectPath>().path();
}

inline QDBusMessage setBusProperty(const QString& path, const QString& name, const QVariant& value,
                                   const QDBusConnection& connection = QDBusConnection::sessionBus())
{
    return call(path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"),
                {Interface, name, QVariant::fromValue(QDBusVariant(value))}, connection);
}

inline QVariant busProperty(const QString& path, const QString& name,
                            const QDBusConnection& connection = QDBusConnection::sessionBus())
{
    return call(path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"), {Interface, name},
                connection)
        .arguments()
        .value(0)
        .value<QDBusVariant>()
        .variant();
}

inline QDBusMessage sendCommand(const QString& path, qint32 command, qint16 objectClass, const QString& object)
{
    return call(path, Interface, QStringLiteral("SendCommand"),
                {command, QVariant::fromValue<qint16>(objectClass), object});
}

// Pushes variables into the environment of servers the bus starts from now on.
inline bool setActivationEnvironment(const QMap<QString, QString>& variables)
{
    QDBusMessage m = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("UpdateActivationEnvironment"));
    qDBusRegisterMetaType<QMap<QString, QString>>();
    QMap<QString, QString> copy = variables;
    m << QVariant::fromValue(copy);
    return QDBusConnection::sessionBus().call(m).type() == QDBusMessage::ReplyMessage;
}

inline bool serverRunning()
{
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(Service);
}

// Releases the object and waits for the server to end.
inline bool releaseAndWaitForEnd(const QString& path)
{
    QDBusServiceWatcher watcher(Service, QDBusConnection::sessionBus(), QDBusServiceWatcher::WatchForUnregistration);
    QSignalSpy ended(&watcher, &QDBusServiceWatcher::serviceUnregistered);
    if (call(path, Interface, QStringLiteral("Release")).type() != QDBusMessage::ReplyMessage)
        return false;
    return ended.count() > 0 || ended.wait(15000) || !serverRunning();
}

inline QStringList readLines(const QString& file)
{
    QStringList lines;
    QFile f(file);
    if (f.open(QIODevice::ReadOnly | QIODevice::Text)) {
        QTextStream in(&f);
        while (!in.atEnd())
            lines << in.readLine();
    }
    return lines;
}

}  // namespace e2e

// The plug-in object as a director sees it over a real session bus: activation through the
// activation file, identity and window properties with their errors, dispatch against the command
// table, wrong argument types, release of a dead client's objects, and the end of the process when
// the last object goes while the window is hidden.
// One program past 600 lines on purpose: its functions share the private bus and the activation set-up, and
// each program split off would link the whole plug-in and set that up again.
#include "platform/automation/Activation.h"
#include "platform/automation/AutomationServer.h"
#include "platform/base/ComError.h"
#include "platform/objectserver/ObjectServer.h"
#include "support/TestEnvironment.h"

#include <signal.h>
#include <sys/types.h>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QXmlStreamReader>

namespace {

const QString Service = QStringLiteral("KR5MHUConfigure.LNSPlugInAPI");
const QString Interface = QStringLiteral("KR5MHUConfigure._LNSPlugInAPI");
const QString Properties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString Profiles = QStringLiteral("KR5MHUConfigure.Profiles");

QDBusMessage callOn(const QDBusConnection& connection, const QString& path, const QString& iface, const QString& member,
                    const QVariantList& args = {})
{
    QDBusMessage m = QDBusMessage::createMethodCall(Service, path, iface, member);
    m.setArguments(args);
    return connection.call(m, QDBus::Block, 60000);
}

QDBusMessage call(const QString& path, const QString& iface, const QString& member, const QVariantList& args = {})
{
    return callOn(QDBusConnection::sessionBus(), path, iface, member, args);
}

// A new plug-in object of the connection; its path, empty on failure.
QString create(const QDBusConnection& connection = QDBusConnection::sessionBus())
{
    return callOn(connection, QStringLiteral("/"), QStringLiteral("KR5MHUConfigure.ClassFactory"),
                  QStringLiteral("CreateInstance"))
        .arguments()
        .value(0)
        .value<QDBusObjectPath>()
        .path();
}

QString introspect(const QDBusConnection& connection, const QString& path)
{
    return callOn(connection, path, QStringLiteral("org.freedesktop.DBus.Introspectable"), QStringLiteral("Introspect"))
        .arguments()
        .value(0)
        .toString();
}

// The innermost nodes an introspection document lists, nested ones included, as paths below base.
QStringList listedNodes(const QString& document, const QString& base)
{
    QStringList found;
    QStringList names;
    QList<bool> hasChildren;
    QXmlStreamReader xml(document);
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement && xml.name() == QLatin1String("node")) {
            if (!hasChildren.isEmpty())
                hasChildren.last() = true;
            names << xml.attributes().value(QLatin1String("name")).toString();
            hasChildren << false;
        } else if (token == QXmlStreamReader::EndElement && xml.name() == QLatin1String("node")) {
            if (names.size() > 1 && !hasChildren.last())
                found << (base == QLatin1String("/") ? QString() : base) + QLatin1Char('/') +
                             names.mid(1).join(QLatin1Char('/'));
            names.removeLast();
            hasChildren.removeLast();
        }
    }
    return found;
}

// The objects a connection finds by walking the tree from the root, each node asked itself.
QStringList objectsSeenBy(const QDBusConnection& connection, const QString& path = QStringLiteral("/"))
{
    QStringList found;
    const QString document = introspect(connection, path);
    QXmlStreamReader xml(document);
    int depth = 0;
    QStringList children;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement && xml.name() == QLatin1String("node")) {
            if (++depth == 2)
                children << xml.attributes().value(QLatin1String("name")).toString();
        } else if (token == QXmlStreamReader::EndElement && xml.name() == QLatin1String("node")) {
            --depth;
        }
    }
    if (children.isEmpty() && path != QLatin1String("/"))
        return {path};
    for (const QString& child : children)
        found << objectsSeenBy(connection, (path == QLatin1String("/") ? QString() : path) + QLatin1Char('/') + child);
    found.sort();
    return found;
}

QVariant get(const QString& path, const QString& property)
{
    const QDBusMessage reply = call(path, Properties, QStringLiteral("Get"), {Interface, property});
    if (reply.type() != QDBusMessage::ReplyMessage)
        return QVariant(QStringLiteral("ERROR ") + reply.errorName());
    return reply.arguments().value(0).value<QDBusVariant>().variant();
}

QDBusMessage set(const QString& path, const QString& property, const QVariant& value)
{
    return call(path, Properties, QStringLiteral("Set"),
                {Interface, property, QVariant::fromValue(QDBusVariant(value))});
}

// The failure's number as the plug-in raised it: from the error name and from the arguments.
void verifyPlugInError(const QDBusMessage& reply, int number, const QString& description)
{
    QCOMPARE(reply.type(), QDBusMessage::ErrorMessage);
    QCOMPARE(reply.errorName(), QStringLiteral("KR5MHUConfigure.Error.E%1").arg(number));
    QCOMPARE(reply.errorMessage(), description);
    const QVariantList args = reply.arguments();
    QCOMPARE(args.size(), 3);
    QCOMPARE(args[1].toString(), QStringLiteral("Kestrova KR5M-HU Configure"));
    QCOMPARE(args[2].toInt(), number);
}

// Owns the plug-in's name and, like a plug-in process that is ending, leaves the bus with the first
// request it gets, unanswered.
class EndingServer : public QDBusVirtualObject {
public:
    bool handleMessage(const QDBusMessage&, const QDBusConnection& connection) override
    {
        ++requests;
        // The connection closes once nobody holds it any more: not from within its own call.
        QTimer::singleShot(0, [name = connection.name()] { QDBusConnection::disconnectFromBus(name); });
        return true;
    }
    QString introspect(const QString&) const override { return QString(); }
    int requests = 0;
};

// An object whose one method fails with the number it was made with.
class FailingObject : public automation::Dispatchable {
public:
    explicit FailingObject(qint32 number) : m_number(number) {}
    const QList<automation::Member>& members() const override
    {
        static const QList<automation::Member> table{
            {automation::Member::Kind::Method, QStringLiteral("Fail"), 1, {}, true, {}}};
        return table;
    }
    QVariant getProperty(const QString&) override { return {}; }
    void setProperty(const QString&, const QVariant&) override {}
    QVariant callMethod(const QString&, const QVariantList&) override
    {
        throw com::ComError(m_number, QStringLiteral("Failing"), QStringLiteral("it failed"));
    }

private:
    qint32 m_number;
};

// Serves FailingObject under its own name on a connection of its own, and takes it off the bus
// however the test ends.
class FailingServer {
public:
    static constexpr const char* Name = "KR5MHUConfigure.Test.Failing";
    explicit FailingServer(qint32 number)
        : m_connection(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("failing"))),
          m_server(
              {QLatin1String(Name), QStringLiteral("KR5MHUConfigure.ClassFactory"), Interface,
               QStringLiteral("/LNSPlugInAPI"), QStringLiteral("KR5MHUConfigure.Error."), QString()},
              [number](const QString&) { return std::make_unique<FailingObject>(number); }, m_connection)
    {
    }
    ~FailingServer()
    {
        m_connection.unregisterService(QLatin1String(Name));
        QDBusConnection::disconnectFromBus(QStringLiteral("failing"));
    }
    bool start() { return m_server.start(true); }

private:
    QDBusConnection m_connection;
    automation::AutomationServer m_server;
};

// Closes the named connections when it goes, however the test function ends.
struct NamedConnections {
    QStringList names;
    ~NamedConnections()
    {
        for (const QString& name : names)
            QDBusConnection::disconnectFromBus(name);
    }
};

bool waitUntilNotServed(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (QDBusConnection::sessionBus().interface()->isServiceRegistered(Service)) {
        if (timer.elapsed() > ms)
            return false;
        QTest::qWait(50);
    }
    return true;
}

// A call answered by this process itself: the event loop must run while it waits.
QDBusMessage callServedHere(const QString& path, const QString& iface, const QString& member)
{
    QDBusMessage m = QDBusMessage::createMethodCall(QLatin1String(FailingServer::Name), path, iface, member);
    QDBusPendingCall pending = QDBusConnection::sessionBus().asyncCall(m, 20000);
    QElapsedTimer timer;
    timer.start();
    while (!pending.isFinished() && timer.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return pending.reply();
}

}  // namespace

class TestPlugInObjectBus : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(QDBusConnection::sessionBus().isConnected(), "the test runs on its own session bus");
        QVERIFY2(!qEnvironmentVariable("KR5M_TEST_WORLD").isEmpty(), "started by cmake/run-on-bus.sh");
        QProcess reg;
        reg.start(testsupport::BinDir() + QStringLiteral("/KR5MHUConfigure"), {QStringLiteral("/regserver")});
        QVERIFY(reg.waitForFinished(20000));
        QCOMPARE(reg.exitCode(), 0);
    }
    // A test that failed half-way leaves its objects, and with them the server: end it here, so that
    // the next test starts a process of its own instead of failing on this one's leftovers.
    void cleanup()
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("stranger"));
        QDBusConnection::disconnectFromBus(QStringLiteral("idle"));
        if (!QDBusConnection::sessionBus().interface()->isServiceRegistered(Service))
            return;
        for (const QString& path : objectsSeenBy(QDBusConnection::sessionBus()))
            call(path, Interface, QStringLiteral("Release"));
        if (waitUntilNotServed(5000))
            return;
        const uint pid = QDBusConnection::sessionBus().interface()->servicePid(Service);
        if (pid != 0 && qint64(pid) != QCoreApplication::applicationPid())
            ::kill(pid_t(pid), SIGKILL);
        QVERIFY(waitUntilNotServed(10000));
    }

    void wholeLife()
    {
        // Activation by the bus, two objects.
        const QDBusMessage a =
            call(QStringLiteral("/"), QStringLiteral("KR5MHUConfigure.ClassFactory"), QStringLiteral("CreateInstance"));
        QCOMPARE(a.type(), QDBusMessage::ReplyMessage);
        const QString first = a.arguments().value(0).value<QDBusObjectPath>().path();
        const QString second =
            call(QStringLiteral("/"), QStringLiteral("KR5MHUConfigure.ClassFactory"), QStringLiteral("CreateInstance"))
                .arguments()
                .value(0)
                .value<QDBusObjectPath>()
                .path();
        QVERIFY(first.startsWith(QStringLiteral("/LNSPlugInAPI/")));
        QVERIFY(second != first);

        // Identity.
        QCOMPARE(get(first, "Name").toString(), QStringLiteral("Kestrova KR5M-HU Configure"));
        QCOMPARE(get(second, "ManufacturerName").toString(), QStringLiteral("Kestrova Inc."));
        QCOMPARE(get(first, "ManufacturerID").toString(), QStringLiteral("211"));
        QCOMPARE(get(first, "LcaVersion").toString(), QStringLiteral("3.0"));
        QVERIFY(QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+$"))
                    .match(get(first, "Version").toString())
                    .hasMatch());
        verifyPlugInError(set(first, "Name", QStringLiteral("Other")), 20002,
                          QStringLiteral("Attempt to write to read-only property"));
        QCOMPARE(get(first, "Name").toString(), QStringLiteral("Kestrova KR5M-HU Configure"));

        // Dispatch against the command table.
        verifyPlugInError(
            call(first, Interface, "SendCommand", {qint32(99), QVariant::fromValue<qint16>(7), QStringLiteral("a/b")}),
            20003, QStringLiteral("Command not supported"));
        verifyPlugInError(
            call(first, Interface, "SendCommand", {qint32(13), QVariant::fromValue<qint16>(9), QStringLiteral("a/b")}),
            20004, QStringLiteral("Object type not supported for this command"));

        // The development program ID is kept only at 16 characters.
        QCOMPARE(set(first, "DevelopmentProgramId", QStringLiteral("8000D3550004040B")).type(),
                 QDBusMessage::ReplyMessage);
        QCOMPARE(get(second, "DevelopmentProgramId").toString(), QStringLiteral("8000D3550004040B"));
        QCOMPARE(set(first, "DevelopmentProgramId", QStringLiteral("8000D3550004040")).type(),
                 QDBusMessage::ReplyMessage);
        QCOMPARE(get(first, "DevelopmentProgramId").toString(), QString());

        // Invoke by dispatch id.
        const QDBusMessage byId = call(first, Interface, "Invoke", {qint32(0x68030001), qint32(2), QVariantList{}});
        QCOMPARE(byId.arguments().value(0).value<QDBusVariant>().variant().toString(),
                 QStringLiteral("Kestrova KR5M-HU Configure"));
        verifyPlugInError(
            call(first, Interface, "Invoke",
                 {qint32(0x68030005), qint32(4), QVariantList{QVariant::fromValue(QDBusVariant(QStringLiteral("x")))}}),
            20002, QStringLiteral("Attempt to write to read-only property"));

        // Wrong argument types are D-Bus errors, not crashes.
        const QDBusMessage wrongArgs =
            call(first, Interface, "SendCommand", {QStringLiteral("13"), QStringLiteral("7"), QStringLiteral("x")});
        QCOMPARE(wrongArgs.errorName(), QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"));
        QCOMPARE(set(first, "Height", QStringLiteral("tall")).errorName(),
                 QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"));
        QCOMPARE(get(first, "Name").toString(), QStringLiteral("Kestrova KR5M-HU Configure"));

        // Minimised while hidden: refused, but applied when the window is shown.
        QCOMPARE(get(first, "Visible").toBool(), false);
        verifyPlugInError(
            set(first, "Minimized", true), 20006,
            QStringLiteral("Can not modify the minimzed property when invisble. The property will be applied "
                           "the next time the plug-in is made visible"));
        QCOMPARE(set(first, "Visible", true).type(), QDBusMessage::ReplyMessage);
        QCOMPARE(get(first, "Visible").toBool(), true);
        QCOMPARE(get(first, "Minimized").toBool(), true);
        verifyPlugInError(set(first, "left", 10), 20006,
                          QStringLiteral("Plug-in can't be moved or sized while minimized or maximized"));
        QCOMPARE(set(first, "Minimized", false).type(), QDBusMessage::ReplyMessage);
        // (Still within the offscreen screen's 800 pixels.)
        const int wider = get(first, "Width").toInt() + 20;
        QCOMPARE(set(first, "Width", wider).type(), QDBusMessage::ReplyMessage);
        QCOMPARE(get(first, "Width").toInt(), wider);
        QCOMPARE(set(first, "top", 17).type(), QDBusMessage::ReplyMessage);
        QCOMPARE(get(first, "top").toInt(), 17);
        QCOMPARE(set(first, "Visible", false).type(), QDBusMessage::ReplyMessage);

        // A client that leaves the bus has its objects released.
        QProcess director;
        director.start(testsupport::BinDir() + QStringLiteral("/lnsdirector"),
                       {QStringLiteral("session"), QStringLiteral("-c"), QStringLiteral("create")});
        QVERIFY(director.waitForFinished(30000));
        QCOMPARE(director.exitCode(), 0);
        const QString orphan = QString::fromUtf8(director.readAllStandardOutput()).trimmed();
        QVERIFY2(orphan.startsWith(QStringLiteral("/LNSPlugInAPI/")), qPrintable(orphan));
        QTRY_COMPARE_WITH_TIMEOUT(call(orphan, Properties, "Get", {Interface, QStringLiteral("Name")}).errorName(),
                                  QStringLiteral("org.freedesktop.DBus.Error.UnknownObject"), 10000);

        // Releasing the last object while the window is hidden ends the process.
        QDBusServiceWatcher watcher(Service, QDBusConnection::sessionBus(),
                                    QDBusServiceWatcher::WatchForUnregistration);
        QSignalSpy ended(&watcher, &QDBusServiceWatcher::serviceUnregistered);
        QCOMPARE(call(second, Interface, "Release").type(), QDBusMessage::ReplyMessage);
        QVERIFY(QDBusConnection::sessionBus().interface()->isServiceRegistered(Service));
        QCOMPARE(call(first, Interface, "Release").type(), QDBusMessage::ReplyMessage);
        QVERIFY(ended.wait(10000) || ended.count() > 0);
        QVERIFY(!QDBusConnection::sessionBus().interface()->isServiceRegistered(Service));
    }

    // The bus starts the program wherever it lies, whatever its folder's name holds.
    void activationFindsTheProgramUnderAnyName_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::newRow("blanks") << "with blanks";
        QTest::newRow("quotes") << "say \"it\" 'twice'";
        QTest::newRow("backslashes") << "a\\b\\\\c";
        QTest::newRow("dollar and backquote") << "$HOME `x`";
        QTest::newRow("line break") << "two\nlines";
    }
    void activationFindsTheProgramUnderAnyName()
    {
        QFETCH(QString, folder);
        const QString world = qEnvironmentVariable("KR5M_TEST_WORLD");
        const QString marker = world + QStringLiteral("/started");
        QFile::remove(marker);
        QVERIFY(QDir().mkpath(world + QLatin1Char('/') + folder));
        const QString program = world + QLatin1Char('/') + folder + QStringLiteral("/probe");
        QFile script(program);
        QVERIFY(script.open(QIODevice::WriteOnly));
        // Written aside and renamed, so that the marker never exists half written.
        script.write("#!/bin/sh\nprintf '%s' \"$0\" > \"$KR5M_TEST_WORLD/started.part\" &&"
                     " mv \"$KR5M_TEST_WORLD/started.part\" \"$KR5M_TEST_WORLD/started\"\n");
        script.close();
        QVERIFY(script.setPermissions(script.permissions() | QFileDevice::ExeOwner));
        // A name of its own for each row: the bus may keep what it read of an earlier file.
        static int probes = 0;
        const QString service = QStringLiteral("KR5MHUConfigure.ActivationProbe%1").arg(++probes);
        QVERIFY(automation::WriteActivationFile(service, program));
        // The probe ends without taking the name, so the start itself never succeeds (the bus gives up
        // only after its activation timeout): asked without waiting for the answer.
        QDBusConnection::sessionBus().interface()->asyncCall(QStringLiteral("StartServiceByName"), service, 0u);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker), 10000);
        QFile started(marker);
        QVERIFY(started.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(started.readAll()), program);
        QVERIFY(automation::RemoveActivationFile(service));
    }

    // A process started for a call that makes no object (here a Release sent to an object of a process
    // that has ended) ends by itself instead of staying for good.
    void startedWithoutAnObjectEnds()
    {
        QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
        QVERIFY(!bus->isServiceRegistered(Service));
        QDBusServiceWatcher watcher(Service, QDBusConnection::sessionBus(),
                                    QDBusServiceWatcher::WatchForUnregistration);
        QSignalSpy ended(&watcher, &QDBusServiceWatcher::serviceUnregistered);
        const QDBusMessage reply = call(QStringLiteral("/LNSPlugInAPI/7"), Interface, QStringLiteral("Release"));
        QCOMPARE(reply.errorName(), QStringLiteral("org.freedesktop.DBus.Error.UnknownObject"));
        QVERIFY(bus->isServiceRegistered(Service));
        QVERIFY(ended.wait(15000) || ended.count() > 0);
    }

    // When the process a creation reached leaves without answering, the director asks again and a new
    // process serves it.
    void directorAsksAgainWhenTheServerLeaves()
    {
        EndingServer ending;
        const NamedConnections gone{{QStringLiteral("ending")}};
        {
            // Held by name only, so that leaving the bus really closes it.
            QDBusConnection fake = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("ending"));
            QVERIFY(fake.registerVirtualObject(QStringLiteral("/"), &ending, QDBusConnection::SingleNode));
            QVERIFY(fake.registerService(Service));
        }

        QProcess director;
        QSignalSpy finished(&director, &QProcess::finished);
        director.start(testsupport::BinDir() + QStringLiteral("/lnsdirector"),
                       {QStringLiteral("session"), QStringLiteral("-c"), QStringLiteral("create; release; wait")});
        QVERIFY(finished.wait(30000));
        const QString out = QString::fromUtf8(director.readAllStandardOutput());
        QCOMPARE(ending.requests, 1);
        QVERIFY2(director.exitCode() == 0, qPrintable(out + QString::fromUtf8(director.readAllStandardError())));
        QVERIFY2(out.startsWith(QStringLiteral("/LNSPlugInAPI/1\nok\nended")), qPrintable(out));
    }

    // A director that creates an object as soon as the last one of the previous process is released
    // must get it from a new process, not lose the request with the ending one.
    void createRightAfterTheLastRelease()
    {
        QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
        uint previous = 0;
        for (int round = 0; round < 5; ++round) {
            const QDBusMessage created = call(QStringLiteral("/"), QStringLiteral("KR5MHUConfigure.ClassFactory"),
                                              QStringLiteral("CreateInstance"));
            QVERIFY2(created.type() == QDBusMessage::ReplyMessage,
                     qPrintable(created.errorName() + QLatin1Char(' ') + created.errorMessage()));
            const QString path = created.arguments().value(0).value<QDBusObjectPath>().path();
            const uint process = bus->servicePid(Service).value();
            QVERIFY(process != 0 && process != previous);
            previous = process;
            const QDBusMessage released = call(path, Interface, QStringLiteral("Release"));
            QVERIFY2(released.type() == QDBusMessage::ReplyMessage, qPrintable(released.errorName()));
            // By the time the Release is answered, the ending process no longer answers to the name.
            QVERIFY(!bus->isServiceRegistered(Service));
        }
    }

    // An object answers only the connection that created it: another one may look at it and ping
    // its process, but neither use nor release it.
    void objectsAnswerOnlyTheirCreator_data()
    {
        QTest::addColumn<QString>("iface");
        QTest::addColumn<QString>("member");
        QTest::addColumn<QVariantList>("args");
        QTest::addColumn<bool>("open");
        QTest::newRow("property read") << Properties << "Get" << QVariantList{Interface, QStringLiteral("Name")}
                                       << false;
        QTest::newRow("property write") << Properties << "Set"
                                        << QVariantList{Interface, QStringLiteral("DevelopmentProgramId"),
                                                        QVariant::fromValue(
                                                            QDBusVariant(QStringLiteral("8000D3550004040B")))}
                                        << false;
        QTest::newRow("all properties") << Properties << "GetAll" << QVariantList{Interface} << false;
        QTest::newRow("command") << Interface << "SendCommand"
                                 << QVariantList{qint32(99), QVariant::fromValue<qint16>(7), QStringLiteral("a/b")}
                                 << false;
        QTest::newRow("invoke") << Interface << "Invoke" << QVariantList{qint32(0x68030001), qint32(2), QVariantList{}}
                                << false;
        QTest::newRow("release") << Interface << "Release" << QVariantList{} << false;
        QTest::newRow("profile apply") << Profiles << "Apply"
                                       << QVariantList{QStringLiteral("Demo"), QStringList{QStringLiteral("a/b")},
                                                       QStringLiteral("{}"), false}
                                       << false;
        QTest::newRow("introspection") << "org.freedesktop.DBus.Introspectable"
                                       << "Introspect" << QVariantList{} << true;
        QTest::newRow("peer") << "org.freedesktop.DBus.Peer"
                              << "Ping" << QVariantList{} << true;
    }
    void objectsAnswerOnlyTheirCreator()
    {
        QFETCH(QString, iface);
        QFETCH(QString, member);
        QFETCH(QVariantList, args);
        QFETCH(bool, open);
        const QString path = create();
        QVERIFY(!path.isEmpty());
        QDBusMessage reply;
        {
            const QDBusConnection stranger =
                QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("stranger"));
            reply = callOn(stranger, path, iface, member, args);
        }
        QDBusConnection::disconnectFromBus(QStringLiteral("stranger"));
        if (open)
            QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
        else
            QCOMPARE(reply.errorName(), QStringLiteral("org.freedesktop.DBus.Error.AccessDenied"));
        // Untouched for its creator.
        QCOMPARE(get(path, "DevelopmentProgramId").toString(), QString());
        QCOMPARE(call(path, Interface, "Release").type(), QDBusMessage::ReplyMessage);
    }

    // Introspection shows each connection its own objects, from the root down, and gives the
    // interface its help text.
    void introspectionShowsEachCallerItsOwnObjects()
    {
        const QString first = create();
        const QString second = create();
        QDBusConnection stranger =
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("stranger"));
        QDBusConnection idle = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("idle"));
        const QString theirs = create(stranger);
        QVERIFY(!first.isEmpty() && !second.isEmpty() && !theirs.isEmpty());
        QStringList mine{first, second};
        mine.sort();

        QCOMPARE(listedNodes(introspect(QDBusConnection::sessionBus(), QStringLiteral("/")), QStringLiteral("/")),
                 mine);
        QCOMPARE(objectsSeenBy(QDBusConnection::sessionBus()), mine);
        QCOMPARE(objectsSeenBy(stranger), QStringList{theirs});
        QCOMPARE(objectsSeenBy(idle), QStringList{});

        QXmlStreamReader xml(introspect(stranger, first));
        QString help;
        bool inInterface = false;
        while (!xml.atEnd()) {
            const auto token = xml.readNext();
            if (token == QXmlStreamReader::StartElement && xml.name() == QLatin1String("interface"))
                inInterface = xml.attributes().value(QLatin1String("name")) == Interface;
            else if (token == QXmlStreamReader::StartElement && inInterface &&
                     xml.name() == QLatin1String("annotation") &&
                     xml.attributes().value(QLatin1String("name")) == QLatin1String("org.freedesktop.DBus.Description"))
                help = xml.attributes().value(QLatin1String("value")).toString();
        }
        QCOMPARE(help, QStringLiteral("KR5MM-HU LNS Plug-In"));

        QCOMPARE(callOn(stranger, theirs, Interface, "Release").type(), QDBusMessage::ReplyMessage);
        QDBusConnection::disconnectFromBus(QStringLiteral("stranger"));
        QDBusConnection::disconnectFromBus(QStringLiteral("idle"));
        QCOMPARE(call(second, Interface, "Release").type(), QDBusMessage::ReplyMessage);
        QCOMPARE(call(first, Interface, "Release").type(), QDBusMessage::ReplyMessage);
    }

    // Introspection shows the profiles as an interface of their own beside the plug-in's, whose
    // members stay as they were: "INTERFACE MEMBER" -> "method (IN) -> OUT", "signal (ARGS)", "property T".
    void introspectionShowsBothInterfaces_data()
    {
        QTest::addColumn<QString>("member");
        QTest::addColumn<QString>("shown");  // empty: not there
        QTest::newRow("save") << "KR5MHUConfigure.Profiles Save"
                              << "method (ss) -> s";
        QTest::newRow("compare") << "KR5MHUConfigure.Profiles Compare"
                                 << "method (sss) -> s";
        QTest::newRow("apply") << "KR5MHUConfigure.Profiles Apply"
                               << "method (sassb) -> s";
        QTest::newRow("progress") << "KR5MHUConfigure.Profiles Progress"
                                  << "signal (uus)";
        QTest::newRow("command") << "KR5MHUConfigure._LNSPlugInAPI SendCommand"
                                 << "method (ins) -> ";
        QTest::newRow("a property") << "KR5MHUConfigure._LNSPlugInAPI DevelopmentProgramId"
                                    << "property s";
        QTest::newRow("no profile member in the plug-in's") << "KR5MHUConfigure._LNSPlugInAPI Apply"
                                                            << "";
        QTest::newRow("count of the plug-in's") << "KR5MHUConfigure._LNSPlugInAPI *"
                                                << "18";
    }
    void introspectionShowsBothInterfaces()
    {
        QFETCH(QString, member);
        QFETCH(QString, shown);
        const QString path = create();
        QVERIFY(!path.isEmpty());
        QMap<QString, QString> members;
        QMap<QString, int> counts;
        QXmlStreamReader xml(introspect(QDBusConnection::sessionBus(), path));
        QString iface, current, in, out;
        while (!xml.atEnd()) {
            const auto token = xml.readNext();
            const QString name = xml.attributes().value(QLatin1String("name")).toString();
            if (token == QXmlStreamReader::StartElement && xml.name() == QLatin1String("interface")) {
                iface = name;
            } else if (token == QXmlStreamReader::StartElement &&
                       (xml.name() == QLatin1String("method") || xml.name() == QLatin1String("signal"))) {
                current = iface + QLatin1Char(' ') + name;
                in.clear();
                out.clear();
            } else if (token == QXmlStreamReader::StartElement && xml.name() == QLatin1String("arg")) {
                (xml.attributes().value(QLatin1String("direction")) == QLatin1String("out") ? out : in) +=
                    xml.attributes().value(QLatin1String("type"));
            } else if (token == QXmlStreamReader::EndElement && xml.name() == QLatin1String("method")) {
                members.insert(current, QStringLiteral("method (%1) -> %2").arg(in, out));
                ++counts[iface];
            } else if (token == QXmlStreamReader::EndElement && xml.name() == QLatin1String("signal")) {
                members.insert(current, QStringLiteral("signal (%1)").arg(in));
                ++counts[iface];
            } else if (token == QXmlStreamReader::StartElement && xml.name() == QLatin1String("property")) {
                members.insert(iface + QLatin1Char(' ') + name,
                               QStringLiteral("property ") + xml.attributes().value(QLatin1String("type")).toString());
                ++counts[iface];
            }
        }
        QCOMPARE(call(path, Interface, "Release").type(), QDBusMessage::ReplyMessage);
        if (member.endsWith(QLatin1String(" *")))
            QCOMPARE(QString::number(counts.value(member.section(QLatin1Char(' '), 0, 0))), shown);
        else
            QCOMPARE(members.value(member), shown);
    }

    // What generic and late-binding clients send: a method-or-get Invoke is served, a call with the
    // wrong arguments and an unknown interface are named as such.
    void automationConventions_data()
    {
        QTest::addColumn<QString>("iface");
        QTest::addColumn<QString>("member");
        QTest::addColumn<QVariantList>("args");
        QTest::addColumn<QString>("expected");  // the error's name, or "= " and the answer's text
        QTest::newRow("method or get, on a property")
            << Interface << "Invoke" << QVariantList{qint32(0x68030001), qint32(3), QVariantList{}}
            << "= Kestrova KR5M-HU Configure";
        QTest::newRow("method or get, on a method")
            << Interface << "Invoke"
            << QVariantList{qint32(0x6003000F), qint32(3),
                            QVariantList{QVariant::fromValue(QDBusVariant(qint32(99))),
                                         QVariant::fromValue(QDBusVariant(qint32(7))),
                                         QVariant::fromValue(QDBusVariant(QStringLiteral("a/b")))}}
            << "KR5MHUConfigure.Error.E20003";
        QTest::newRow("Invoke without its arguments")
            << Interface << "Invoke" << QVariantList{qint32(0x68030001), qint32(2)}
            << "org.freedesktop.DBus.Error.InvalidArgs";
        QTest::newRow("all properties of an unknown interface")
            << Properties << "GetAll" << QVariantList{QStringLiteral("no.such.Interface")}
            << "org.freedesktop.DBus.Error.UnknownInterface";
    }
    void automationConventions()
    {
        QFETCH(QString, iface);
        QFETCH(QString, member);
        QFETCH(QVariantList, args);
        QFETCH(QString, expected);
        const QString path = create();
        QVERIFY(!path.isEmpty());
        const QDBusMessage reply = call(path, iface, member, args);
        QCOMPARE(call(path, Interface, "Release").type(), QDBusMessage::ReplyMessage);
        if (reply.type() == QDBusMessage::ReplyMessage)
            QCOMPARE(QStringLiteral("= ") + reply.arguments().value(0).value<QDBusVariant>().variant().toString(),
                     expected);
        else
            QCOMPARE(reply.errorName(), expected);
    }

    // A failure number travels in the error's name as unsigned, in the arguments as it was raised.
    void failureNumbers_data()
    {
        QTest::addColumn<qint32>("number");
        QTest::addColumn<QString>("name");
        QTest::newRow("the plug-in's own") << qint32(20003) << "KR5MHUConfigure.Error.E20003";
        QTest::newRow("the object server's, negative when signed")
            << lns::ObjectServerError(lns::ErrDatabase) << "KR5MHUConfigure.Error.E2147749792";
    }
    void failureNumbers()
    {
        QFETCH(qint32, number);
        QFETCH(QString, name);
        FailingServer server(number);
        QVERIFY(server.start());
        const QString path = callServedHere(QStringLiteral("/"), QStringLiteral("KR5MHUConfigure.ClassFactory"),
                                            QStringLiteral("CreateInstance"))
                                 .arguments()
                                 .value(0)
                                 .value<QDBusObjectPath>()
                                 .path();
        QVERIFY(!path.isEmpty());
        const QDBusMessage reply = callServedHere(path, Interface, QStringLiteral("Fail"));
        QCOMPARE(reply.type(), QDBusMessage::ErrorMessage);
        QCOMPARE(reply.errorName(), name);
        QCOMPARE(reply.errorMessage(), QStringLiteral("it failed"));
        QCOMPARE(reply.arguments().value(2).toInt(), number);
    }

    // A size is kept between the window's smallest and the screen's available size; the write
    // succeeds and the size read back is the size the window has.
    void sizeStaysBetweenTheMinimumAndTheScreen_data()
    {
        QTest::addColumn<QString>("property");
        QTest::addColumn<int>("written");
        QTest::addColumn<int>("inward");  // the direction from the written size towards sizes that fit
        QTest::newRow("width below the minimum") << "Width" << 1 << 1;
        QTest::newRow("height below the minimum") << "Height" << 1 << 1;
        QTest::newRow("width beyond the screen") << "Width" << 40000 << -1;
        QTest::newRow("height beyond the screen") << "Height" << 40000 << -1;
    }
    void sizeStaysBetweenTheMinimumAndTheScreen()
    {
        QFETCH(QString, property);
        QFETCH(int, written);
        QFETCH(int, inward);
        const QString path = create();
        QVERIFY(!path.isEmpty());
        QCOMPARE(set(path, property, written).type(), QDBusMessage::ReplyMessage);
        const int bound = get(path, property).toInt();
        QVERIFY2((bound - written) * inward > 0, qPrintable(QString::number(bound)));
        // Past the bound stays at the bound; within it, a size is taken as written.
        QCOMPARE(set(path, property, bound - inward).type(), QDBusMessage::ReplyMessage);
        QCOMPARE(get(path, property).toInt(), bound);
        QCOMPARE(set(path, property, bound + inward).type(), QDBusMessage::ReplyMessage);
        QCOMPARE(get(path, property).toInt(), bound + inward);
        QCOMPARE(call(path, Interface, "Release").type(), QDBusMessage::ReplyMessage);
    }

    // The network-wide commands work on the network a director named: without one they fail at once,
    // with their number and why, and never wait on a box (that would hold every director).
    void networkCommandsNeedANetwork_data()
    {
        QTest::addColumn<qint32>("command");
        QTest::addColumn<QString>("description");
        QTest::newRow("register")
            << qint32(50) << "Unable to register Supported Commands: no network is open (set networkName first)";
        QTest::newRow("deregister")
            << qint32(51) << "Unable to remove Supported Commands: no network is open (set networkName first)";
    }
    void networkCommandsNeedANetwork()
    {
        QFETCH(qint32, command);
        QFETCH(QString, description);
        const QString path = create();
        QVERIFY(!path.isEmpty());
        QDBusMessage send = QDBusMessage::createMethodCall(Service, path, Interface, QStringLiteral("SendCommand"));
        send.setArguments({command, QVariant::fromValue<qint16>(7), QString()});
        // Well within the time a box would be left waiting.
        verifyPlugInError(QDBusConnection::sessionBus().call(send, QDBus::Block, 15000), 20000, description);
        QCOMPARE(get(path, "networkName").toString(), QString());
        QCOMPARE(call(path, Interface, "Release").type(), QDBusMessage::ReplyMessage);
    }

    // A director's results go to standard output, its failures to standard error: the plug-in's with
    // status 1, a step that is not understood (a number or boolean that does not read as one included)
    // with status 2, before anything is sent for it.
    void directorFailuresGoToStandardError_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("results");
        QTest::addColumn<QString>("failure");  // empty: none
        QTest::addColumn<int>("status");
        QTest::newRow("the plug-in's error") << "create; get Name; send 99 7 a/b; get Name"
                                             << "OBJECT\nKestrova KR5M-HU Configure\n"
                                             << "error 20003 Kestrova KR5M-HU Configure: Command not supported" << 1;
        QTest::newRow("an object not found is named")
            << "create; send 13 7 Floor 1/Nobody"
            << "OBJECT\n"
            << "error 20005 Kestrova KR5M-HU Configure: Object not found: Floor 1/Nobody" << 1;
        QTest::newRow("waiting without a window") << "create; get Visible; wait"
                                                  << "OBJECT\nfalse\n"
                                                  << "error 0 lnsdirector: the plug-in shows no window, so 'wait' "
                                                     "would never end; show it first with 'set Visible true'"
                                                  << 1;
        QTest::newRow("the director's own") << "frobnicate"
                                            << ""
                                            << "error 0 lnsdirector: unknown or incomplete step 'frobnicate'" << 2;
        QTest::newRow("a command that is no number") << "create; send x y z"
                                                     << "OBJECT\n"
                                                     << "error 0 lnsdirector: the command 'x' is not a number" << 2;
        QTest::newRow("a class beyond 16 bits")
            << "create; send 13 70000 a/b"
            << "OBJECT\n"
            << "error 0 lnsdirector: the object class 70000 does not fit 16 bits" << 2;
        QTest::newRow("a dispatch id that is no number")
            << "create; invoke 0x6803000G 2"
            << "OBJECT\n"
            << "error 0 lnsdirector: the dispatch id '0x6803000G' is not a number" << 2;
        QTest::newRow("a boolean that is no boolean")
            << "create; set Visible maybe; get Visible"
            << "OBJECT\n"
            << "error 0 lnsdirector: Visible takes true or false, not 'maybe'" << 2;
        QTest::newRow("a number property that is no number")
            << "create; set Height tall"
            << "OBJECT\n"
            << "error 0 lnsdirector: Height 'tall' is not a number" << 2;
        QTest::newRow("a dispatch id in hexadecimal")
            << "create; invoke 0x68030001 2; invoke 1745027073 2"
            << "OBJECT\nKestrova KR5M-HU Configure\nKestrova KR5M-HU Configure\n"
            << "" << 0;
        QTest::newRow("booleans as written")
            << "create; set Visible TRUE; get Visible; set Visible 0; get Visible; set Visible -1; set Visible False; "
               "get Visible"
            << "OBJECT\nok\ntrue\nok\nfalse\nok\nok\nfalse\n"
            << "" << 0;
    }
    void directorFailuresGoToStandardError()
    {
        QFETCH(QString, steps);
        QFETCH(QString, results);
        QFETCH(QString, failure);
        QFETCH(int, status);
        QProcess director;
        director.start(testsupport::BinDir() + QStringLiteral("/lnsdirector"),
                       {QStringLiteral("session"), QStringLiteral("-c"), steps});
        QVERIFY(director.waitForFinished(30000));
        const QString out = QString::fromUtf8(director.readAllStandardOutput());
        const QString err = QString::fromUtf8(director.readAllStandardError());
        QVERIFY2(director.exitCode() == status, qPrintable(err));
        QCOMPARE(QString(out).replace(QRegularExpression(QStringLiteral("^/LNSPlugInAPI/\\d+\n")),
                                      QStringLiteral("OBJECT\n")),
                 results);
        // (The first line: Qt's D-Bus thread may add a warning of its own while the process ends.)
        QCOMPARE(err.section(QLatin1Char('\n'), 0, 0), failure);
    }
};

QTEST_GUILESS_MAIN(TestPlugInObjectBus)
#include "test_plugin_object_bus.moc"

// The network connection: object paths, opening a network by name with every step in its order,
// and the all-networks walk of deregistration.
#include "framework/Connection.h"
#include "framework/Identity.h"
#include "platform/objectserver/ObjectServerAdmin.h"
#include "platform/objectserver/ObjectServerFactory.h"
#include "platform/objectserver/Xif.h"
#include "support/RecordingObjectServer.h"
#include "support/TestEnvironment.h"

#include <QTest>

namespace {

// What the walk asked of the layers above it.
class RecordingHooks : public framework::NetworkWalkHooks {
public:
    explicit RecordingHooks(const framework::ConnectionState& connection) : c(connection) {}
    void DisplayStatus(const QString& text) override { statuses << text; }
    void DisplayCount(qint32 current, qint32 total) override
    {
        // Before the network's first status, so that the count goes with it.
        statuses << QStringLiteral("%1 of %2").arg(current).arg(total);
    }
    void UnloadProgress() override { ++unloads; }
    void DeregisterCommands(bool exhaustive, bool firstNetwork) override
    {
        const QString network = c.CurrentNetwork ? c.CurrentNetwork->NetworkName() : QStringLiteral("?");
        calls << QStringLiteral("%1 exhaustive=%2 first=%3 open=%4")
                     .arg(network)
                     .arg(exhaustive)
                     .arg(firstNetwork)
                     .arg(c.CurrentSystem && c.CurrentSystem->SystemIsOpen());
        if (network == failIn)
            throw com::ComError(lns::ObjectServerError(lns::ErrDatabase), QStringLiteral("ComponentApps"),
                                QStringLiteral("database is locked"));
    }
    const framework::ConnectionState& c;
    QString failIn;  // the network whose removals cannot be written
    QStringList statuses;
    QStringList calls;
    int unloads = 0;
};

}  // namespace

class TestConnection : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { framework::LoadPlugInIdentity(); }
    void init()
    {
        m_env = std::make_unique<testsupport::TestEnvironment>();
        m_path = m_env->root() + QStringLiteral("/LonWorks");
        m_c = framework::ConnectionState{};
    }
    void cleanup()
    {
        m_c = framework::ConnectionState{};
        m_env.reset();
    }

    void parsePath_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QStringList>("components");
        QTest::newRow("four") << "Demo/System 1/Floor 1/TS-101" << QStringList{"Demo", "System 1", "Floor 1", "TS-101"};
        QTest::newRow("rest trimmed, component not")
            << "Demo/  Floor 1 /TS-101" << QStringList{"Demo", "Floor 1 ", "TS-101"};
        QTest::newRow("leading slash ends at once") << "/Demo/Floor" << QStringList{};
        QTest::newRow("doubled slash after the first") << "Demo//Floor/TS" << QStringList{"Demo"};
        QTest::newRow("trailing slash") << "Demo/Floor/" << QStringList{"Demo", "Floor"};
        QTest::newRow("one component") << "TS-101" << QStringList{"TS-101"};
        QTest::newRow("empty") << "" << QStringList{};
        QTest::newRow("labels kept whole")
            << "Subsystem: Floor 1/Device:TS" << QStringList{"Subsystem: Floor 1", "Device:TS"};
    }
    void parsePath()
    {
        QFETCH(QString, path);
        QFETCH(QStringList, components);
        QCOMPARE(framework::ParseObjectPath(m_c, path), components.size());
        QCOMPARE(parsedComponents(), components);
    }

    // However long the path, it is split in one pass: the parse takes about as long as splitting the
    // same text into a list, not a copy of the rest at every "/".
    void longPathParsesInOnePass()
    {
        constexpr int Components = 200000;
        QString path = QStringLiteral("Demo/ System 1 /Floor 1");
        path.reserve(path.size() + 3 * Components);
        for (int i = 0; i < Components; ++i)
            path += QStringLiteral("/ab");
        QElapsedTimer timer;
        timer.start();
        const qsizetype listed = path.split(QLatin1Char('/')).size();
        const qint64 splitMs = timer.restart();
        const qsizetype count = framework::ParseObjectPath(m_c, path);
        const qint64 parseMs = timer.elapsed();
        QCOMPARE(count, listed);
        QCOMPARE(framework::PathComponent(m_c, 2, false), QStringLiteral("System 1 "));
        QCOMPARE(framework::PathComponent(m_c, count, false), QStringLiteral("ab"));
        QVERIFY2(parseMs <= 10 * splitMs + 200,
                 qPrintable(QStringLiteral("parse %1 ms, split %2 ms").arg(parseMs).arg(splitMs)));
    }

    void pathComponent_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("strip");
        QTest::addColumn<QString>("expected");
        QTest::newRow("label stripped and trimmed") << 3 << true << "Floor 1";
        QTest::newRow("label kept") << 3 << false << "Subsystem:  Floor 1 ";
        QTest::newRow("nothing after the colon keeps it") << 4 << true << "Dev:";
        QTest::newRow("first colon only") << 2 << true << "b:c";
        QTest::newRow("no colon") << 1 << true << "Demo";
        QTest::newRow("zero") << 0 << true << "";
        QTest::newRow("past the end") << 5 << true << "";
    }
    void pathComponent()
    {
        QFETCH(int, index);
        QFETCH(bool, strip);
        QFETCH(QString, expected);
        framework::ParseObjectPath(m_c, QStringLiteral("Demo/a:b:c/Subsystem:  Floor 1 /Dev:"));
        QCOMPARE(framework::PathComponent(m_c, qint16(index), strip), expected);
    }

    // The component count is not held in a narrow number: a device path followed by many more
    // components names what those last components name, never the device at the front.
    void manyComponentsResolveByTheirLastOnes_data()
    {
        QTest::addColumn<int>("padding");
        QTest::addColumn<QString>("tail");
        QTest::addColumn<bool>("found");
        QTest::newRow("a device, then 65536 more components") << 65536 << "" << false;
        QTest::newRow("more than 32767, ending in the device") << 40000 << "/Floor 1/TS-101" << true;
    }
    void manyComponentsResolveByTheirLastOnes()
    {
        QFETCH(int, padding);
        QFETCH(QString, tail);
        QFETCH(bool, found);
        makeNetworks();
        makeDevice();
        auto server = lns::CreateObjectServer(m_path);
        m_c.objectServer = server.get();
        framework::OpenNetworkByName(m_c, QStringLiteral("Demo"), QString());

        QString path = QStringLiteral("Demo/System 1/Floor 1/TS-101");
        for (int i = 0; i < padding; ++i)
            path += QStringLiteral("/x");
        path += tail;
        QCOMPARE(framework::ParseObjectPath(m_c, path), qsizetype(4 + padding + tail.count(QLatin1Char('/'))));
        const framework::ResolvedObject object = framework::ResolveObject(m_c, 7);
        QCOMPARE(!object.isNone(), found);
        if (found)
            QCOMPARE(object.device->Name(), QStringLiteral("TS-101"));
        framework::CloseConnection(m_c);
    }

    // The Remote write closes and reopens the object server; the open network comes back with it, or
    // is forgotten with 20006 when it cannot, so that naming it again opens it afresh.
    void remoteWriteReopensTheOpenNetwork_data()
    {
        QTest::addColumn<bool>("remote");
        QTest::addColumn<bool>("reopenFails");
        QTest::addColumn<bool>("serverFails");  // the object server itself cannot open again
        QTest::newRow("same mode") << false << false << false;
        QTest::newRow("other mode") << true << false << false;
        QTest::newRow("network cannot open again") << false << true << false;
        QTest::newRow("object server cannot open again") << false << true << true;
    }
    void remoteWriteReopensTheOpenNetwork()
    {
        QFETCH(bool, remote);
        QFETCH(bool, reopenFails);
        QFETCH(bool, serverFails);
        makeNetworks();
        makeDevice();
        auto server = lns::CreateObjectServer(m_path);
        m_c.objectServer = server.get();
        framework::OpenNetworkByName(m_c, QStringLiteral("Demo"), QString());
        const QString device = QStringLiteral("Demo/System 1/Floor 1/TS-101");
        lns::admin::ObjectServerAdmin admin(m_path);
        QFile database(m_path + QStringLiteral("/ObjectServer/objectserver.sqlite"));
        QByteArray saved;
        if (serverFails) {
            QVERIFY(database.open(QIODevice::ReadWrite));
            saved = database.readAll();
            QVERIFY(database.resize(0));
            database.close();
        } else if (reopenFails) {
            admin.setRequiresInterface(QStringLiteral("Demo"), true);
            admin.setNsdInterface(QStringLiteral("Demo"), QString());
        }
        try {
            framework::ChangeRemoteMode(m_c, *server, remote);
            QVERIFY2(!reopenFails, "the write succeeded without its network");
        } catch (const com::ComError& e) {
            QVERIFY2(reopenFails, qPrintable(e.description()));
            QCOMPARE(e.number(), 20006);
            QCOMPARE(e.description(), QStringLiteral("Cannot open the network Demo"));
            QCOMPARE(e.source(), framework::PlugInName());
            QVERIFY(!m_c.NetworkOpen);
            QCOMPARE(m_c.CurrentNetworkName, QString());
            if (serverFails) {
                QVERIFY(database.open(QIODevice::WriteOnly | QIODevice::Truncate));
                database.write(saved);
                database.close();
            }
            admin.setRequiresInterface(QStringLiteral("Demo"), false);
            framework::OpenNetworkByName(m_c, QStringLiteral("Demo"), QString());
        }
        QCOMPARE(server->RemoteMode(), remote);
        QVERIFY(server->ObjectServerIsOpen());
        QVERIFY(m_c.NetworkOpen);
        framework::ParseObjectPath(m_c, device);
        const framework::ResolvedObject object = framework::ResolveObject(m_c, 7);
        QVERIFY(object.device);
        QCOMPARE(object.device->Name(), QStringLiteral("TS-101"));
        framework::CloseConnection(m_c);
    }

    void openByNameRunsItsStepsInOrder_data()
    {
        QTest::addColumn<bool>("remoteAtEntry");
        QTest::addColumn<QString>("interfaceName");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("local") << false << QString() << QStringList{"RemoteMode",       "SetPreOpenOption false",
                                                                    "OpenObjectServer", "OpenNetwork Demo",
                                                                    "OpenSystem",       "SetSystemTuningValue 200"};
        QTest::newRow("remote, Internet") << true << "Internet"
                                          << QStringList{"RemoteMode",
                                                         "SetPreOpenOption false",
                                                         "RemoteFlags",
                                                         "SetRemoteFlags 17",
                                                         "OpenObjectServer",
                                                         "OpenNetwork Demo",
                                                         "OpenSystem",
                                                         "SetSystemOptionFlag true",
                                                         "SetSystemOptionValue 0",
                                                         "SetSystemOptionFlag false",
                                                         "SetSystemTuningValue 200"};
        QTest::newRow("remote, named interface") << true << "LON1"
                                                 << QStringList{"RemoteMode",
                                                                "SetPreOpenOption false",
                                                                "RemoteFlags",
                                                                "SetRemoteFlags 33",
                                                                "OpenObjectServer",
                                                                "SelectNetworkInterface LON1",
                                                                "OpenNetwork Demo",
                                                                "OpenSystem",
                                                                "SetSystemTuningValue 200"};
    }
    void openByNameRunsItsStepsInOrder()
    {
        QFETCH(bool, remoteAtEntry);
        QFETCH(QString, interfaceName);
        QFETCH(QStringList, expected);
        makeNetworks();
        testsupport::RecordingObjectServer server(lns::CreateObjectServer(m_path));
        server.SetRemoteMode(remoteAtEntry);
        server.SetRemoteFlags(0x30 | 0x1);
        server.clearCalls();
        m_c.objectServer = &server;
        framework::OpenNetworkByName(m_c, QStringLiteral("Demo"), interfaceName);
        QCOMPARE(m_c.CurrentNetworkName, QStringLiteral("Demo"));
        QVERIFY(m_c.NetworkOpen);
        // Bits 0x10 and 0x20 replaced, the others kept.
        QCOMPARE(relevant(server.calls()).join(QLatin1Char('|')), expected.join(QLatin1Char('|')));

        // The same name again costs nothing.
        server.clearCalls();
        framework::OpenNetworkByName(m_c, QStringLiteral("Demo"), interfaceName);
        QVERIFY(server.calls().isEmpty());
        framework::CloseConnection(m_c);
    }

    void unknownNetworkFailsWith20006()
    {
        makeNetworks();
        auto server = lns::CreateObjectServer(m_path);
        m_c.objectServer = server.get();
        try {
            framework::OpenNetworkByName(m_c, QStringLiteral("Nowhere"), QString());
            QFAIL("an unknown network opened");
        } catch (const com::ComError& e) {
            QCOMPARE(e.number(), 20006);
            QCOMPARE(e.description(), QStringLiteral("Cannot open the network Nowhere"));
            QCOMPARE(e.source(), framework::PlugInName());
        }
        QVERIFY(!m_c.NetworkOpen);
        QVERIFY(m_c.CurrentNetworkName.isEmpty());
        QVERIFY(server->ObjectServerIsOpen());  // as it was at the failure
        framework::CloseConnection(m_c);
    }

    void walkDeregistersEveryNetworkAndKeepsTheirInterfaces_data()
    {
        QTest::addColumn<bool>("showProgress");
        QTest::addColumn<bool>("exhaustive");
        QTest::newRow("silent, complete") << false << false;
        QTest::newRow("with progress, exhaustive") << true << true;
    }
    void walkDeregistersEveryNetworkAndKeepsTheirInterfaces()
    {
        QFETCH(bool, showProgress);
        QFETCH(bool, exhaustive);
        makeNetworks();
        framework::SetShowProgress(showProgress);
        auto server = lns::CreateObjectServer(m_path);
        m_c.objectServer = server.get();
        RecordingHooks hooks(m_c);
        QVERIFY(!framework::ForEachNetworkDeregister(m_c, exhaustive, hooks));
        framework::SetShowProgress(false);

        QCOMPARE(hooks.calls, (QStringList{QStringLiteral("Demo exhaustive=%1 first=1 open=1").arg(exhaustive),
                                           QStringLiteral("Plant exhaustive=%1 first=0 open=1").arg(exhaustive)}));
        lns::admin::ObjectServerAdmin admin(m_path);
        // Both networks keep their interface, the one that opened unattached included.
        QCOMPARE(admin.nsdInterface(QStringLiteral("Demo")), QStringLiteral("LON0"));
        QCOMPARE(admin.nsdInterface(QStringLiteral("Plant")), QStringLiteral("LON1"));
        QVERIFY(!server->ObjectServerIsOpen());
        QVERIFY(!m_c.ObjectServerOpen);
        if (showProgress) {
            QVERIFY(hooks.statuses.contains(QStringLiteral("Opening the Object Server...")));
            const qsizetype demo = hooks.statuses.indexOf(QStringLiteral("Opening Demo..."));
            const qsizetype plant = hooks.statuses.indexOf(QStringLiteral("Opening Plant..."));
            QVERIFY(demo > 0 && plant > demo);
            QCOMPARE(hooks.statuses.at(demo - 1), QStringLiteral("1 of 2"));
            QCOMPARE(hooks.statuses.at(plant - 1), QStringLiteral("2 of 2"));
            QVERIFY(hooks.statuses.contains(QStringLiteral("Opening System 1...\r\nEngineered system mode")));
            QVERIFY(hooks.statuses.contains(QStringLiteral("Opening Plant System...\r\nNetwork Interface 'LON1'")));
            QCOMPARE(hooks.statuses.count(QStringLiteral("Deregister commands...")), 2);
            QCOMPARE(hooks.unloads, 1);
        } else {
            QVERIFY(hooks.statuses.isEmpty());
            QCOMPARE(hooks.unloads, 0);
        }
    }

    // A network whose commands could not be removed ends the walk and is reported with the reason;
    // it keeps its interface, and the object server is left closed as after any walk.
    void walkStopsAtTheNetworkThatKeptItsCommands_data()
    {
        QTest::addColumn<QString>("failIn");
        QTest::addColumn<QStringList>("walked");
        QTest::newRow("first network") << "Demo" << QStringList{"Demo exhaustive=0 first=1 open=1"};
        QTest::newRow("second network") << "Plant"
                                        << QStringList{"Demo exhaustive=0 first=1 open=1",
                                                       "Plant exhaustive=0 first=0 open=1"};
    }
    void walkStopsAtTheNetworkThatKeptItsCommands()
    {
        QFETCH(QString, failIn);
        QFETCH(QStringList, walked);
        makeNetworks();
        lns::admin::ObjectServerAdmin admin(m_path);
        lns::admin::NetworkSpec yard;
        yard.name = QStringLiteral("Yard");
        admin.createNetwork(yard);
        auto server = lns::CreateObjectServer(m_path);
        m_c.objectServer = server.get();
        RecordingHooks hooks(m_c);
        hooks.failIn = failIn;
        const auto uncleaned = framework::ForEachNetworkDeregister(m_c, false, hooks);
        QVERIFY(uncleaned);
        QCOMPARE(uncleaned->name, failIn);
        QCOMPARE(uncleaned->reason, QStringLiteral("database is locked"));
        QCOMPARE(hooks.calls, walked);
        QCOMPARE(admin.nsdInterface(QStringLiteral("Demo")), QStringLiteral("LON0"));
        QCOMPARE(admin.nsdInterface(QStringLiteral("Plant")), QStringLiteral("LON1"));
        QVERIFY(!server->ObjectServerIsOpen());
        QVERIFY(!m_c.ObjectServerOpen);
    }

private:
    QStringList parsedComponents() const
    {
        QStringList out;
        for (qsizetype i = 1; i <= m_c.PathComponents.size(); ++i)
            out << framework::PathComponent(m_c, i, false);
        return out;
    }

    // A thermostat "TS-101" in subsystem "Floor 1" of "Demo".
    void makeDevice()
    {
        lns::admin::ObjectServerAdmin admin(m_path);
        lns::xif::InterfaceDefinition definition;
        definition.programId = QStringLiteral("8000D3550004040B");
        admin.addTemplate(QStringLiteral("Demo"), QStringLiteral("Thermostat"), definition);
        admin.addSubsystem(QStringLiteral("Demo"), QStringLiteral("Floor 1"));
        admin.addDevice(QStringLiteral("Demo"),
                        {QStringLiteral("Floor 1"), QStringLiteral("TS-101"), QStringLiteral("Thermostat"), {}});
    }

    void makeNetworks()
    {
        lns::admin::ObjectServerAdmin admin(m_path);
        lns::admin::NetworkSpec demo;
        demo.name = QStringLiteral("Demo");
        demo.nsdInterface = QStringLiteral("LON0");
        admin.createNetwork(demo);
        lns::admin::NetworkSpec plant;
        plant.name = QStringLiteral("Plant");
        plant.systemName = QStringLiteral("Plant System");
        plant.requiresInterface = true;
        plant.nsdInterface = QStringLiteral("LON1");
        admin.createNetwork(plant);
        admin.createNetworkInterface(QStringLiteral("Internet"));
    }

    // The calls without the look-ups that only find objects.
    static QStringList relevant(const QStringList& calls)
    {
        QStringList out;
        for (const QString& entry : calls) {
            const QString name = entry.section(QLatin1Char(' '), 0, 0);
            if (name.contains(QLatin1Char('.')) || name == QLatin1String("ObjectServerIsOpen") ||
                name == QLatin1String("NetworkName") || name == QLatin1String("Networks") ||
                name == QLatin1String("NetworkSystems") || name == QLatin1String("NetworkInterfaces"))
                continue;
            out << entry;
        }
        return out;
    }

    std::unique_ptr<testsupport::TestEnvironment> m_env;
    QString m_path;
    framework::ConnectionState m_c;
};

QTEST_GUILESS_MAIN(TestConnection)
#include "test_connection.moc"

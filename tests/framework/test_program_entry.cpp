// The real executable started from the command line: registration and deregistration change the
// registry and the activation file without any window and end by themselves; anything else opens the
// registration window.
#include "framework/CRegistry.h"
#include "framework/Identity.h"
#include "platform/registry/RegistryStore.h"
#include "support/RegistryFaults.h"
#include "support/TestEnvironment.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QtTest>

class TestProgramEntry : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { framework::LoadPlugInIdentity(); }
    void init() { m_env = std::make_unique<testsupport::TestEnvironment>(); }
    void cleanup() { m_env.reset(); }

    void registerThenDeregisterMinimal()
    {
        QCOMPARE(run({QStringLiteral("  /RegPlugin ")}), 0);
        QCOMPARE(registry::RegistryStore(registry::Hive::LocalMachine).valueNames(framework::PlugInKey()).size(), 10);
        QCOMPARE(framework::CRegistry().MachineSetting(framework::PlugInKey(), QString()),
                 QStringLiteral("KR5MHUConfigure.LNSPlugInAPI"));
        QFile service(activationFile());
        QVERIFY2(service.open(QIODevice::ReadOnly), qPrintable(activationFile()));
        const QString text = QString::fromUtf8(service.readAll());
        QVERIFY(text.contains(QStringLiteral("Name=KR5MHUConfigure.LNSPlugInAPI")));
        QVERIFY(text.contains(QStringLiteral("Exec=") + executable() + QStringLiteral(" -Embedding")));

        // A second registration leaves one registration.
        QCOMPARE(run({QStringLiteral("/regplugin")}), 0);
        QCOMPARE(registry::RegistryStore(registry::Hive::LocalMachine).valueNames(framework::PlugInKey()).size(), 10);

        QCOMPARE(run({QStringLiteral("/deregplugin"), QStringLiteral("/deregmode:-1")}), 0);
        QVERIFY(!registry::RegistryStore(registry::Hive::LocalMachine).keyExists(framework::PlugInKey()));
        QVERIFY(!QFile::exists(activationFile()));
    }

    void refusedAsNewerChangesNothing_data()
    {
        QTest::addColumn<QString>("registeredVersion");
        QTest::newRow("newer major") << "99.1.0";
        QTest::newRow("version out of range") << "65536.0";
    }
    void refusedAsNewerChangesNothing()
    {
        QFETCH(QString, registeredVersion);
        framework::CRegistry r;
        r.SetMachineSetting(framework::PlugInKey(), QString(), QStringLiteral("Newer.ProgId"));
        r.SetMachineSetting(framework::PlugInKey(), QStringLiteral("Version"), registeredVersion);
        QCOMPARE(run({QStringLiteral("/regplugin")}), 3);
        QCOMPARE(r.MachineSetting(framework::PlugInKey(), QString()), QStringLiteral("Newer.ProgId"));
        QCOMPARE(r.MachineSetting(framework::PlugInKey(), QStringLiteral("Version")), registeredVersion);
        QVERIFY(!QFile::exists(activationFile()));
    }

    // A registration that fails part-way ends with 1 and leaves neither a key nor an activation file.
    void failedRegistrationLeavesNothingBehind()
    {
        QVERIFY(testsupport::RefuseMachineValue(QStringLiteral("Version")));
        QCOMPARE(run({QStringLiteral("/regplugin")}), 1);
        QVERIFY(!registry::RegistryStore(registry::Hive::LocalMachine).keyExists(framework::PlugInKey()));
        QVERIFY(!QFile::exists(activationFile()));
    }

    // A machine hive that is there but is no registry: registration and every deregistration say so,
    // naming the file, end with 1 and change nothing.
    void unreadableHiveEndsNonZeroNamingIt_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("register") << QStringList{QStringLiteral("/regplugin")};
        QTest::newRow("deregister, complete") << QStringList{QStringLiteral("/deregplugin")};
        QTest::newRow("deregister, minimal")
            << QStringList{QStringLiteral("/deregplugin"), QStringLiteral("/deregmode:-1")};
    }
    void unreadableHiveEndsNonZeroNamingIt()
    {
        QFETCH(QStringList, arguments);
        const QString hive = m_env->registryDir() + QStringLiteral("/HKEY_LOCAL_MACHINE.sqlite");
        QFile file(hive);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, 'x'));
        file.close();
        QVERIFY(QDir().mkpath(QFileInfo(activationFile()).absolutePath()));
        QFile service(activationFile());
        QVERIFY(service.open(QIODevice::WriteOnly));
        service.write("kept\n");
        service.close();

        QProcess process;
        process.start(executable(), arguments);
        QVERIFY(process.waitForFinished(20000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 1);
        const QString said = QString::fromLocal8Bit(process.readAllStandardError());
        QVERIFY2(said.contains(hive + QStringLiteral(" cannot be read as a registry")), qPrintable(said));
        QVERIFY(service.open(QIODevice::ReadOnly));
        QCOMPARE(service.readAll(), QByteArray("kept\n"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray(4096, 'x'));
    }

    void anythingElseOpensTheRegistrationWindow_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("empty") << QStringList{};
        QTest::newRow("unknown mode") << QStringList{QStringLiteral("/deregplugin"), QStringLiteral("/deregmode:2")};
    }
    void anythingElseOpensTheRegistrationWindow()
    {
        QFETCH(QStringList, arguments);
        QProcess process;
        process.start(executable(), arguments);
        QVERIFY(process.waitForStarted());
        // The window keeps the program alive until someone closes it.
        QVERIFY(!process.waitForFinished(1500));
        process.kill();
        process.waitForFinished();
        QVERIFY(!registry::RegistryStore(registry::Hive::LocalMachine).keyExists(framework::PlugInKey()));
    }

    void comStartEndsWhenItsBusGoesAway()
    {
        QProcess bus;
        const QString address = startBus(bus);
        QVERIFY(!address.isEmpty());

        QProcess server;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
        server.setProcessEnvironment(env);
        server.start(executable(), {QStringLiteral("-Embedding")});
        QVERIFY(server.waitForStarted());
        {
            QDBusConnection connection = QDBusConnection::connectToBus(address, QStringLiteral("watch"));
            QTRY_VERIFY_WITH_TIMEOUT(
                connection.interface()->isServiceRegistered(QStringLiteral("KR5MHUConfigure.LNSPlugInAPI")), 10000);
        }
        QDBusConnection::disconnectFromBus(QStringLiteral("watch"));
        QVERIFY(server.state() == QProcess::Running);
        bus.terminate();
        QVERIFY(bus.waitForFinished(5000));
        // Nobody is left to serve.
        QVERIFY(server.waitForFinished(10000));
    }

    // A second COM start while the name is served ends by itself, saying why, with a non-zero status,
    // on a real display too, where the window's preparations take their own time.
    void secondComStartEndsSayingTheNameIsTaken()
    {
        QProcess bus;
        const QString address = startBus(bus);
        QVERIFY(!address.isEmpty());
        {
            QDBusConnection owner = QDBusConnection::connectToBus(address, QStringLiteral("owner"));
            QVERIFY(owner.registerService(QStringLiteral("KR5MHUConfigure.LNSPlugInAPI")));
        }
        constexpr int Starts = 20;
        QProcess starts;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        starts.setProcessEnvironment(env);
        // One display for all the starts; each start's status on a line of its own.
        starts.start(QStringLiteral("xvfb-run"),
                     {QStringLiteral("-a"), QStringLiteral("sh"), QStringLiteral("-c"),
                      QStringLiteral("for i in $(seq %1); do \"$0\" -Embedding; echo \"status $?\"; done").arg(Starts),
                      executable()});
        QVERIFY(starts.waitForFinished(240000));
        const QString out = QString::fromUtf8(starts.readAllStandardOutput());
        const QString err = QString::fromUtf8(starts.readAllStandardError());
        QDBusConnection::disconnectFromBus(QStringLiteral("owner"));
        bus.terminate();
        bus.waitForFinished(5000);
        QCOMPARE(starts.exitCode(), 0);
        QCOMPARE(out.split(QLatin1Char('\n'), Qt::SkipEmptyParts), QStringList(Starts, QStringLiteral("status 1")));
        QVERIFY2(err.count(QStringLiteral("cannot serve KR5MHUConfigure.LNSPlugInAPI on the session bus: the name is "
                                          "already taken by process ")) == Starts,
                 qPrintable(err));
    }

private:
    // A session bus of the test's own; returns its address.
    static QString startBus(QProcess& bus)
    {
        bus.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        if (!bus.waitForStarted() || !bus.waitForReadyRead(10000))
            return QString();
        return QString::fromUtf8(bus.readLine()).trimmed();
    }
    static QString executable() { return testsupport::BinDir() + QStringLiteral("/KR5MHUConfigure"); }
    QString activationFile() const
    {
        return m_env->dataHome() + QStringLiteral("/dbus-1/services/KR5MHUConfigure.LNSPlugInAPI.service");
    }
    static int run(const QStringList& arguments)
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start(executable(), arguments);
        if (!process.waitForFinished(20000)) {
            process.kill();
            return -1;
        }
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    }

    std::unique_ptr<testsupport::TestEnvironment> m_env;
};

QTEST_GUILESS_MAIN(TestProgramEntry)
#include "test_program_entry.moc"

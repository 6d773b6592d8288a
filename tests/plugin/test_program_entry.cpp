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
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTest>
#include <QThread>
#include <algorithm>
#include <memory>
#include <vector>

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

    // A registration that fails part-way ends with 1, says why, and leaves neither a key nor an
    // activation file.
    void failedRegistrationLeavesNothingBehind()
    {
        QVERIFY(testsupport::RefuseMachineValue(QStringLiteral("Version")));
        const Run r = runCapturing(executable(), {QStringLiteral("/regplugin")});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(QStringLiteral("Plug-in KR5MHUConfigure.LNSPlugInAPI could not be registered: the "
                                               "registry key HKEY_LOCAL_MACHINE\\") +
                                framework::PlugInKey() + QStringLiteral(" could not be written")),
                 qPrintable(r.err));
        QVERIFY(!registry::RegistryStore(registry::Hive::LocalMachine).keyExists(framework::PlugInKey()));
        QVERIFY(!QFile::exists(activationFile()));
    }

    // /regplugin and /deregplugin started together, round after round in an order and with delays
    // drawn from a seed (KR5M_RACE_SEED repeats a run): each run waits for the other and ends with 0,
    // and after every round the registry key and the activation file agree, both there or both gone.
    void registrationRacesKeepKeyAndFileTogether()
    {
        const quint32 seed = qEnvironmentVariableIsSet("KR5M_RACE_SEED")
                                 ? quint32(qEnvironmentVariableIntValue("KR5M_RACE_SEED"))
                                 : QRandomGenerator::global()->generate();
        qInfo("registration race seed %u (KR5M_RACE_SEED=%u repeats it)", seed, seed);
        QRandomGenerator random(seed);
        const QStringList registering{QStringLiteral("/regplugin")};
        const QStringList deregistering{QStringLiteral("/deregplugin"), QStringLiteral("/deregmode:-1")};
        QCOMPARE(run(registering), 0);
        constexpr int Rounds = 30;
        for (int round = 0; round < Rounds; ++round) {
            QList<QStringList> commands{registering, deregistering};
            if (random.bounded(3) == 0)
                commands << (random.bounded(2) ? registering : deregistering);
            std::shuffle(commands.begin(), commands.end(), random);
            std::vector<std::unique_ptr<QProcess>> processes;
            for (const QStringList& command : std::as_const(commands)) {
                processes.push_back(std::make_unique<QProcess>());
                processes.back()->start(executable(), command);
                QThread::msleep(random.bounded(40));
            }
            for (size_t i = 0; i < processes.size(); ++i) {
                QProcess& p = *processes[i];
                QVERIFY(p.waitForFinished(60000));
                const QString said = QString::fromLocal8Bit(p.readAllStandardError());
                QVERIFY2(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0,
                         qPrintable(QStringLiteral("round %1, %2 ended with %3: %4")
                                        .arg(round)
                                        .arg(commands[qsizetype(i)].join(QLatin1Char(' ')))
                                        .arg(p.exitCode())
                                        .arg(said)));
            }
            const bool keyThere =
                registry::RegistryStore(registry::Hive::LocalMachine).keyExists(framework::PlugInKey());
            QVERIFY2(keyThere == QFile::exists(activationFile()),
                     qPrintable(QStringLiteral("round %1: registry key %2, activation file %3")
                                    .arg(round)
                                    .arg(keyThere ? QStringLiteral("there") : QStringLiteral("gone"))
                                    .arg(keyThere ? QStringLiteral("gone") : QStringLiteral("there"))));
            if (keyThere)
                QCOMPARE(
                    registry::RegistryStore(registry::Hive::LocalMachine).valueNames(framework::PlugInKey()).size(),
                    10);
        }
    }

    // A name the bus cannot read (the program's folder) or that the program cannot hold as text
    // (XDG_DATA_HOME) is refused with status 1 and the reason; nothing is written anywhere.
    void namesThatAreNotUtf8AreRefused_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("programFolder");  // else the data folder
        QTest::addColumn<QString>("reason");
        const QString program = QStringLiteral("the program's path %1/x\\xe9y/KR5MHUConfigure is not UTF-8");
        QTest::newRow("/regserver from such a folder") << "/regserver" << true << program;
        QTest::newRow("/regplugin from such a folder") << "/regplugin" << true << program;
        const QString data = QStringLiteral("XDG_DATA_HOME (%1/d\\xe9) is not UTF-8");
        QTest::newRow("/regserver with such a data folder") << "/regserver" << false << data;
        QTest::newRow("/regplugin with such a data folder") << "/regplugin" << false << data;
    }
    void namesThatAreNotUtf8AreRefused()
    {
        QFETCH(QString, command);
        QFETCH(bool, programFolder);
        QFETCH(QString, reason);
        // The byte 0xe9 goes into the names through the shell's printf: Qt's texts have no way to spell it.
        const QString script = programFolder
                                   ? QStringLiteral("d=\"$(printf '%s/x\\351y' \"$0\")\" && mkdir \"$d\" && "
                                                    "cp \"$1\" \"$d/\" && exec \"$d/KR5MHUConfigure\" \"$2\"")
                                   : QStringLiteral("XDG_DATA_HOME=\"$(printf '%s/d\\351' \"$XDG_DATA_HOME\")\" exec "
                                                    "\"$1\" \"$2\"");
        const QStringList before = QDir(m_env->root()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        // Nor can a QTemporaryDir remove such a folder.
        const auto removeCopy = qScopeGuard([this] {
            QProcess::execute(
                QStringLiteral("sh"),
                {QStringLiteral("-c"), QStringLiteral("rm -rf \"$(printf '%s/x\\351y' \"$0\")\""), m_env->root()});
        });
        const Run r =
            runCapturing(QStringLiteral("sh"), {QStringLiteral("-c"), script, m_env->root(), executable(), command});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(reason.arg(programFolder ? m_env->root() : m_env->dataHome())), qPrintable(r.err));
        QVERIFY(!QFile::exists(activationFile()));
        QCOMPARE(QDir(m_env->dataHome()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
        QVERIFY(!registry::RegistryStore(registry::Hive::LocalMachine).keyExists(framework::PlugInKey()));
        if (!programFolder)
            QCOMPARE(QDir(m_env->root()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
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
    struct Run {
        int status = -1;
        QString err;
    };
    // Runs program and keeps what it said on standard error.
    static Run runCapturing(const QString& program, const QStringList& arguments)
    {
        QProcess process;
        process.start(program, arguments);
        Run r;
        if (!process.waitForFinished(30000)) {
            process.kill();
            process.waitForFinished();
        } else if (process.exitStatus() == QProcess::NormalExit) {
            r.status = process.exitCode();
        }
        r.err = QString::fromLocal8Bit(process.readAllStandardError());
        return r;
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

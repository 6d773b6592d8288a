// Registering and deregistering the plug-in: version pairs, the registry description, the server
// registration it starts, and what the user is told.
#include "framework/CRegistry.h"
#include "framework/Identity.h"
#include "platform/automation/Activation.h"
#include "platform/registry/RegistryStore.h"
#include "platform/toolkit/Process.h"
#include "platform/toolkit/Translations.h"
#include "registration/PlugInRegistration.h"
#include "support/RegistryFaults.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

using registration::RegisterOutcome;
using toolkit::Answer;
using toolkit::Icon;

namespace {

// Records the starts and answers as told.
class RecordedProcesses : public toolkit::ProcessService {
public:
    RecordedProcesses() { toolkit::SetProcessService(this); }
    ~RecordedProcesses() override { toolkit::SetProcessService(nullptr); }
    toolkit::ProcessOutcome start(const QString& program, const QStringList& arguments, int waitMs) override
    {
        starts << (QStringList{program} + arguments);
        waits << waitMs;
        // What the real server registration leaves behind, when the test needs it.
        if (writesActivationFile && canStart && arguments == QStringList{QStringLiteral("/regserver")})
            automation::WriteActivationFile(framework::PlugInProgId(), program);
        toolkit::ProcessOutcome o;
        o.started = canStart;
        o.finished = canStart;
        o.exitCode = exitCode;
        if (!canStart)
            o.errorText = QStringLiteral("The system cannot find the file specified.");
        return o;
    }
    QList<QStringList> starts;
    QList<int> waits;
    bool canStart = true;
    int exitCode = 0;
    bool writesActivationFile = false;
};

std::optional<QByteArray> ActivationFile()
{
    return automation::ReadActivationFile(framework::PlugInProgId());
}

}  // namespace

class TestPlugInRegistration : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { framework::LoadPlugInIdentity(); }
    void init() { m_env = std::make_unique<testsupport::TestEnvironment>(); }
    void cleanup() { m_env.reset(); }

    void versionPairs_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<int>("major");
        QTest::addColumn<int>("minor");
        QTest::newRow("1.5.0") << "1.5.0" << 1 << 50;
        QTest::newRow("1.12.0") << "1.12.0" << 1 << 12;
        QTest::newRow("missing") << "" << 0 << 0;
        QTest::newRow("minor ends at a blank") << "2.3 beta" << 2 << 30;
        QTest::newRow("no minor") << "7" << 7 << 0;
        QTest::newRow("not numbers") << "a.b" << 0 << 0;
    }
    void versionPairs()
    {
        QFETCH(QString, version);
        QFETCH(int, major);
        QFETCH(int, minor);
        const auto pair = registration::ReadVersionPair(version);
        QCOMPARE(int(pair.major), major);
        QCOMPARE(int(pair.minor), minor);
    }

    void newerDecision_data()
    {
        QTest::addColumn<QString>("registered");
        QTest::addColumn<QString>("ours");
        QTest::addColumn<bool>("refused");
        QTest::newRow("1.5.0 over 1.12.0 proceeds") << "1.12.0"
                                                    << "1.5.0" << false;
        QTest::newRow("1.12.0 over 1.5.0 is refused") << "1.5.0"
                                                      << "1.12.0" << true;
        QTest::newRow("same version") << "1.0.0"
                                      << "1.0.0" << false;
        QTest::newRow("missing compares as 0.0") << ""
                                                 << "1.0.0" << false;
        QTest::newRow("newer major") << "2.0.0"
                                     << "1.9.0" << true;
        // A number that does not fit 16 bits cannot be compared: it is taken as newer.
        QTest::newRow("major out of range") << "65536.0"
                                            << "1.0.0" << true;
        QTest::newRow("minor out of range") << "1.99999"
                                            << "1.0.0" << true;
        QTest::newRow("negative major out of range") << "-40000.0"
                                                     << "1.0.0" << true;
    }
    void newerDecision()
    {
        QFETCH(QString, registered);
        QFETCH(QString, ours);
        QFETCH(bool, refused);
        QCOMPARE(registration::RegisteredIsNewer(registration::ReadVersionPair(registered),
                                                 registration::ReadVersionPair(ours)),
                 refused);
    }

    void firstRegistrationWritesTheTenValuesAndRegistersTheServer()
    {
        RecordedProcesses processes;
        testsupport::ScriptedMessageBoxes boxes;
        boxes.expect({QStringLiteral("Plug-in registered as KR5MHUConfigure.LNSPlugInAPI"), Answer::Ok,
                      framework::PlugInName(), std::nullopt, Icon::Information, true});
        QCOMPARE(registration::RegisterPlugIn(true), RegisterOutcome::Registered);
        VERIFY_BOXES(boxes);
        QCOMPARE(processes.starts.size(), 1);
        QCOMPARE(processes.starts[0],
                 (QStringList{QCoreApplication::applicationFilePath(), QStringLiteral("/regserver")}));
        QVERIFY(processes.waits[0] > 0);
        registry::RegistryStore store(registry::Hive::LocalMachine);
        const QStringList names = store.valueNames(framework::PlugInKey());
        QCOMPARE(names, (QStringList{QString(), "Name", "Description", "Scope", "ManufacturerName", "Version",
                                     "LcaVersion", "Prelaunch", "MultiObject", "SingleInstance"}));
        framework::CRegistry r;
        QCOMPARE(r.MachineSetting(framework::PlugInKey(), QString()), QStringLiteral("KR5MHUConfigure.LNSPlugInAPI"));
        QCOMPARE(r.MachineSetting(framework::PlugInKey(), "Version"), framework::BuildVersion());
        QCOMPARE(r.MachineSetting(framework::PlugInKey(), "Prelaunch"), QStringLiteral("-1"));
        QCOMPARE(r.MachineSetting(framework::PlugInKey(), "Scope"), QStringLiteral("2"));
    }

    // Under a German locale the box speaks German; what the registry holds does not change with it.
    void theBoxSpeaksTheUsersLanguage()
    {
        QVERIFY(toolkit::InstallTranslations(QLocale(QStringLiteral("de_DE"))));
        const auto english = qScopeGuard([] { toolkit::InstallTranslations(QLocale::c()); });
        RecordedProcesses processes;
        testsupport::ScriptedMessageBoxes boxes;
        boxes.expect({QStringLiteral("Plug-in registriert als KR5MHUConfigure.LNSPlugInAPI"), Answer::Ok,
                      framework::PlugInName(), std::nullopt, Icon::Information, true});
        QCOMPARE(registration::RegisterPlugIn(true), RegisterOutcome::Registered);
        VERIFY_BOXES(boxes);
        QCOMPARE(framework::CRegistry().MachineSetting(framework::PlugInKey(), "Name"), framework::PlugInName());
    }

    void registrationOverAnExistingOne_data()
    {
        QTest::addColumn<QString>("registeredVersion");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("message");
        QTest::newRow("same version: update")
            << framework::BuildVersion() << int(RegisterOutcome::Updated)
            << "Updated version of plug-in registered as KR5MHUConfigure.LNSPlugInAPI";
        QTest::newRow("missing version: update")
            << QString() << int(RegisterOutcome::Updated)
            << "Updated version of plug-in registered as KR5MHUConfigure.LNSPlugInAPI";
        QTest::newRow("newer major: refused") << "99.0.0" << int(RegisterOutcome::NewerRegistered)
                                              << "A newer version of this plug-in is already registered";
    }
    void registrationOverAnExistingOne()
    {
        QFETCH(QString, registeredVersion);
        QFETCH(int, outcome);
        QFETCH(QString, message);
        framework::CRegistry r;
        r.SetMachineSetting(framework::PlugInKey(), QString(), QStringLiteral("Other.ProgId"));
        if (!registeredVersion.isEmpty())
            r.SetMachineSetting(framework::PlugInKey(), "Version", registeredVersion);
        RecordedProcesses processes;
        testsupport::ScriptedMessageBoxes boxes;
        boxes.expect({message, Answer::Ok, framework::PlugInName(), std::nullopt, Icon::Information, true});
        QCOMPARE(int(registration::RegisterPlugIn(true)), outcome);
        VERIFY_BOXES(boxes);
        const bool refused = outcome == int(RegisterOutcome::NewerRegistered);
        QCOMPARE(processes.starts.size(), refused ? 0 : 1);
        QCOMPARE(r.MachineSetting(framework::PlugInKey(), QString()),
                 refused ? QStringLiteral("Other.ProgId") : QStringLiteral("KR5MHUConfigure.LNSPlugInAPI"));
    }

    void serverRegistrationFailureStopsBeforeTheRegistry_data()
    {
        QTest::addColumn<bool>("canStart");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("cannot start") << false << 0;
        QTest::newRow("ends with failure") << true << 1;
    }
    void serverRegistrationFailureStopsBeforeTheRegistry()
    {
        QFETCH(bool, canStart);
        QFETCH(int, exitCode);
        RecordedProcesses processes;
        processes.canStart = canStart;
        processes.exitCode = exitCode;
        testsupport::ScriptedMessageBoxes boxes;
        boxes.expect({QStringLiteral("Plug-in KR5MHUConfigure.LNSPlugInAPI registration as COM server failed"),
                      Answer::Ok, framework::ApplicationTitle(), std::nullopt, Icon::Critical, true});
        QCOMPARE(registration::RegisterPlugIn(true), RegisterOutcome::ServerRegistrationFailed);
        VERIFY_BOXES(boxes);
        QVERIFY(!registry::RegistryStore(registry::Hive::LocalMachine).keyExists(framework::PlugInKey()));
    }

    // A registry write that fails part-way (the hive refuses the "Version" value) is reported, not
    // celebrated, and puts back what was there: the key's values and the server registration.
    void failedRegistryWritePutsBackWhatWasThere_data()
    {
        QTest::addColumn<bool>("registeredBefore");
        QTest::newRow("first registration") << false;
        QTest::newRow("update of an older one") << true;
    }
    void failedRegistryWritePutsBackWhatWasThere()
    {
        QFETCH(bool, registeredBefore);
        if (registeredBefore) {
            framework::CRegistry r;
            r.SetMachineSetting(framework::PlugInKey(), QString(), framework::PlugInProgId());
            r.SetMachineSetting(framework::PlugInKey(), QStringLiteral("Version"), QStringLiteral("0.1.0"));
            r.SetMachineSetting(framework::PlugInKey(), QStringLiteral("DisplayUnits"), QStringLiteral("0"));
            QVERIFY(automation::WriteActivationFile(framework::PlugInProgId(),
                                                    QStringLiteral("/opt/older/KR5MHUConfigure")));
        }
        const QStringList valuesBefore = testsupport::MachineKeySnapshot(framework::PlugInKey());
        const std::optional<QByteArray> activationBefore = ActivationFile();
        QCOMPARE(activationBefore.has_value(), registeredBefore);
        QVERIFY(testsupport::RefuseMachineValue(QStringLiteral("Version")));
        RecordedProcesses processes;
        processes.writesActivationFile = true;
        testsupport::ScriptedMessageBoxes boxes;
        boxes.expect({QStringLiteral("Plug-in KR5MHUConfigure.LNSPlugInAPI could not be registered: the registry key "
                                     "HKEY_LOCAL_MACHINE\\") +
                          framework::PlugInKey() + QStringLiteral(" could not be written"),
                      Answer::Ok, framework::PlugInName(), std::nullopt, Icon::Critical, true});
        QCOMPARE(registration::RegisterPlugIn(true), RegisterOutcome::RegistryWriteFailed);
        VERIFY_BOXES(boxes);
        QCOMPARE(processes.starts.size(), 1);
        QCOMPARE(testsupport::MachineKeySnapshot(framework::PlugInKey()), valuesBefore);
        QCOMPARE(registry::RegistryStore(registry::Hive::LocalMachine).keyExists(framework::PlugInKey()),
                 registeredBefore);
        QCOMPARE(ActivationFile(), activationBefore);
    }

    // A machine hive that is there but is no registry: nothing is tried, and the box names the file
    // (reads would take it for an empty registry and report the plug-in as not registered).
    void unreadableHiveIsNamed_data()
    {
        QTest::addColumn<bool>("registering");
        QTest::newRow("register") << true;
        QTest::newRow("deregister") << false;
    }
    void unreadableHiveIsNamed()
    {
        QFETCH(bool, registering);
        const QString hive = m_env->registryDir() + QStringLiteral("/HKEY_LOCAL_MACHINE.sqlite");
        QFile file(hive);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, 'x'));
        file.close();
        RecordedProcesses processes;
        testsupport::ScriptedMessageBoxes boxes;
        boxes.expect({QStringLiteral("Plug-in KR5MHUConfigure.LNSPlugInAPI could not be ") +
                          (registering ? QStringLiteral("registered") : QStringLiteral("deregistered")) +
                          QStringLiteral(": the registry file ") + hive +
                          QStringLiteral(" cannot be read as a registry"),
                      Answer::Ok, framework::PlugInName(), toolkit::Buttons::Ok, Icon::Critical, true});
        if (registering)
            QCOMPARE(registration::RegisterPlugIn(true), RegisterOutcome::RegistryUnreadable);
        else
            QVERIFY(!registration::DeregisterPlugIn(-1, true));
        VERIFY_BOXES(boxes);
        QVERIFY(processes.starts.isEmpty());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray(4096, 'x'));
    }

    void silentRegistrationShowsNothing()
    {
        RecordedProcesses processes;
        testsupport::ScriptedMessageBoxes boxes;  // no box expected
        QCOMPARE(registration::RegisterPlugIn(false), RegisterOutcome::Registered);
        QCOMPARE(registration::RegisterPlugIn(false), RegisterOutcome::Updated);
        VERIFY_BOXES(boxes);
        QCOMPARE(registry::RegistryStore(registry::Hive::LocalMachine).valueNames(framework::PlugInKey()).size(), 10);
    }

    void removal_data()
    {
        QTest::addColumn<bool>("registered");
        QTest::addColumn<QString>("message");
        QTest::newRow("registered") << true << "Plug-in Kestrova KR5M-HU Configure deregistered";
        QTest::newRow("not registered")
            << false << "Plug-in Kestrova KR5M-HU Configure does not exisit in the Windows registery";
    }
    void removal()
    {
        QFETCH(bool, registered);
        QFETCH(QString, message);
        RecordedProcesses processes;
        if (registered)
            QCOMPARE(registration::RegisterPlugIn(false), RegisterOutcome::Registered);
        framework::CRegistry().SetMachineSetting(framework::PlugInKey() + QStringLiteral("\\Sub"), "x", "y");
        if (!registered)
            framework::CRegistry().DeleteMachineKey(framework::PlugInKey());
        testsupport::ScriptedMessageBoxes boxes;
        boxes.expect({message, Answer::Ok, framework::PlugInName(), std::nullopt, Icon::Information, true});
        QCOMPARE(registration::RemovePlugInRegistration(true),
                 registered ? registration::RemovalOutcome::Removed : registration::RemovalOutcome::NotRegistered);
        VERIFY_BOXES(boxes);
        QCOMPARE(processes.starts.last(),
                 (QStringList{QCoreApplication::applicationFilePath(), QStringLiteral("/unregserver")}));
        QVERIFY(!registry::RegistryStore(registry::Hive::LocalMachine).keyExists(framework::PlugInKey()));
    }

    void failedServerRemovalLeavesTheRegistry()
    {
        RecordedProcesses processes;
        QCOMPARE(registration::RegisterPlugIn(false), RegisterOutcome::Registered);
        processes.canStart = false;
        testsupport::ScriptedMessageBoxes boxes;
        boxes.expect(
            {QStringLiteral("Plug-in KR5MHUConfigure.LNSPlugInAPI deregistration as COM server failed\r"
                            "Verify that there are not instances running\rThe system cannot find the file specified."),
             Answer::Ok, framework::ApplicationTitle(), std::nullopt, Icon::Critical, true});
        QCOMPARE(registration::RemovePlugInRegistration(true), registration::RemovalOutcome::ServerRemovalFailed);
        VERIFY_BOXES(boxes);
        QVERIFY(registry::RegistryStore(registry::Hive::LocalMachine).keyExists(framework::PlugInKey()));
    }

    // A key that cannot be deleted leaves the plug-in registered as a whole, server included, and
    // says so: on the command line as a failure, in the window with a box.
    void failedKeyDeletionKeepsTheRegistration()
    {
        RecordedProcesses processes;
        QCOMPARE(registration::RegisterPlugIn(false), RegisterOutcome::Registered);
        registry::RegistryStore store(registry::Hive::LocalMachine);
        QVERIFY(store.keyExists(framework::PlugInKey()));
        // The process's own connection to the hive (one per file) refuses every write from now on.
        QSqlDatabase hive =
            QSqlDatabase::database(QStringLiteral("registry:") + QFileInfo(store.fileName()).absoluteFilePath(), false);
        QVERIFY(hive.isOpen());
        QVERIFY(QSqlQuery(hive).exec(QStringLiteral("PRAGMA query_only = ON")));

        QVERIFY(!registration::DeregisterPlugIn(-1, false));
        testsupport::ScriptedMessageBoxes boxes;
        boxes.expect({QStringLiteral("Plug-in KR5MHUConfigure.LNSPlugInAPI could not be deregistered: the registry key "
                                     "HKEY_LOCAL_MACHINE\\") +
                          framework::PlugInKey() + QStringLiteral(" could not be deleted"),
                      Answer::Ok, framework::PlugInName(), std::nullopt, Icon::Critical, true});
        QCOMPARE(registration::RemovePlugInRegistration(true), registration::RemovalOutcome::RegistryDeleteFailed);
        VERIFY_BOXES(boxes);
        QVERIFY(store.keyExists(framework::PlugInKey()));
        const QStringList unregister{QCoreApplication::applicationFilePath(), QStringLiteral("/unregserver")};
        const QStringList reregister{QCoreApplication::applicationFilePath(), QStringLiteral("/regserver")};
        QCOMPARE(processes.starts.mid(1), (QList<QStringList>{unregister, reregister, unregister, reregister}));
        QVERIFY(QSqlQuery(hive).exec(QStringLiteral("PRAGMA query_only = OFF")));
    }

    // While another registration or deregistration holds the lock, one from the window waits for it
    // a bounded time, then says so and changes nothing; once it is let go, the same action goes through.
    void heldLockIsWaitedForThenTold_data()
    {
        QTest::addColumn<bool>("registering");
        QTest::newRow("register") << true;
        QTest::newRow("deregister") << false;
    }
    void heldLockIsWaitedForThenTold()
    {
        QFETCH(bool, registering);
        RecordedProcesses processes;
        processes.writesActivationFile = true;
        if (!registering)
            QCOMPARE(registration::RegisterPlugIn(false), RegisterOutcome::Registered);
        const QStringList valuesBefore = testsupport::MachineKeySnapshot(framework::PlugInKey());
        const std::optional<QByteArray> activationBefore = ActivationFile();
        const int startsBefore = int(processes.starts.size());
        registration::SetRegistrationWait(400);
        const auto restoreWait = qScopeGuard([] { registration::SetRegistrationWait(60000); });
        {
            const automation::ActivationLock other(framework::PlugInProgId(), 0);
            QVERIFY2(other.held(), qPrintable(other.failure()));
            testsupport::ScriptedMessageBoxes boxes;
            boxes.expect({QStringLiteral("Plug-in KR5MHUConfigure.LNSPlugInAPI could not be ") +
                              (registering ? QStringLiteral("registered") : QStringLiteral("deregistered")) +
                              QStringLiteral(": another registration or deregistration of it is still running (it "
                                             "has held the lock file ") +
                              other.fileName() +
                              QStringLiteral(" for more than 0.4 seconds); try again when it has ended"),
                          Answer::Ok, framework::PlugInName(), toolkit::Buttons::Ok, Icon::Critical, true});
            QElapsedTimer waited;
            waited.start();
            if (registering)
                QCOMPARE(registration::RegisterPlugIn(true), RegisterOutcome::Busy);
            else
                QVERIFY(!registration::DeregisterPlugIn(-1, true));
            QVERIFY(waited.elapsed() >= 400);
            VERIFY_BOXES(boxes);
            QCOMPARE(int(processes.starts.size()), startsBefore);
            QCOMPARE(testsupport::MachineKeySnapshot(framework::PlugInKey()), valuesBefore);
            QCOMPARE(ActivationFile(), activationBefore);
        }
        if (registering)
            QCOMPARE(registration::RegisterPlugIn(false), RegisterOutcome::Registered);
        else
            QVERIFY(registration::DeregisterPlugIn(-1, false));
        QCOMPARE(registry::RegistryStore(registry::Hive::LocalMachine).keyExists(framework::PlugInKey()), registering);
    }

private:
    std::unique_ptr<testsupport::TestEnvironment> m_env;
};

QTEST_GUILESS_MAIN(TestPlugInRegistration)
#include "test_plugin_registration.moc"

// Removing the plug-in's commands from a network, the question about templates no device uses, the
// plug-in's deregistration in its three depths over every network, and the registration window's
// Deregister button.
#include "RegistrationWorld.h"
#include "framework/CRegistry.h"
#include "platform/toolkit/Process.h"
#include "registration/CommandRegistration.h"
#include "registration/PlugInRegistration.h"
#include "registration/fRegisterPlugIn.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTest>

using namespace regtest;
using toolkit::Answer;
using toolkit::Buttons;
using toolkit::Icon;

namespace {

const QString Site = QStringLiteral("Site");

// The program's own server (un)registration: recorded, and answered as a finished start.
class SelfRegistrationStarts : public toolkit::ProcessService {
public:
    SelfRegistrationStarts() { toolkit::SetProcessService(this); }
    ~SelfRegistrationStarts() override { toolkit::SetProcessService(nullptr); }
    toolkit::ProcessOutcome start(const QString& program, const QStringList& arguments, int) override
    {
        starts << (QStringList{QFileInfo(program).fileName()} + arguments);
        toolkit::ProcessOutcome outcome;
        outcome.started = outcome.finished = true;
        outcome.exitCode = 0;
        return outcome;
    }
    QList<QStringList> starts;
};

QString UnusedQuestion(const QString& templateName)
{
    return QStringLiteral("The device template '") + templateName +
           QStringLiteral("' is no longer referenced by any device in the current network. Do you want to remove the "
                          "device template from the template library?");
}

testsupport::ExpectedBox Question(const QString& templateName, Answer answer)
{
    return {
        UnusedQuestion(templateName), answer, framework::ApplicationTitle(), Buttons::YesNo, Icon::Exclamation, true};
}

testsupport::ExpectedBox Deregistered()
{
    return {QStringLiteral("Plug-in ") + framework::PlugInName() + QStringLiteral(" deregistered"),
            Answer::Ok,
            framework::PlugInName(),
            Buttons::Ok,
            Icon::Information,
            true};
}

// A network with both models' templates, "Used" with a device and "Unused" without, our commands
// registered on both, another plug-in's entry beside them, and command-50 entries on the system.
void PrepareNetwork(Installation& world, const QString& name, bool requiresInterface)
{
    world.createNetwork(name, requiresInterface);
    world.addTemplate(name, QStringLiteral("Used"), ModelA);
    world.addTemplate(name, QStringLiteral("Unused"), ModelB);
    world.admin.addDevice(name, {Floor, QStringLiteral("Thermostat 1"), QStringLiteral("Used"), {}});
    // The network's system opens without its interface only while it does not require one.
    world.admin.setRequiresInterface(name, false);
    {
        OpenedNetwork network(name);
        QVERIFY(registration::RegisterCommands(network.session));
        const auto system = network.session.Link().CurrentSystem->SystemComponentApps();
        system->ComponentAppsAdd(QStringLiteral("Register"), framework::PlugInProgId(), 0)->SetAppCommandId(50);
        system->ComponentAppsAdd(QStringLiteral("Register other"), QStringLiteral("Other.PlugIn"), 0)
            ->SetAppCommandId(50);
        network.templates()
            ->DeviceTemplatesItem(QStringLiteral("Used"))
            ->TemplateComponentApps()
            ->ComponentAppsAdd(QStringLiteral("Browse"), QStringLiteral("Other.PlugIn"), 7)
            ->SetAppCommandId(20);
    }
    world.admin.setRequiresInterface(name, requiresInterface);
    // Whoever sent the registration command closes its progress window.
    QCOMPARE(world.ourApps(name).size(), 5);
}

QStringList OtherApps(Installation& world, const QString& network)
{
    QStringList out;
    for (const auto& app : world.admin.componentApps(network))
        if (app.progId != framework::PlugInProgId())
            out << app.owner + QLatin1Char('|') + app.name;
    return out;
}

void RegisterKey()
{
    framework::CRegistry().SetMachineSetting(framework::PlugInKey(), QString(), framework::PlugInProgId());
}

bool KeyExists()
{
    return !framework::CRegistry().MachineSetting(framework::PlugInKey(), QString()).isEmpty();
}

}  // namespace

class TestDeregistration : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        framework::LoadPlugInIdentity();
        framework::LoadPlugInCommands();
    }
    void init() { ForgetProcessState(); }
    void cleanup() { ForgetProcessState(); }

    // Command 51: our entries go, everybody else's stay, no template is touched.
    void deregisterCommands_data()
    {
        QTest::addColumn<bool>("showProgress");
        QTest::addColumn<int>(
            "moreOfOurs");  // further entries of ours after another plug-in's, on a template and the system
        QTest::newRow("quietly") << false << 0;
        QTest::newRow("with progress") << true << 0;
        QTest::newRow("several of ours side by side") << false << 3;
    }
    void deregisterCommands()
    {
        QFETCH(bool, showProgress);
        QFETCH(int, moreOfOurs);
        Installation world;
        PrepareNetwork(world, Net, false);
        if (moreOfOurs) {
            OpenedNetwork network(Net);
            const auto system = network.session.Link().CurrentSystem->SystemComponentApps();
            const auto used = network.templates()->DeviceTemplatesItem(QStringLiteral("Used"))->TemplateComponentApps();
            for (int i = 0; i < moreOfOurs; ++i) {
                system->ComponentAppsAdd(QStringLiteral("Register %1").arg(i), framework::PlugInProgId(), 0)
                    ->SetAppCommandId(50);
                used->ComponentAppsAdd(QStringLiteral("Configure %1").arg(i), framework::PlugInProgId(), 7)
                    ->SetAppCommandId(13);
            }
            QCOMPARE(world.ourApps(Net).size(), 5 + 2 * moreOfOurs);
        }
        const QStringList others = OtherApps(world, Net);
        testsupport::ScriptedMessageBoxes boxes;
        ProgressTexts progress;
        framework::SetShowProgress(showProgress);
        {
            OpenedNetwork network(Net);
            registration::DeregisterCommands(network.session, false, true);
        }
        QVERIFY(world.ourApps(Net).isEmpty());
        QCOMPARE(OtherApps(world, Net), others);
        QCOMPARE(world.admin.templateNames(Net).size(), 2);
        QCOMPARE(progress.texts.contains(ModelA + QStringLiteral("\r\nDeregister Command 13...")), showProgress);
        QCOMPARE(progress.texts.contains(ModelB + QStringLiteral("\r\nDeregister Command 13...")), showProgress);
        QCOMPARE(progress.texts.contains(QStringLiteral("\r\nDeregister Command 50...")), showProgress);
        VERIFY_BOXES(boxes);
    }

    void networkWithoutTemplates()
    {
        Installation world;
        world.createNetwork(Net);
        testsupport::ScriptedMessageBoxes boxes;
        framework::SetShowProgress(true);
        OpenedNetwork network(Net);
        registration::DeregisterCommands(network.session, true, true);
        QVERIFY(world.admin.componentApps(Net).isEmpty());
        VERIFY_BOXES(boxes);
    }

    // Exhaustively, with progress: templates without devices are offered for removal, once each.
    void unusedTemplates_data()
    {
        QTest::addColumn<bool>("exhaustive");
        QTest::addColumn<bool>("showProgress");
        QTest::addColumn<QString>("answer");  // "", "yes", "no", "device added meanwhile"
        QTest::addColumn<QStringList>("templatesAfter");
        QTest::newRow("not exhaustive") << false << true << "" << QStringList{"Used", "Unused"};
        QTest::newRow("exhaustive without progress") << true << false << "" << QStringList{"Used", "Unused"};
        QTest::newRow("exhaustive, yes") << true << true << "yes" << QStringList{"Used"};
        QTest::newRow("exhaustive, no") << true << true << "no" << QStringList{"Used", "Unused"};
        QTest::newRow("exhaustive, removal fails")
            << true << true << "device added meanwhile" << QStringList{"Used", "Unused"};
    }
    void unusedTemplates()
    {
        QFETCH(bool, exhaustive);
        QFETCH(bool, showProgress);
        QFETCH(QString, answer);
        QFETCH(QStringList, templatesAfter);
        Installation world;
        PrepareNetwork(world, Net, false);
        testsupport::ScriptedMessageBoxes boxes;
        BoxesWithActions actions(boxes);
        if (!answer.isEmpty())
            boxes.expect(Question(QStringLiteral("Unused"), answer == QLatin1String("no") ? Answer::No : Answer::Yes));
        if (answer == QLatin1String("device added meanwhile")) {
            // Another tool puts a device on the template while the question is open.
            actions.whileOpen(1, [&](const toolkit::MessageBoxRequest&) {
                world.admin.addDevice(Net, {Floor, QStringLiteral("Late"), QStringLiteral("Unused"), {}});
            });
            boxes.expect({QStringLiteral("Unable to remove the device template: Unused"), Answer::Ok,
                          framework::ApplicationTitle(), Buttons::Ok, Icon::Critical, true});
        }
        framework::SetShowProgress(showProgress);
        {
            OpenedNetwork network(Net);
            registration::DeregisterCommands(network.session, exhaustive, true);
        }
        QCOMPARE(world.admin.templateNames(Net), templatesAfter);
        QVERIFY(world.ourApps(Net).isEmpty());
        VERIFY_BOXES(boxes);
    }

    // /deregplugin in its three depths on an installation with two networks, the second of which
    // opens only through its network interface.
    void deregisterPlugIn_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("interactive");
        QTest::addColumn<bool>("commandsRemoved");
        QTest::newRow("-1 from the command line") << -1 << false << false;
        QTest::newRow("0 from the command line") << 0 << false << true;
        QTest::newRow("1 from the command line") << 1 << false << true;
        QTest::newRow("-1 interactive") << -1 << true << false;
        QTest::newRow("0 interactive") << 0 << true << true;
        QTest::newRow("1 interactive") << 1 << true << true;
        QTest::newRow("another mode: the registration only") << 5 << false << false;
    }
    void deregisterPlugIn()
    {
        QFETCH(int, mode);
        QFETCH(bool, interactive);
        QFETCH(bool, commandsRemoved);
        Installation world;
        PrepareNetwork(world, Net, false);
        PrepareNetwork(world, Site, true);
        RegisterKey();
        const QStringList before = world.ourApps(Net) + world.ourApps(Site);
        SelfRegistrationStarts starts;
        testsupport::ScriptedMessageBoxes boxes;
        const bool asks = mode == 1 && interactive;
        if (asks)
            boxes.expect(Question(QStringLiteral("Unused"), Answer::Yes))
                .expect(Question(QStringLiteral("Unused"), Answer::No));
        if (interactive)
            boxes.expect(Deregistered());
        ProgressTexts progress;

        registration::DeregisterPlugIn(qint16(mode), interactive);

        QCOMPARE(world.ourApps(Net) + world.ourApps(Site), commandsRemoved ? QStringList{} : before);
        QVERIFY(!KeyExists());
        QCOMPARE(starts.starts.size(), 1);
        QCOMPARE(starts.starts[0].mid(1), QStringList{QStringLiteral("/unregserver")});
        // The first network's unused template went on Yes, the second's stayed on No.
        QCOMPARE(world.admin.templateNames(Net).size(), asks ? 1 : 2);
        QCOMPARE(world.admin.templateNames(Site).size(), 2);
        // Each network keeps its interface, the one that needs it as much as the other.
        QCOMPARE(world.admin.nsdInterface(Net), QStringLiteral("LON1"));
        QCOMPARE(world.admin.nsdInterface(Site), QStringLiteral("LON1"));
        const bool walked = interactive && (mode == 0 || mode == 1);
        QCOMPARE(progress.texts.contains(QStringLiteral("Opening the Object Server...")), walked);
        QCOMPARE(progress.texts.contains(QStringLiteral("Opening Site...")), walked);
        QCOMPARE(progress.texts.contains(QStringLiteral("Opening System 1...\r\nNetwork Interface 'LON1'")), walked);
        QCOMPARE(progress.texts.contains(QStringLiteral("Deregister commands...")), walked);
        QVERIFY(!LoadedProgress());
        VERIFY_BOXES(boxes);
    }

    // A removal that cannot be written (another writer holds the database) stops the walk at once:
    // the plug-in stays registered, server and key, and the window says which network kept its
    // commands.
    void lockedDatabaseKeepsTheRegistration_data()
    {
        QTest::addColumn<bool>("fromWindow");
        QTest::newRow("registration window, Complete Mode") << true;
        QTest::newRow("command line") << false;
    }
    void lockedDatabaseKeepsTheRegistration()
    {
        QFETCH(bool, fromWindow);
        Installation world;
        PrepareNetwork(world, Net, false);
        PrepareNetwork(world, Site, true);
        RegisterKey();
        const QStringList before = world.ourApps(Net) + world.ourApps(Site);
        SelfRegistrationStarts starts;
        testsupport::ScriptedMessageBoxes boxes;
        if (fromWindow)
            boxes.expect({QStringLiteral(
                              "Plug-in KR5MHUConfigure.LNSPlugInAPI could not be deregistered: its commands could not "
                              "be removed from the network Demo\r"),
                          Answer::Ok, framework::PlugInName(), Buttons::Ok, Icon::Critical});
        bool closed = false;
        fRegisterPlugIn window([&] { closed = true; });
        QElapsedTimer clock;
        {
            DatabaseWriter writer(world.lonWorks);
            QVERIFY(writer.locked);
            clock.start();
            if (fromWindow) {
                window.show();
                QTest::mouseClick(window.bDeregister, Qt::LeftButton);
                QVERIFY(closed);
            } else {
                QVERIFY(!registration::DeregisterPlugIn(0, false));
            }
        }
        // The walk waits for the lock at its first write that matters, not once per entry.
        QVERIFY2(clock.elapsed() < 40000, qPrintable(QString::number(clock.elapsed())));
        VERIFY_BOXES(boxes);
        if (fromWindow)
            QVERIFY(boxes.seen().first().text.contains(QStringLiteral("locked")));
        QCOMPARE(world.ourApps(Net) + world.ourApps(Site), before);
        QVERIFY(KeyExists());
        QVERIFY(starts.starts.isEmpty());
        QCOMPARE(world.admin.nsdInterface(Net), QStringLiteral("LON1"));
        QVERIFY(!LoadedProgress());
    }

    // The window's Deregister button: the list position is the mode; list and buttons are locked
    // while it runs; the window closes afterwards.
    void deregisterButton_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<bool>("commandsRemoved");
        QTest::addColumn<bool>("asks");
        QTest::newRow("Minimal Mode") << 0 << false << false;
        QTest::newRow("Complete Mode") << 1 << true << false;
        QTest::newRow("Exhaustive Mode") << 2 << true << true;
    }
    void deregisterButton()
    {
        QFETCH(int, position);
        QFETCH(bool, commandsRemoved);
        QFETCH(bool, asks);
        Installation world;
        PrepareNetwork(world, Net, false);
        RegisterKey();
        SelfRegistrationStarts starts;
        bool closed = false;
        fRegisterPlugIn window([&] { closed = true; });
        window.show();
        QCOMPARE(window.cmbDeregMode->currentIndex(), 1);
        window.cmbDeregMode->setCurrentIndex(position);

        testsupport::ScriptedMessageBoxes boxes;
        BoxesWithActions actions(boxes);
        QStringList lockState;
        const auto recordLock = [&](const toolkit::MessageBoxRequest&) {
            lockState << QStringLiteral("%1%2%3%4")
                             .arg(window.cmbDeregMode->isEnabled())
                             .arg(window.bRegister->isEnabled())
                             .arg(window.bDeregister->isEnabled())
                             .arg(window.bExit->isEnabled());
        };
        if (asks) {
            boxes.expect(Question(QStringLiteral("Unused"), Answer::No));
            actions.whileOpen(1, recordLock);
        }
        boxes.expect(Deregistered());
        actions.whileOpen(asks ? 2 : 1, recordLock);

        QTest::mouseClick(window.bDeregister, Qt::LeftButton);

        QCOMPARE(lockState, QStringList(asks ? 2 : 1, QStringLiteral("0000")));
        QVERIFY(closed);
        QVERIFY(window.cmbDeregMode->isEnabled() && window.bRegister->isEnabled() && window.bDeregister->isEnabled() &&
                window.bExit->isEnabled());
        QCOMPARE(world.ourApps(Net).isEmpty(), commandsRemoved);
        QVERIFY(!KeyExists());
        VERIFY_BOXES(boxes);
    }

    // The Register button locks the window the same way, and the window cannot be closed (ending the
    // program) while the registration runs.
    void registerButtonLocksTheWindow()
    {
        Installation world;
        SelfRegistrationStarts starts;
        bool closed = false;
        fRegisterPlugIn window([&] { closed = true; });
        window.show();
        testsupport::ScriptedMessageBoxes boxes;
        BoxesWithActions actions(boxes);
        QString lockState;
        bool closedMeanwhile = true;
        boxes.expect({QStringLiteral("Plug-in registered as KR5MHUConfigure.LNSPlugInAPI"), Answer::Ok,
                      framework::PlugInName(), std::nullopt, Icon::Information, true});
        actions.whileOpen(1, [&](const toolkit::MessageBoxRequest&) {
            lockState = QStringLiteral("%1%2%3%4")
                            .arg(window.cmbDeregMode->isEnabled())
                            .arg(window.bRegister->isEnabled())
                            .arg(window.bDeregister->isEnabled())
                            .arg(window.bExit->isEnabled());
            closedMeanwhile = window.close() || closed;
        });

        QTest::mouseClick(window.bRegister, Qt::LeftButton);

        QCOMPARE(lockState, QStringLiteral("0000"));
        QVERIFY(!closedMeanwhile);
        QVERIFY(closed);
        QVERIFY(KeyExists());
        VERIFY_BOXES(boxes);
    }
};

QTEST_MAIN(TestDeregistration)
#include "tst_deregistration.moc"

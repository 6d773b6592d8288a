// Registering the plug-in's commands in a network: templates found or imported, the component
// applications on them, the default action, names, the resource files, and the boxes on failure.
#include "RegistrationWorld.h"
#include "registration/CommandRegistration.h"
#include "registration/ResourceFiles.h"

#include <QTest>

using namespace regtest;
using toolkit::Answer;
using toolkit::Buttons;
using toolkit::Icon;

namespace {

const QString LonMarkCommand = QStringLiteral("Kestrova KR5M-HU LonMarkObject Configure");
const QString DeviceCommand = QStringLiteral("Kestrova KR5M-HU Device Configure");

// Our two entries on a template, as ourApps lists them.
QStringList EntriesOn(const QString& templateName, const QString& lonMarkName = LonMarkCommand,
                      const QString& deviceName = DeviceCommand, int isDefault = 1)
{
    return {QStringLiteral("%1|%2|28|13|%3").arg(templateName, lonMarkName).arg(isDefault),
            QStringLiteral("%1|%2|7|13|%3").arg(templateName, deviceName).arg(isDefault)};
}

testsupport::ExpectedBox FailureBox(const QString& text)
{
    return {text, Answer::Ok, framework::ApplicationTitle(), Buttons::Ok, Icon::Critical, true};
}

const QString RemoteWarning = QStringLiteral(
    "Register this Plug-In on the LNS Server computer to ensure all resource files required by this Plug-In are "
    "available to the server. Failure to do so may cause unexpected errors.");
const QString ResourcesQuestion =
    QStringLiteral("Unable to add the resources listed in the ResourceTable to the catalog");

// A model's XIF with another program ID on line 4.
QByteArray XifOfAnotherModel(const QString& programId)
{
    QList<QByteArray> lines = ReadAll(DemoXif(ModelA)).split('\n');
    QStringList pairs;
    for (int i = 0; i < 16; i += 2)
        pairs << programId.mid(i, 2);
    lines[3] = pairs.join(QLatin1Char(':')).toLatin1();
    return lines.join('\n');
}

lns::Ptr<lns::ComponentApps> AppsOf(OpenedNetwork& network, const QString& templateName)
{
    return network.templates()->DeviceTemplatesItem(templateName)->TemplateComponentApps();
}

}  // namespace

class TestCommandRegistration : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        framework::LoadPlugInIdentity();
        framework::LoadPlugInCommands();
    }
    void init() { ForgetProcessState(); }
    void cleanup() { ForgetProcessState(); }

    void names_data()
    {
        QTest::addColumn<bool>("isCommand");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("expected");
        const QList<QPair<int, const char*>> commands = {{1, "New"},
                                                         {2, "Edit Source"},
                                                         {10, "Build Image"},
                                                         {11, "Commission"},
                                                         {12, "Load"},
                                                         {13, "Configure"},
                                                         {14, "Calibrate"},
                                                         {15, "Connect"},
                                                         {20, "Browse"},
                                                         {21, "Monitor"},
                                                         {22, "Control"},
                                                         {23, "Report"},
                                                         {30, "Online"},
                                                         {31, "Offline"},
                                                         {32, "Reset"},
                                                         {33, "Test"},
                                                         {34, "Wink"},
                                                         {40, "Uninstall"},
                                                         {41, "Replace"},
                                                         {50, "Register"},
                                                         {60, "Recover"},
                                                         {61, "Monitor Recovery"},
                                                         {70, "Security Level"},
                                                         {99, "Custom command 99"},
                                                         {0, "Custom command 0"},
                                                         {-3, "Custom command -3"},
                                                         {51, "Custom command 51"}};
        for (const auto& [n, name] : commands)
            QTest::addRow("command %d", n) << true << n << QString::fromLatin1(name);
        const QList<QPair<int, const char*>> classes = {
            {0, "Object Server"},    {7, "Application Device"}, {28, "LonMark Object"},
            {29, "LonMark Objects"}, {36, "Device Template"},   {42, "Connection Description Template"},
            {48, "Detail Info"},     {49, "Custom ID =  49"},   {50, "Extension"},
            {52, "Recovery Status"}, {53, "Custom ID =  53"},   {-1, "Custom ID = -1"}};
        for (const auto& [n, name] : classes)
            QTest::addRow("class %d", n) << false << n << QString::fromLatin1(name);
    }
    void names()
    {
        QFETCH(bool, isCommand);
        QFETCH(int, number);
        QFETCH(QString, expected);
        QCOMPARE(isCommand ? registration::CommandIdName(number) : registration::ObjectClassName(qint16(number)),
                 expected);
    }

    // Every class 0 to 52 but 49 has its own name, and no two share one.
    void everyClassHasAName()
    {
        QSet<QString> seen;
        for (qint16 n = 0; n <= 52; ++n) {
            const QString name = registration::ObjectClassName(n);
            QCOMPARE(name.startsWith(QStringLiteral("Custom ID")), n == 49);
            QVERIFY2(!seen.contains(name), qPrintable(name));
            seen.insert(name);
        }
    }

    // Templates present: nothing imported, our two entries on each as the default action.
    void templatesPresent_data()
    {
        QTest::addColumn<bool>("withB");
        QTest::newRow("both models") << true;
        QTest::newRow("one model") << false;
    }
    void templatesPresent()
    {
        QFETCH(bool, withB);
        Installation world;
        world.createNetwork(Net);
        world.addTemplate(Net, QStringLiteral("Tmpl A"), ModelA);
        if (withB)
            world.addTemplate(Net, QStringLiteral("Tmpl B"), ModelB);
        // An XIF of the other model is at hand, and still nothing is imported.
        world.putXif(ModelB, QStringLiteral("rohs.xif"));
        testsupport::ScriptedMessageBoxes boxes;
        ScriptedFileDialog dialog;
        ProgressTexts progress;
        OpenedNetwork network(Net);
        QVERIFY(registration::RegisterCommands(network.session));

        QStringList expected = EntriesOn(QStringLiteral("Tmpl A"));
        if (withB)
            expected += EntriesOn(QStringLiteral("Tmpl B"));
        QCOMPARE(world.ourApps(Net), expected);
        QCOMPARE(world.admin.templateNames(Net).size(), withB ? 2 : 1);
        QVERIFY(dialog.requests.isEmpty());
        QVERIFY(progress.texts.contains(
            QStringLiteral("Tmpl A\r\nAdding command Configure for LonMark Object objects...")));
        QVERIFY(progress.texts.contains(
            QStringLiteral("Tmpl A\r\nAdding command Configure for Application Device objects...")));
        QCOMPARE(progress.texts.contains(
                     QStringLiteral("Tmpl B\r\nAdding command Configure for Application Device objects...")),
                 withB);
        // The count is of the templates the texts name (each worked through once per entry of its
        // model), then goes away.
        const QStringList counts = withB ? QStringList{"1 of 2", "2 of 2"} : QStringList{"1 of 1"};
        QCOMPARE(progress.counts, counts);
        QVERIFY(!LoadedProgress() || !LoadedProgress()->Count->isVisible());
        // The resource files are now in the catalog.
        QVERIFY(registration::ResourceFilesPresent());
        QVERIFY(!network.session.Link().RemoteAtRegistration);
        VERIFY_BOXES(boxes);
    }

    // No template of either model: each model's XIF is found or asked for once and imported.
    void importWhenNoTemplate_data()
    {
        QTest::addColumn<bool>("inImportFolder");
        QTest::addColumn<bool>("nameTaken");
        QTest::addColumn<QString>("subfolder");
        QTest::addColumn<QString>("fileA");
        QTest::newRow("XIFs found below the import folder") << true << false << "Kestrova"
                                                            << "KR5M-HU.xif";
        QTest::newRow("XIFs asked for") << false << false << "cd"
                                        << "KR5M-HU.xif";
        QTest::newRow("model name taken by another template") << true << true << "Kestrova"
                                                              << "KR5M-HU.xif";
        // A "\" in a name the file system gave is part of the name, not a Windows separator.
        QTest::newRow("backslash in a folder's name") << true << false << "Kes\\trova"
                                                      << "KR5M-HU.xif";
        QTest::newRow("backslash in a file's name") << true << false << "Kestrova"
                                                    << "KR5M\\HU.xif";
        QTest::newRow("backslash in the name of a file asked for") << false << false << "c\\d"
                                                                   << "KR5M\\HU.xif";
    }
    void importWhenNoTemplate()
    {
        QFETCH(bool, inImportFolder);
        QFETCH(bool, nameTaken);
        QFETCH(QString, subfolder);
        QFETCH(QString, fileA);
        Installation world;
        QVERIFY(world.installConverter());
        world.createNetwork(Net);
        if (nameTaken) {
            const QString other = world.lonWorks + QStringLiteral("/other/other.xif");
            QVERIFY(WriteFile(other, XifOfAnotherModel(QStringLiteral("8000D35500040400"))));
            world.admin.addTemplate(Net, NameA, lns::xif::ParseXif(other));
        }
        const QString folder = (inImportFolder ? world.import : world.lonWorks) + QLatin1Char('/') + subfolder;
        const QString xifA = world.putXif(ModelA, fileA, folder);
        const QString xifB = world.putXif(ModelB, QStringLiteral("KR5M-HU-RoHS.XIF"), folder);
        testsupport::ScriptedMessageBoxes boxes;
        ScriptedFileDialog dialog;
        if (!inImportFolder)
            dialog.answers << std::optional<QString>(xifA) << std::optional<QString>(xifB);
        OpenedNetwork network(Net);
        QVERIFY(registration::RegisterCommands(network.session));

        const QString templateA = nameTaken ? NameA + QStringLiteral(" (1)") : NameA;
        QCOMPARE(world.ourApps(Net), EntriesOn(templateA) + EntriesOn(NameB));
        QCOMPARE(network.templates()->DeviceTemplatesFindByProgramId(ModelA)->TemplateName(), templateA);
        QCOMPARE(network.templates()->DeviceTemplatesFindByProgramId(ModelB)->TemplateName(), NameB);
        QVERIFY(QFile::exists(lns::xif::XfbPathOf(xifA)));
        QVERIFY(QFile::exists(lns::xif::XfbPathOf(xifB)));
        QCOMPARE(dialog.requests.size(), inImportFolder ? 0 : 2);
        if (!inImportFolder) {
            QCOMPARE(dialog.requests[0].title, QStringLiteral("Locate the XIF file with Program ID ") + ModelA);
            QCOMPARE(dialog.requests[1].title, QStringLiteral("Locate the XIF file with Program ID ") + ModelB);
            QCOMPARE(dialog.requests[0].initialFolder, world.import);
        }
        QVERIFY2(dialog.failures.isEmpty(), qPrintable(dialog.failures.join('\n')));
        QCOMPARE(network.session.Link().ImportFolder, world.import);
        VERIFY_BOXES(boxes);
    }

    // No template, and no usable XIF: nothing is created and the registration fails with its box.
    void importFails_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::newRow("another model's XIF chosen") << "wrong model";
        QTest::newRow("dialog cancelled") << "cancelled";
        QTest::newRow("import refused") << "import refused";
    }
    void importFails()
    {
        QFETCH(QString, situation);
        Installation world;
        QVERIFY(world.installConverter());
        world.createNetwork(Net);
        testsupport::ScriptedMessageBoxes boxes;
        ScriptedFileDialog dialog;
        if (situation == QLatin1String("wrong model")) {
            dialog.answers << std::optional<QString>(
                world.putXif(ModelB, QStringLiteral("b.xif"), world.lonWorks + "/cd"));
            boxes.expect(FailureBox(QStringLiteral("\r\nUnable to find XIF file / create a template.")));
        } else if (situation == QLatin1String("cancelled")) {
            dialog.answers << std::optional<QString>();
            boxes.expect(FailureBox(QStringLiteral("\r\nUnable to find XIF file / create a template.")));
        } else {
            // Model A's XIF with the binary form of model B beside it: the object server refuses it.
            const QString xif = world.putXif(ModelA, QStringLiteral("a.xif"));
            lns::xif::WriteXfb(lns::xif::ParseXif(DemoXif(ModelB)), lns::xif::XfbPathOf(xif));
            testsupport::ExpectedBox box = FailureBox(
                QStringLiteral("\r\nCould not import the external interface file ") + xif + QStringLiteral("."));
            box.exact = false;
            boxes.expect(box);
        }
        OpenedNetwork network(Net);
        QVERIFY(!registration::RegisterCommands(network.session));
        QVERIFY(world.admin.templateNames(Net).isEmpty());
        QVERIFY(world.ourApps(Net).isEmpty());
        if (situation == QLatin1String("import refused")) {
            // The object server's reason comes first, then what could not be done.
            const QString text = boxes.seen().value(0).text;
            QVERIFY2(text.endsWith(QStringLiteral("\r\nCould not import the external interface file ") + world.import +
                                   QStringLiteral("/a.xif.")),
                     qPrintable(text));
            QVERIFY2(!text.startsWith(QStringLiteral("\r\n")), qPrintable(text));
        }
        VERIFY_BOXES(boxes);
        QVERIFY2(dialog.failures.isEmpty(), qPrintable(dialog.failures.join('\n')));
    }

    // Remotely, before any local registration, no import folder is known: the user is asked at once,
    // and told at the end to register on the server's computer too.
    void remoteRegistrationAsksAtOnce()
    {
        Installation world;
        QVERIFY(world.installConverter());
        world.createNetwork(Net);
        world.putXif(ModelA, QStringLiteral("KR5M-HU.xif"));
        const QString xifA = world.putXif(ModelA, QStringLiteral("a.xif"), world.lonWorks + "/cd");
        const QString xifB = world.putXif(ModelB, QStringLiteral("b.xif"), world.lonWorks + "/cd");
        testsupport::ScriptedMessageBoxes boxes;
        boxes.expect({RemoteWarning, Answer::Ok, framework::ApplicationTitle(), Buttons::Ok, Icon::Exclamation, true});
        ScriptedFileDialog dialog;
        dialog.answers << std::optional<QString>(xifA) << std::optional<QString>(xifB);
        OpenedNetwork network(Net, QStringLiteral("LON1"));
        QVERIFY(network.session.Link().objectServer->RemoteMode());
        QVERIFY(registration::RegisterCommands(network.session));
        QVERIFY(network.session.Link().RemoteAtRegistration);
        QCOMPARE(dialog.requests.size(), 2);
        QCOMPARE(dialog.requests[0].initialFolder, QString());
        QVERIFY(network.session.Link().ImportFolder.isEmpty());
        QCOMPARE(world.ourApps(Net), EntriesOn(NameA) + EntriesOn(NameB));
        VERIFY_BOXES(boxes);
    }

    // A second registration finds its entries, updates them and creates nothing.
    void secondRegistrationChangesNothing()
    {
        Installation world;
        world.createNetwork(Net);
        world.addTemplate(Net, QStringLiteral("Tmpl A"), ModelA);
        world.addTemplate(Net, QStringLiteral("Tmpl B"), ModelB);
        testsupport::ScriptedMessageBoxes boxes;
        OpenedNetwork network(Net);
        QVERIFY(registration::RegisterCommands(network.session));
        const QStringList first = world.ourApps(Net);
        // Someone edited our entry's description meanwhile; the registration writes it back.
        AppsOf(network, QStringLiteral("Tmpl A"))
            ->ComponentAppsItem(DeviceCommand)
            ->SetAppDescription(QStringLiteral("edited"));
        QVERIFY(registration::RegisterCommands(network.session));
        QCOMPARE(world.ourApps(Net), first);
        QCOMPARE(world.admin.componentApps(Net).size(), 4);
        QCOMPARE(AppsOf(network, QStringLiteral("Tmpl A"))->ComponentAppsItem(DeviceCommand)->AppDescription(),
                 QStringLiteral("Configure the Kestrova KR5M-HU Application Device"));
        QCOMPARE(AppsOf(network, QStringLiteral("Tmpl A"))->ComponentAppsItem(DeviceCommand)->AppVersion(),
                 framework::Identity().PlugInVersion);
        VERIFY_BOXES(boxes);
    }

    // Another plug-in took the default action; registering again takes it back, in that collection.
    void defaultTakenBack()
    {
        Installation world;
        world.createNetwork(Net);
        world.addTemplate(Net, QStringLiteral("Tmpl A"), ModelA);
        world.addTemplate(Net, QStringLiteral("Tmpl B"), ModelB);
        testsupport::ScriptedMessageBoxes boxes;
        OpenedNetwork network(Net);
        QVERIFY(registration::RegisterCommands(network.session));
        const auto apps = AppsOf(network, QStringLiteral("Tmpl A"));
        const auto other = apps->ComponentAppsAdd(QStringLiteral("Browse it"), QStringLiteral("Other.PlugIn"), 7);
        other->SetAppCommandId(20);
        other->SetAppIsDefault(true);
        apps->ComponentAppsItem(DeviceCommand)->SetAppIsDefault(false);
        apps->ComponentAppsItem(LonMarkCommand)->SetAppIsDefault(false);
        const auto elsewhere = AppsOf(network, QStringLiteral("Tmpl B"))
                                   ->ComponentAppsAdd(QStringLiteral("Browse it"), QStringLiteral("Other.PlugIn"), 7);
        elsewhere->SetAppIsDefault(true);
        AppsOf(network, QStringLiteral("Tmpl B"))->ComponentAppsItem(DeviceCommand)->SetAppIsDefault(false);

        QVERIFY(registration::RegisterCommands(network.session));
        QCOMPARE(world.ourApps(Net), EntriesOn(QStringLiteral("Tmpl A")) + EntriesOn(QStringLiteral("Tmpl B")));
        QVERIFY(!apps->ComponentAppsItem(QStringLiteral("Browse it"))->AppIsDefault());
        QVERIFY(
            !AppsOf(network, QStringLiteral("Tmpl B"))->ComponentAppsItem(QStringLiteral("Browse it"))->AppIsDefault());
        VERIFY_BOXES(boxes);
    }

    // Names taken by another plug-in give ours the next free " (n)".
    void namesTakenByOthers_data()
    {
        QTest::addColumn<QStringList>("taken");
        QTest::addColumn<QString>("lonMarkName");
        QTest::addColumn<QString>("deviceName");
        QTest::newRow("none") << QStringList{} << LonMarkCommand << DeviceCommand;
        QTest::newRow("one") << QStringList{DeviceCommand} << LonMarkCommand << DeviceCommand + " (1)";
        QTest::newRow("two") << QStringList{DeviceCommand, DeviceCommand + " (1)"} << LonMarkCommand
                             << DeviceCommand + " (2)";
        QTest::newRow("both commands") << QStringList{LonMarkCommand, DeviceCommand, LonMarkCommand + " (1)"}
                                       << LonMarkCommand + " (2)" << DeviceCommand + " (1)";
    }
    void namesTakenByOthers()
    {
        QFETCH(QStringList, taken);
        QFETCH(QString, lonMarkName);
        QFETCH(QString, deviceName);
        Installation world;
        world.createNetwork(Net);
        world.addTemplate(Net, QStringLiteral("Tmpl A"), ModelA);
        testsupport::ScriptedMessageBoxes boxes;
        OpenedNetwork network(Net);
        for (const QString& name : taken)
            AppsOf(network, QStringLiteral("Tmpl A"))->ComponentAppsAdd(name, QStringLiteral("Other.PlugIn"), 7);
        QVERIFY(registration::RegisterCommands(network.session));
        QCOMPARE(world.ourApps(Net), EntriesOn(QStringLiteral("Tmpl A"), lonMarkName, deviceName));
        VERIFY_BOXES(boxes);
    }

    // The catalog cannot take the resource files: Abort fails the registration, Retry tries again,
    // Ignore goes on without them.
    void resourceFilesNotAdded_data()
    {
        QTest::addColumn<Answer>("answer");
        QTest::addColumn<bool>("result");
        QTest::addColumn<bool>("present");
        QTest::newRow("abort") << Answer::Abort << false << false;
        QTest::newRow("retry after the cause is gone") << Answer::Retry << true << true;
        QTest::newRow("ignore") << Answer::Ignore << true << false;
    }
    void resourceFilesNotAdded()
    {
        QFETCH(Answer, answer);
        QFETCH(bool, result);
        QFETCH(bool, present);
        Installation world;
        world.createNetwork(Net);
        world.addTemplate(Net, QStringLiteral("Tmpl A"), ModelA);
        // Something that is no index stands where the catalog keeps its index.
        const QString index = world.lonWorks + QStringLiteral("/types/catalog-index.json");
        QVERIFY(QDir().mkpath(index));
        testsupport::ScriptedMessageBoxes boxes;
        boxes.expect({ResourcesQuestion, answer, framework::ApplicationTitle(), Buttons::AbortRetryIgnore,
                      Icon::Information, true});
        BoxesWithActions actions(boxes);
        if (answer == Answer::Retry)
            actions.whileOpen(1, [&](const toolkit::MessageBoxRequest&) { QDir(index).removeRecursively(); });
        OpenedNetwork network(Net);
        QCOMPARE(registration::RegisterCommands(network.session), result);
        // The commands were attached before the resource files were looked at.
        QCOMPARE(world.ourApps(Net), EntriesOn(QStringLiteral("Tmpl A")));
        if (!present)
            QDir(index).removeRecursively();
        QCOMPARE(registration::ResourceFilesPresent(), present);
        VERIFY_BOXES(boxes);
    }

    // Without an open network nothing can be registered: the failure box, and false.
    void noNetwork()
    {
        Installation world;
        testsupport::ScriptedMessageBoxes boxes;
        boxes.expect(FailureBox(QStringLiteral("Object variable or With block variable not set\r\n")));
        framework::PlugInSession session;
        QVERIFY(!registration::RegisterCommands(session));
        VERIFY_BOXES(boxes);
    }
};

QTEST_MAIN(TestCommandRegistration)
#include "tst_commandregistration.moc"

// Configuring a thermostat in-process: plug-in objects made directly, the real object server of a demo
// installation, the real window, message boxes scripted.
// One program past 600 lines on purpose: each test program links the whole plug-in and builds its own demo
// world, so the configure paths stay together here rather than pay that cost several times.
#include "binding/Collections.h"
#include "device/CNvCpTable.h"
#include "framework/CRegistry.h"
#include "framework/Connection.h"
#include "framework/Identity.h"
#include "framework/PlugInSettings.h"
#include "platform/objectserver/Xif.h"
#include "platform/toolkit/HelpViewer.h"
#include "plugin/LNSPlugInAPI.h"
#include "registration/ResourceFiles.h"
#include "support/DemoWorld.h"
#include "support/ScriptedMessageBoxes.h"
#include "ui/log/fLog.h"
#include "ui/main/fMain.h"
#include "ui/progress/fProgress.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>
#include <QTreeView>

using lns::admin::DeviceFaults;
using toolkit::Answer;
using toolkit::Icon;

namespace {

QStringList logActions(framework::PlugInSession& session)
{
    QStringList actions;
    QAbstractItemModel* model = fLog::Of(session).OstLog->model();
    for (int row = 0; row < model->rowCount(); ++row)
        actions << model->index(row, 1).data().toString();
    return actions;
}

QStringList readingRows(framework::PlugInSession& session)
{
    QStringList rows;
    for (const QString& a : logActions(session))
        if (a.startsWith(QLatin1String("Reading ")))
            rows << a;
    return rows;
}

bool onlineAndWell(int, const DeviceFaults& f)
{
    return f.commissioned && f.stateCode == 4 && !f.unreachable && f.testResult == 0 && !f.refusesWrites;
}

class RecordedHelp : public toolkit::HelpViewerService {
public:
    RecordedHelp() { toolkit::SetHelpViewerService(this); }
    ~RecordedHelp() override { toolkit::SetHelpViewerService(nullptr); }
    void showHelp(QWidget*, const QString& file, int context) override
    {
        shown << QStringLiteral("%1#%2").arg(file).arg(context);
    }
    QStringList shown;
};

}  // namespace

class TestConfigure : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { framework::LoadPlugInIdentity(); }

    void init()
    {
        m_world = std::make_unique<testsupport::DemoWorld>();
        QVERIFY2(m_world->ok(), qPrintable(m_world->error()));
        // Metric, so the values compare with the device's °C texts.
        framework::CRegistry().SetMachineSetting(framework::PlugInKey(), QStringLiteral("DisplayUnits"),
                                                 QStringLiteral("0"));
        registration::ResetResourcesPresent();
        m_session = std::make_unique<framework::PlugInSession>();
        m_host = std::make_unique<PlugInHost>(*m_session);
    }

    void cleanup()
    {
        m_objects.clear();  // the last release ends the (recorded) program
        m_host.reset();
        m_session.reset();
        m_world.reset();
    }

    void onlineThermostatFillsTheWindow()
    {
        const QString path = m_world->findDevice(QStringLiteral("Demo"), onlineAndWell);
        QVERIFY(!path.isEmpty());
        testsupport::ScriptedMessageBoxes boxes;
        configure(QStringLiteral("Demo"), path, 7);
        VERIFY_BOXES(boxes);

        fMain* w = m_host->window;
        const FMainControls& ui = w->controls();
        QCOMPARE(ui.StatusBarPanel.at(1)->text(), QStringLiteral("Cnfg Online"));
        QCOMPARE(ui.StatusBarPanel.at(2)->text(), path);
        QVERIFY(w->DeviceOnline);
        QStringList expected;
        for (const auto& table : device::Tables(*m_session).NvTables)
            expected << QStringLiteral("Reading ") + table->Name;
        QCOMPARE(expected.size(), 11);
        QCOMPARE(readingRows(*m_session), expected);
        QCOMPARE(device::Tables(*m_session).DataItems.Count(), 41);

        const auto ref = testsupport::DemoWorld::refOf(QStringLiteral("Demo"), path);
        const QStringList setPoints =
            m_world->admin()
                .nvText(ref, QStringLiteral("nciSetPts"), QStringLiteral("SNVT_temp_setpt#SI"))
                .split(QLatin1Char(','));
        QCOMPARE(ui.txtNvi.at(0)->text().toDouble(), setPoints[3].toDouble());  // occupied heating
        QCOMPARE(ui.txtNvi.at(3)->text().toDouble(), setPoints[0].toDouble());  // occupied cooling
        const QString model = m_world->admin()
                                  .nvText(ref, QStringLiteral("nciSccModel"), QStringLiteral("RAW"))
                                  .section(QLatin1Char('\t'), 0, 0);
        QCOMPARE(ui.lbModel->text(), model);
        QCOMPARE(int(w->ModelCode), model.toInt());
        QCOMPARE(ui.lbHvacType->text(), m_world->admin().nvText(ref, QStringLiteral("nciHvacType")));
        QVERIFY(!ui.cbNvi.at(11)->currentText().isEmpty());
        QVERIFY(ui.lblDeviceTemplate->text().startsWith(QStringLiteral("Kestrova Inc. [")));
        QVERIFY(!fProgress::IsLoaded(*m_session));
    }

    // Two sessions side by side, each with its window on its own device: each shows its own device,
    // an Apply through one writes only to its device, and closing that one leaves the other working.
    void twoSessionsSideBySide_data()
    {
        QTest::addColumn<int>("writer");
        QTest::newRow("the first writes and closes") << 0;
        QTest::newRow("the second writes and closes") << 1;
    }
    void twoSessionsSideBySide()
    {
        QFETCH(int, writer);
        const QStringList paths = m_world->devicePaths(QStringLiteral("Demo")).mid(0, 2);
        QCOMPARE(paths.size(), 2);
        const QStringList cooling{QStringLiteral("25"), QStringLiteral("27.5")};
        std::vector<lns::admin::DeviceRef> refs;
        for (int i = 0; i < 2; ++i) {
            refs.push_back(testsupport::DemoWorld::refOf(QStringLiteral("Demo"), paths[i]));
            m_world->admin().setDeviceFaults(refs.back(), lns::admin::DeviceFaults{});
            QStringList fields =
                m_world->admin().nvText(refs.back(), QStringLiteral("nciSetPts")).split(QLatin1Char(','));
            fields[0] = cooling[i];  // occupied cooling
            m_world->admin().setNvText(refs.back(), QStringLiteral("nciSetPts"), fields.join(QLatin1Char(',')));
        }
        framework::PlugInSession secondSession;
        PlugInHost secondHost(secondSession);
        std::vector<PlugInHost*> hosts{m_host.get(), &secondHost};
        std::vector<std::unique_ptr<LNSPlugInAPI>> objects;
        testsupport::ScriptedMessageBoxes boxes;
        for (int i = 0; i < 2; ++i) {
            objects.push_back(std::make_unique<LNSPlugInAPI>(*hosts[size_t(i)]));
            objects.back()->SetnetworkName(QStringLiteral("Demo"));
            objects.back()->SendCommand(13, 7, paths[i]);
        }
        QVERIFY(m_host->window != secondHost.window);
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(hosts[size_t(i)]->window->controls().StatusBarPanel.at(2)->text(), paths[i]);
            QCOMPARE(hosts[size_t(i)]->window->controls().txtNvi.at(3)->text(), cooling[i]);
            QCOMPARE(readingRows(hosts[size_t(i)]->session).size(), 11);
        }

        fMain* written = hosts[size_t(writer)]->window;
        fMain* other = hosts[size_t(1 - writer)]->window;
        written->controls().txtNvi.at(3)->setText(QStringLiteral("26"));
        written->txtNvi_Change(3);
        written->cmdApply_Click();
        const auto occupiedCooling = [&](int i) {
            return m_world->admin()
                .nvText(refs[size_t(i)], QStringLiteral("nciSetPts"))
                .section(QLatin1Char(','), 0, 0)
                .toDouble();
        };
        QCOMPARE(occupiedCooling(writer), 26.0);
        QCOMPARE(occupiedCooling(1 - writer), cooling[1 - writer].toDouble());
        QCOMPARE(other->controls().txtNvi.at(3)->text(), cooling[1 - writer]);

        written->EndPlugIn();
        QVERIFY(!hosts[size_t(writer)]->session.Link().NetworkOpen);
        QVERIFY(hosts[size_t(1 - writer)]->session.Link().NetworkOpen);
        m_world->admin().setNvText(refs[size_t(1 - writer)], QStringLiteral("nciSetPts"),
                                   m_world->admin()
                                       .nvText(refs[size_t(1 - writer)], QStringLiteral("nciSetPts"))
                                       .replace(QRegularExpression(QStringLiteral("^[^,]*")), QStringLiteral("24")));
        other->cmdRefresh_Click();
        QCOMPARE(other->controls().txtNvi.at(3)->text(), QStringLiteral("24"));
        VERIFY_BOXES(boxes);
        objects.clear();
    }

    void deviceStates_data()
    {
        QTest::addColumn<int>("networkMode");
        QTest::addColumn<bool>("commissioned");
        QTest::addColumn<int>("testResult");
        QTest::addColumn<int>("stateCode");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("online");
        QTest::newRow("off-net") << 1 << true << 0 << 4 << "Offnet" << false;
        QTest::newRow("not commissioned") << 0 << false << 0 << 4 << "Not Commissioned yet" << false;
        QTest::newRow("test failed") << 0 << true << 3 << 4 << "?" << false;
        QTest::newRow("unconfigured") << 0 << true << 0 << 2 << "Unconfigured" << false;
        QTest::newRow("applicationless") << 0 << true << 0 << 3 << "App'less" << false;
        QTest::newRow("configured offline") << 0 << true << 0 << 6 << "Cnfg Offline" << false;
        QTest::newRow("soft offline") << 0 << true << 0 << 12 << "Soft Offline" << false;
        QTest::newRow("bypass") << 0 << true << 0 << 140 << "Cnfg Bypass" << false;
        QTest::newRow("unknown code") << 0 << true << 0 << 5 << "?" << false;
    }
    void deviceStates()
    {
        QFETCH(int, networkMode);
        QFETCH(bool, commissioned);
        QFETCH(int, testResult);
        QFETCH(int, stateCode);
        QFETCH(QString, text);
        QFETCH(bool, online);
        const QString path = m_world->findDevice(QStringLiteral("Demo"), onlineAndWell);
        const auto ref = testsupport::DemoWorld::refOf(QStringLiteral("Demo"), path);
        DeviceFaults faults;
        faults.commissioned = commissioned;
        faults.testResult = testResult;
        faults.stateCode = stateCode;
        m_world->admin().setDeviceFaults(ref, faults);
        m_world->admin().setNetworkMode(QStringLiteral("Demo"), networkMode);
        testsupport::ScriptedMessageBoxes boxes;
        configure(QStringLiteral("Demo"), path, 7);
        VERIFY_BOXES(boxes);
        QCOMPARE(m_host->window->controls().StatusBarPanel.at(1)->text(), text);
        QCOMPARE(m_host->window->DeviceOnline, online);
        // Values are read in every state.
        QCOMPARE(readingRows(*m_session).size(), 11);
    }

    void unreachableDevice_data()
    {
        QTest::addColumn<bool>("abort");
        QTest::addColumn<bool>("afterAnother");  // a thermostat that answered was shown before
        QTest::newRow("ignore every failure") << false << false;
        QTest::newRow("abort at the first read") << true << false;
        QTest::newRow("ignore every failure, after another thermostat") << false << true;
        QTest::newRow("abort at the first read, after another thermostat") << true << true;
    }
    void unreachableDevice()
    {
        QFETCH(bool, abort);
        QFETCH(bool, afterAnother);
        const QString path =
            m_world->findDevice(QStringLiteral("Demo"), [](int, const DeviceFaults& f) { return f.unreachable; });
        QVERIFY2(!path.isEmpty(), "the demo has an unreachable thermostat");
        if (afterAnother) {
            testsupport::ScriptedMessageBoxes none;
            configure(QStringLiteral("Demo"), m_world->findDevice(QStringLiteral("Demo"), onlineAndWell), 7);
            VERIFY_BOXES(none);
            QVERIFY(!m_host->window->controls().cbNvi.at(0)->currentText().isEmpty());
            fLog::Of(*m_session).Clear();
        }
        testsupport::ScriptedMessageBoxes boxes;
        // The state cannot be read: ignored, its description becomes the state text.
        boxes.expect({QStringLiteral("does not answer"), Answer::Ignore, QStringLiteral("fMain InitDevice"),
                      toolkit::Buttons::AbortRetryIgnore, Icon::Critical});
        const int reads = abort ? 1 : 11;
        for (int i = 0; i < reads; ++i)
            boxes.expect({QStringLiteral("Error reading"), abort ? Answer::Abort : Answer::Ignore,
                          QStringLiteral("fMain ReadInitValues"), toolkit::Buttons::AbortRetryIgnore, Icon::Critical});
        if (!abort) {
            // Nothing was read, so there is no model code to adapt the window to.
            boxes.expect({QStringLiteral("the model code '' is not a number"), Answer::Ignore,
                          QStringLiteral("fMain InitDevice")});
        }
        configure(QStringLiteral("Demo"), path, 7);
        VERIFY_BOXES(boxes);
        QVERIFY(boxes.seen()[1].text.startsWith(
            QStringLiteral("Error reading nciSetPts \r\nFailed to communicate with target device.")));
        const QStringList actions = logActions(*m_session);
        QCOMPARE(actions.count(QStringLiteral("Error reading nciSetPts ")), 1);
        QCOMPARE(readingRows(*m_session).size(), abort ? 0 : 11);
        QVERIFY(m_host->window->controls().StatusBarPanel.at(1)->text().contains(QStringLiteral("does not answer")));
        QVERIFY(!fProgress::IsLoaded(*m_session));
        QVERIFY(!m_host->window->DeviceOnline);
        // Nothing was read from this thermostat, so no field shows a value as if it held one: no
        // combo box shows a choice (not its first one, nor the other thermostat's), no box a number.
        const FMainControls& ui = m_host->window->controls();
        for (const auto& [index, combo] : ui.cbNvi) {
            QVERIFY2(combo->currentIndex() == -1,
                     qPrintable(QStringLiteral("cbNvi %1 shows %2").arg(index).arg(combo->currentText())));
            QVERIFY(combo->currentText().isEmpty());
        }
        for (const auto& [index, box] : ui.txtNvi)
            QVERIFY2(box->text().isEmpty(),
                     qPrintable(QStringLiteral("txtNvi %1 shows %2").arg(index).arg(box->text())));
        // A choice made and cancelled leaves nothing behind that could pass for the device's.
        ui.cbNvi.at(0)->setFocus(Qt::TabFocusReason);
        QTest::keyClick(ui.cbNvi.at(0), Qt::Key_Down);
        QVERIFY(!ui.cbNvi.at(0)->currentText().isEmpty());
        m_host->window->cmdCancel_Click();
        QCOMPARE(ui.cbNvi.at(0)->currentIndex(), -1);
    }

    void retryRepeatsTheFailedRead()
    {
        const QString path = m_world->findDevice(QStringLiteral("Demo"), onlineAndWell);
        const auto ref = testsupport::DemoWorld::refOf(QStringLiteral("Demo"), path);
        DeviceFaults faults;
        faults.unreachable = true;
        m_world->admin().setDeviceFaults(ref, faults);
        testsupport::ScriptedMessageBoxes boxes;
        boxes.expect({QStringLiteral("does not answer"), Answer::Ignore, QStringLiteral("fMain InitDevice")});
        // The device answers again before the user presses Retry.
        boxes.expect(
            {QStringLiteral("Error reading nciSetPts"), Answer::Retry, QStringLiteral("fMain ReadInitValues")});
        installBeforeBox(&boxes, 2, [&] { m_world->admin().setDeviceFaults(ref, DeviceFaults{}); });
        configure(QStringLiteral("Demo"), path, 7);
        VERIFY_BOXES(boxes);
        QCOMPARE(readingRows(*m_session).size(), 11);
    }

    void lonMarkObjectPathConfiguresItsDevice()
    {
        const QString path = m_world->findDevice(QStringLiteral("Demo"), onlineAndWell);
        testsupport::ScriptedMessageBoxes boxes;
        configure(QStringLiteral("Demo"), path + QStringLiteral("/FanCoil"), 28);
        VERIFY_BOXES(boxes);
        fMain* w = m_host->window;
        QVERIFY(w->TheLMObject);
        QCOMPARE(w->TheLMObject->Name(), QStringLiteral("FanCoil"));
        QCOMPARE(w->TheDevice->Name(), path.section(QLatin1Char('/'), -1));
        QCOMPARE(readingRows(*m_session).size(), 11);
    }

    void lonMarkObjectWithoutDeviceReachesTheBoxesNotACrash_data()
    {
        QTest::addColumn<bool>("proceed");
        QTest::newRow("No after the look-up failed") << false;
        QTest::newRow("Yes: the template label fails too") << true;
    }
    void lonMarkObjectWithoutDeviceReachesTheBoxesNotACrash()
    {
        QFETCH(bool, proceed);
        // A template's LonMark object has no device to reach.
        m_objects.push_back(std::make_unique<LNSPlugInAPI>(*m_host));
        m_objects.back()->SetnetworkName(QStringLiteral("Demo"));
        const auto templates =
            m_session->Link().CurrentSystem->SystemTemplateLibrary()->TemplateLibraryDeviceTemplates();
        const auto object =
            templates->DeviceTemplatesItem(1)->TemplateInterface()->InterfaceLonMarkObjects()->LonMarkObjectsItem(
                QStringLiteral("FanCoil"));
        testsupport::ScriptedMessageBoxes boxes;
        boxes.expect({QStringLiteral("Object variable or With block variable not set"), Answer::Abort,
                      QStringLiteral("fMain DrfLookUp"), toolkit::Buttons::AbortRetryIgnore, Icon::Critical});
        boxes.expect({QStringLiteral("Unable to set the Mode for the LonMark Objects, do you want to proceed?"),
                      proceed ? Answer::Yes : Answer::No, framework::ApplicationTitle(), toolkit::Buttons::YesNo});
        if (proceed)
            boxes.expect({QStringLiteral("Object variable or With block variable not set"), Answer::Abort,
                          QStringLiteral("fMain SetDevTemplateLabel")});
        fMain* w = m_host->window;
        w->ProcessLonMarkObjectCommand(object, framework::PlugInCommands(0));
        VERIFY_BOXES(boxes);
        QCOMPARE(w->TheLMObject, object);
        QVERIFY(!w->TheDevice);
        QVERIFY(readingRows(*m_session).isEmpty());
        QVERIFY(!fProgress::IsLoaded(*m_session));
    }

    void drfLookUpSetsTheModeOfTheScopeThatDescribesEachObject()
    {
        // The fan-coil profile is described program-specifically (scope 6) for the non-RoHS model and
        // by the device class (scope 4) for the other; the humidity sensor only by the manufacturer's
        // set (scope 3); the node object by none, so its mode stays.
        const QString path = m_world->findDevice(QStringLiteral("Demo"), onlineAndWell);
        const auto ref = testsupport::DemoWorld::refOf(QStringLiteral("Demo"), path);
        m_world->admin().setLonMarkObjectMode(ref, QStringLiteral("NodeObject"), 1);
        testsupport::ScriptedMessageBoxes boxes;
        configure(QStringLiteral("Demo"), path, 7);
        VERIFY_BOXES(boxes);
        const QString programId = m_host->window->TheDevice->DeviceProgramId();
        QCOMPARE(int(m_world->admin().lonMarkObjectMode(ref, QStringLiteral("FanCoil"))),
                 programId.endsWith(QLatin1String("040B")) ? 6 : 4);
        QCOMPARE(int(m_world->admin().lonMarkObjectMode(ref, QStringLiteral("RhSensor"))), 3);
        QCOMPARE(int(m_world->admin().lonMarkObjectMode(ref, QStringLiteral("NodeObject"))), 1);
    }

    // A file set the catalog lists but that cannot be opened: Ignore has no object to go on with, so
    // the look-up fails and the user is asked whether to proceed without the modes.
    void unopenableFileSetIgnoredEndsTheLookUpInFailure()
    {
        const QString path = m_world->findDevice(QStringLiteral("Demo"), onlineAndWell);
        const auto ref = testsupport::DemoWorld::refOf(QStringLiteral("Demo"), path);
        m_world->admin().setLonMarkObjectMode(ref, QStringLiteral("FanCoil"), 1);
        // The index still lists the file sets; the files themselves are broken.
        QDir sets(m_world->lonWorksPath() + QStringLiteral("/types/User/Kestrova"));
        const QStringList files = sets.entryList({QStringLiteral("*.fset.json")}, QDir::Files);
        QVERIFY(!files.isEmpty());
        for (const QString& name : files) {
            QFile file(sets.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write("{");
        }
        testsupport::ScriptedMessageBoxes boxes;
        boxes.expect({QString(), Answer::Ignore, QStringLiteral("fMain DrfLookUp"), toolkit::Buttons::AbortRetryIgnore,
                      Icon::Critical, true});
        boxes.expect({QStringLiteral("Unable to set the Mode for the LonMark Objects, do you want to proceed?"),
                      Answer::No, framework::ApplicationTitle(), toolkit::Buttons::YesNo, Icon::Exclamation, true});
        configure(QStringLiteral("Demo"), path, 7);
        VERIFY_BOXES(boxes);
        QCOMPARE(int(m_world->admin().lonMarkObjectMode(ref, QStringLiteral("FanCoil"))), 1);
        QVERIFY(readingRows(*m_session).isEmpty());
        QVERIFY(!fProgress::IsLoaded(*m_session));
    }

    void missingResourceFilesAreAskedAbout_data()
    {
        QTest::addColumn<bool>("goOn");
        QTest::newRow("No stops") << false;
        QTest::newRow("Yes continues without the look-up") << true;
    }
    void missingResourceFilesAreAskedAbout()
    {
        QFETCH(bool, goOn);
        QVERIFY(QFile::remove(m_world->lonWorksPath() + QStringLiteral("/types/catalog-index.json")));
        const QString path = m_world->findDevice(QStringLiteral("Demo"), onlineAndWell);
        testsupport::ScriptedMessageBoxes boxes;
        boxes.expect(
            {QStringLiteral(
                 "The resource files required for this device are not present on this computer. Browsing and data "
                 "formating capabilities might be restricted to standard types and standard functional profile "
                 "templates. Do you want to continue?"),
             goOn ? Answer::Yes : Answer::No, framework::ApplicationTitle(), toolkit::Buttons::YesNo, Icon::Exclamation,
             true});
        if (goOn) {
            // Without the catalog the thermostat's own types cannot be formatted.
            for (const char* nv : {"nciRHmodel", "nciGenOpts", "nciSccModel"})
                boxes.expect({QStringLiteral("Error reading ") + QLatin1String(nv), Answer::Ignore,
                              QStringLiteral("fMain ReadInitValues")});
        }
        configure(QStringLiteral("Demo"), path, 7);
        VERIFY_BOXES(boxes);
        QCOMPARE(readingRows(*m_session).size(), goOn ? 11 : 0);
    }

    void templateNameIsCutAtItsBracket()
    {
        lns::admin::ObjectServerAdmin& admin = m_world->admin();
        const auto definition = lns::xif::ParseXif(m_world->lonWorksPath() + QStringLiteral("/Import/KR5M-HU.xif"));
        admin.addTemplate(QStringLiteral("Demo"), QStringLiteral("T7[abc]"), definition);
        const QString subsystem =
            testsupport::DemoWorld::refOf(QStringLiteral("Demo"), m_world->devicePaths(QStringLiteral("Demo")).first())
                .subsystem;
        admin.addDevice(QStringLiteral("Demo"),
                        {subsystem, QStringLiteral("Bracketed"), QStringLiteral("T7[abc]"), {}});
        admin.setNvText({QStringLiteral("Demo"), subsystem, QStringLiteral("Bracketed")}, QStringLiteral("nciSccModel"),
                        QStringLiteral("30 1.0"));
        testsupport::ScriptedMessageBoxes boxes;
        configure(QStringLiteral("Demo"), subsystem + QStringLiteral("/Bracketed"), 7);
        VERIFY_BOXES(boxes);
        QCOMPARE(m_host->window->controls().lblDeviceTemplate->text(),
                 QStringLiteral("Kestrova Inc. [T7 (%1)]").arg(definition.programId));
    }

    void variableMissingFromTheInterface_data()
    {
        QTest::addColumn<bool>("abort");
        QTest::newRow("abort") << true;
        QTest::newRow("ignore") << false;
    }
    void variableMissingFromTheInterface()
    {
        QFETCH(bool, abort);
        lns::admin::ObjectServerAdmin& admin = m_world->admin();
        auto definition = lns::xif::ParseXif(m_world->lonWorksPath() + QStringLiteral("/Import/KR5M-HU.xif"));
        definition.networkVariables.erase(
            std::remove_if(definition.networkVariables.begin(), definition.networkVariables.end(),
                           [](const auto& nv) { return nv.name == QLatin1String("nciSccModel"); }),
            definition.networkVariables.end());
        admin.addTemplate(QStringLiteral("Demo"), QStringLiteral("Partial"), definition);
        const QString subsystem =
            testsupport::DemoWorld::refOf(QStringLiteral("Demo"), m_world->devicePaths(QStringLiteral("Demo")).first())
                .subsystem;
        admin.addDevice(QStringLiteral("Demo"), {subsystem, QStringLiteral("NoModel"), QStringLiteral("Partial"), {}});
        testsupport::ScriptedMessageBoxes boxes;
        boxes.expect({QString(), abort ? Answer::Abort : Answer::Ignore, QStringLiteral("fMain InitDevice")});
        configure(QStringLiteral("Demo"), subsystem + QStringLiteral("/NoModel"), 7);
        VERIFY_BOXES(boxes);
        QVERIFY(!fProgress::IsLoaded(*m_session));
        // The window stays usable: another device configures afterwards.
        const QString path = m_world->findDevice(QStringLiteral("Demo"), onlineAndWell);
        fLog::Of(*m_session).Clear();
        testsupport::ScriptedMessageBoxes again;
        send(path, 7);
        VERIFY_BOXES(again);
        QCOMPARE(readingRows(*m_session).size(), 11);
    }

    void secondConfigureRebuildsWithoutDuplicates()
    {
        QStringList paths;
        for (const QString& p : m_world->devicePaths(QStringLiteral("Demo")))
            if (onlineAndWell(0,
                              m_world->admin().deviceFaults(testsupport::DemoWorld::refOf(QStringLiteral("Demo"), p))))
                paths << p;
        QVERIFY(paths.size() >= 2);
        testsupport::ScriptedMessageBoxes boxes;
        configure(QStringLiteral("Demo"), paths[0], 7);
        send(paths[1], 7);
        VERIFY_BOXES(boxes);
        QCOMPARE(device::Tables(*m_session).DataItems.Count(), 41);
        QCOMPARE(device::Tables(*m_session).NvTables.Count(), 11);
        QCOMPARE(readingRows(*m_session).size(), 22);
        QCOMPARE(m_host->window->controls().StatusBarPanel.at(2)->text(), paths[1]);
        const auto ref = testsupport::DemoWorld::refOf(QStringLiteral("Demo"), paths[1]);
        QCOMPARE(m_host->window->controls().lbModel->text(),
                 m_world->admin()
                     .nvText(ref, QStringLiteral("nciSccModel"), QStringLiteral("RAW"))
                     .section(QLatin1Char('\t'), 0, 0));
    }

    void badCommands_data()
    {
        QTest::addColumn<QString>("network");
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("objectClass");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("description");
        // The path looked for is named, cut when long as every repeated input is.
        QTest::newRow("unknown device") << "Demo"
                                        << "Demo/System 1/Floor 1/Nobody" << 7 << 20005
                                        << "Object not found: Demo/System 1/Floor 1/Nobody";
        QTest::newRow("one component") << "Demo"
                                       << "TS-101" << 7 << 20005 << "Object not found: TS-101";
        QTest::newRow("leading slash") << "Demo"
                                       << "/Demo/Floor 1/TS-101" << 7 << 20005
                                       << "Object not found: /Demo/Floor 1/TS-101";
        QTest::newRow("unknown LonMark object")
            << "Demo"
            << "Floor 1/TS-101/Nothing" << 28 << 20005 << "Object not found: Floor 1/TS-101/Nothing";
        QTest::newRow("a long path") << "Demo" << QString(5000, QLatin1Char('x')) << 7 << 20005
                                     << "Object not found: " + QString(48, QLatin1Char('x')) + "... (5000 characters)";
        QTest::newRow("class 9") << "Demo"
                                 << "Floor 1/TS-101" << 9 << 20004 << "Object type not supported for this command";
    }
    void badCommands()
    {
        QFETCH(QString, network);
        QFETCH(QString, path);
        QFETCH(int, objectClass);
        QFETCH(int, number);
        QFETCH(QString, description);
        testsupport::ScriptedMessageBoxes boxes;
        m_objects.push_back(std::make_unique<LNSPlugInAPI>(*m_host));
        m_objects.back()->SetnetworkName(network);
        try {
            m_objects.back()->SendCommand(13, qint16(objectClass), path);
            QFAIL("the command was accepted");
        } catch (const com::ComError& e) {
            QCOMPARE(e.number(), number);
            QCOMPARE(e.description(), description);
            QCOMPARE(e.source(), framework::PlugInName());
        }
        VERIFY_BOXES(boxes);
        QVERIFY(!fProgress::IsLoaded(*m_session));
    }

    void unknownNetwork()
    {
        m_objects.push_back(std::make_unique<LNSPlugInAPI>(*m_host));
        try {
            m_objects.back()->SetnetworkName(QStringLiteral("Atlantis"));
            QFAIL("an unknown network opened");
        } catch (const com::ComError& e) {
            QCOMPARE(e.number(), 20006);
            QCOMPARE(e.description(), QStringLiteral("Cannot open the network Atlantis"));
        }
        QCOMPARE(m_objects.back()->networkName(), QString());
    }

    void exitConfirmation_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("No keeps everything") << false;
        QTest::newRow("Yes saves the units and ends") << true;
    }
    void exitConfirmation()
    {
        QFETCH(bool, yes);
        const QString path = m_world->findDevice(QStringLiteral("Demo"), onlineAndWell);
        testsupport::ScriptedMessageBoxes boxes;
        configure(QStringLiteral("Demo"), path, 7);
        fMain* w = m_host->window;
        m_objects.back()->SetVisible(true);
        // The units changed since load; only a confirmed exit keeps them.
        m_session->DisplayUnits = 1;
        boxes.expect({QStringLiteral("Are you sure that you want to exit?"), yes ? Answer::Yes : Answer::No,
                      framework::PlugInName(), toolkit::Buttons::YesNo, std::nullopt, true});
        w->cmdExit_Click();
        VERIFY_BOXES(boxes);
        QCOMPARE(boxes.seen().last().defaultButton, 1);  // No
        QCOMPARE(m_world->programEnds(), yes ? 1 : 0);
        QCOMPARE(w->isVisible(), !yes);
        QCOMPARE(framework::CRegistry().MachineSetting(framework::PlugInKey(), QStringLiteral("DisplayUnits")),
                 yes ? QStringLiteral("1") : QStringLiteral("0"));
        QCOMPARE(m_session->Link().NetworkOpen, !yes);
    }

    void releasingTheLastObjectWhileHiddenEndsWithoutAsking()
    {
        testsupport::ScriptedMessageBoxes boxes;
        m_objects.push_back(std::make_unique<LNSPlugInAPI>(*m_host));
        m_objects.push_back(std::make_unique<LNSPlugInAPI>(*m_host));
        m_objects.back()->SetnetworkName(QStringLiteral("Demo"));
        m_objects.pop_back();
        QCOMPARE(m_world->programEnds(), 0);
        m_objects.pop_back();
        QCOMPARE(m_world->programEnds(), 1);
        VERIFY_BOXES(boxes);
        QVERIFY(!m_session->Link().NetworkOpen);
    }

    void helpOpensAtTheTabsContext_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<int>("context");
        QTest::newRow("Heating - Cooling") << 0 << 1004;
        QTest::newRow("General") << 1 << 1002;
        QTest::newRow("Hardware") << 2 << 1003;
        QTest::newRow("RH Options") << 3 << 1006;
        QTest::newRow("Network") << 4 << 1005;
        QTest::newRow("Contact") << 5 << 1001;
        QTest::newRow("About") << 6 << 1000;
    }
    void helpOpensAtTheTabsContext()
    {
        QFETCH(int, tab);
        QFETCH(int, context);
        RecordedHelp help;
        m_objects.push_back(std::make_unique<LNSPlugInAPI>(*m_host));
        fMain* w = m_host->window;
        QCOMPARE(w->HelpContextID, 1004);
        w->controls().tabData->setCurrentIndex(tab);
        w->cmdHelp_Click();
        QCOMPARE(help.shown, QStringList{QStringLiteral("%1#%2").arg(w->HelpFile).arg(context)});
        QVERIFY(w->HelpFile.endsWith(QStringLiteral("/KR5M-HUConfigure.chm")));
    }

    void refreshReadsEveryObjectAgain()
    {
        const QString path = m_world->findDevice(QStringLiteral("Demo"), onlineAndWell);
        testsupport::ScriptedMessageBoxes boxes;
        configure(QStringLiteral("Demo"), path, 7);
        const auto ref = testsupport::DemoWorld::refOf(QStringLiteral("Demo"), path);
        // Someone else changed the device meanwhile.
        m_world->admin().setNvText(ref, QStringLiteral("nciSetPts"), QStringLiteral("24,26,28,19.5,19,16"));
        fLog::Of(*m_session).Clear();
        m_host->window->cmdRefresh_Click();
        VERIFY_BOXES(boxes);
        QCOMPARE(readingRows(*m_session).size(), 11);
        QCOMPARE(m_host->window->controls().txtNvi.at(0)->text(), QStringLiteral("19.5"));
    }

    void debugModeOffersTheModelOverride()
    {
        framework::CRegistry().SetMachineSetting(framework::PlugInKey(), QStringLiteral("Debug"), QStringLiteral("1"));
        const QString path = m_world->findDevice(QStringLiteral("Demo"), [](int model, const DeviceFaults& f) {
            return model == 30 && onlineAndWell(model, f);
        });
        QVERIFY(!path.isEmpty());
        testsupport::ScriptedMessageBoxes boxes;
        configure(QStringLiteral("Demo"), path, 7);
        VERIFY_BOXES(boxes);
        fMain* w = m_host->window;
        const FMainControls& ui = w->controls();
        QVERIFY(!ui.cmdDebug->isHidden());
        QVERIFY(!ui.txtDebug->isHidden());
        QVERIFY(ui.tabData->isTabEnabled(3));
        ui.txtDebug->setText(QStringLiteral("51"));
        w->cmdDebug_Click();
        // As if the thermostat had reported model 51: no humidity page, no auto function.
        QVERIFY(!ui.tabData->isTabEnabled(3));
        QVERIFY(!ui.cbNvi.at(14)->isEnabled());
        QVERIFY(!ui.lblAutoMode->isEnabled());
    }

    void viewLogShowsTheLog()
    {
        m_objects.push_back(std::make_unique<LNSPlugInAPI>(*m_host));
        fLog::Of(*m_session).hide();
        m_host->window->cmdViewLog_Click();
        QVERIFY(fLog::Of(*m_session).isVisible());
        fLog::Of(*m_session).hide();
    }

    void windowLoadsItsDecoration()
    {
        m_objects.push_back(std::make_unique<LNSPlugInAPI>(*m_host));
        fMain* w = m_host->window;
        QCOMPARE(w->windowTitle(), framework::PlugInName());
        QVERIFY(!w->windowIcon().isNull());
        // The contact page comes from the program's own resources through its res:// address.
        QVERIFY(fMain::ContactPageAddress().startsWith(QStringLiteral("res://")));
        QVERIFY(fMain::ContactPageAddress().endsWith(QStringLiteral(".exe/about.htm")));
        QCOMPARE(fMain::ResolveResAddress(fMain::ContactPageAddress()), QUrl(QStringLiteral("qrc:/res/about.htm")));
        QVERIFY(fMain::ResolveResAddress(QStringLiteral("res://C:\\Other\\tool.exe/about.htm")).isEmpty());
        QTextBrowser* page = w->controls().WebBrowser1;
        QVERIFY(page->toPlainText().contains(QStringLiteral("Kestrova")));
        // Its picture, named relative to the page, is found beside it and is a readable GIF.
        QVERIFY(page->toHtml().contains(QStringLiteral("WORLDMAP.GIF")));
        const QUrl map = page->source().resolved(QUrl(QStringLiteral("WORLDMAP.GIF")));
        QVERIFY(!QImage::fromData(page->loadResource(QTextDocument::ImageResource, map).toByteArray(), "GIF").isNull());
        // Bitmap 301, with the design button face repainted in the colour of what it sits on: on the
        // screen, the logo's background is the About page's own, no box of another grey around it.
        QLabel* label = w->controls().Picture1;
        const QImage picture = label->pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
        QVERIFY(!picture.isNull());
        w->controls().tabData->setCurrentIndex(6);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        const QImage shot = w->grab().toImage();
        // Inside the label's top margin, where the page shows through.
        const QPoint behind = label->mapTo(w, QPoint(1, 1)) * shot.devicePixelRatio();
        QVERIFY(label->contentsMargins().top() > 1);
        QCOMPARE(QColor(picture.pixel(0, 0)), shot.pixelColor(behind));
        QCOMPARE(w->controls().txtMajorVersion->text(), QString::number(framework::BuildVersionMajor()));
    }

private:
    void configure(const QString& network, const QString& path, int objectClass)
    {
        m_objects.push_back(std::make_unique<LNSPlugInAPI>(*m_host));
        m_objects.back()->SetnetworkName(network);
        send(path, objectClass);
    }
    void send(const QString& path, int objectClass)
    {
        try {
            m_objects.back()->SendCommand(13, qint16(objectClass), path);
        } catch (const com::ComError& e) {
            QFAIL(qPrintable(QStringLiteral("SendCommand failed: %1 %2").arg(e.number()).arg(e.description())));
        }
    }
    // Runs action when the box number n (1-based) is about to be answered.
    void installBeforeBox(testsupport::ScriptedMessageBoxes* boxes, int n, std::function<void()> action)
    {
        m_beforeBox = {boxes, n, std::move(action)};
        boxes->onAsk = [this](int count) {
            if (count == m_beforeBox.n && m_beforeBox.action)
                m_beforeBox.action();
        };
    }
    struct {
        testsupport::ScriptedMessageBoxes* boxes = nullptr;
        int n = 0;
        std::function<void()> action;
    } m_beforeBox;

    std::unique_ptr<testsupport::DemoWorld> m_world;
    std::unique_ptr<framework::PlugInSession> m_session;
    std::unique_ptr<PlugInHost> m_host;
    std::vector<std::unique_ptr<LNSPlugInAPI>> m_objects;
};

QTEST_MAIN(TestConfigure)
#include "tst_Configure.moc"

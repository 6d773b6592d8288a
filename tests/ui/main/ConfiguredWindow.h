#pragma once
// The configuration window showing a demo thermostat, visible and active, for the tests that edit,
// apply and switch units on it: a fresh demo world per test, the plug-in object made directly, and
// helpers that act on the real widgets the way a person does (focus, keys, paste) and read back what
// the device holds.
#include "binding/Collections.h"
#include "device/CNvCpTable.h"
#include "framework/CRegistry.h"
#include "framework/Connection.h"
#include "framework/Identity.h"
#include "framework/PlugInSession.h"
#include "framework/PlugInSettings.h"
#include "platform/toolkit/Events.h"
#include "plugin/LNSPlugInAPI.h"
#include "registration/ResourceFiles.h"
#include "support/DemoWorld.h"
#include "support/ScriptedMessageBoxes.h"
#include "ui/log/fLog.h"
#include "ui/main/fMain.h"
#include "ui/progress/fProgress.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeView>

#include <cmath>

namespace windowtest {

using lns::admin::DeviceFaults;
using toolkit::Answer;
using toolkit::Buttons;
using toolkit::Icon;

const QString CrLf = QStringLiteral("\r\n");

// Text-box indices of the heating / cooling page.
enum Box { OccHeat = 0, UnoccHeat = 1, HeatMax = 2, OccCool = 3, UnoccCool = 4, CoolMin = 5, DeadBand = 16 };

// Fields of "nciSetPts" and "nciGenOpts" behind those boxes.
inline int SetPointField(int box)
{
    switch (box) {
    case OccCool: return 0;
    case UnoccCool: return 2;
    case OccHeat: return 3;
    case UnoccHeat: return 5;
    default: return -1;
    }
}
inline int GenOptsField(int box)
{
    switch (box) {
    case HeatMax: return 13;
    case CoolMin: return 14;
    case DeadBand: return 18;
    default: return -1;
    }
}

inline bool OnlineAndWell(int modelCode, const DeviceFaults& f)
{
    // Model 30: every frame of the window enabled.
    return modelCode == 30 && f.commissioned && f.stateCode == 4 && !f.unreachable && f.testResult == 0 &&
           !f.refusesWrites;
}

class ConfiguredWindow {
public:
    // Makes the world; call configure() after changing the device's values, if a test needs to.
    bool makeWorld(qint16 units = 0)
    {
        framework::LoadPlugInIdentity();
        world = std::make_unique<testsupport::DemoWorld>();
        if (!world->ok()) {
            qWarning("%s", qPrintable(world->error()));
            return false;
        }
        framework::CRegistry().SetMachineSetting(framework::PlugInKey(), QStringLiteral("DisplayUnits"),
                                                 QString::number(units));
        registration::ResetResourcesPresent();
        // A session of the test's own, on the world just made.
        session = std::make_unique<framework::PlugInSession>();
        host = std::make_unique<PlugInHost>(*session);
        path = world->findDevice(QStringLiteral("Demo"), OnlineAndWell);
        ref = testsupport::DemoWorld::refOf(QStringLiteral("Demo"), path);
        return !path.isEmpty();
    }

    void tearDown()
    {
        objects.clear();
        host.reset();
        session.reset();
        w = nullptr;
        world.reset();
    }

    // Configures the device, shows the window and makes it the active one; true when it went well.
    bool configure()
    {
        objects.push_back(std::make_unique<LNSPlugInAPI>(*host));
        try {
            objects.back()->SetnetworkName(QStringLiteral("Demo"));
            objects.back()->SendCommand(13, 7, path);
            objects.back()->SetVisible(true);
        } catch (const com::ComError& e) {
            qWarning("configure: %d %s", e.number(), qPrintable(e.description()));
            return false;
        }
        w = host->window;
        w->activateWindow();
        QApplication::setActiveWindow(w);
        return QTest::qWaitForWindowActive(w) && w->isActiveWindow();
    }

    const FMainControls& ui() const { return w->controls(); }
    device::DeviceTables& tables() const { return device::Tables(*session); }
    fLog& log() const { return fLog::Of(*session); }

    // The activity log's Action column, row by row.
    QStringList LogActions() const
    {
        QStringList actions;
        QAbstractItemModel* model = log().OstLog->model();
        for (int row = 0; row < model->rowCount(); ++row)
            actions << model->index(row, 1).data().toString();
        return actions;
    }
    QString LogResults(int row) const { return log().OstLog->model()->index(row, 2).data().toString(); }
    QStringList RowsStartingWith(const QString& prefix) const
    {
        QStringList rows;
        for (const QString& a : LogActions())
            if (a.startsWith(prefix))
                rows << a;
        return rows;
    }
    QStringList AllReadingRows() const
    {
        QStringList expected;
        for (const auto& table : tables().NvTables)
            expected << QStringLiteral("Reading ") + table->Name;
        return expected;
    }
    QLineEdit* box(int index) const { return ui().txtNvi.at(index); }
    QComboBox* combo(int index) const { return ui().cbNvi.at(index); }
    // The colours a user sees: pure red on an unapplied edit, the application's text colour otherwise.
    bool isRed(const QWidget* control) const { return fMain::ForeColor(control) == QColor(255, 0, 0); }
    bool isNormal(const QWidget* control) const
    {
        const auto role = qobject_cast<const QComboBox*>(control) ? QPalette::ButtonText : QPalette::Text;
        return fMain::ForeColor(control) == QApplication::palette().color(role);
    }
    bool buttonsEnabled() const { return ui().cmdApply->isEnabled() && ui().cmdCancel->isEnabled(); }
    bool buttonsDisabled() const { return !ui().cmdApply->isEnabled() && !ui().cmdCancel->isEnabled(); }

    // Gives a field the focus as a click or Tab would.
    void enter(QWidget* control) const
    {
        control->setFocus(Qt::TabFocusReason);
        QCoreApplication::processEvents();
    }
    // Leaves the focused field for a button that runs no rule.
    void leave() const
    {
        ui().cmdViewLog->setFocus(Qt::TabFocusReason);
        QCoreApplication::processEvents();
    }
    // Enters the box, replaces its text by typing, and leaves it.
    void type(int index, const QString& text) const
    {
        enter(box(index));
        QTest::keyClick(box(index), Qt::Key_A, Qt::ControlModifier);
        if (text.isEmpty())
            QTest::keyClick(box(index), Qt::Key_Backspace);
        else
            QTest::keyClicks(box(index), text);
    }
    // Puts a text on the clipboard and pastes it over the box's whole text with Ctrl+V.
    void paste(int index, const QString& text) const
    {
        enter(box(index));
        QGuiApplication::clipboard()->setText(text);
        QTest::keyClick(box(index), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(box(index), Qt::Key_V, Qt::ControlModifier);
    }

    // Clicks the option button of a unit system on its round indicator.
    void chooseUnits(int index) const
    {
        QRadioButton* option = ui().obUnits.at(index);
        QTest::mouseClick(option, Qt::LeftButton, Qt::NoModifier, QPoint(6, option->height() / 2));
    }

    // The device's fields, as the object server formats them under a format (empty: its default, °C).
    QStringList deviceFields(const QString& nv, const QString& format = QString()) const
    {
        const QString separator = nv == QLatin1String("nciSetPts") ? QStringLiteral(",") : QStringLiteral(" ");
        return world->admin().nvText(ref, nv, format).split(separator);
    }
    // Changes one field of a device variable before the window reads it.
    void setDeviceField(const QString& nv, int field, const QString& text) const
    {
        const QString separator = nv == QLatin1String("nciSetPts") ? QStringLiteral(",") : QStringLiteral(" ");
        QStringList fields = deviceFields(nv);
        fields[field] = text;
        world->admin().setNvText(ref, nv, fields.join(separator));
    }
    // Sets the device's value behind one of the heating / cooling boxes (°C).
    void setDeviceBox(int index, const QString& text) const
    {
        if (SetPointField(index) >= 0)
            setDeviceField(QStringLiteral("nciSetPts"), SetPointField(index), text);
        else
            setDeviceField(QStringLiteral("nciGenOpts"), GenOptsField(index), text);
    }
    double deviceSetPoint(int index, const QString& format = QString()) const
    {
        return deviceFields(QStringLiteral("nciSetPts"), format).value(SetPointField(index)).toDouble();
    }
    void setFaults(const DeviceFaults& faults) const { world->admin().setDeviceFaults(ref, faults); }

    std::unique_ptr<testsupport::DemoWorld> world;
    std::unique_ptr<framework::PlugInSession> session;
    std::unique_ptr<PlugInHost> host;
    std::vector<std::unique_ptr<LNSPlugInAPI>> objects;
    QString path;
    lns::admin::DeviceRef ref;
    fMain* w = nullptr;
};

}  // namespace windowtest

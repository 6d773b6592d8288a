#include "binding/Specific.h"

#include "binding/CNvCtrlTable.h"
#include "binding/Collections.h"
#include "device/CNvCpTable.h"
#include "device/ConfigModel.h"
#include "device/Global.h"
#include "device/Variables.h"
#include "framework/PlugInSettings.h"
#include "platform/base/Numbers.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <algorithm>
#include <initializer_list>

namespace Specific {

namespace {

template <class T>
T* Control(const std::map<int, T*>& controls, int index, const char* operation)
{
    const auto found = controls.find(index);
    if (found == controls.end() || !found->second)
        Global::Raise(Global::ErrSubscriptOutOfRange, QString::fromLatin1(operation));
    return found->second;
}

template <class T>
T* Required(T* control, const char* operation)
{
    if (!control)
        Global::Raise(Global::ErrObjectNotSet, QString::fromLatin1(operation));
    return control;
}

// The combo box or text box of a settable item, by the item's name.
QComboBox* ComboOf(const device::WindowControls& c, const char* item, const char* operation)
{
    const device::config::Item* found = device::config::FindSettable(QString::fromLatin1(item));
    return Control(c.cbNvi, found ? found->controlIndex : -1, operation);
}

QLineEdit* BoxOf(const device::WindowControls& c, const char* item, const char* operation)
{
    const device::config::Item* found = device::config::FindSettable(QString::fromLatin1(item));
    return Control(c.txtNvi, found ? found->controlIndex : -1, operation);
}

void Clear(QComboBox* combo)
{
    // A list-only combo box shows an empty text only with no entry chosen.
    combo->setCurrentIndex(-1);
}

}  // namespace

void ResetTables(framework::PlugInSession& session)
{
    device::Tables(session).DataItems.Clear();
    device::Tables(session).NvTables.Clear();
}

void BuildNvTables(framework::PlugInSession& session, const lns::Ptr<lns::NetworkVariables>& nvs)
{
    ResetTables(session);
    Required(nvs.get(), "BuildNvTables");
    device::BuildNvTables(device::Tables(session).NvTables, *nvs, &session.DisplayUnits, session.LonWorksPath());
}

void BuildDataItems(framework::PlugInSession& session, const device::WindowControls& controls)
{
    using device::config::Binding;
    device::DeviceTables& tables = device::Tables(session);
    tables.DataItems.Clear();
    for (const device::config::Item& row : device::config::Items()) {
        auto item = std::make_shared<CNvCtrlTable>();
        item->Name = row.name;
        item->Description = row.description;
        switch (row.binding) {
        case Binding::TextBox: item->TheControl = Control(controls.txtNvi, row.controlIndex, "BuildDataItems"); break;
        case Binding::ComboBox: item->TheControl = Control(controls.cbNvi, row.controlIndex, "BuildDataItems"); break;
        case Binding::ModelLabel: item->TheControl = Required(controls.lbModel, "BuildDataItems"); break;
        case Binding::HvacTypeLabel: item->TheControl = Required(controls.lbHvacType, "BuildDataItems"); break;
        case Binding::None: item->TheControl = nullptr; break;
        }
        item->ItemArrayIndex = qint16(row.field);
        item->NvCpTable = tables.NvTables.Item(row.variable);
        item->RoundValue = row.step != 0;
        if (item->RoundValue)
            item->Ceiling = row.step;
        item->OffsetValue = row.offset;
        tables.DataItems.Add(std::move(item));
    }
}

void ApplyModelOptions(const framework::PlugInSession& session, qint16 modelCode, const device::WindowControls& c)
{
    const char* const op = "ApplyModelOptions";
    const device::config::ModelOptions o = device::config::OptionsOf(modelCode);

    // 1. The model can be tried by hand in debug mode.
    if (session.DebugMode == 1) {
        Required(c.cmdDebug, op)->setVisible(true);
        Required(c.txtDebug, op)->setVisible(true);
    }

    // 2. Models without a humidity sensor.
    Required(c.tabData, op)->setTabEnabled(RhOptionsTab, o.rhOptions);

    // 3. Models without a floating actuator.
    if (!o.floatingActuator) {
        Required(c.frmControlType, op)->setEnabled(false);
        Clear(ComboOf(c, "ControlType", op));
        Required(c.frmAccTiming, op)->setEnabled(false);
        BoxOf(c, "DriveTime", op)->setText(QString());
    } else {
        Required(c.frmControlType, op)->setEnabled(true);
        Required(c.frmAccTiming, op)->setEnabled(true);
    }

    // 4. Models without on/off cycling.
    if (!o.onOffCycling) {
        Required(c.lblCyclePerHour, op)->setEnabled(false);
        QComboBox* cycles = ComboOf(c, "CyclePerHour", op);
        cycles->setEnabled(false);
        Clear(cycles);
    } else {
        Required(c.lblCyclePerHour, op)->setEnabled(true);
        ComboOf(c, "CyclePerHour", op)->setEnabled(true);
    }

    // 5. Models without an analog output.
    if (!o.analogOutput) {
        Required(c.frmActing, op)->setEnabled(false);
        Clear(ComboOf(c, "ReverseAOut", op));
    } else {
        Required(c.frmActing, op)->setEnabled(true);
    }

    // 6. No auto function.
    if (!o.autoFunction) {
        QComboBox* autoMode = ComboOf(c, "AutoMode", op);
        autoMode->setEnabled(false);
        Clear(autoMode);
        Required(c.lblAutoMode, op)->setEnabled(false);
    } else {
        ComboOf(c, "AutoMode", op)->setEnabled(true);
        Required(c.lblAutoMode, op)->setEnabled(true);
    }

    // 7. No fan menu; this step has the last word on the auto function's combo box.
    if (!o.fanMenu) {
        Required(c.frmFanMode, op)->setEnabled(false);
        Clear(ComboOf(c, "FanMenu", op));
        ComboOf(c, "AutoMode", op)->setEnabled(false);
    } else {
        Required(c.frmFanMode, op)->setEnabled(true);
        ComboOf(c, "AutoMode", op)->setEnabled(true);
    }

    // 8. Fixed sequence of operations.
    if (!o.sequenceChoice) {
        Required(c.frmSeqOperation, op)->setEnabled(false);
        Clear(ComboOf(c, "SeqOpera", op));
    } else {
        Required(c.frmSeqOperation, op)->setEnabled(true);
    }
}

}  // namespace Specific

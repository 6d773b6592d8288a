#pragma once
// The Specific module: what is particular to the KR5M-HU thermostats. Its access objects, the data
// items of the configuration model bound to the window's controls, and which parts of
// the window apply to which model.
//
// The window calls, for each device it configures: BuildNvTables(its variable collection), then
// BuildDataItems(its controls), Initialize on each item, the reads, and ApplyModelOptions(model code).
// BuildNvTables starts by emptying both collections (the items of a previous device point at that
// device's access objects) and BuildDataItems starts by emptying DataItems, so a second configure
// in the same process rebuilds them instead of adding to them. ResetTables empties both directly.
#include "framework/PlugInSession.h"
#include "platform/objectserver/ObjectServer.h"

#include <QString>
#include <map>

class CNvCpTable;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QWidget;

namespace device {

// The window's controls that the device definition binds items to or switches by model. The window
// fills it; the data model never sees the window itself.
struct WindowControls {
    std::map<int, QLineEdit*> txtNvi;
    std::map<int, QComboBox*> cbNvi;
    QLabel* lbModel = nullptr;
    QLabel* lbHvacType = nullptr;
    QTabWidget* tabData = nullptr;
    QPushButton* cmdDebug = nullptr;
    QLineEdit* txtDebug = nullptr;
    QWidget* frmControlType = nullptr;
    QWidget* frmAccTiming = nullptr;
    QLabel* lblCyclePerHour = nullptr;
    QWidget* frmActing = nullptr;
    QLabel* lblAutoMode = nullptr;
    QWidget* frmFanMode = nullptr;
    QWidget* frmSeqOperation = nullptr;
};

}  // namespace device

namespace Specific {

// Number of the "RH &Options" tab of tabData.
inline constexpr int RhOptionsTab = 3;

// Empties NvTables and DataItems.
void ResetTables(framework::PlugInSession& session);

// Creates the access objects of the variable table on the variables of nvs (NvCollectionItem) and files them in
// NvTables under their keys. A variable the device lacks ends the build there with the object
// server's failure; what was built before it stays.
void BuildNvTables(framework::PlugInSession& session, const lns::Ptr<lns::NetworkVariables>& nvs);
// Creates the data items of the configuration model (device::config::Items) on the filled NvTables and appends them
// to DataItems. A control index missing from controls raises ErrSubscriptOutOfRange and ends the build at that row.
void BuildDataItems(framework::PlugInSession& session, const device::WindowControls& controls);

// Enables, disables and clears parts of the window for the thermostat model. "Switching off" the
// RH Options tab greys it (setTabEnabled): the tab keeps its place, so tab numbers stay the ones
// the help contexts are keyed on.
void ApplyModelOptions(const framework::PlugInSession& session, qint16 modelCode,
                       const device::WindowControls& controls);

}  // namespace Specific

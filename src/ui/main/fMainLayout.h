#pragma once
// The content of the configuration window: the tab control with the device's fields, the device
// labels, the display-units frame, the buttons and the two status-bar panels. Built into an empty
// QMainWindow with layouts only, so the window can be sized freely and scales with the screen.
// Every widget carries its name as objectName, control arrays with "_<index>" after it
// ("txtNvi_16", "cbNvi_5", "obUnits_0", "txtTempUnits_3").
#include "binding/Specific.h"

#include <map>

class QGroupBox;
class QLabel;
class QLineEdit;
class QComboBox;
class QMainWindow;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QTabWidget;
class QTextBrowser;
class SetpointBand;

struct FMainControls {
    QTabWidget* tabData = nullptr;

    // Device values: text boxes 0-18, 39, 40, 41; combo boxes 0-15 (list only).
    std::map<int, QLineEdit*> txtNvi;
    std::map<int, QComboBox*> cbNvi;

    QLabel* lblDeviceTemplate = nullptr;
    QLabel* lbModel = nullptr;
    QLabel* lbHvacType = nullptr;

    // Unit captions: one temperature label beside each temperature field (0-7), one percent label
    // beside each relative-humidity field (0-3), and the time units keyed by the index of the text
    // box they follow (14 "Min", 17 "Hours", 18 "Minutes", 39-41 "Sec").
    std::map<int, QLabel*> txtTempUnits;
    std::map<int, QLabel*> txtPercentUnits;
    std::map<int, QLabel*> lblTimeUnits;
    // The text box each temperature label belongs to.
    static const std::map<int, int>& TempUnitsField();
    // The unit caption beside each text box that has one, by the box's index.
    std::map<int, QLabel*> fieldUnits;

    // Frames and labels that the model options switch.
    QGroupBox* frmControlType = nullptr;
    QGroupBox* frmAccTiming = nullptr;
    QLabel* lblCyclePerHour = nullptr;
    QGroupBox* frmActing = nullptr;
    QLabel* lblAutoMode = nullptr;
    QGroupBox* frmFanMode = nullptr;
    QGroupBox* frmSeqOperation = nullptr;

    // The set points of the Heating - Cooling tab drawn on one scale (fMain keeps it up to date).
    SetpointBand* setpointBand = nullptr;

    QGroupBox* frmUnits = nullptr;
    std::map<int, QRadioButton*> obUnits;  // 0 "&Metric" (Tag "#SI"), 1 "&Imperial" (Tag "#US")

    QPushButton* cmdApply = nullptr;   // disabled until an edit
    QPushButton* cmdCancel = nullptr;  // disabled until an edit
    QPushButton* cmdRefresh = nullptr;
    QPushButton* cmdViewLog = nullptr;
    QPushButton* cmdHelp = nullptr;
    QPushButton* cmdExit = nullptr;
    QPushButton* cmdDebug = nullptr;  // hidden outside debug mode
    QLineEdit* txtDebug = nullptr;    // hidden outside debug mode

    QTextBrowser* WebBrowser1 = nullptr;  // the "C&ontact" page
    QLabel* Picture1 = nullptr;           // the bitmap; hidden until one is loaded
    QLabel* txtMajorVersion = nullptr;
    QLabel* txtMinorVersion = nullptr;

    QStatusBar* StatusBar = nullptr;
    std::map<int, QLabel*> StatusBarPanel;  // 1 device state, 2 configured object

    // The controls the device definition binds and switches.
    device::WindowControls windowControls() const;
};

// Builds the whole content into window (which must have no central widget yet) and returns its
// controls, showing units (0 metric, 1 imperial). The buttons are not connected to anything.
FMainControls BuildFMainLayout(QMainWindow* window, qint16 units = 0);

// Names the fields for assistive technology by what they hold (their item's description, else their
// caption) and describes each with its unit and range in the display units (units 0 metric, 1
// imperial), or its choices. The unit captions must already show those units.
void DescribeFields(const FMainControls& c, qint16 units);

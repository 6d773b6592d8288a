#include "device/Specific.h"

#include "device/CNvCpTable.h"
#include "device/CNvCtrlTable.h"
#include "device/Collections.h"
#include "device/Global.h"
#include "framework/PlugInSettings.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <algorithm>
#include <initializer_list>

namespace Specific {

namespace {

struct NvRow {
    const char* name;
    const char* key;
    const char* lookedUpAs;
    const char* description;
    const char* format;
    const char* separator;
    bool localizationSpecific;
    const char* relative;
};

// The variables of the device, in the order the window reads them.
// One variable a line: the formatter leaves the table alone.
// clang-format off
const NvRow NvRows[] = {
    {"nciSetPts", "nciSetPts", "nciSetPts", "Heating / Cooling Setpoints", "SNVT_temp_setpt", ",", true, "Network Variables:0"},
    {"nciRHmodel", "nciRHmodel", "nciRHmodel", "", "UNVT_rh_model", " ", false, "Network Variables:4"},
    {"nciGenOpts", "nciGenOpts", "nciGenOpts", "Device General Options", "UNVT_fc_gen_opts", " ", true, "Network Variables:4"},
    {"nciSccModel", "nciSccModel", "nciSccModel", "Model number and version", "UNVT_model_info2", " ", false, "Network Variables:4"},
    {"nciHvacType", "nciHvacType", "nciHvacType", "", "SNVT_hvac_type", " ", false, "Network Variables:4"},
    {"nciSndHrtBt", "nciSndHrtBt", "nciSndHrtBt", "", "SNVT_time_sec", " ", false, "Network Variables:4"},
    {"nciMinOutTm", "nciMinOutTm", "nciMinOutTm", "", "SNVT_time_sec", " ", false, "Network Variables:4"},
    {"nciRcvHrtBt", "nciRcvHrtBt", "nciRcvHrtBt", "", "SNVT_time_sec", " ", false, "Network Variables:4"},
    {"nciMajVer", "nciMajVer", "nciMajVer", "nciMajVer", "INT", " ", false, "Network Variables:4"},
    {"nciMinVer", "nciMinVer", "nciMinVer", "nciMinVer", "INT", " ", false, "Network Variables:4"},
    // The model variable once more, raw, only for the numeric model code.
    {"nciSccModel (Raw)", "nciSccModelRaw", "nciSccModel", "Model number and version", "RAW", "\t", false, "Network Variables:4"},
};
// clang-format on

enum class Ctl { Txt, Cb, LbModel, LbHvacType, None };

struct Limits {
    const char* min0;
    const char* max0;
    const char* min1;
    const char* max1;
    bool wholeNumbers;  // the device's field holds no fraction
};

struct ItemRow {
    const char* name;
    const char* description;  // nullptr: none set
    const char* key;
    qint16 field;
    Ctl control;
    int index;
    double step;  // 0: not rounded
    bool offset;
    bool offsetExplicit;  // rows that set OffsetValue false on purpose
    const Limits* limits;
};

const Limits HeatLimits{"4.5", "32", "40", "90", false};
const Limits CoolLimits{"12", "37.5", "54", "100", false};
const Limits DeadBandLimits{"1", "2.5", "2", "5", false};
const Limits DriveTimeLimits{"0.5", "9", "0.5", "9", false};
const Limits CalibLimits{"-2.5", "2.5", "-5", "5", false};
const Limits RhSetpointLimits{"30", "100", "30", "100", true};
const Limits HystLimits{"2", "20", "2", "20", true};
const Limits DehumCoolLimits{"20", "100", "20", "100", true};
const Limits RhCalibLimits{"-15", "15", "-15", "15", true};
const Limits TOccLimits{"0", "24", "0", "24", true};
const Limits DoorLimits{"1", "10", "1", "10", true};
const Limits TimeLimits{"0", "6553.4", "0", "6553.4", false};

// Position in DataItems = position in this table.
// One item a line: the formatter leaves the table alone.
// clang-format off
const ItemRow ItemRows[] = {
    {"nciSetPts.occ_heat", "Occupied heating setpoint", "nciSetPts", 3, Ctl::Txt, 0, 0.5, true, false, &HeatLimits},
    {"nciSetPts.unocc_heat", "Unoccupied heating setpoint", "nciSetPts", 5, Ctl::Txt, 1, 0.5, true, false, &HeatLimits},
    {"nciSetPts.occ_cool", "Occupied cooling setpoint", "nciSetPts", 0, Ctl::Txt, 3, 0.5, true, false, &CoolLimits},
    {"nciSetPts.unocc_cool", "Unoccupied cooling setpoint", "nciSetPts", 2, Ctl::Txt, 4, 0.5, true, false, &CoolLimits},
    {"HeatMax", "Maximum heating setpoint limit", "nciGenOpts", 13, Ctl::Txt, 2, 0.5, true, false, &HeatLimits},
    {"CoolMin", "Minimum cooling setpoint limit", "nciGenOpts", 14, Ctl::Txt, 5, 0.5, true, false, &CoolLimits},
    {"SetpointType", nullptr, "nciGenOpts", 15, Ctl::Cb, 0, 0, false, false, nullptr},
    {"CyclePerHour", nullptr, "nciGenOpts", 2, Ctl::Cb, 1, 0, false, false, nullptr},
    {"DeadBand", "Dead Band", "nciGenOpts", 18, Ctl::Txt, 16, 0.5, true, false, &DeadBandLimits},
    {"DigitalInput1", nullptr, "nciGenOpts", 4, Ctl::Cb, 2, 0, false, false, nullptr},
    {"DigitalInput2", nullptr, "nciGenOpts", 5, Ctl::Cb, 3, 0, false, false, nullptr},
    {"DigitalInput3", nullptr, "nciGenOpts", 6, Ctl::Cb, 4, 0, false, false, nullptr},
    {"ControlType", nullptr, "nciGenOpts", 0, Ctl::Cb, 5, 0, false, false, nullptr},
    {"DriveTime", "Floating actuator timing", "nciGenOpts", 1, Ctl::Txt, 14, 0, false, false, &DriveTimeLimits},
    {"ReverseAOut", nullptr, "nciGenOpts", 3, Ctl::Cb, 6, 0, false, false, nullptr},
    {"AuxCont", nullptr, "nciGenOpts", 20, Ctl::Cb, 7, 0, false, false, nullptr},
    {"Reheat", nullptr, "nciGenOpts", 21, Ctl::Cb, 8, 0, false, false, nullptr},
    {"CalibRS", "Room sensor offset", "nciGenOpts", 19, Ctl::Txt, 6, 0.5, true, false, &CalibLimits},
    {"RHdisplay", nullptr, "nciRHmodel", 0, Ctl::Cb, 9, 0, false, false, nullptr},
    {"RHsetpoint", "RH Setpoints", "nciRHmodel", 1, Ctl::Txt, 7, 0, false, true, &RhSetpointLimits},
    {"DehumHyst", "Dehumidifiacation hysteresis", "nciRHmodel", 2, Ctl::Txt, 8, 0, false, true, &HystLimits},
    {"DehumCool", "Dehumidifiacation maximum cooling output", "nciRHmodel", 3, Ctl::Txt, 9, 0, false, true, &DehumCoolLimits},
    {"RHcalib", "RH sensor calibration offset", "nciRHmodel", 4, Ctl::Txt, 10, 0, false, true, &RhCalibLimits},
    {"thermostat_model", nullptr, "nciSccModel", 0, Ctl::Txt, 11, 0, false, false, nullptr},
    {"software_version", nullptr, "nciSccModel", 1, Ctl::Txt, 12, 0, false, false, nullptr},
    {"MajorVersion", nullptr, "nciMajVer", 0, Ctl::Txt, 13, 0, false, false, nullptr},
    {"MinorVersion", nullptr, "nciMinVer", 0, Ctl::Txt, 15, 0, false, false, nullptr},
    {"nciHvacType", nullptr, "nciHvacType", 0, Ctl::LbHvacType, 0, 0, false, false, nullptr},
    {"FanMenu", nullptr, "nciGenOpts", 12, Ctl::Cb, 10, 0, false, false, nullptr},
    {"TOccTime", "Temporary occupied time", "nciGenOpts", 16, Ctl::Txt, 17, 0, false, false, &TOccLimits},
    {"TempScale", nullptr, "nciGenOpts", 9, Ctl::Cb, 12, 0, false, false, nullptr},
    {"MenuScroll", nullptr, "nciGenOpts", 7, Ctl::Cb, 13, 0, false, false, nullptr},
    {"AutoMode", nullptr, "nciGenOpts", 8, Ctl::Cb, 14, 0, false, false, nullptr},
    {"Pipes", nullptr, "nciGenOpts", 10, Ctl::Cb, 11, 0, false, false, nullptr},
    {"DoorTime", "Door Time", "nciGenOpts", 17, Ctl::Txt, 18, 1, false, false, &DoorLimits},
    {"SeqOpera", nullptr, "nciGenOpts", 11, Ctl::Cb, 15, 0, false, false, nullptr},
    {"thermostat_model", nullptr, "nciSccModel", 0, Ctl::LbModel, 0, 0, false, false, nullptr},
    {"nciSndHrtBt", "Output heartbeat", "nciSndHrtBt", 0, Ctl::Txt, 39, 0, false, false, &TimeLimits},
    {"nciMinOutTm", "Output trottle", "nciMinOutTm", 0, Ctl::Txt, 40, 0, false, false, &TimeLimits},
    {"nciRcvHrtBt", "Input heartbeat", "nciRcvHrtBt", 0, Ctl::Txt, 41, 0, false, false, &TimeLimits},
    {"thermostat_model", nullptr, "nciSccModelRaw", 0, Ctl::None, 0, 0, false, false, nullptr},
};
// clang-format on

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

bool OneOf(qint16 value, std::initializer_list<qint16> codes)
{
    return std::find(codes.begin(), codes.end(), value) != codes.end();
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
    for (const NvRow& row : NvRows) {
        auto table = std::make_shared<CNvCpTable>();
        table->Name = QString::fromLatin1(row.name);
        table->Description = QString::fromLatin1(row.description);
        table->Separator = QString::fromLatin1(row.separator);
        table->Format = QString::fromLatin1(row.format);
        table->Relative = QString::fromLatin1(row.relative);
        table->LocalizationSpecific = row.localizationSpecific;
        table->Units = &session.DisplayUnits;
        table->MyNetworkVariable = nvs->NvCollectionItem(QString::fromLatin1(row.lookedUpAs));
        device::Tables(session).NvTables.Add(std::move(table), QString::fromLatin1(row.key));
    }
}

void BuildDataItems(framework::PlugInSession& session, const device::WindowControls& controls)
{
    device::DeviceTables& tables = device::Tables(session);
    tables.DataItems.Clear();
    for (const ItemRow& row : ItemRows) {
        auto item = std::make_shared<CNvCtrlTable>();
        item->Name = QString::fromLatin1(row.name);
        if (row.description)
            item->Description = QString::fromLatin1(row.description);
        switch (row.control) {
        case Ctl::Txt: item->TheControl = Control(controls.txtNvi, row.index, "BuildDataItems"); break;
        case Ctl::Cb: item->TheControl = Control(controls.cbNvi, row.index, "BuildDataItems"); break;
        case Ctl::LbModel: item->TheControl = Required(controls.lbModel, "BuildDataItems"); break;
        case Ctl::LbHvacType: item->TheControl = Required(controls.lbHvacType, "BuildDataItems"); break;
        case Ctl::None: item->TheControl = nullptr; break;
        }
        item->Typee = QStringLiteral("CP");
        item->ItemArrayIndex = row.field;
        item->NvCpTable = tables.NvTables.Item(QString::fromLatin1(row.key));
        item->RoundValue = row.step != 0;
        if (item->RoundValue)
            item->Ceiling = row.step;
        if (row.offset || row.offsetExplicit)
            item->OffsetValue = row.offset;
        if (row.limits) {
            item->SetMinLimit(0, QString::fromLatin1(row.limits->min0));
            item->SetMaxLimit(0, QString::fromLatin1(row.limits->max0));
            item->SetMinLimit(1, QString::fromLatin1(row.limits->min1));
            item->SetMaxLimit(1, QString::fromLatin1(row.limits->max1));
            item->WholeNumbers = row.limits->wholeNumbers;
        }
        tables.DataItems.Add(std::move(item));
    }
}

void ApplyModelOptions(const framework::PlugInSession& session, qint16 m, const device::WindowControls& c)
{
    const char* const op = "ApplyModelOptions";

    // 1. The model can be tried by hand in debug mode.
    if (session.DebugMode == 1) {
        Required(c.cmdDebug, op)->setVisible(true);
        Required(c.txtDebug, op)->setVisible(true);
    }

    // 2. Models without a humidity sensor.
    Required(c.tabData, op)->setTabEnabled(RhOptionsTab, !OneOf(m, {41, 42, 44, 46, 48, 50, 51, 60, 61}));

    // 3. Models without a floating actuator.
    if (OneOf(m, {41, 42, 47, 48, 49, 50, 51, 61})) {
        Required(c.frmControlType, op)->setEnabled(false);
        Clear(Control(c.cbNvi, 5, op));
        Required(c.frmAccTiming, op)->setEnabled(false);
        Control(c.txtNvi, 14, op)->setText(QString());
    } else {
        Required(c.frmControlType, op)->setEnabled(true);
        Required(c.frmAccTiming, op)->setEnabled(true);
    }

    // 4. Models without on/off cycling.
    if (OneOf(m, {47, 48, 49, 50, 51, 61})) {
        Required(c.lblCyclePerHour, op)->setEnabled(false);
        QComboBox* cycles = Control(c.cbNvi, 1, op);
        cycles->setEnabled(false);
        Clear(cycles);
    } else {
        Required(c.lblCyclePerHour, op)->setEnabled(true);
        Control(c.cbNvi, 1, op)->setEnabled(true);
    }

    // 5. Models without an analog output.
    if (OneOf(m, {41, 42, 43, 44, 45, 46, 60})) {
        Required(c.frmActing, op)->setEnabled(false);
        Clear(Control(c.cbNvi, 6, op));
    } else {
        Required(c.frmActing, op)->setEnabled(true);
    }

    // 6. No auto function.
    if (m == 51) {
        QComboBox* autoMode = Control(c.cbNvi, 14, op);
        autoMode->setEnabled(false);
        Clear(autoMode);
        Required(c.lblAutoMode, op)->setEnabled(false);
    } else {
        Control(c.cbNvi, 14, op)->setEnabled(true);
        Required(c.lblAutoMode, op)->setEnabled(true);
    }

    // 7. No fan menu; this step has the last word on the auto function's combo box.
    if (OneOf(m, {51, 60, 61})) {
        Required(c.frmFanMode, op)->setEnabled(false);
        Clear(Control(c.cbNvi, 10, op));
        Control(c.cbNvi, 14, op)->setEnabled(false);
    } else {
        Required(c.frmFanMode, op)->setEnabled(true);
        Control(c.cbNvi, 14, op)->setEnabled(true);
    }

    // 8. Fixed sequence of operations.
    if (m == 51) {
        Required(c.frmSeqOperation, op)->setEnabled(false);
        Clear(Control(c.cbNvi, 15, op));
    } else {
        Required(c.frmSeqOperation, op)->setEnabled(true);
    }
}

}  // namespace Specific

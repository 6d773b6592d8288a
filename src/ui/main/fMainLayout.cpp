#include "ui/main/fMainLayout.h"

#include "device/ConfigModel.h"
#include "device/Units.h"
#include "ui/main/ElidedLabel.h"
#include "ui/main/FieldAccessibility.h"
#include "ui/main/SetpointBand.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {

// The window's texts, in the user's language (context "fMain", as the window's own).
struct Words {
    Q_DECLARE_TR_FUNCTIONS(fMain)
};

QString Indexed(const char* name, int index)
{
    return QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(index);
}

// A unit option does not select itself when clicked: the window selects it once the change of units
// goes ahead, so that while the question about pending edits is open the old choice still shows.
class UnitOption : public QRadioButton {
public:
    using QRadioButton::QRadioButton;

protected:
    void nextCheckState() override {}
};

// The name a control is known by to assistive technology, when its caption alone does not say it.
template <typename W>
W* Spoken(W* widget, const QString& name)
{
    widget->setAccessibleName(name);
    return widget;
}

// A caption as it is read out: without its access-key marker.
QString Spoken(QString caption)
{
    return caption.remove(QLatin1Char('&'));
}

class Builder {
public:
    Builder(FMainControls& c, qint16 units) : c(c), units(units) {}

    QGroupBox* Frame(const char* name, const QString& caption)
    {
        auto* frame = new QGroupBox(caption);
        frame->setObjectName(QLatin1String(name));
        auto* grid = new QGridLayout(frame);
        // Label, field, unit, then the slack: fields keep their natural width.
        grid->setColumnStretch(3, 1);
        // Frames side by side share a height; their rows stay at the top.
        grid->setAlignment(Qt::AlignTop);
        return frame;
    }

    static QGridLayout* Grid(QGroupBox* frame) { return static_cast<QGridLayout*>(frame->layout()); }

    QLabel* Label(const char* name, const QString& caption)
    {
        auto* label = new QLabel(caption);
        label->setObjectName(QLatin1String(name));
        return label;
    }

    QLineEdit* Txt(int index, const QString& widest = QStringLiteral("000000.0"))
    {
        auto* edit = new QLineEdit;
        edit->setObjectName(Indexed("txtNvi", index));
        // Wide enough for the longest value (6553.4), no wider: the fields line up.
        const QFontMetrics metrics(edit->font());
        edit->setFixedWidth(metrics.horizontalAdvance(widest) + 12);
        edit->setAlignment(Qt::AlignRight);
        c.txtNvi[index] = edit;
        return edit;
    }

    QComboBox* Cb(int index)
    {
        auto* combo = new FieldList;
        combo->setObjectName(Indexed("cbNvi", index));
        combo->setEditable(false);
        // The wheel over a list that does not have the focus scrolls past it, and gives it no focus.
        combo->setFocusPolicy(Qt::StrongFocus);
        // Each entry keeps the device's name for it as its data: that is what is read and written,
        // whatever the entry shows.
        for (const QString& choice : device::config::ChoicesOfComboBox(index))
            combo->addItem(choice, choice);
        // No entry until the device's value is read: the first choice is nobody's value.
        combo->setCurrentIndex(-1);
        c.cbNvi[index] = combo;
        return combo;
    }

    QLabel* TempUnits(int index)
    {
        auto* label = new QLabel(device::UnitSymbol(units));
        label->setObjectName(Indexed("txtTempUnits", index));
        c.txtTempUnits[index] = label;
        return label;
    }

    QLabel* PercentUnits(int index)
    {
        auto* label = new QLabel(QStringLiteral("%"));
        label->setObjectName(Indexed("txtPercentUnits", index));
        c.txtPercentUnits[index] = label;
        return label;
    }

    QLabel* TimeUnits(int fieldIndex, const QString& caption)
    {
        auto* label = new QLabel(caption);
        label->setObjectName(Indexed("lblTimeUnits", fieldIndex));
        c.lblTimeUnits[fieldIndex] = label;
        return label;
    }

    // One row of a frame: an optional caption, the field, an optional unit. The field is known to
    // assistive technology by its caption, or by the frame's when it has none (unless named already).
    void Row(QGroupBox* frame, QLabel* label, QWidget* field, QLabel* unit = nullptr)
    {
        QGridLayout* grid = Grid(frame);
        const int row = grid->rowCount() == 1 && grid->count() == 0 ? 0 : grid->rowCount();
        if (label) {
            label->setBuddy(field);
            grid->addWidget(label, row, 0);
        }
        grid->addWidget(field, row, 1);
        if (field->accessibleName().isEmpty())
            field->setAccessibleName(Spoken(label ? label->text() : frame->title()));
        if (unit) {
            grid->addWidget(unit, row, 2);
            for (const auto& [index, box] : c.txtNvi)
                if (box == field)
                    c.fieldUnits[index] = unit;
        }
    }

    // A tab page of frames in two columns, pushed to the top.
    static QGridLayout* Page(QTabWidget* tabs, const char* name, const QString& caption)
    {
        auto* page = new QWidget;
        page->setObjectName(QLatin1String(name));
        auto* grid = new QGridLayout(page);
        grid->setColumnStretch(0, 1);
        grid->setColumnStretch(1, 1);
        tabs->addTab(page, caption);
        return grid;
    }

    static void EndPage(QGridLayout* grid) { grid->setRowStretch(grid->rowCount(), 1); }

    FMainControls& c;
    qint16 units;
};

void BuildHeatingCooling(Builder& b, QTabWidget* tabs)
{
    QGridLayout* page = Builder::Page(tabs, "tabHeatingCooling", Words::tr("&Heating - Cooling"));

    QGroupBox* heating = b.Frame("frmHeating", Words::tr("Heating"));
    b.Row(heating, b.Label("lblOccHeat", Words::tr("Occupied")), b.Txt(0), b.TempUnits(0));
    b.Row(heating, b.Label("lblUnoccHeat", Words::tr("Unoccupied")), b.Txt(1), b.TempUnits(1));
    b.Row(heating, b.Label("lblHeatMax", Words::tr("Maximum limit")), b.Txt(2), b.TempUnits(2));

    QGroupBox* cooling = b.Frame("frmCooling", Words::tr("Cooling"));
    b.Row(cooling, b.Label("lblOccCool", Words::tr("Occupied")), b.Txt(3), b.TempUnits(3));
    b.Row(cooling, b.Label("lblUnoccCool", Words::tr("Unoccupied")), b.Txt(4), b.TempUnits(4));
    b.Row(cooling, b.Label("lblCoolMin", Words::tr("Minimum limit")), b.Txt(5), b.TempUnits(5));

    QGroupBox* setpointOptions = b.Frame("frmSetpointOptions", Words::tr("Setpoint options"));
    b.Row(setpointOptions, b.Label("lblSetpointType", Words::tr("Setpoint type")), b.Cb(0));

    QGroupBox* common = b.Frame("frmCommonOptions", Words::tr("Common Options"));
    b.c.lblCyclePerHour = b.Label("lblCyclePerHour", Words::tr("Cycle Per Hour"));
    b.Row(common, b.c.lblCyclePerHour, b.Cb(1));
    QLabel* deadBand = b.Label("lblDeadBand", Words::tr("Heating cooling minimum setpoint deadband"));
    deadBand->setWordWrap(true);
    b.Row(common, deadBand, b.Txt(16), b.TempUnits(6));

    page->addWidget(heating, 0, 0);
    page->addWidget(cooling, 0, 1);
    page->addWidget(setpointOptions, 1, 0);
    page->addWidget(common, 1, 1);
    // The set points as a picture, below everything else: the frames above keep their places.
    b.c.setpointBand = new SetpointBand;
    page->addWidget(b.c.setpointBand, 2, 0, 1, 2);
    Builder::EndPage(page);
}

void BuildGeneral(Builder& b, QTabWidget* tabs)
{
    QGridLayout* page = Builder::Page(tabs, "tabGeneral", Words::tr("&General"));

    QGroupBox* systemType = b.Frame("frmSystemType", Words::tr("System type"));
    b.Row(systemType, nullptr, b.Cb(11));

    QGroupBox* occTime = b.Frame("frmTOccTime", Words::tr("Temporary Occ Time"));
    b.Row(occTime, nullptr, b.Txt(17), b.TimeUnits(17, Words::tr("Hours")));

    b.c.frmFanMode = b.Frame("frmFanMode", Words::tr("Fan mode sequence and menu"));
    b.Row(b.c.frmFanMode, nullptr, b.Cb(10));

    QGroupBox* doorTime = b.Frame("frmDoorTime", Words::tr("Door time"));
    b.Row(doorTime, nullptr, b.Txt(18), b.TimeUnits(18, Words::tr("Minutes")));

    QGroupBox* display = b.Frame("frmDisplay", Words::tr("Display"));
    b.Row(display, b.Label("lblScale", Words::tr("Scale")), Spoken(b.Cb(12), Words::tr("Display scale")));
    b.Row(display, b.Label("lblMenuScroll", Words::tr("Menu Scroll")), b.Cb(13));
    b.c.lblAutoMode = b.Label("lblAutoMode", Words::tr("Auto Function"));
    b.Row(display, b.c.lblAutoMode, b.Cb(14));

    b.c.frmSeqOperation = b.Frame("frmSeqOperation", Words::tr("Sequence of operations"));
    b.Row(b.c.frmSeqOperation, nullptr, b.Cb(15));

    page->addWidget(systemType, 0, 0);
    page->addWidget(occTime, 0, 1);
    page->addWidget(b.c.frmFanMode, 1, 0);
    page->addWidget(doorTime, 1, 1);
    page->addWidget(display, 2, 0);
    page->addWidget(b.c.frmSeqOperation, 2, 1, Qt::AlignTop);
    Builder::EndPage(page);
}

void BuildHardware(Builder& b, QTabWidget* tabs)
{
    QGridLayout* page = Builder::Page(tabs, "tabHardware", Words::tr("&Hardware"));

    QGroupBox* inputs = b.Frame("frmInputs", Words::tr("Inputs"));
    b.Row(inputs, b.Label("lblInput1", Words::tr("Binary Input #1")), b.Cb(2));
    b.Row(inputs, b.Label("lblInput2", Words::tr("Digital Input #2")), b.Cb(3));
    b.Row(inputs, b.Label("lblInput3", Words::tr("Universal Input #3")), b.Cb(4));

    QGroupBox* calibration = b.Frame("frmSensorCalibration", Words::tr("Temperature sensor calibration"));
    b.Row(calibration, b.Label("lblRoomSensorOffset", Words::tr("Room sensor offset")), b.Txt(6), b.TempUnits(7));

    QGroupBox* aux = b.Frame("frmAuxContacts", Words::tr("Auxiliary Contacts"));
    b.Row(aux, b.Label("lblAuxConfiguration", Words::tr("Configuration")),
          Spoken(b.Cb(7), Words::tr("Auxiliary contacts configuration")));
    b.Row(aux, b.Label("lblReheatTimeBase", Words::tr("Reheat time base")), b.Cb(8));

    // The output frames side by side: each is switched on its own by the model options.
    auto* outputs = new QGroupBox(Words::tr("Outputs"));
    outputs->setObjectName(QStringLiteral("frmOutputs"));
    auto* outputsRow = new QHBoxLayout(outputs);
    b.c.frmControlType = b.Frame("frmControlType", Words::tr("Control Type"));
    b.Row(b.c.frmControlType, nullptr, b.Cb(5));
    b.c.frmAccTiming = b.Frame("frmAccTiming", Words::tr("Floating actuator timing"));
    b.Row(b.c.frmAccTiming, nullptr, b.Txt(14), b.TimeUnits(14, Words::tr("Min")));
    b.c.frmActing = b.Frame("frmActing", Words::tr("Reverse AO action"));
    b.Row(b.c.frmActing, nullptr, b.Cb(6));
    outputsRow->addWidget(b.c.frmControlType);
    outputsRow->addWidget(b.c.frmAccTiming);
    outputsRow->addWidget(b.c.frmActing);

    page->addWidget(inputs, 0, 0, 2, 1, Qt::AlignTop);
    page->addWidget(calibration, 0, 1);
    page->addWidget(aux, 1, 1);
    page->addWidget(outputs, 2, 0, 1, 2);
    Builder::EndPage(page);
}

void BuildRhOptions(Builder& b, QTabWidget* tabs)
{
    QGridLayout* page = Builder::Page(tabs, "tabRhOptions", Words::tr("RH &Options"));

    QGroupBox* dehum = b.Frame("frmDehumidification", Words::tr("Dehumidification"));
    b.Row(dehum, b.Label("lblRhSetpoint", Words::tr("Setpoint")), b.Txt(7), b.PercentUnits(0));
    b.Row(dehum, b.Label("lblDehumHyst", Words::tr("Hysteresis")), b.Txt(8), b.PercentUnits(1));
    b.Row(dehum, b.Label("lblDehumCool", Words::tr("Max Cooling output")), b.Txt(9), b.PercentUnits(2));

    QGroupBox* rhDisplay = b.Frame("frmRhDisplay", Words::tr("Display relative humidity"));
    b.Row(rhDisplay, nullptr, b.Cb(9));

    QGroupBox* rhCalib = b.Frame("frmRhCalibration", Words::tr("RH sensor calibration"));
    b.Row(rhCalib, nullptr, b.Txt(10), b.PercentUnits(3));

    page->addWidget(dehum, 0, 0, 2, 1);
    page->addWidget(rhDisplay, 0, 1);
    page->addWidget(rhCalib, 1, 1);
    Builder::EndPage(page);
}

void BuildNetwork(Builder& b, QTabWidget* tabs)
{
    QGridLayout* page = Builder::Page(tabs, "tabNetwork", Words::tr("&Network"));

    QGroupBox* input = b.Frame("frmNetInput", Words::tr("Input"));
    b.Row(input, b.Label("lblInHeartbeat", Words::tr("Heartbeat")), b.Txt(41), b.TimeUnits(41, Words::tr("Sec")));

    QGroupBox* output = b.Frame("frmNetOutput", Words::tr("Output"));
    b.Row(output, b.Label("lblOutHeartbeat", Words::tr("Heartbeat")), b.Txt(39), b.TimeUnits(39, Words::tr("Sec")));
    b.Row(output, b.Label("lblThrottle", Words::tr("Trottle")), b.Txt(40), b.TimeUnits(40, Words::tr("Sec")));

    page->addWidget(input, 0, 0, Qt::AlignTop);
    page->addWidget(output, 0, 1);
    Builder::EndPage(page);
}

void BuildContact(Builder& b, QTabWidget* tabs)
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tabContact"));
    auto* layout = new QVBoxLayout(page);
    b.c.WebBrowser1 = new QTextBrowser;
    b.c.WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
    b.c.WebBrowser1->setAccessibleName(Words::tr("Contact"));
    layout->addWidget(b.c.WebBrowser1);
    tabs->addTab(page, Words::tr("C&ontact"));
}

// Model names and version texts are longer than the numbers of the other tabs.
const QString DescriptiveWidth = QStringLiteral("MMMMMMMMMMMM");

void BuildAbout(Builder& b, QTabWidget* tabs)
{
    QGridLayout* page = Builder::Page(tabs, "tabAbout", Words::tr("A&bout"));

    QGroupBox* thermostat = b.Frame("frmThermostat", Words::tr("Thermostat"));
    b.Row(thermostat, b.Label("lblThermostatModel", Words::tr("Model")),
          Spoken(b.Txt(11, DescriptiveWidth), Words::tr("Thermostat model")));
    b.Row(thermostat, b.Label("lblThermostatVersion", Words::tr("Version")),
          Spoken(b.Txt(12, DescriptiveWidth), Words::tr("Thermostat version")));

    QGroupBox* module = b.Frame("frmModule", Words::tr("Ostrane Module"));
    b.Row(module, b.Label("lblMajorVersion", Words::tr("Major Version")), b.Txt(13));
    b.Row(module, b.Label("lblMinorVersion", Words::tr("Minor Version")), b.Txt(15));

    // The plug-in itself: its bitmap and its version.
    auto* plugIn = new QWidget;
    plugIn->setObjectName(QStringLiteral("pnlPlugIn"));
    auto* plugInRow = new QHBoxLayout(plugIn);
    plugInRow->setContentsMargins(0, 0, 0, 0);
    b.c.Picture1 = b.Label("Picture1", QString());
    b.c.Picture1->setVisible(false);
    b.c.txtMajorVersion = b.Label("txtMajorVersion", QString());
    b.c.txtMinorVersion = b.Label("txtMinorVersion", QString());
    plugInRow->addWidget(b.c.Picture1, 0, Qt::AlignTop);
    plugInRow->addWidget(b.Label("lblPlugInVersion", Words::tr("Plug-in version")));
    auto* version = new QHBoxLayout;
    version->setSpacing(0);
    version->addWidget(b.c.txtMajorVersion);
    version->addWidget(b.Label("lblVersionDot", QStringLiteral(".")));
    version->addWidget(b.c.txtMinorVersion);
    plugInRow->addLayout(version);
    plugInRow->addStretch(1);

    page->addWidget(thermostat, 0, 0);
    page->addWidget(module, 0, 1);
    page->addWidget(plugIn, 1, 0, 1, 2);
    Builder::EndPage(page);
}

// A label that shows a device value outside the tabs, drawn as a sunken panel.
QLabel* PanelLabel(const char* name, const QString& caption)
{
    auto* label = new QLabel(caption);
    label->setObjectName(QLatin1String(name));
    label->setFrameShape(QFrame::StyledPanel);
    label->setFrameShadow(QFrame::Sunken);
    label->setMargin(2);
    return label;
}

QPushButton* Button(const char* name, const QString& caption)
{
    auto* button = new QPushButton(caption);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    return button;
}

}  // namespace

const std::map<int, int>& FMainControls::TempUnitsField()
{
    static const std::map<int, int> fields = {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 16}, {7, 6}};
    return fields;
}

device::WindowControls FMainControls::windowControls() const
{
    device::WindowControls w;
    w.txtNvi = txtNvi;
    w.cbNvi = cbNvi;
    w.lbModel = lbModel;
    w.lbHvacType = lbHvacType;
    w.tabData = tabData;
    w.cmdDebug = cmdDebug;
    w.txtDebug = txtDebug;
    w.frmControlType = frmControlType;
    w.frmAccTiming = frmAccTiming;
    w.lblCyclePerHour = lblCyclePerHour;
    w.frmActing = frmActing;
    w.lblAutoMode = lblAutoMode;
    w.frmFanMode = frmFanMode;
    w.frmSeqOperation = frmSeqOperation;
    return w;
}

FMainControls BuildFMainLayout(QMainWindow* window, qint16 units)
{
    static const bool namedLists = (InstallFieldListAccessibility(), true);
    Q_UNUSED(namedLists);
    FMainControls c;
    Builder b(c, units);

    auto* central = new QWidget;
    central->setObjectName(QStringLiteral("centralWidget"));
    auto* outer = new QVBoxLayout(central);

    // The device: its template on the left, model and HVAC type on the right.
    auto* deviceRow = new QHBoxLayout;
    c.lblDeviceTemplate = b.Label("lblDeviceTemplate", QString());
    c.lblDeviceTemplate->setTextInteractionFlags(Qt::TextSelectableByMouse);
    c.lbModel = PanelLabel("lbModel", Words::tr("Undefined model"));
    c.lbHvacType = PanelLabel("lbHvacType", QStringLiteral("HVT_UNKNOWN"));
    deviceRow->addWidget(c.lblDeviceTemplate, 1);
    deviceRow->addWidget(c.lbModel);
    deviceRow->addWidget(c.lbHvacType);
    outer->addLayout(deviceRow);

    auto* body = new QHBoxLayout;
    outer->addLayout(body, 1);

    c.tabData = new QTabWidget;
    c.tabData->setObjectName(QStringLiteral("tabData"));
    BuildHeatingCooling(b, c.tabData);
    BuildGeneral(b, c.tabData);
    BuildHardware(b, c.tabData);
    BuildRhOptions(b, c.tabData);
    BuildNetwork(b, c.tabData);
    BuildContact(b, c.tabData);
    BuildAbout(b, c.tabData);
    body->addWidget(c.tabData, 1);

    // The right-hand column: units, then the buttons.
    auto* side = new QVBoxLayout;
    body->addLayout(side);

    c.frmUnits = new QGroupBox(Words::tr("Plug-In Display Units"));
    c.frmUnits->setObjectName(QStringLiteral("frmUnits"));
    auto* unitsColumn = new QVBoxLayout(c.frmUnits);
    const char* const unitTags[] = {"#SI", "#US"};
    const QString unitCaptions[] = {Words::tr("&Metric"), Words::tr("&Imperial")};
    for (int index = 0; index < 2; ++index) {
        auto* option = new UnitOption(unitCaptions[index]);
        option->setObjectName(Indexed("obUnits", index));
        option->setProperty("Tag", QLatin1String(unitTags[index]));
        c.obUnits[index] = option;
        unitsColumn->addWidget(option);
    }
    c.obUnits[units == 0 ? 0 : 1]->setChecked(true);
    side->addWidget(c.frmUnits);

    c.cmdApply = Button("cmdApply", Words::tr("&Apply"));
    c.cmdCancel = Button("cmdCancel", Words::tr("&Cancel"));
    c.cmdRefresh = Button("cmdRefresh", Words::tr("&Refresh All"));
    c.cmdViewLog = Button("cmdViewLog", Words::tr("View &Log"));
    c.cmdHelp = Button("cmdHelp", Words::tr("Hel&p"));
    c.cmdExit = Button("cmdExit", Words::tr("&Exit"));
    c.cmdApply->setEnabled(false);
    c.cmdCancel->setEnabled(false);
    side->addSpacing(8);
    side->addWidget(c.cmdApply);
    side->addWidget(c.cmdCancel);
    side->addSpacing(8);
    side->addWidget(c.cmdRefresh);
    side->addWidget(c.cmdViewLog);
    side->addWidget(c.cmdHelp);
    side->addStretch(1);

    // Debug mode only: try the model options of any model code.
    c.txtDebug = new QLineEdit;
    c.txtDebug->setObjectName(QStringLiteral("txtDebug"));
    c.txtDebug->setAccessibleName(Words::tr("Model code to try"));
    c.cmdDebug = Button("cmdDebug", Words::tr("Debug"));
    c.txtDebug->setVisible(false);
    c.cmdDebug->setVisible(false);
    side->addWidget(c.txtDebug);
    side->addWidget(c.cmdDebug);
    side->addSpacing(8);
    side->addWidget(c.cmdExit);

    window->setCentralWidget(central);

    c.StatusBar = window->statusBar();
    c.StatusBar->setObjectName(QStringLiteral("StatusBar"));
    for (int panel = 1; panel <= 2; ++panel) {
        // A long path or state is shortened in the middle rather than cut, and shown whole as a tooltip.
        auto* label = new ElidedLabel;
        label->setObjectName(Indexed("StatusBarPanel", panel));
        c.StatusBar->addWidget(label, panel == 1 ? 1 : 2);
        c.StatusBarPanel[panel] = label;
    }

    // The value texts are shown as the device writes them; the descriptive fields cannot be edited.
    for (const int locked : {11, 12, 13, 15})
        c.txtNvi.at(locked)->setReadOnly(true);

    DescribeFields(c, units);
    return c;
}

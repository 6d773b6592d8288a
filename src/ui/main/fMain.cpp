// The window's own life: loading, settings, the configure commands, reading a device into the tabs,
// the buttons and ending. Kept as one file past 600 lines on purpose: these steps share the window's
// order of events (InitDevice's steps, the reads and the settle-before-next-device rule call each
// other), and editing, Apply and units already live in fMainEditing, fMainApply and fMainUnits.
#include "ui/main/fMain.h"
#include "device/Units.h"

#include "binding/CNvCtrlTable.h"
#include "binding/Collections.h"
#include "binding/Specific.h"
#include "device/CNvCpTable.h"
#include "framework/CRegistry.h"
#include "framework/Identity.h"
#include "framework/PlugInSettings.h"
#include "framework/StepRunner.h"
#include "platform/base/Numbers.h"
#include "platform/catalog/ResourceCatalog.h"
#include "platform/toolkit/Events.h"
#include "platform/toolkit/MessageBox.h"
#include "platform/toolkit/ProgramImages.h"
#include "platform/toolkit/WindowPlacement.h"
#include "registration/ResourceFiles.h"
#include "ui/log/fLog.h"
#include "ui/main/modBitmap.h"
#include "ui/main/modHtmlHelp.h"
#include "ui/progress/fProgress.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextBrowser>
#include <algorithm>

using framework::Go;
using framework::Step;
using framework::StepFailurePolicy;
using toolkit::Answer;
using toolkit::Buttons;
using toolkit::Icon;
using toolkit::MsgBox;

namespace {

const QString ModuleName = QStringLiteral("fMain ");

// Sets a text box's or combo box's text, or a label's caption.
void setControlText(QWidget* control, const QString& text)
{
    if (auto* box = qobject_cast<QLineEdit*>(control)) {
        box->setText(text);
    } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
        // A list-only combo box shows a text only when it is among its choices.
        combo->setCurrentIndex(combo->findText(text, Qt::MatchFixedString | Qt::MatchCaseSensitive));
    } else if (auto* label = qobject_cast<QLabel*>(control)) {
        label->setText(text);
    }
}

}  // namespace

fMain::fMain(framework::PlugInSession& session, std::function<qint16()> liveObjects, QWidget* parent)
    : QMainWindow(parent), m_session(session), m_liveObjects(std::move(liveObjects))
{
    setObjectName(QStringLiteral("fMain"));
    ui = BuildFMainLayout(this, m_session.DisplayUnits);
    connectControls();
    Form_Load();
}

fMain::~fMain()
{
    // The record names this window's fields; a later window must not inherit it.
    tables().EditedFields.clear();
}

// ---- Loading

QString fMain::ContactPageAddress()
{
    const QFileInfo exe(QCoreApplication::applicationFilePath());
    return QStringLiteral("res://") + exe.absolutePath() + QLatin1Char('\\') + exe.completeBaseName() +
           QStringLiteral(".exe") + QStringLiteral("/about.htm");
}

QUrl fMain::ResolveResAddress(const QString& address)
{
    if (!address.startsWith(QLatin1String("res://"), Qt::CaseInsensitive))
        return QUrl();
    QString rest = address.mid(6);
    rest.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const qsizetype slash = rest.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return QUrl();
    QString module = rest.left(slash);
    const QString resource = rest.mid(slash + 1);
    // The executable's name + ".exe" is the program itself.
    if (module.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive))
        module.chop(4);
    if (QFileInfo(module).absoluteFilePath() != QFileInfo(QCoreApplication::applicationFilePath()).absoluteFilePath())
        return QUrl();
    return QUrl(QStringLiteral("qrc:/res/") + resource);
}

void fMain::Form_Load()
{
    setWindowTitle(framework::PlugInName());
    // Its own size where the screen has room for it: adjustSize() would stop at two thirds of the
    // screen, and on a small screen that cuts the set-point band away.
    if (const QScreen* screen = this->screen())
        resize(sizeHint().boundedTo(screen->availableGeometry().size()).expandedTo(minimumSizeHint()));
    else
        adjustSize();
    // Centred, and whole on the screen even when larger than it (a large scale factor).
    toolkit::CentreOnScreen(this);

    const QUrl contact = ResolveResAddress(ContactPageAddress());
    // Named as HTML: guessing the page's type would read the whole MIME database first.
    if (!contact.isEmpty())
        ui.WebBrowser1->setSource(contact, QTextDocument::HtmlResource);

    const QImage bitmap = toolkit::ProgramImage(QStringLiteral(":/res/bitmap/301"), "bmp");
    if (!bitmap.isNull()) {
        // The colour of what the picture sits on: the tab page, not a button.
        const QImage recoloured =
            modBitmap::ReplaceColor(bitmap, modBitmap::DesignButtonFace, modBitmap::TabPageColor(ui.tabData));
        ui.Picture1->setPixmap(QPixmap::fromImage(recoloured));
        ui.Picture1->setVisible(true);
        // Small pictures sit lower, as on the design: 375 twips down unless that pushes them past
        // 1200 twips (in pixels at 15 twips each; the height in hundredths of a millimetre).
        const int himetric = bitmap.height() * 2540 / 96;
        ui.Picture1->setContentsMargins(0, himetric + 375 < 1200 ? 375 / 15 : 120 / 15, 0, 0);
    }

    setWindowIcon(toolkit::ProgramIcon(QStringLiteral(":/res/icon/WINDOW"), "png"));

    ui.txtMajorVersion->setText(QString::number(framework::BuildVersionMajor()));
    ui.txtMinorVersion->setText(QString::number(framework::BuildVersionMinor()));

    // The log opens beside this window, the progress window over it.
    fLog::Of(m_session).SetAnchorWindow(this);
    fProgress::SetAnchorWindow(m_session, this);

    HelpFile = modHtmlHelp::HelpFilePath();
    HelpContextID = 1004;

    GetDisplayUnits();
    GetDebug();
}

void fMain::connectControls()
{
    connect(ui.cmdExit, &QPushButton::clicked, this, [this] { StartAction(ui.cmdExit, [this] { cmdExit_Click(); }); });
    connect(ui.cmdViewLog, &QPushButton::clicked, this, &fMain::cmdViewLog_Click);
    connect(ui.cmdRefresh, &QPushButton::clicked, this,
            [this] { StartAction(ui.cmdRefresh, [this] { cmdRefresh_Click(); }); });
    connect(ui.cmdDebug, &QPushButton::clicked, this, &fMain::cmdDebug_Click);
    connect(ui.cmdHelp, &QPushButton::clicked, this, &fMain::cmdHelp_Click);
    connect(ui.tabData, &QTabWidget::tabBarClicked, this, &fMain::tabData_Click);
    connect(ui.tabData, &QTabWidget::currentChanged, this, &fMain::tabData_Click);
    connectEditing();
}

// ---- Settings

void fMain::GetDisplayUnits()
{
    m_session.DisplayUnits = framework::ReadDisplayUnitsSetting();
    if (auto it = ui.obUnits.find(m_session.DisplayUnits); it != ui.obUnits.end())
        it->second->setChecked(true);
    const QString symbol = device::UnitSymbol(m_session.DisplayUnits);
    for (auto& [index, label] : ui.txtTempUnits)
        label->setText(symbol);
    DescribeFields(ui, m_session.DisplayUnits);
    ShowSetpointBand();
}

void fMain::SetDisplayUnits()
{
    framework::WriteDisplayUnitsSetting(m_session.DisplayUnits);
}

void fMain::GetDebug()
{
    m_session.DebugMode = framework::ReadDebugSetting();
}

// ---- Colours

QColor fMain::NormalTextColor() const
{
    return QApplication::palette().color(QPalette::ButtonText);
}

QColor fMain::ForeColor(const QWidget* control)
{
    if (qobject_cast<const QComboBox*>(control))
        return control->palette().color(QPalette::ButtonText);
    return control->palette().color(QPalette::Text);
}

void fMain::SetEdited(QWidget* control, bool edited)
{
    if (edited) {
        tables().EditedFields.insert(control);
    } else {
        tables().EditedFields.erase(control);
        m_adjusted.erase(control);
    }
    SetForeColor(control, edited ? ModifiedColor() : NormalTextColor());
}

bool fMain::IsEdited(const QWidget* control) const
{
    return tables().EditedFields.count(control) > 0;
}

bool fMain::ChangedByUser(const QWidget* control) const
{
    if (!IsEdited(control))
        return false;
    const auto read = m_readTexts.find(control);
    return m_adjusted.count(control) || read == m_readTexts.end() || read->second != FieldText(control);
}

QString fMain::FieldText(const QWidget* control)
{
    if (const auto* box = qobject_cast<const QLineEdit*>(control))
        return box->text();
    if (const auto* combo = qobject_cast<const QComboBox*>(control))
        return combo->currentText();
    return QString();
}

void fMain::ShowDeviceValue(QWidget* control, const QString& text)
{
    setControlText(control, text);
    // A combo box shows nothing for a text not among its choices.
    m_readTexts[control] = FieldText(control);
    // A box that keeps the caret through a read would otherwise go back to the text of an earlier
    // read (another device's) when its next entry is refused.
    if (qobject_cast<QLineEdit*>(control))
        control->setProperty("Tag", text);
}

void fMain::ShowInField(const CNvCtrlTable& item)
{
    // A variable not read yet shows nothing, rather than whatever the control showed before (a combo
    // box's first entry, another device's value): see ShownValue.
    QWidget* control = item.TheControl.data();
    if (!(qobject_cast<QLineEdit*>(control) || qobject_cast<QComboBox*>(control)))
        return;
    const QString shown = item.ShownValue();
    // The user's change stays a change, even where the new value happens to show as its text.
    if (ChangedByUser(control))
        return;
    // Red only from a key that changed nothing: the new read replaces it, or a later Apply would
    // write the previous read's value over another writer's.
    SetEdited(control, false);
    ShowDeviceValue(control, shown);
}

std::vector<device::HeldVariable> fMain::HeldVariables(const QStringList& keys) const
{
    std::vector<device::HeldVariable> held;
    for (const auto& table : tables().NvTables)
        if (table->LastReadSucceeded() && (keys.isEmpty() || keys.contains(table->Key)))
            held.push_back(device::HeldOf(*table));
    return held;
}

void fMain::SetForeColor(QWidget* control, const QColor& color)
{
    QPalette p = control->palette();
    p.setColor(QPalette::Text, color);
    p.setColor(QPalette::ButtonText, color);
    control->setPalette(p);
}

// ---- Configure commands

void fMain::SettleEditsForDevice(const QString& device)
{
    const QString oldPath = m_shownPath;
    // The same device again keeps its edits, as Refresh All does.
    if (device == m_shownDevice)
        return;
    if (AnyFieldModified())
        LeaveFocusedBox(nullptr);
    // Shown over the next device's values, these edits would be written to a device nobody edited.
    if (AnyFieldModified() && MsgBox(QStringLiteral("There are changes that have not been applied to ") + oldPath +
                                         QStringLiteral(". Apply them to that device first?"),
                                     Buttons::YesNo, Icon::Question, framework::ApplicationTitle(), 0) == Answer::Yes) {
        // The tables still belong to the device the edits were made for.
        cmdApply_Click();
        for (const auto& table : tables().NvTables) {
            const bool unwritten =
                std::any_of(tables().DataItems.begin(), tables().DataItems.end(), [&](const auto& item) {
                    QWidget* control = item->TheControl.data();
                    return item->NvCpTable == table && control && IsEdited(control) &&
                           (qobject_cast<QLineEdit*>(control) || qobject_cast<QComboBox*>(control));
                });
            if (unwritten)
                fLog::Of(m_session).LogError(QStringLiteral("Changes to ") + table->Name +
                                             QStringLiteral(" discarded") + QStringLiteral("\r\n") +
                                             QStringLiteral("They could not be written to ") + oldPath);
        }
    }
    // Nothing of the last device stays pending.
    cmdCancel_Click();
}

void fMain::ProcessDeviceCommand(const lns::Ptr<lns::AppDevice>& device, const framework::PlugInCommandInfo& entry)
{
    const QString path = m_session.Link().CurrentObjectName;
    // A LonMark object's path ends in the object's name: the rest names its device.
    const QString shownDevice = m_session.Link().CurrentNetworkName + QLatin1Char('/') +
                                (entry.ObjectClassId == 28 ? path.section(QLatin1Char('/'), 0, -2) : path);
    SettleEditsForDevice(shownDevice);
    TheDevice = device;
    if (!registration::ResourceFilesPresent()) {
        if (MsgBox(QStringLiteral(
                       "The resource files required for this device are not present on this computer. Browsing and "
                       "data formating capabilities might be restricted to standard types and standard functional "
                       "profile templates. Do you want to continue?"),
                   Buttons::YesNo, Icon::Exclamation, framework::ApplicationTitle()) == Answer::No)
            return;
    } else if (!m_session.Link().RemoteAtRegistration) {
        if (!DrfLookUp() &&
            MsgBox(QStringLiteral("Unable to set the Mode for the LonMark Objects, do you want to proceed?"),
                   Buttons::YesNo, Icon::Exclamation, framework::ApplicationTitle()) == Answer::No)
            return;
    }
    if (SetDevTemplateLabel()) {
        // Only now do the window's values start to be this device's: a command that stopped before
        // left the last device's values, and edits of them are that device's.
        m_shownPath = path;
        m_shownDevice = shownDevice;
        InitDevice();
    }
}

void fMain::ProcessLonMarkObjectCommand(const lns::Ptr<lns::LonMarkObject>& object,
                                        const framework::PlugInCommandInfo& entry)
{
    TheLMObject = object;
    lns::Ptr<lns::AppDevice> device = TheDevice;
    try {
        device = object->LonMarkObjectCollection()->CollectionInterface()->InterfaceDevice();
    } catch (const com::ComError&) {
        // The device stays as it was; the checks still run.
    }
    ProcessDeviceCommand(device, entry);
}

// ---- Device initialisation and reading

const lns::Ptr<lns::AppDevice>& fMain::Device() const
{
    // A LonMark object whose device could not be reached leaves none; the step that needs it fails
    // with the runtime's own words and its procedure's box takes over.
    if (!TheDevice)
        throw com::ComError(91, QStringLiteral("fMain"),
                            QStringLiteral("Object variable or With block variable not set"));
    return TheDevice;
}

void fMain::unloadProgress()
{
    fProgress::Unload(m_session);
}

void fMain::setStatus(const QString& text)
{
    fProgress::Of(m_session).DisplayStatus(text);
}

bool fMain::SetDevTemplateLabel()
{
    QString name;
    const std::vector<Step> steps{
        Step::Do([&] { name = Device()->DeviceTemplate()->TemplateName(); }),
        Step::Do([&] {
            const qsizetype bracket = name.indexOf(QLatin1Char('['));
            if (bracket >= 0)
                name = name.left(bracket);
        }),
        Step::Do([&] {
            ui.lblDeviceTemplate->setText(framework::Identity().ManufacturerName + QStringLiteral(" [") + name +
                                          QStringLiteral(" (") + Device()->DeviceProgramId() + QStringLiteral(")]"));
        }),
    };
    return framework::RunSteps(
        steps, StepFailurePolicy{ModuleName + QStringLiteral("SetDevTemplateLabel"), Icon::Critical,
                                 [this](const com::ComError&) { unloadProgress(); }, [this] { unloadProgress(); }});
}

bool fMain::InitDevice()
{
    QString stateText;
    DeviceOnline = false;
    qint32 stateCode = 0;
    qint32 testResult = 0;
    // The steps that the branches of the device state go on with.
    const QString ReadMode = QStringLiteral("ReadMode"), Commissioned = QStringLiteral("Commissioned"),
                  Test = QStringLiteral("Test"), State = QStringLiteral("State"),
                  ShowState = QStringLiteral("ShowState");
    const std::vector<Step> steps{
        Step::Do([&] { m_Nvs = Device()->DeviceInterface()->InterfaceNetworkVariables(); }),
        Step::Do([&] {
            Specific::BuildNvTables(m_session, m_Nvs);
            Specific::BuildDataItems(m_session, ui.windowControls());
            // Nothing is read yet: a read that is abandoned must not leave the last device's values
            // on show as this one's.
            for (const auto& item : tables().DataItems)
                ShowInField(*item);
        }),
        Step::Do([&] { ui.StatusBarPanel[2]->setText(m_session.Link().CurrentObjectName); }),
        Step{[&] {
                 if (m_session.Link().CurrentSystem->SystemNetworkMode() != 1)
                     return Go::To(Commissioned);
                 stateText = QStringLiteral("Offnet");
                 return Go::To(ShowState);
             },
             [&](const com::ComError& e) {
                 stateText = e.description();
                 // The branch the failed test guards: off-net.
                 stateText = QStringLiteral("Offnet");
                 return Go::To(ShowState);
             },
             ReadMode},
        Step{[&] {
                 if (Device()->DeviceCommissioned())
                     return Go::To(Test);
                 stateText = QStringLiteral("Not Commissioned yet");
                 return Go::To(ShowState);
             },
             [&](const com::ComError& e) {
                 stateText = e.description();
                 return Go::To(Test);
             },
             Commissioned},
        Step{[&] {
                 setStatus(QStringLiteral("Testing the device..."));
                 testResult = Device()->TestDevice();
                 if (testResult == 0)
                     return Go::To(State);
                 stateText = QStringLiteral("?");
                 return Go::To(ShowState);
             },
             [&](const com::ComError&) {
                 stateText = QStringLiteral("?");
                 return Go::To(ShowState);
             },
             Test},
        Step{[&] {
                 setStatus(QStringLiteral("Reading the device state..."));
                 stateCode = Device()->DeviceState();
                 if (stateText.isEmpty()) {
                     switch (stateCode) {
                     case 2: stateText = QStringLiteral("Unconfigured"); break;
                     case 3: stateText = QStringLiteral("App'less"); break;
                     case 4:
                         stateText = QStringLiteral("Cnfg Online");
                         DeviceOnline = true;
                         break;
                     case 6: stateText = QStringLiteral("Cnfg Offline"); break;
                     case 12: stateText = QStringLiteral("Soft Offline"); break;
                     case 140: stateText = QStringLiteral("Cnfg Bypass"); break;
                     default: stateText = QStringLiteral("?"); break;
                     }
                 }
                 return Go::To(ShowState);
             },
             [&](const com::ComError& e) {
                 stateText = e.description();
                 return Go::To(ShowState);
             },
             State},
        Step::Do(ShowState, [&] { ui.StatusBarPanel[1]->setText(stateText); }),
        Step{[&] { return InitNvTable() ? Step::Next : Step::Finish; }, {}, {}},
        Step{[&] { return ReadInitValues() ? Step::Next : Step::Finish; }, {}, {}},
        Step::Do([&] { ShowValues(); }),
    };
    bool completedAll = false;
    std::vector<Step> all = steps;
    // Ignore anywhere else: the failure's description becomes the state text, and on to the next step.
    for (Step& step : all)
        if (!step.ignore)
            step.ignore = [&](const com::ComError& e) {
                stateText = e.description();
                return Step::Next;
            };
    all.push_back(Step::Do([&] { completedAll = true; }));
    const bool ran = framework::RunSteps(
        all, StepFailurePolicy{ModuleName + QStringLiteral("InitDevice"), Icon::Critical,
                               [this](const com::ComError&) { unloadProgress(); }, [this] { unloadProgress(); }});
    unloadProgress();
    return ran && completedAll;
}

bool fMain::InitNvTable()
{
    toolkit::SetMousePointer(toolkit::MousePointer::Hourglass);
    std::vector<Step> steps;
    for (const auto& item : tables().DataItems)
        steps.push_back(Step::Do([item] { item->Initialize(); }));
    const bool ok = framework::RunSteps(
        steps, StepFailurePolicy{ModuleName + QStringLiteral("InitNvTable"), Icon::Critical, {}, {}});
    toolkit::SetMousePointer(toolkit::MousePointer::Default);
    return ok;
}

bool fMain::ReadInitValues()
{
    toolkit::SetMousePointer(toolkit::MousePointer::Hourglass);
    std::vector<Step> steps;
    for (const auto& table : tables().NvTables) {
        steps.push_back(Step::Do([table] { table->GetNetworkValue(); }));
        // The row is logged even after an ignored failure, with whatever the object holds.
        steps.push_back(Step::Do([this, table] {
            fLog::Of(m_session).LogCommand(QStringLiteral("Reading ") + table->Name,
                                           table->NvAsArray ? table->NvAsString() : QString());
        }));
    }
    const bool ok = framework::RunSteps(
        steps, StepFailurePolicy{ModuleName + QStringLiteral("ReadInitValues"), Icon::Critical,
                                 [this](const com::ComError& e) { fLog::Of(m_session).LogError(e.description()); },
                                 [this] {
                                     toolkit::SetMousePointer(toolkit::MousePointer::Default);
                                     unloadProgress();
                                 }});
    if (!ok)
        return false;
    toolkit::SetMousePointer(toolkit::MousePointer::Default);
    unloadProgress();
    return true;
}

void fMain::ShowValues()
{
    for (const auto& item : tables().DataItems) {
        QWidget* control = item->TheControl.data();
        if (!control) {
            const auto code = numbers::ToInt16(numbers::Val(item->Value()));
            if (!numbers::IsNumeric(item->Value()) || !code)
                throw com::ComError(
                    13, QStringLiteral("ShowValues"),
                    QStringLiteral("Type mismatch: the model code '%1' is not a number").arg(item->Value()));
            ModelCode = *code;
        } else if (qobject_cast<QLineEdit*>(control) || qobject_cast<QComboBox*>(control)) {
            ShowInField(*item);
        } else if (qobject_cast<QLabel*>(control)) {
            setControlText(control, item->Value());
        }
    }
    Specific::ApplyModelOptions(m_session, ModelCode, ui.windowControls());
}

bool fMain::DrfLookUp()
{
    QString programId;
    lns::Ptr<lns::LonMarkObjects> objects;
    catalog::ResourceCatalog catalog;
    catalog::FileSets fileSets;
    catalog::FunctionalProfiles profiles;
    qint32 handle = 0;
    bool catalogOpen = false;
    bool failed = false;

    const auto closeCatalog = [&] {
        if (catalogOpen) {
            catalogOpen = false;
            if (catalog.CatalogClose(handle) != catalog::ResultOk)
                MsgBox(QStringLiteral("Error closing the catalog"), Buttons::Ok, Icon::Critical,
                       framework::ApplicationTitle());
        }
    };

    const StepFailurePolicy policy{ModuleName + QStringLiteral("DrfLookUp"), Icon::Critical, {}, {}};
    const std::vector<Step> opening{
        Step::Do([&] { setStatus(QStringLiteral("Complete DRF look-up in progress...")); }),
        Step::Do([&] {
            programId = Device()->DeviceProgramId();
            objects = Device()->DeviceInterface()->InterfaceLonMarkObjects();
        }),
        Step{[&] {
                 const QString path = registration::LonWorksPath();
                 if (catalog.CatalogOpen(path + QStringLiteral("\\Types"), 1, handle) != catalog::ResultOk) {
                     failed = true;
                     return Step::Finish;
                 }
                 catalogOpen = true;
                 return Step::Next;
             },
             {},
             {}},
    };
    bool ran = framework::RunSteps(opening, policy);
    if (ran && !failed) {
        // One step per LonMark object: Ignore goes on with the next object.
        std::vector<Step> lookUps;
        qint32 count = 0;
        bool fileSetUnopenable = false;
        // Ignore after a listed file set that cannot be opened has nothing to skip to: the modes it
        // describes cannot be known, so the look-up ends in failure and the caller asks about it.
        const auto ignoreUnopenable = [&](const com::ComError&) {
            if (!fileSetUnopenable)
                return Step::Next;
            failed = true;
            return Step::Finish;
        };
        ran = framework::RunSteps({Step::Do([&] { count = objects ? objects->LonMarkObjectsCount() : 0; })}, policy);
        for (qint32 i = 1; ran && i <= count; ++i) {
            lookUps.push_back(Step::Do([&, i] {
                fileSetUnopenable = false;
                const lns::Ptr<lns::LonMarkObject> object = objects->LonMarkObjectsItem(i);
                const qint16 key = object->LonMarkObjectProfileKey();
                for (qint16 scope = 6; scope >= 3; --scope) {
                    QString fileName;
                    qint32 value1 = 0, value2 = 0;
                    if (catalog.CatalogFindFileSet(handle, programId, scope, 4, 0, fileName, value1, value2) !=
                        catalog::ResultOk)
                        continue;
                    qint32 fileSet = 0;
                    if (fileSets.FileSetOpen(fileName, 4, value1, 0, fileSet) != catalog::ResultOk) {
                        fileSets.FileSetClose(fileSet);
                        // A listed file set that cannot be opened: the failure box, with nothing to describe.
                        fileSetUnopenable = true;
                        throw com::ComError(0, QStringLiteral("DrfLookUp"), QString());
                    }
                    const bool found = profiles.FileSetFindProfile(fileSets, fileSet, key) == catalog::ResultOk;
                    if (found) {
                        object->SetLonMarkObjectMode(scope);
                        setStatus(QStringLiteral("Set ") + object->LonMarkObjectDisplayName() +
                                  QStringLiteral(" mode = ") + QString::number(scope));
                    }
                    fileSets.FileSetClose(fileSet);
                    if (found)
                        break;
                }
            }));
            lookUps.back().ignore = ignoreUnopenable;
        }
        if (ran)
            ran = framework::RunSteps(lookUps, policy);
    }
    if (!ran || failed) {
        closeCatalog();
        unloadProgress();
        return false;
    }
    closeCatalog();
    return true;
}

// ---- Buttons

void fMain::cmdExit_Click()
{
    ExitConfirmation();
}

void fMain::cmdViewLog_Click()
{
    fLog::Of(m_session).show();
}

void fMain::cmdRefresh_Click()
{
    ReadInitValues();
    ShowValues();
}

void fMain::DeviceWrittenElsewhere(const QString& network, const QString& devicePath)
{
    if (!isVisible() || m_shownDevice.isEmpty())
        return;
    // Both named as the configure command finds a device: the network, then the last two components
    // (subsystem and device), labels stripped.
    const auto named = [](const QString& path) {
        framework::ConnectionState parsed;
        const qsizetype count = framework::ParseObjectPath(parsed, path);
        return std::make_pair(framework::PathComponent(parsed, count - 1, true),
                              framework::PathComponent(parsed, count, true));
    };
    if (m_shownDevice.section(QLatin1Char('/'), 0, 0) != network || named(m_shownDevice) != named(devicePath))
        return;
    guarded([this] { cmdRefresh_Click(); });
}

void fMain::cmdDebug_Click()
{
    const auto code = numbers::ToInt16(numbers::Val(ui.txtDebug->text()));
    Specific::ApplyModelOptions(m_session, code.value_or(0), ui.windowControls());
}

void fMain::cmdHelp_Click()
{
    modHtmlHelp::ShowContext(this, HelpFile, HelpContextID);
}

void fMain::tabData_Click(int tab)
{
    HelpContextID = modHtmlHelp::TabHelpContext(tab);
}

// ---- Window life

void fMain::ExitConfirmation()
{
    if (m_liveObjects() >= 1) {
        if (MsgBox(QStringLiteral("Are you sure that you want to exit?"), Buttons::YesNo, Icon::None,
                   framework::PlugInName(), 1) != Answer::Yes)
            return;
        SetDisplayUnits();
    }
    EndPlugIn();
}

void fMain::closeEvent(QCloseEvent* event)
{
    if (m_ending) {
        event->accept();
        return;
    }
    // The title bar's close asks first while a director holds the plug-in.
    if (event->spontaneous() && m_liveObjects() >= 1) {
        event->ignore();
        StartAction(ui.cmdExit, [this] { ExitConfirmation(); });
        return;
    }
    event->accept();
    EndPlugIn();
}

void fMain::EndPlugIn()
{
    m_ending = true;
    hide();
    TheLMObject.reset();
    TheDevice.reset();
    m_Nvs.reset();
    // Ending must not fail: the connection ignores every failure while closing.
    framework::CloseConnection(m_session.Link());
    m_session.Link().ObjectServerOpen = false;
    m_session.Link().NetworkOpen = false;
    toolkit::EndProgram(0);
}

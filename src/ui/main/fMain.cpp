// The window's own life: loading, settings, the configure commands, showing values in the tabs, the
// buttons and ending. Reading a device is in fMainDevice, editing in fMainEditing, Apply in
// fMainApply, units in fMainUnits.
#include "ui/main/fMain.h"
#include "device/Units.h"

#include "binding/CNvCtrlTable.h"
#include "framework/PlugInSettings.h"
#include "framework/StepRunner.h"
#include "platform/base/Numbers.h"
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
        combo->setCurrentIndex(combo->findData(text, Qt::UserRole, Qt::MatchFixedString | Qt::MatchCaseSensitive));
    } else if (auto* label = qobject_cast<QLabel*>(control)) {
        label->setText(text);
    }
}

}  // namespace

fMain::fMain(framework::PlugInSession& session, std::function<qint16()> liveObjects, QWidget* parent)
    : QMainWindow(parent), m_session(session), m_liveObjects(std::move(liveObjects))
{
    setObjectName(QStringLiteral("fMain"));
    m_session.ObjectServer().SetChangeOrigin(QStringLiteral("KR5M-HU window"));
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
        return combo->currentData().toString();
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
    if (AnyFieldModified() &&
        MsgBox(tr("There are changes that have not been applied to %1. Apply them to that device first?").arg(oldPath),
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
        if (MsgBox(tr("The resource files required for this device are not present on this computer. Browsing and "
                      "data formating capabilities might be restricted to standard types and standard functional "
                      "profile templates. Do you want to continue?"),
                   Buttons::YesNo, Icon::Exclamation, framework::ApplicationTitle()) == Answer::No)
            return;
    } else if (!m_session.Link().RemoteAtRegistration) {
        if (!DrfLookUp() && MsgBox(tr("Unable to set the Mode for the LonMark Objects, do you want to proceed?"),
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

void fMain::ShowValues()
{
    for (const auto& item : tables().DataItems) {
        QWidget* control = item->TheControl.data();
        if (!control) {
            const auto code = numbers::ToInt16(numbers::Val(item->Value()));
            if (!numbers::IsNumeric(item->Value()) || !code)
                throw com::ComError(
                    13, QStringLiteral("ShowValues"),
                    Sentence("Runtime",
                             QT_TRANSLATE_NOOP("Runtime", "Type mismatch: the model code '%1' is not a number"),
                             {item->Value()}));
            ModelCode = *code;
        } else if (qobject_cast<QLineEdit*>(control) || qobject_cast<QComboBox*>(control)) {
            ShowInField(*item);
        } else if (qobject_cast<QLabel*>(control)) {
            setControlText(control, item->Value());
        }
    }
    Specific::ApplyModelOptions(m_session, ModelCode, ui.windowControls());
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
        if (MsgBox(tr("Are you sure that you want to exit?"), Buttons::YesNo, Icon::None, framework::PlugInName(), 1) !=
            Answer::Yes)
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

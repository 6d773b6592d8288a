#pragma once
// The configuration window: one per session, created hidden by the first plug-in object. It works
// through the session's object server (lcaOS) and connection, receives the configure commands, reads
// the device into its tabs, and ends the process when it closes.
#include "binding/Collections.h"
#include "device/WritePlan.h"
#include "framework/Connection.h"
#include "framework/PlugInSession.h"
#include "platform/objectserver/ObjectServer.h"
#include "ui/main/fMainLayout.h"

#include <QColor>
#include <QMainWindow>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

class CNvCtrlTable;

class fMain : public QMainWindow, public framework::WindowDispatch {
    Q_OBJECT
public:
    enum class BorderStyle { None, FixedSingle, Sizable, FixedDialog, FixedToolWindow, SizableToolWindow };

    // liveObjects: how many plug-in objects are alive (the window asks before closing while any are).
    fMain(framework::PlugInSession& session, std::function<qint16()> liveObjects, QWidget* parent = nullptr);
    ~fMain() override;

    framework::PlugInSession& session() const { return m_session; }
    // The object server control of the window.
    lns::ObjectServer& lcaOS() { return m_session.ObjectServer(); }
    BorderStyle borderStyle() const { return m_borderStyle; }
    const FMainControls& controls() const { return ui; }

    // ---- Configure commands
    void ProcessDeviceCommand(const lns::Ptr<lns::AppDevice>& device,
                              const framework::PlugInCommandInfo& entry) override;
    void ProcessLonMarkObjectCommand(const lns::Ptr<lns::LonMarkObject>& object,
                                     const framework::PlugInCommandInfo& entry) override;

    // ---- Device initialisation and reading
    bool SetDevTemplateLabel();
    bool InitDevice();
    bool InitNvTable();
    bool ReadInitValues();
    void ShowValues();
    bool DrfLookUp();

    // ---- Settings
    void GetDisplayUnits();
    void SetDisplayUnits();
    void GetDebug();

    // ---- Buttons and window life
    void cmdExit_Click();
    void cmdViewLog_Click();
    void cmdRefresh_Click();
    // Something other than the window (a profile) wrote the device at devicePath (NETWORK/SYSTEM/
    // SUBSYSTEM/DEVICE) of the network: when the window is visible and shows that device, it reads it
    // again as Refresh All does; fields holding an edit keep their text.
    void DeviceWrittenElsewhere(const QString& network, const QString& devicePath);
    void cmdDebug_Click();
    void cmdHelp_Click();
    void tabData_Click(int tab);
    // Asks before ending while a plug-in object exists; saves the units on Yes.
    void ExitConfirmation();
    // Hides the window, releases the configured objects, closes the connection (ignoring failures)
    // and ends the process at once.
    void EndPlugIn();

    // ---- Field colours: the record of which fields hold an edit not yet applied.
    static QColor ModifiedColor() { return QColor(255, 0, 0); }
    QColor NormalTextColor() const;
    static QColor ForeColor(const QWidget* control);
    static void SetForeColor(QWidget* control, const QColor& color);
    // Records whether a field holds an unapplied edit and paints it accordingly.
    void SetEdited(QWidget* control, bool edited);
    bool IsEdited(const QWidget* control) const;
    // True when a red field holds a change of the user's: its text is no longer the one the window
    // showed for the device's value, or a set-point rule put it there. A key that changed nothing
    // turns a field red without making it a change.
    bool ChangedByUser(const QWidget* control) const;

    lns::Ptr<lns::AppDevice> TheDevice;
    lns::Ptr<lns::LonMarkObject> TheLMObject;
    lns::Ptr<lns::NetworkVariables> m_Nvs;
    bool DeviceOnline = false;
    int HelpContextID = 0;
    QString HelpFile;
    qint16 ModelCode = 0;
    // True from the first edit gesture until Apply or Cancel.
    bool ChangesPending = false;

    // "res://<module>/<resource>" of the program's own executable as a resource URL; empty for any
    // other module.
    static QUrl ResolveResAddress(const QString& address);
    // The address of the "C&ontact" page, as the program composes it.
    static QString ContactPageAddress();

    // ==== Editing, Apply / Cancel and display units (fMainEditing.cpp, fMainApply.cpp, fMainUnits.cpp)

    // Field editing. Each handler takes the control's index in its array; key codes are the
    // platform-neutral ones (13 Enter, 33 Page Up, 34 Page Down), Shift the bits 1 Shift, 2 Ctrl,
    // 4 Alt. Locked (read-only) text boxes are ignored by every text-box handler.
    void txtNvi_GotFocus(int Index);
    // KeyAscii is set to 0 when the character is discarded.
    void txtNvi_KeyPress(int Index, int& KeyAscii);
    void txtNvi_KeyDown(int Index, int KeyCode, int Shift);
    void txtNvi_Validate(int Index, bool& Cancel);
    void txtNvi_LostFocus(int Index);
    // A change that typed no character (Delete, cut, paste, drop, undo).
    void txtNvi_Change(int Index);
    void cbNvi_KeyPress(int Index, int& KeyAscii);
    void cbNvi_KeyDown(int Index, int KeyCode, int Shift);
    void cbNvi_DropDown(int Index);

    // The step of Page Up / Page Down for a modifier state.
    static double PageStep(int Shift);

    // Apply, Cancel and the write pass.
    void cmdApply_Click();
    void cmdCancel_Click();
    bool PropagateChanges();

    // Display units.
    void obUnits_Click(int Index);

    // Goes step tabs on (-1: back), past disabled ones and round, as Ctrl+Tab does in a tab control.
    void NextTab(int step);

    // Redraws the set-point band from the texts of its fields, in the display units.
    void ShowSetpointBand();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load();
    void connectControls();
    void unloadProgress();
    // The configured device; a failure (91) when there is none.
    const lns::Ptr<lns::AppDevice>& Device() const;
    void setStatus(const QString& text);

    // ---- Editing (fMainEditing.cpp)
    // Wires the field controls, the Apply / Cancel buttons and the unit options to their handlers.
    void connectEditing();
    bool isLocked(int Index) const;
    // The data item a text box shows; none before a device was configured.
    const CNvCtrlTable* itemOfBox(int Index) const;
    // True when the text is an entry the box can take: a number its item accepts.
    bool isValidEntry(int Index, const QString& text) const;
    // An edit gesture: the control turns modified, Apply and Cancel become available.
    void MarkModified(QWidget* control);
    // Runs an event handler; a failure ends it and is reported instead of leaving the event loop.
    void guarded(const std::function<void()>& handler);
    // Runs an action the user started (Apply, Cancel, Refresh All, a unit change, Exit), however it was
    // started (mouse, access key, Enter in a list, any other key): the focused text box is first left as
    // a click on origin leaves it, and the action runs on what its leaving handlers left.
    void StartAction(QWidget* origin, const std::function<void()>& action);
    // Leaves the focused text box, if any: the focus goes to next (none: off the text boxes), and the
    // box's validation, then its cross-field rules, run as on any leaving.
    void LeaveFocusedBox(QWidget* next);
    // What leaving a text box runs: its validation, then its cross-field rules.
    void LeaveTextBox(int Index);
    // True while a text box or combo box holds an edit not yet applied.
    bool AnyFieldModified() const;
    // Before a configure command puts another device in the window: its edits not yet applied are
    // written to the device they were made for or dropped, as the user answers; either way the next
    // device is shown clean. The same device (another of its objects included) keeps them.
    void SettleEditsForDevice(const QString& device);
    bool textBoxEvent(int Index, QEvent* event);
    bool comboBoxEvent(int Index, QEvent* event);
    // Takes one changed field as an edit for the plan, range-checked (fMainApply.cpp).
    void CollectEdit(const CNvCtrlTable& item);
    // Makes the plan of the collected edits and checks it; false (said in a box and the log) when it
    // breaks a rule, and then nothing is written.
    bool PlanEdits();
    // Fields the current Apply refused to store (typed in units their variable was not read in).
    std::set<const CNvCtrlTable*> m_refusedStores;
    // The current Apply's edits, and the plan made of them.
    std::vector<device::Edit> m_edits;
    std::optional<device::Plan> m_plan;
    // Another writer changed the device since the read (Apply, fMainApply.cpp): asks whether to
    // overwrite the fields both changed or keep the device's; none: write nothing more.
    std::optional<device::OnConflict> AskOnConflict(const device::WriteConflict& conflict);
    // The current Apply's variables merged onto another writer's change, and the items whose device
    // value the user chose to keep: their fields show the device afterwards.
    std::set<QString> m_merged;
    std::set<QString> m_keptDevice;

    // The text a text box or combo box shows.
    static QString FieldText(const QWidget* control);
    // Puts the device's value, as the field shows it, into a field: its text, the text to go back to
    // on a refused entry, and the text that tells a change from a key that changed nothing.
    void ShowDeviceValue(QWidget* control, const QString& text);
    // An item's value into its field after a read: a field holding a change keeps it; one that only
    // turned red shows the new read.
    void ShowInField(const CNvCtrlTable& item);
    // The variables (of keys, all when empty) whose last read went through, as the device held them.
    std::vector<device::HeldVariable> HeldVariables(const QStringList& keys = {}) const;
    // The values the set-point rules and the band judge, by item name: the text of a field the user
    // changed, the device's own value (not the rounded text shown) for any other.
    std::map<QString, QString> RuleValues() const;
    // What each field showed for the device's value (the last read, or the last write of it).
    std::map<const QWidget*, QString> m_readTexts;
    // Fields a set-point rule wrote into since they were last clean.
    std::set<const QWidget*> m_adjusted;

    std::map<const QObject*, int> m_txtIndex;
    std::map<const QObject*, int> m_cbIndex;
    std::map<const QObject*, int> m_cbPopupIndex;
    // The text box that received the focus last and has not lost it yet: only its leaving is
    // validated (a box that is passed over while a rule moves the focus never really had it).
    int m_focusedBox = -1;
    // True while the cross-field rules move the focus: those moves run no leaving handlers.
    bool m_inRules = false;
    // The combo box in which a modifier key went down with no other key since; -1 for none.
    int m_modifierAlone = -1;
    // The object path of the device whose values the window holds, and the device it names (network
    // and device part of the path): kept here because the next command replaces the connection's.
    QString m_shownPath;
    QString m_shownDevice;

    device::DeviceTables& tables() const { return device::Tables(m_session); }

    framework::PlugInSession& m_session;
    std::function<qint16()> m_liveObjects;
    FMainControls ui;
    BorderStyle m_borderStyle = BorderStyle::Sizable;
    bool m_ending = false;
};

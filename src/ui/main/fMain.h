#pragma once
// The configuration window: one per process, created hidden by the first plug-in object. It owns the
// object server (lcaOS) that the connection works through, receives the configure commands, reads the
// device into its tabs, and ends the process when it closes.
#include "framework/Connection.h"
#include "platform/objectserver/ObjectServer.h"
#include "ui/main/fMainLayout.h"

#include <QColor>
#include <QMainWindow>
#include <memory>

class fMain : public QMainWindow, public framework::WindowDispatch {
    Q_OBJECT
public:
    enum class BorderStyle { None, FixedSingle, Sizable, FixedDialog, FixedToolWindow, SizableToolWindow };

    explicit fMain(QWidget* parent = nullptr);
    ~fMain() override;

    // The object server control of the window.
    lns::ObjectServer& lcaOS() { return *m_lcaOS; }
    BorderStyle borderStyle() const { return m_borderStyle; }
    const FMainControls& controls() const { return ui; }

    // ---- Configure commands
    void ProcessDeviceCommand(const lns::Ptr<lns::AppDevice>& device, const framework::PlugInCommandInfo& entry) override;
    void ProcessLonMarkObjectCommand(const lns::Ptr<lns::LonMarkObject>& object,
                                     const framework::PlugInCommandInfo& entry) override;

    // ---- Device initialisation and reading
    bool SetDevTemplateLabel();
    bool InitDevice();
    bool SetNvControlsEnabled(bool enabled);
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

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Load();
    void connectControls();
    void unloadProgress();
    void setStatus(const QString& text);

    std::unique_ptr<lns::ObjectServer> m_lcaOS;
    FMainControls ui;
    BorderStyle m_borderStyle = BorderStyle::Sizable;
    bool m_ending = false;
};

#pragma once
// The configuration window: one per process, created hidden by the first plug-in object. It owns the
// object server (lcaOS) that the connection works through, and ends the process when it closes.
#include "framework/Connection.h"
#include "platform/objectserver/ObjectServer.h"

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

    // The configure command's two entry points (object class 7 and 28).
    void ProcessDeviceCommand(const lns::Ptr<lns::AppDevice>& device, const framework::PlugInCommandInfo& entry) override;
    void ProcessLonMarkObjectCommand(const lns::Ptr<lns::LonMarkObject>& object,
                                     const framework::PlugInCommandInfo& entry) override;

    lns::Ptr<lns::AppDevice> TheDevice;
    lns::Ptr<lns::LonMarkObject> TheLMObject;

    // Hides the window, releases the configured objects, closes the connection (ignoring failures)
    // and ends the process at once.
    void EndPlugIn();

private:
    std::unique_ptr<lns::ObjectServer> m_lcaOS;
    BorderStyle m_borderStyle = BorderStyle::Sizable;
};

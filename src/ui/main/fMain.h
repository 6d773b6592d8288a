#pragma once
// The configuration window: one per process, created hidden by the first plug-in object. It owns the
// object server (lcaOS) that the connection works through, and ends the process when it closes.
#include "platform/objectserver/ObjectServer.h"

#include <QMainWindow>
#include <memory>

class fMain : public QMainWindow {
    Q_OBJECT
public:
    enum class BorderStyle { None, FixedSingle, Sizable, FixedDialog, FixedToolWindow, SizableToolWindow };

    explicit fMain(QWidget* parent = nullptr);
    ~fMain() override;

    // The object server control of the window.
    lns::ObjectServer& lcaOS() { return *m_lcaOS; }
    BorderStyle borderStyle() const { return m_borderStyle; }

    // Hides the window, releases the configured objects, closes the connection (ignoring failures)
    // and ends the process at once.
    void EndPlugIn();

private:
    std::unique_ptr<lns::ObjectServer> m_lcaOS;
    BorderStyle m_borderStyle = BorderStyle::Sizable;
};

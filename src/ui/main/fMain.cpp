#include "ui/main/fMain.h"

#include "framework/Identity.h"
#include "platform/objectserver/ObjectServerFactory.h"
#include "platform/toolkit/Events.h"

fMain::fMain(QWidget* parent) : QMainWindow(parent), m_lcaOS(lns::CreateObjectServer())
{
    setObjectName(QStringLiteral("fMain"));
    setWindowTitle(framework::PlugInName());
}

fMain::~fMain() = default;

void fMain::ProcessDeviceCommand(const lns::Ptr<lns::AppDevice>& device, const framework::PlugInCommandInfo&)
{
    TheDevice = device;
}

void fMain::ProcessLonMarkObjectCommand(const lns::Ptr<lns::LonMarkObject>& object, const framework::PlugInCommandInfo&)
{
    TheLMObject = object;
    try {
        TheDevice = object->LonMarkObjectCollection()->CollectionInterface()->InterfaceDevice();
    } catch (const com::ComError&) {
        // The device stays as it was; the checks still run.
    }
}

void fMain::EndPlugIn()
{
    hide();
    TheLMObject.reset();
    TheDevice.reset();
    // Ending must not fail: the connection ignores every failure while closing.
    framework::CloseConnection();
    framework::Connection().ObjectServerOpen = false;
    framework::Connection().NetworkOpen = false;
    toolkit::EndProgram(0);
}

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

void fMain::EndPlugIn()
{
    hide();
    try {
        if (m_lcaOS && m_lcaOS->ObjectServerIsOpen())
            m_lcaOS->CloseObjectServer();
    } catch (const com::ComError&) {
        // Ending must not fail.
    }
    toolkit::EndProgram(0);
}

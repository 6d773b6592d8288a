#include "framework/PlugInSession.h"

#include "platform/objectserver/ObjectServerFactory.h"
#include "platform/registry/LonWorksInstallation.h"

namespace framework {

PlugInSession::PlugInSession(std::unique_ptr<lns::ObjectServer> server)
    : m_objectServer(server ? std::move(server) : lns::CreateObjectServer())
{
    m_connection.objectServer = m_objectServer.get();
}

const QString& PlugInSession::LonWorksPath()
{
    if (!m_lonWorksPath)
        m_lonWorksPath = registry::LonWorksPath();
    return *m_lonWorksPath;
}

PlugInSession::~PlugInSession()
{
    // The windows among the parts may still use what was made before them.
    while (!m_parts.empty())
        m_parts.pop_back();
}

}  // namespace framework

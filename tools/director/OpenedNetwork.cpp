#include "OpenedNetwork.h"

#include "platform/base/ComError.h"
#include "platform/objectserver/ObjectServerFactory.h"

namespace director {

OpenedNetwork::OpenedNetwork(const QString& networkName, const QString& program, const QString& batch)
    : m_name(networkName), m_server(lns::CreateObjectServer())
{
    m_server->SetChangeOrigin(program, batch);
    try {
        m_server->OpenObjectServer();
        m_network = m_server->Networks()->Item(networkName);
        m_network->OpenNetwork();
        m_system = m_network->NetworkSystems()->Item(1);
        m_system->OpenSystem();
    } catch (...) {
        close();
        throw;
    }
}

OpenedNetwork::~OpenedNetwork()
{
    close();
}

void OpenedNetwork::close()
{
    try {
        if (m_system && m_system->SystemIsOpen())
            m_system->CloseSystem();
        if (m_network && m_network->NetworkIsOpen())
            m_network->CloseNetwork();
        if (m_server->ObjectServerIsOpen())
            m_server->CloseObjectServer();
    } catch (const com::ComError&) {
    }
}

QStringList OpenedNetwork::devicePaths()
{
    QStringList paths;
    const QString systemName = m_system->SystemName();
    const lns::Ptr<lns::Subsystems> subsystems = m_system->SystemSubsystems();
    for (qint32 s = 1; s <= subsystems->Count(); ++s) {
        const lns::Ptr<lns::Subsystem> subsystem = subsystems->Item(s);
        const lns::Ptr<lns::AppDevices> devices = subsystem->SubsystemAppDevices();
        for (qint32 d = 1; d <= devices->Count(); ++d)
            paths.append(
                QStringLiteral("%1/%2/%3/%4").arg(m_name, systemName, subsystem->Name(), devices->Item(d)->Name()));
    }
    return paths;
}

}  // namespace director

namespace director {

lns::Ptr<lns::NetworkVariable> OpenedNetwork::variable(const QString& devicePath, const QString& name)
{
    const QStringList parts = devicePath.split(QLatin1Char('/'));
    if (parts.size() != 4 || parts[0] != m_name || parts[1] != m_system->SystemName())
        throw com::ComError(lns::ObjectServerError(lns::ErrItemNotFound), QStringLiteral("lnsdirector"),
                            QStringLiteral("There is no device %1 in the network %2.").arg(devicePath, m_name));
    return m_system->SystemSubsystems()
        ->Item(parts[2])
        ->SubsystemAppDevices()
        ->Item(parts[3])
        ->DeviceInterface()
        ->InterfaceNetworkVariables()
        ->NvCollectionItem(name);
}

}  // namespace director

#include "platform/objectserver/SqliteObjectServer.h"

#include "platform/base/WindowsPath.h"
#include "platform/objectserver/ObjectServerFactory.h"
#include "platform/objectserver/SqliteState.h"
#include "platform/registry/LonWorksInstallation.h"

namespace lns {
namespace {

const QString Source = QStringLiteral("ObjectServer");

}  // namespace

SqliteObjectServer::SqliteObjectServer(const QString& lonWorksPath, QObject* parent)
    : ObjectServer(parent), m_state(std::make_shared<sqlite::ServerState>())
{
    m_state->requestedPath = lonWorksPath;
}

SqliteObjectServer::~SqliteObjectServer()
{
    // Handles may outlive the server; without the connection they answer ErrNotOpen.
    m_state->db.reset();
    m_state->openNetworks.clear();
    m_state->openSystems.clear();
}

void SqliteObjectServer::OpenObjectServer()
{
    if (m_state->db)
        return;
    const QString path = m_state->requestedPath.isEmpty() ? registry::LonWorksPath() : m_state->requestedPath;
    m_state->db = std::make_unique<sqlite::Database>(sqlite::ChooseStore(path), Source);
    m_state->lonWorksPath = winpath::Resolve(path);
}

void SqliteObjectServer::CloseObjectServer()
{
    m_state->openSystems.clear();
    m_state->openNetworks.clear();
    m_state->db.reset();
}

bool SqliteObjectServer::ObjectServerIsOpen()
{
    return m_state->db != nullptr;
}

bool SqliteObjectServer::RemoteMode()
{
    return m_state->remoteMode;
}

void SqliteObjectServer::SetRemoteMode(bool remote)
{
    // The access mode is chosen before the connection is made, never under it.
    if (m_state->db && remote != m_state->remoteMode)
        sqlite::Raise(ErrInvalidArgument, Source,
                      QStringLiteral("The remote mode cannot change while the object server is open."));
    m_state->remoteMode = remote;
}

qint32 SqliteObjectServer::RemoteFlags()
{
    return m_state->remoteFlags;
}

void SqliteObjectServer::SetRemoteFlags(qint32 flags)
{
    m_state->remoteFlags = flags;
}

void SqliteObjectServer::SetPreOpenOption(bool option)
{
    m_state->preOpenOption = option;
}

Ptr<Networks> SqliteObjectServer::Networks()
{
    m_state->database(Source);
    return sqlite::MakeNetworks(m_state);
}

Ptr<NetworkInterfaces> SqliteObjectServer::NetworkInterfaces()
{
    m_state->database(Source);
    return sqlite::MakeNetworkInterfaces(m_state);
}

void SqliteObjectServer::SelectNetworkInterface(const Ptr<NetworkInterface>& networkInterface)
{
    m_state->database(Source);
    m_state->selectedInterfaceId = sqlite::NetworkInterfaceId(networkInterface, Source);
    m_state->selectedInterfaceName = sqlite::NetworkInterfaceNameOf(networkInterface);
}

Ptr<ComponentApps> SqliteObjectServer::ObjectServerComponentApps()
{
    m_state->database(Source);
    return sqlite::MakeComponentApps(m_state, sqlite::AppOwner::ObjectServer, 0, 0);
}

QString SqliteObjectServer::lonWorksPath() const
{
    return m_state->lonWorksPath;
}

QString SqliteObjectServer::databasePath() const
{
    return m_state->db ? m_state->db->file() : QString();
}

bool SqliteObjectServer::preOpenOption() const
{
    return m_state->preOpenOption;
}

QString SqliteObjectServer::selectedNetworkInterface() const
{
    return m_state->selectedInterfaceName;
}

bool SqliteObjectServer::systemOptionFlag(const QString& networkName) const
{
    return m_state->systemSettings.value(m_state->networkIds.value(networkName)).optionFlag;
}

qint32 SqliteObjectServer::systemOptionValue(const QString& networkName) const
{
    return m_state->systemSettings.value(m_state->networkIds.value(networkName)).optionValue;
}

qint32 SqliteObjectServer::systemTuningValue(const QString& networkName) const
{
    return m_state->systemSettings.value(m_state->networkIds.value(networkName)).tuningValue;
}

std::unique_ptr<ObjectServer> CreateObjectServer(const QString& lonWorksPath, QObject* parent)
{
    return std::make_unique<SqliteObjectServer>(lonWorksPath, parent);
}

QString ObjectServerDatabasePath(const QString& lonWorksPath)
{
    return winpath::Resolve(winpath::Join(lonWorksPath, QStringLiteral("ObjectServer/objectserver.sqlite")));
}

}  // namespace lns

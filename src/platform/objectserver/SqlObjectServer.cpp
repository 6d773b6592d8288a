#include "platform/objectserver/SqlObjectServer.h"

#include "platform/base/WindowsPath.h"
#include "platform/objectserver/ObjectServerFactory.h"
#include "platform/objectserver/SqlState.h"
#include "platform/registry/LonWorksInstallation.h"

#include <pwd.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QDateTime>
#include <QRandomGenerator>
#include <QSysInfo>

namespace lns {
namespace {

const QString Source = QStringLiteral("ObjectServer");

QString LoginName()
{
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_name)
        return QString::fromLocal8Bit(entry->pw_name);
    return qEnvironmentVariable("USER");
}

}  // namespace

QString NewChangeBatch(const QString& kind)
{
    return QStringLiteral("%1-%2-%3")
        .arg(kind, QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddTHHmmss")))
        .arg(QRandomGenerator::system()->generate(), 8, 16, QLatin1Char('0'));
}

SqlObjectServer::SqlObjectServer(const QString& lonWorksPath, QObject* parent)
    : ObjectServer(parent), m_state(std::make_shared<sql::ServerState>())
{
    m_state->requestedPath = lonWorksPath;
    m_state->changeProgram = QCoreApplication::applicationName();
    m_state->host = QSysInfo::machineHostName();
    m_state->login = LoginName();
}

SqlObjectServer::~SqlObjectServer()
{
    // Handles may outlive the server; without the connection they answer ErrNotOpen.
    m_state->db.reset();
    m_state->openNetworks.clear();
    m_state->openSystems.clear();
}

void SqlObjectServer::OpenObjectServer()
{
    if (m_state->db)
        return;
    const QString path = m_state->requestedPath.isEmpty() ? registry::LonWorksPath() : m_state->requestedPath;
    m_state->db = std::make_unique<sql::Database>(sql::ChooseStore(path), Source);
    m_state->lonWorksPath = winpath::Resolve(path);
}

void SqlObjectServer::CloseObjectServer()
{
    m_state->openSystems.clear();
    m_state->openNetworks.clear();
    m_state->db.reset();
}

bool SqlObjectServer::ObjectServerIsOpen()
{
    return m_state->db != nullptr;
}

bool SqlObjectServer::RemoteMode()
{
    return m_state->remoteMode;
}

void SqlObjectServer::SetRemoteMode(bool remote)
{
    // The access mode is chosen before the connection is made, never under it.
    if (m_state->db && remote != m_state->remoteMode)
        sql::Raise(ErrInvalidArgument, Source,
                   QStringLiteral("The remote mode cannot change while the object server is open."));
    m_state->remoteMode = remote;
}

qint32 SqlObjectServer::RemoteFlags()
{
    return m_state->remoteFlags;
}

void SqlObjectServer::SetRemoteFlags(qint32 flags)
{
    m_state->remoteFlags = flags;
}

void SqlObjectServer::SetChangeOrigin(const QString& program, const QString& batch)
{
    m_state->changeProgram = program;
    m_state->changeBatch = batch;
}

void SqlObjectServer::SetPreOpenOption(bool option)
{
    m_state->preOpenOption = option;
}

Ptr<Networks> SqlObjectServer::Networks()
{
    m_state->database(Source);
    return sql::MakeNetworks(m_state);
}

Ptr<NetworkInterfaces> SqlObjectServer::NetworkInterfaces()
{
    m_state->database(Source);
    return sql::MakeNetworkInterfaces(m_state);
}

void SqlObjectServer::SelectNetworkInterface(const Ptr<NetworkInterface>& networkInterface)
{
    m_state->database(Source);
    m_state->selectedInterfaceId = sql::NetworkInterfaceId(networkInterface, Source);
    m_state->selectedInterfaceName = sql::NetworkInterfaceNameOf(networkInterface);
}

Ptr<ComponentApps> SqlObjectServer::ObjectServerComponentApps()
{
    m_state->database(Source);
    return sql::MakeComponentApps(m_state, sql::AppOwner::ObjectServer, 0, 0);
}

QString SqlObjectServer::lonWorksPath() const
{
    return m_state->lonWorksPath;
}

QString SqlObjectServer::databasePath() const
{
    return m_state->db ? m_state->db->file() : QString();
}

bool SqlObjectServer::preOpenOption() const
{
    return m_state->preOpenOption;
}

QString SqlObjectServer::selectedNetworkInterface() const
{
    return m_state->selectedInterfaceName;
}

bool SqlObjectServer::systemOptionFlag(const QString& networkName) const
{
    return m_state->systemSettings.value(m_state->networkIds.value(networkName)).optionFlag;
}

qint32 SqlObjectServer::systemOptionValue(const QString& networkName) const
{
    return m_state->systemSettings.value(m_state->networkIds.value(networkName)).optionValue;
}

qint32 SqlObjectServer::systemTuningValue(const QString& networkName) const
{
    return m_state->systemSettings.value(m_state->networkIds.value(networkName)).tuningValue;
}

std::unique_ptr<ObjectServer> CreateObjectServer(const QString& lonWorksPath, QObject* parent)
{
    return std::make_unique<SqlObjectServer>(lonWorksPath, parent);
}

QString ObjectServerDatabasePath(const QString& lonWorksPath)
{
    return winpath::Resolve(winpath::Join(lonWorksPath, QStringLiteral("ObjectServer/objectserver.sqlite")));
}

}  // namespace lns

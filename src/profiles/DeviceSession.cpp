#include "profiles/DeviceSession.h"

#include "device/CNvCpTable.h"
#include "device/Variables.h"
#include "framework/Connection.h"
#include "framework/Identity.h"
#include "platform/base/ShownText.h"

#include <QElapsedTimer>
#include <QThread>

namespace profiles {

namespace {

QString PathOf(const QString& network, const QString& system, const QString& subsystem, const QString& device)
{
    return network + QLatin1Char('/') + system + QLatin1Char('/') + subsystem + QLatin1Char('/') + device;
}

}  // namespace

DeviceSession::DeviceSession(const QString& network, qint16 units, std::unique_ptr<lns::ObjectServer> server)
    : m_session(std::move(server))
{
    m_session.DisplayUnits = units;
    try {
        framework::OpenNetworkByName(m_session.Link(), network, QString());
    } catch (const com::ComError& e) {
        // The director's fixed words, then the store's own: which server, and why.
        if (e.cause() == e.description())
            throw;
        throw com::ComError(e.number(), e.source(), e.description() + QStringLiteral(": ") + e.cause());
    }
}

DeviceSession::~DeviceSession()
{
    m_tables.Clear();
    framework::CloseConnection(m_session.Link());
}

lns::Ptr<lns::AppDevice> DeviceSession::Device(const QString& path)
{
    framework::ConnectionState& link = m_session.Link();
    const qsizetype count = framework::ParseObjectPath(link, path);
    // A path of another network must not find a namesake here.
    const bool otherNetwork =
        count >= 4 &&
        framework::PathComponent(link, 1, true).compare(link.CurrentNetworkName, Qt::CaseInsensitive) != 0;
    const framework::ResolvedObject object =
        otherNetwork ? framework::ResolvedObject{} : framework::ResolveObject(link, 7);
    if (!object.device)
        throw framework::PlugInError(framework::ErrObjectNotFound,
                                     QStringLiteral("Object not found: ") + shown::Shown(path));
    return object.device;
}

bool DeviceSession::IsThermostat(lns::AppDevice& device)
{
    return IsThermostatProgramId(device.DeviceProgramId());
}

bool DeviceSession::IsThermostatProgramId(const QString& programId)
{
    // The program IDs the plug-in registers its commands for (the table is loaded once).
    if (framework::PlugInCommands(0).ProgramId.isEmpty())
        framework::LoadPlugInCommands();
    for (int i = 0; i < framework::PlugInCommandCount; ++i)
        if (framework::PlugInCommands(i).ProgramId.compare(programId, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

bool DeviceSession::WaitForStore(int seconds, const std::function<bool()>& stop)
{
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        try {
            m_session.Link().CurrentSystem->SystemSubsystems()->Count();
            return true;
        } catch (const com::ComError&) {
            // Not back yet.
        }
        if (waited.elapsed() >= qint64(seconds) * 1000 || (stop && stop()))
            return false;
        QThread::msleep(250);
    }
}

QStringList DeviceSession::DevicePaths(const QString& subsystem)
{
    const framework::ConnectionState& link = m_session.Link();
    const QString system = link.CurrentSystem->SystemName();
    const auto subsystems = link.CurrentSystem->SystemSubsystems();
    QStringList paths;
    for (qint32 i = 1, n = subsystems->Count(); i <= n; ++i) {
        const auto each = subsystems->Item(i);
        const QString name = each->Name();
        if (!subsystem.isEmpty() && name != subsystem)
            continue;
        const auto devices = each->SubsystemAppDevices();
        for (qint32 j = 1, m = devices->Count(); j <= m; ++j)
            paths.append(PathOf(link.CurrentNetworkName, system, name, devices->Item(j)->Name()));
    }
    return paths;
}

void DeviceSession::BuildTables(lns::AppDevice& device)
{
    UseDevice(device);
    device::BuildNvTables(m_tables, *m_variables, &m_session.DisplayUnits, m_session.LonWorksPath());
}

void DeviceSession::UseDevice(lns::AppDevice& device)
{
    m_tables.Clear();
    m_byKey.clear();
    m_variables = device.DeviceInterface()->InterfaceNetworkVariables();
}

CNvCpTable& DeviceSession::Table(const QString& key)
{
    // An apply asks for the same few tables many times per device.
    CNvCpTable*& table = m_byKey[key];
    if (!table)
        table = m_tables.Contains(key) ? m_tables.Item(key).get()
                                       : &device::BuildNvTable(m_tables, *m_variables, key, &m_session.DisplayUnits,
                                                               m_session.LonWorksPath());
    return *table;
}

void DeviceSession::Read(CNvCpTable& table, framework::ActivityLog* log)
{
    table.GetNetworkValue();
    if (log)
        log->LogCommand(QStringLiteral("Reading ") + table.Name, table.NvAsString());
}

qint16 DeviceSession::ReadModelCode(framework::ActivityLog* log)
{
    CNvCpTable& table = Table(QStringLiteral("nciSccModelRaw"));
    // Unlogged, the code needs the bytes alone, not their text.
    if (log)
        Read(table, log);
    else
        table.GetNetworkBytes();
    return ModelCodeOf(table);
}

qint16 DeviceSession::ModelCodeOf(const CNvCpTable& table)
{
    // The variable's first byte: the first field of its raw text.
    if (table.DeviceBytes.isEmpty())
        throw com::ComError(13, QStringLiteral("ReadModelCode"),
                            QStringLiteral("Type mismatch: the model code '' is not a number"));
    return qint16(quint8(table.DeviceBytes.front()));
}

}  // namespace profiles

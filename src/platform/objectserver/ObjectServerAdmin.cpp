#include "platform/objectserver/ObjectServerAdmin.h"

#include "platform/base/ShownText.h"
#include "platform/base/WindowsPath.h"
#include "platform/objectserver/ObjectServerFactory.h"
#include "platform/objectserver/SqlState.h"
#include "platform/objectserver/ValueFormats.h"
#include "platform/registry/LonWorksInstallation.h"

namespace lns::admin {
namespace {

using sql::Database;
using sql::Raise;
using shown::Shown;

const QString Source = QStringLiteral("ObjectServerAdmin");

[[noreturn]] void notFound(const QString& what)
{
    Raise(ErrItemNotFound, Source, QStringLiteral("There is no %1.").arg(what));
}

QString deviceText(const DeviceRef& d)
{
    return QStringLiteral("%1/%2/%3").arg(Shown(d.network), Shown(d.subsystem), Shown(d.device));
}

void requireName(const QString& name, const QString& what)
{
    if (name.trimmed().isEmpty())
        Raise(ErrInvalidName, Source, QStringLiteral("A %1 needs a name.").arg(what));
}

}  // namespace

ObjectServerAdmin::ObjectServerAdmin(const QString& lonWorksPath)
    : m_lonWorksPath(winpath::Resolve(lonWorksPath.isEmpty() ? registry::LonWorksPath() : lonWorksPath)),
      m_db(std::make_unique<Database>(sql::ChooseStore(m_lonWorksPath), Source))
{
}

ObjectServerAdmin::~ObjectServerAdmin() = default;

QString ObjectServerAdmin::databasePath() const
{
    return m_db->file();
}

qint64 ObjectServerAdmin::networkId(const QString& network)
{
    const auto row = m_db->row("SELECT id FROM networks WHERE name = ?", {network});
    if (!row)
        notFound(QStringLiteral("network named '%1'").arg(Shown(network)));
    return row->value(0).toLongLong();
}

qint64 ObjectServerAdmin::systemId(const QString& network)
{
    const auto row = m_db->row("SELECT s.id FROM systems s JOIN networks n ON n.id = s.network_id"
                               " WHERE n.name = ? ORDER BY s.id LIMIT 1",
                               {network});
    if (!row)
        notFound(QStringLiteral("network named '%1'").arg(Shown(network)));
    return row->value(0).toLongLong();
}

qint64 ObjectServerAdmin::templateId(qint64 network, const QString& templateName)
{
    const auto row = m_db->row("SELECT id FROM templates WHERE network_id = ? AND name = ?", {network, templateName});
    if (!row)
        notFound(QStringLiteral("device template named '%1'").arg(Shown(templateName)));
    return row->value(0).toLongLong();
}

qint64 ObjectServerAdmin::deviceId(const DeviceRef& device)
{
    const auto row = m_db->row("SELECT d.id FROM devices d"
                               " JOIN subsystems ss ON ss.id = d.subsystem_id"
                               " JOIN systems s ON s.id = ss.system_id"
                               " JOIN networks n ON n.id = s.network_id"
                               " WHERE n.name = ? AND ss.name = ? AND d.name = ?",
                               {device.network, device.subsystem, device.device});
    if (!row)
        notFound(QStringLiteral("device %1").arg(deviceText(device)));
    return row->value(0).toLongLong();
}

ObjectServerAdmin::NvRow ObjectServerAdmin::nvRow(qint64 device, const DeviceRef& ref, const QString& nv)
{
    const auto row = m_db->row("SELECT n.id, n.type_name, n.size FROM devices d"
                               " JOIN template_nvs n ON n.template_id = d.template_id"
                               " WHERE d.id = ? AND n.name = ?",
                               {device, nv});
    if (!row)
        notFound(QStringLiteral("network variable '%1' on %2").arg(Shown(nv), deviceText(ref)));
    return NvRow{row->value(0).toLongLong(), row->value(1).toString(), row->value(2).toInt()};
}

// ---------------------------------------------------------------- networks

void ObjectServerAdmin::createNetwork(const NetworkSpec& spec)
{
    requireName(spec.name, QStringLiteral("network"));
    requireName(spec.systemName, QStringLiteral("system"));
    m_db->write([&] {
        if (m_db->row("SELECT id FROM networks WHERE name = ?", {spec.name}))
            Raise(ErrNameInUse, Source, QStringLiteral("There is already a network named '%1'.").arg(spec.name));
        QVariant interfaceId = QVariant(QMetaType::fromType<qlonglong>());
        if (!spec.nsdInterface.isEmpty()) {
            const auto row = m_db->row("SELECT id FROM network_interfaces WHERE name = ?", {spec.nsdInterface});
            interfaceId =
                row ? row->value(0)
                    : QVariant(m_db->exec("INSERT INTO network_interfaces (name) VALUES (?)", {spec.nsdInterface}));
        }
        const qint64 network = m_db->exec("INSERT INTO networks (name) VALUES (?)", {spec.name});
        m_db->exec(
            "INSERT INTO systems (network_id, name, network_mode, requires_interface, import_folder, nsd_interface_id)"
            " VALUES (?, ?, ?, ?, ?, ?)",
            {network, spec.systemName, spec.networkMode, spec.requiresInterface ? 1 : 0, spec.importFolder,
             interfaceId});
    });
}

bool ObjectServerAdmin::hasNetwork(const QString& network)
{
    return m_db->row("SELECT id FROM networks WHERE name = ?", {network}).has_value();
}

void ObjectServerAdmin::removeNetwork(const QString& network)
{
    m_db->write([&] {
        const qint64 id = networkId(network);
        m_db->exec("DELETE FROM component_apps WHERE owner_kind = 3 AND owner_id IN (SELECT l.id FROM template_lmos l"
                   " JOIN templates t ON t.id = l.template_id WHERE t.network_id = ?)",
                   {id});
        m_db->exec("DELETE FROM component_apps WHERE owner_kind = 2 AND owner_id IN"
                   " (SELECT id FROM templates WHERE network_id = ?)",
                   {id});
        m_db->exec("DELETE FROM component_apps WHERE owner_kind = 1 AND owner_id IN"
                   " (SELECT id FROM systems WHERE network_id = ?)",
                   {id});
        // Devices go before the templates they are made from.
        m_db->exec("DELETE FROM devices WHERE subsystem_id IN (SELECT ss.id FROM subsystems ss"
                   " JOIN systems s ON s.id = ss.system_id WHERE s.network_id = ?)",
                   {id});
        m_db->exec("DELETE FROM networks WHERE id = ?", {id});
    });
}

QStringList ObjectServerAdmin::networkNames()
{
    QStringList names;
    for (const sql::Row& row : m_db->rows("SELECT name FROM networks ORDER BY id"))
        names.append(row[0].toString());
    return names;
}

void ObjectServerAdmin::createNetworkInterface(const QString& name)
{
    requireName(name, QStringLiteral("network interface"));
    m_db->write([&] {
        if (m_db->row("SELECT id FROM network_interfaces WHERE name = ?", {name}))
            Raise(ErrNameInUse, Source, QStringLiteral("There is already a network interface named '%1'.").arg(name));
        m_db->exec("INSERT INTO network_interfaces (name) VALUES (?)", {name});
    });
}

bool ObjectServerAdmin::hasNetworkInterface(const QString& name)
{
    return m_db->row("SELECT id FROM network_interfaces WHERE name = ?", {name}).has_value();
}

void ObjectServerAdmin::setNetworkMode(const QString& network, qint32 mode)
{
    m_db->write([&] { m_db->exec("UPDATE systems SET network_mode = ? WHERE id = ?", {mode, systemId(network)}); });
}

void ObjectServerAdmin::setRequiresInterface(const QString& network, bool requiresInterface)
{
    m_db->write([&] {
        m_db->exec("UPDATE systems SET requires_interface = ? WHERE id = ?",
                   {requiresInterface ? 1 : 0, systemId(network)});
    });
}

void ObjectServerAdmin::setNsdInterface(const QString& network, const QString& interfaceName)
{
    m_db->write([&] {
        const qint64 system = systemId(network);
        QVariant interfaceId = QVariant(QMetaType::fromType<qlonglong>());
        if (!interfaceName.isEmpty()) {
            const auto row = m_db->row("SELECT id FROM network_interfaces WHERE name = ?", {interfaceName});
            if (!row)
                notFound(QStringLiteral("network interface named '%1'").arg(Shown(interfaceName)));
            interfaceId = row->value(0);
        }
        m_db->exec("UPDATE systems SET nsd_interface_id = ? WHERE id = ?", {interfaceId, system});
    });
}

QString ObjectServerAdmin::nsdInterface(const QString& network)
{
    const qint64 system = systemId(network);
    const auto row = m_db->row("SELECT i.name FROM systems s JOIN network_interfaces i ON i.id = s.nsd_interface_id"
                               " WHERE s.id = ?",
                               {system});
    return row ? row->value(0).toString() : QString();
}

void ObjectServerAdmin::addSubsystem(const QString& network, const QString& subsystem)
{
    requireName(subsystem, QStringLiteral("subsystem"));
    m_db->write([&] {
        const qint64 system = systemId(network);
        if (m_db->row("SELECT id FROM subsystems WHERE system_id = ? AND name = ?", {system, subsystem}))
            Raise(ErrNameInUse, Source,
                  QStringLiteral("The network '%1' already has a subsystem named '%2'.").arg(network, subsystem));
        m_db->exec("INSERT INTO subsystems (system_id, name) VALUES (?, ?)", {system, subsystem});
    });
}

// ---------------------------------------------------------------- templates

void ObjectServerAdmin::addTemplateFromXif(const QString& network, const QString& templateName, const QString& xifPath)
{
    addTemplate(network, templateName, sql::ReadInterfaceFiles(xifPath, Source));
}

void ObjectServerAdmin::addTemplate(const QString& network, const QString& templateName,
                                    const xif::InterfaceDefinition& definition)
{
    requireName(templateName, QStringLiteral("device template"));
    m_db->write([&] {
        const qint64 id = networkId(network);
        if (m_db->row("SELECT id FROM templates WHERE network_id = ? AND name = ?", {id, templateName}))
            Raise(ErrNameInUse, Source,
                  QStringLiteral("The network '%1' already has a device template named '%2'.")
                      .arg(network, templateName));
        const qint64 templateRow =
            m_db->exec("INSERT INTO templates (network_id, name, kind) VALUES (?, ?, 1)", {id, templateName});
        sql::ImportInterface(*m_db, templateRow, definition, Source);
    });
}

QStringList ObjectServerAdmin::templateNames(const QString& network)
{
    QStringList names;
    for (const sql::Row& row :
         m_db->rows("SELECT name FROM templates WHERE network_id = ? ORDER BY id", {networkId(network)}))
        names.append(row[0].toString());
    return names;
}

// ---------------------------------------------------------------- devices

void ObjectServerAdmin::addDevice(const QString& network, const DeviceSpec& spec)
{
    requireName(spec.name, QStringLiteral("device"));
    m_db->write([&] {
        const qint64 system = systemId(network);
        const auto subsystem =
            m_db->row("SELECT id FROM subsystems WHERE system_id = ? AND name = ?", {system, spec.subsystem});
        if (!subsystem)
            notFound(
                QStringLiteral("subsystem named '%1' in the network '%2'").arg(Shown(spec.subsystem), Shown(network)));
        const qint64 templateRow = templateId(networkId(network), spec.templateName);
        if (m_db->row("SELECT program_id FROM templates WHERE id = ?", {templateRow})->value(0).toString().isEmpty())
            Raise(ErrInvalidArgument, Source,
                  QStringLiteral("The device template '%1' has no interface yet.").arg(spec.templateName));
        if (m_db->row("SELECT id FROM devices WHERE subsystem_id = ? AND name = ?", {subsystem->value(0), spec.name}))
            Raise(ErrNameInUse, Source,
                  QStringLiteral("The subsystem '%1' already has a device named '%2'.").arg(spec.subsystem, spec.name));
        const DeviceFaults& f = spec.faults;
        m_db->exec("INSERT INTO devices (subsystem_id, template_id, name, commissioned, state_code, test_result,"
                   " unreachable, refuses_writes, stores_other_value) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)",
                   {subsystem->value(0), templateRow, spec.name, f.commissioned ? 1 : 0, f.stateCode, f.testResult,
                    f.unreachable ? 1 : 0, f.refusesWrites ? 1 : 0, f.storesOtherValue ? 1 : 0});
    });
}

void ObjectServerAdmin::removeDevice(const DeviceRef& device)
{
    m_db->write([&] { m_db->exec("DELETE FROM devices WHERE id = ?", {deviceId(device)}); });
}

QStringList ObjectServerAdmin::devicePaths(const QString& network)
{
    QStringList paths;
    for (const sql::Row& row : m_db->rows("SELECT n.name, s.name, ss.name, d.name FROM devices d"
                                          " JOIN subsystems ss ON ss.id = d.subsystem_id"
                                          " JOIN systems s ON s.id = ss.system_id"
                                          " JOIN networks n ON n.id = s.network_id"
                                          " WHERE n.id = ? ORDER BY ss.id, d.id",
                                          {networkId(network)}))
        paths.append(QStringLiteral("%1/%2/%3/%4")
                         .arg(row[0].toString(), row[1].toString(), row[2].toString(), row[3].toString()));
    return paths;
}

void ObjectServerAdmin::setDeviceFaults(const DeviceRef& device, const DeviceFaults& f)
{
    m_db->write([&] {
        m_db->exec("UPDATE devices SET commissioned = ?, state_code = ?, test_result = ?, unreachable = ?,"
                   " refuses_writes = ?, stores_other_value = ? WHERE id = ?",
                   {f.commissioned ? 1 : 0, f.stateCode, f.testResult, f.unreachable ? 1 : 0, f.refusesWrites ? 1 : 0,
                    f.storesOtherValue ? 1 : 0, deviceId(device)});
    });
}

DeviceFaults ObjectServerAdmin::deviceFaults(const DeviceRef& device)
{
    const auto row = m_db->row("SELECT commissioned, state_code, test_result, unreachable, refuses_writes,"
                               " stores_other_value FROM devices WHERE id = ?",
                               {deviceId(device)});
    if (!row)
        notFound(QStringLiteral("device %1").arg(deviceText(device)));
    return DeviceFaults{row->value(0).toInt() != 0, row->value(1).toInt(),      row->value(2).toInt(),
                        row->value(3).toInt() != 0, row->value(4).toInt() != 0, row->value(5).toInt() != 0};
}

// ---------------------------------------------------------------- values

void ObjectServerAdmin::setNvRaw(const DeviceRef& device, const QString& nv, const QByteArray& raw)
{
    m_db->write([&] {
        const qint64 id = deviceId(device);
        const NvRow variable = nvRow(id, device, nv);
        if (raw.size() != variable.size)
            Raise(ErrInvalidArgument, Source,
                  QStringLiteral("%1 takes %2 bytes, not %3.").arg(nv).arg(variable.size).arg(raw.size()));
        m_db->exec("INSERT INTO device_nv_values (device_id, nv_id, value) VALUES (?, ?, ?)"
                   " ON CONFLICT (device_id, nv_id) DO UPDATE SET value = excluded.value",
                   {id, variable.id, raw});
    });
}

QByteArray ObjectServerAdmin::nvRaw(const DeviceRef& device, const QString& nv)
{
    const qint64 id = deviceId(device);
    const NvRow variable = nvRow(id, device, nv);
    const auto row =
        m_db->row("SELECT value FROM device_nv_values WHERE device_id = ? AND nv_id = ?", {id, variable.id});
    return row ? row->value(0).toByteArray() : QByteArray(variable.size, '\0');
}

void ObjectServerAdmin::setNvText(const DeviceRef& device, const QString& nv, const QString& text,
                                  const QString& format)
{
    const NvRow variable = nvRow(deviceId(device), device, nv);
    setNvRaw(device, nv,
             formats::Parse(format.isEmpty() ? variable.typeName : format, text, variable.size, m_lonWorksPath));
}

QString ObjectServerAdmin::nvText(const DeviceRef& device, const QString& nv, const QString& format)
{
    const NvRow variable = nvRow(deviceId(device), device, nv);
    return formats::Format(format.isEmpty() ? variable.typeName : format, nvRaw(device, nv), m_lonWorksPath);
}

QString ObjectServerAdmin::nvTypeName(const DeviceRef& device, const QString& nv)
{
    return nvRow(deviceId(device), device, nv).typeName;
}

QStringList ObjectServerAdmin::nvNames(const DeviceRef& device)
{
    QStringList names;
    for (const sql::Row& row : m_db->rows("SELECT n.name FROM devices d JOIN template_nvs n"
                                          " ON n.template_id = d.template_id WHERE d.id = ? ORDER BY n.id",
                                          {deviceId(device)}))
        names.append(row[0].toString());
    return names;
}

// ---------------------------------------------------------------- LonMark objects

void ObjectServerAdmin::setLonMarkObjectMode(const DeviceRef& device, const QString& lonMarkObject, qint16 mode)
{
    m_db->write([&] {
        const qint64 id = deviceId(device);
        const auto row = m_db->row("SELECT l.id FROM devices d JOIN template_lmos l ON l.template_id = d.template_id"
                                   " WHERE d.id = ? AND l.name = ?",
                                   {id, lonMarkObject});
        if (!row)
            notFound(QStringLiteral("LonMark object '%1' on %2").arg(lonMarkObject, deviceText(device)));
        m_db->exec("INSERT INTO device_lmo_modes (device_id, lmo_id, mode) VALUES (?, ?, ?)"
                   " ON CONFLICT (device_id, lmo_id) DO UPDATE SET mode = excluded.mode",
                   {id, row->value(0), mode});
    });
}

qint16 ObjectServerAdmin::lonMarkObjectMode(const DeviceRef& device, const QString& lonMarkObject)
{
    const qint64 id = deviceId(device);
    const auto row = m_db->row("SELECT COALESCE(m.mode, l.mode) FROM devices d"
                               " JOIN template_lmos l ON l.template_id = d.template_id"
                               " LEFT JOIN device_lmo_modes m ON m.device_id = d.id AND m.lmo_id = l.id"
                               " WHERE d.id = ? AND l.name = ?",
                               {id, lonMarkObject});
    if (!row)
        notFound(QStringLiteral("LonMark object '%1' on %2").arg(lonMarkObject, deviceText(device)));
    return static_cast<qint16>(row->value(0).toInt());
}

// ---------------------------------------------------------------- component applications

QList<ComponentAppInfo> ObjectServerAdmin::componentApps(const QString& network)
{
    const qint64 id = networkId(network);
    QList<ComponentAppInfo> result;
    const auto rows = m_db->rows(
        "SELECT a.owner_kind, CASE a.owner_kind"
        "   WHEN 0 THEN '' WHEN 1 THEN 'system'"
        "   WHEN 2 THEN (SELECT name FROM templates WHERE id = a.owner_id)"
        "   ELSE (SELECT t.name || '/' || l.name FROM template_lmos l JOIN templates t ON t.id = l.template_id"
        "         WHERE l.id = a.owner_id) END,"
        " a.name, a.prog_id, a.object_class, a.command_id, a.is_default, a.description"
        " FROM component_apps a"
        " WHERE a.owner_kind = 0"
        "  OR (a.owner_kind = 1 AND a.owner_id IN (SELECT id FROM systems WHERE network_id = ?))"
        "  OR (a.owner_kind = 2 AND a.owner_id IN (SELECT id FROM templates WHERE network_id = ?))"
        "  OR (a.owner_kind = 3 AND a.owner_id IN (SELECT l.id FROM template_lmos l JOIN templates t"
        "      ON t.id = l.template_id WHERE t.network_id = ?))"
        " ORDER BY a.owner_kind, a.owner_id, a.id",
        {id, id, id});
    for (const sql::Row& row : rows)
        result.append(ComponentAppInfo{row[1].toString(), row[2].toString(), row[3].toString(), row[4].toInt(),
                                       row[5].toInt(), row[6].toInt() != 0, row[7].toString()});
    return result;
}

}  // namespace lns::admin

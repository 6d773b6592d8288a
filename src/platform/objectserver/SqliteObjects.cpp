// The handles of the SQLite object server: each one a row id (or two) and the shared state; every
// operation reads or writes the database at once, so nothing a handle holds can go stale except the
// names it was created with, which never change.
#include "platform/base/ShownText.h"
#include "platform/objectserver/SqliteState.h"
#include "platform/objectserver/ValueFormats.h"

namespace lns::sqlite {

void ServerState::record(const QString& operation, const QStringList& arguments)
{
    qsizetype size = operation.size();
    for (const QString& argument : arguments)
        size += 1 + argument.size();
    QString entry;
    entry.reserve(size);
    entry += operation;
    for (const QString& argument : arguments) {
        entry += QLatin1Char(' ');
        entry += argument;
    }
    journal.append(std::move(entry));
}

Database& ServerState::database(const QString& source)
{
    if (!db)
        Raise(ErrNotOpen, source, QStringLiteral("The object server is not open."));
    return *db;
}

Database& ServerState::networkDatabase(qint64 networkId, const QString& source)
{
    Database& result = database(source);
    if (!openNetworks.contains(networkId))
        Raise(ErrNotOpen, source, QStringLiteral("The network is not open."));
    return result;
}

Database& ServerState::systemDatabase(qint64 systemId, const QString& source)
{
    Database& result = database(source);
    if (!openSystems.contains(systemId))
        Raise(ErrNotOpen, source, QStringLiteral("The system is not open."));
    return result;
}

void Raise(ErrorCode code, const QString& source, const QString& description)
{
    throw com::ComError(ObjectServerError(code), source, description);
}

namespace {

using shown::Shown;

const QString NetworksSource = QStringLiteral("Networks");
const QString NetworkSource = QStringLiteral("Network");
const QString SystemsSource = QStringLiteral("Systems");
const QString SystemSource = QStringLiteral("System");
const QString SubsystemsSource = QStringLiteral("Subsystems");
const QString SubsystemSource = QStringLiteral("Subsystem");
const QString AppDevicesSource = QStringLiteral("AppDevices");
const QString AppDeviceSource = QStringLiteral("AppDevice");
const QString InterfaceSource = QStringLiteral("Interface");
const QString NetworkVariablesSource = QStringLiteral("NetworkVariables");
const QString NetworkVariableSource = QStringLiteral("NetworkVariable");
const QString LonMarkObjectsSource = QStringLiteral("LonMarkObjects");
const QString LonMarkObjectSource = QStringLiteral("LonMarkObject");
const QString TemplateLibrarySource = QStringLiteral("TemplateLibrary");
const QString DeviceTemplatesSource = QStringLiteral("DeviceTemplates");
const QString DeviceTemplateSource = QStringLiteral("DeviceTemplate");
const QString ComponentAppsSource = QStringLiteral("ComponentApps");
const QString ComponentAppSource = QStringLiteral("ComponentApp");
const QString NetworkInterfacesSource = QStringLiteral("NetworkInterfaces");
const QString NetworkInterfaceSource = QStringLiteral("NetworkInterface");
const QString NsdSource = QStringLiteral("NetworkServiceDevice");

[[noreturn]] void notFound(const QString& source, const QString& what)
{
    Raise(ErrItemNotFound, source, QStringLiteral("There is no %1.").arg(what));
}

// 1-based position → OFFSET, refusing positions below 1 before the database is asked.
qint64 offsetOf(qint32 index, const QString& source, const QString& collection)
{
    if (index < 1)
        notFound(source, QStringLiteral("item %1 in %2").arg(index).arg(collection));
    return index - 1;
}

QVariant nullId()
{
    return QVariant(QMetaType::fromType<qlonglong>());
}

// What an interface belongs to: a template (deviceId 0) or a device made from it.
struct InterfaceOwner {
    qint64 systemId = 0;
    qint64 networkId = 0;
    qint64 templateId = 0;
    qint64 deviceId = 0;
    QString deviceName;
};

Ptr<lns::AppDevice> makeDevice(const State& s, qint64 systemId, qint64 networkId, const Row& row);
Ptr<lns::DeviceTemplate> makeTemplate(const State& s, qint64 systemId, qint64 networkId, qint64 id, const QString& name);
Ptr<lns::Interface> makeInterface(const State& s, const InterfaceOwner& owner);
Ptr<lns::LonMarkObjects> makeLonMarkObjects(const State& s, const InterfaceOwner& owner);

// ---------------------------------------------------------------- component applications

class SqliteComponentApp final : public ComponentApp {
public:
    SqliteComponentApp(State s, qint64 id, qint64 systemId, QString name)
        : m_s(std::move(s)), m_id(id), m_systemId(systemId), m_name(std::move(name)) {}

    QString Name() override
    {
        m_s->record(QStringLiteral("ComponentApp.Name"), {m_name});
        return m_name;
    }
    QString AppProgId() override { return text("AppProgId", "SELECT prog_id FROM component_apps WHERE id = ?"); }
    qint32 AppObjectClass() override
    {
        return text("AppObjectClass", "SELECT object_class FROM component_apps WHERE id = ?").toInt();
    }
    qint32 AppCommandId() override
    {
        return text("AppCommandId", "SELECT command_id FROM component_apps WHERE id = ?").toInt();
    }
    void SetAppCommandId(qint32 commandId) override
    {
        set("SetAppCommandId", Text(commandId), "UPDATE component_apps SET command_id = ? WHERE id = ?", commandId);
    }
    QString AppDescription() override
    {
        return text("AppDescription", "SELECT description FROM component_apps WHERE id = ?");
    }
    void SetAppDescription(const QString& description) override
    {
        set("SetAppDescription", description, "UPDATE component_apps SET description = ? WHERE id = ?", description);
    }
    bool AppIsDefault() override
    {
        return text("AppIsDefault", "SELECT is_default FROM component_apps WHERE id = ?").toInt() != 0;
    }
    void SetAppIsDefault(bool isDefault) override
    {
        set("SetAppIsDefault", Text(isDefault), "UPDATE component_apps SET is_default = ? WHERE id = ?",
            isDefault ? 1 : 0);
    }
    QString AppVersion() override { return text("AppVersion", "SELECT version FROM component_apps WHERE id = ?"); }
    void SetAppVersion(const QString& version) override
    {
        set("SetAppVersion", version, "UPDATE component_apps SET version = ? WHERE id = ?", version);
    }
    QString AppManufacturerId() override
    {
        return text("AppManufacturerId", "SELECT manufacturer_id FROM component_apps WHERE id = ?");
    }
    void SetAppManufacturerId(const QString& manufacturerId) override
    {
        set("SetAppManufacturerId", manufacturerId, "UPDATE component_apps SET manufacturer_id = ? WHERE id = ?",
            manufacturerId);
    }

private:
    Database& db()
    {
        return m_systemId ? m_s->systemDatabase(m_systemId, ComponentAppSource) : m_s->database(ComponentAppSource);
    }
    QString text(const char* operation, const char* sql)
    {
        m_s->record(QString::fromLatin1(operation), {m_name});
        const auto row = db().row(sql, {m_id});
        if (!row)
            notFound(ComponentAppSource, QStringLiteral("component application %1 any more").arg(m_name));
        return row->value(0).toString();
    }
    void set(const char* operation, const QString& shown, const char* sql, const QVariant& value)
    {
        m_s->record(QString::fromLatin1(operation), {m_name, shown});
        if (db().exec(sql, {value, m_id}) == 0)
            notFound(ComponentAppSource, QStringLiteral("component application %1 any more").arg(m_name));
    }

    State m_s;
    qint64 m_id;
    qint64 m_systemId;
    QString m_name;
};

class SqliteComponentApps final : public ComponentApps {
public:
    SqliteComponentApps(State s, AppOwner owner, qint64 ownerId, qint64 systemId)
        : m_s(std::move(s)), m_owner(static_cast<int>(owner)), m_ownerId(ownerId), m_systemId(systemId) {}

    qint32 ComponentAppsCount() override
    {
        m_s->record(QStringLiteral("ComponentAppsCount"));
        return db().row("SELECT COUNT(*) FROM component_apps WHERE owner_kind = ? AND owner_id = ?",
                        {m_owner, m_ownerId})
            ->value(0)
            .toInt();
    }
    Ptr<ComponentApp> ComponentAppsItem(qint32 index) override
    {
        m_s->record(QStringLiteral("ComponentAppsItem"), {Text(index)});
        Database& d = db();
        const auto row = d.row("SELECT id, name FROM component_apps WHERE owner_kind = ? AND owner_id = ?"
                               " ORDER BY id LIMIT 1 OFFSET ?",
                               {m_owner, m_ownerId, offsetOf(index, ComponentAppsSource, QStringLiteral("the component applications"))});
        if (!row)
            notFound(ComponentAppsSource, QStringLiteral("component application at position %1").arg(index));
        return make(*row);
    }
    Ptr<ComponentApp> ComponentAppsItem(const QString& name) override
    {
        m_s->record(QStringLiteral("ComponentAppsItem"), {name});
        const auto row = db().row("SELECT id, name FROM component_apps WHERE owner_kind = ? AND owner_id = ? AND name = ?",
                                  {m_owner, m_ownerId, name});
        if (!row)
            notFound(ComponentAppsSource, QStringLiteral("component application named '%1'").arg(Shown(name)));
        return make(*row);
    }
    Ptr<ComponentApp> ComponentAppsAdd(const QString& name, const QString& progId, qint32 objectClass) override
    {
        m_s->record(QStringLiteral("ComponentAppsAdd"), {name, progId, Text(objectClass)});
        Database& d = db();
        if (name.trimmed().isEmpty())
            Raise(ErrInvalidName, ComponentAppsSource, QStringLiteral("A component application needs a name."));
        Database::Transaction transaction(d);
        if (d.row("SELECT id FROM component_apps WHERE owner_kind = ? AND owner_id = ? AND name = ?",
                  {m_owner, m_ownerId, name}))
            Raise(ErrNameInUse, ComponentAppsSource,
                  QStringLiteral("The name '%1' is already used by another component application.").arg(Shown(name)));
        const qint64 id = d.exec("INSERT INTO component_apps (owner_kind, owner_id, name, prog_id, object_class)"
                                 " VALUES (?, ?, ?, ?, ?)",
                                 {m_owner, m_ownerId, name, progId, objectClass});
        transaction.commit();
        return std::make_shared<SqliteComponentApp>(m_s, id, m_systemId, name);
    }
    void ComponentAppsRemove(qint32 index) override
    {
        m_s->record(QStringLiteral("ComponentAppsRemove"), {Text(index)});
        Database& d = db();
        Database::Transaction transaction(d);
        const auto row = d.row("SELECT id FROM component_apps WHERE owner_kind = ? AND owner_id = ?"
                               " ORDER BY id LIMIT 1 OFFSET ?",
                               {m_owner, m_ownerId, offsetOf(index, ComponentAppsSource, QStringLiteral("the component applications"))});
        if (!row)
            notFound(ComponentAppsSource, QStringLiteral("component application at position %1").arg(index));
        d.exec("DELETE FROM component_apps WHERE id = ?", {row->value(0)});
        transaction.commit();
    }

private:
    Database& db()
    {
        return m_systemId ? m_s->systemDatabase(m_systemId, ComponentAppsSource) : m_s->database(ComponentAppsSource);
    }
    Ptr<ComponentApp> make(const Row& row)
    {
        return std::make_shared<SqliteComponentApp>(m_s, row[0].toLongLong(), m_systemId, row[1].toString());
    }

    State m_s;
    int m_owner;
    qint64 m_ownerId;
    qint64 m_systemId;
};

// ---------------------------------------------------------------- network variables

class SqliteNetworkVariable final : public NetworkVariable {
public:
    SqliteNetworkVariable(State s, const InterfaceOwner& owner, const Row& row)
        : m_s(std::move(s)), m_owner(owner), m_id(row[0].toLongLong()), m_name(row[1].toString()),
          m_typeName(row[2].toString()), m_size(row[3].toInt()), m_format(m_typeName) {}

    QString Name() override
    {
        m_s->record(QStringLiteral("NetworkVariable.Name"), {m_name});
        return m_name;
    }
    QString NvTypeName() override
    {
        m_s->record(QStringLiteral("NvTypeName"), {m_name});
        return m_typeName;
    }
    void SetNvAccessOption(qint32 option) override
    {
        m_s->record(QStringLiteral("SetNvAccessOption"), {m_name, Text(option)});
        m_accessOption = option;
    }
    QString NvFormatSpec() override
    {
        m_s->record(QStringLiteral("NvFormatSpec"), {m_name});
        return m_format;
    }
    void SetNvFormatSpec(const QString& formatName) override
    {
        m_s->record(QStringLiteral("SetNvFormatSpec"), {m_name, formatName});
        m_format = formatName;
    }

    QString NvFormattedValue() override
    {
        m_s->record(QStringLiteral("NvFormattedValue"), {m_name});
        Database& db = deviceDatabase();
        const auto row = db.row("SELECT d.unreachable, v.value FROM devices d"
                                " LEFT JOIN device_nv_values v ON v.device_id = d.id AND v.nv_id = ?"
                                " WHERE d.id = ?",
                                {m_id, m_owner.deviceId});
        if (!row)
            notFound(NetworkVariableSource, QStringLiteral("device %1 any more").arg(m_owner.deviceName));
        if (row->value(0).toInt() != 0)
            unreachable();
        // A variable never written holds zeros, as a freshly loaded device does.
        const QByteArray raw = row->value(1).isNull() ? QByteArray(m_size, '\0') : row->value(1).toByteArray();
        try {
            return formats::Format(m_format, raw, m_s->lonWorksPath);
        } catch (const com::ComError& e) {
            throw com::ComError(e.number(), NetworkVariableSource, e.description());
        }
    }

    void SetNvFormattedValue(const QString& text) override
    {
        m_s->record(QStringLiteral("SetNvFormattedValue"), {m_name, text});
        Database& db = deviceDatabase();
        // A text that does not parse never reaches the device.
        QByteArray raw;
        try {
            raw = formats::Parse(m_format, text, m_size, m_s->lonWorksPath);
        } catch (const com::ComError& e) {
            throw com::ComError(e.number(), NetworkVariableSource, e.description());
        }
        // One statement, so one transaction: the device's answer and the value change together.
        const qint64 written =
            db.changes("INSERT INTO device_nv_values (device_id, nv_id, value)"
                    " SELECT id, ?, ? FROM devices WHERE id = ? AND unreachable = 0 AND refuses_writes = 0"
                    " ON CONFLICT (device_id, nv_id) DO UPDATE SET value = excluded.value",
                    {m_id, raw, m_owner.deviceId});
        if (written > 0)
            return;
        // Nothing written: find out why.
        const auto row = db.row("SELECT unreachable, refuses_writes FROM devices WHERE id = ?", {m_owner.deviceId});
        if (!row)
            notFound(NetworkVariableSource, QStringLiteral("device %1 any more").arg(m_owner.deviceName));
        if (row->value(0).toInt() != 0)
            unreachable();
        Raise(ErrWriteFailed, NetworkVariableSource,
              QStringLiteral("The device %1 refused the value of %2.").arg(m_owner.deviceName, m_name));
    }

private:
    Database& deviceDatabase()
    {
        Database& db = m_s->systemDatabase(m_owner.systemId, NetworkVariableSource);
        if (!m_owner.deviceId)
            Raise(ErrDeviceCommunication, NetworkVariableSource,
                  QStringLiteral("%1 belongs to a device template, which has no device to talk to.").arg(m_name));
        return db;
    }
    [[noreturn]] void unreachable()
    {
        Raise(ErrDeviceCommunication, NetworkVariableSource,
              QStringLiteral("The device %1 does not answer.").arg(m_owner.deviceName));
    }

    State m_s;
    InterfaceOwner m_owner;
    qint64 m_id;
    QString m_name;
    QString m_typeName;
    qint32 m_size;
    QString m_format;
    qint32 m_accessOption = 0;
};

class SqliteNetworkVariables final : public NetworkVariables {
public:
    SqliteNetworkVariables(State s, const InterfaceOwner& owner) : m_s(std::move(s)), m_owner(owner) {}

    qint32 Count() override
    {
        m_s->record(QStringLiteral("NetworkVariables.Count"));
        return db().row("SELECT COUNT(*) FROM template_nvs WHERE template_id = ?", {m_owner.templateId})
            ->value(0)
            .toInt();
    }
    Ptr<NetworkVariable> Item(qint32 index) override
    {
        m_s->record(QStringLiteral("NetworkVariables.Item"), {Text(index)});
        Database& d = db();
        const auto row = d.row("SELECT id, name, type_name, size FROM template_nvs WHERE template_id = ?"
                               " ORDER BY id LIMIT 1 OFFSET ?",
                               {m_owner.templateId, offsetOf(index, NetworkVariablesSource, QStringLiteral("the network variables"))});
        if (!row)
            notFound(NetworkVariablesSource, QStringLiteral("network variable at position %1").arg(index));
        return std::make_shared<SqliteNetworkVariable>(m_s, m_owner, *row);
    }
    Ptr<NetworkVariable> NvCollectionItem(const QString& name) override
    {
        m_s->record(QStringLiteral("NvCollectionItem"), {name});
        const auto row = db().row("SELECT id, name, type_name, size FROM template_nvs WHERE template_id = ? AND name = ?",
                                  {m_owner.templateId, name});
        if (!row)
            notFound(NetworkVariablesSource, QStringLiteral("network variable named '%1'").arg(Shown(name)));
        return std::make_shared<SqliteNetworkVariable>(m_s, m_owner, *row);
    }

private:
    Database& db() { return m_s->systemDatabase(m_owner.systemId, NetworkVariablesSource); }

    State m_s;
    InterfaceOwner m_owner;
};

// ---------------------------------------------------------------- LonMark objects

class SqliteLonMarkObject final : public LonMarkObject {
public:
    SqliteLonMarkObject(State s, const InterfaceOwner& owner, const Row& row)
        : m_s(std::move(s)), m_owner(owner), m_id(row[0].toLongLong()), m_name(row[1].toString()),
          m_displayName(row[2].toString()), m_profileKey(static_cast<qint16>(row[3].toInt())) {}

    QString Name() override
    {
        m_s->record(QStringLiteral("LonMarkObject.Name"), {m_name});
        return m_name;
    }
    QString LonMarkObjectDisplayName() override
    {
        m_s->record(QStringLiteral("LonMarkObjectDisplayName"), {m_name});
        return m_displayName;
    }
    qint16 LonMarkObjectProfileKey() override
    {
        m_s->record(QStringLiteral("LonMarkObjectProfileKey"), {m_name});
        return m_profileKey;
    }
    qint16 LonMarkObjectMode() override
    {
        m_s->record(QStringLiteral("LonMarkObjectMode"), {m_name});
        Database& d = db();
        // A device's object starts with the mode its template's object has.
        const auto row = d.row("SELECT COALESCE((SELECT mode FROM device_lmo_modes WHERE device_id = ? AND lmo_id = ?),"
                               " mode) FROM template_lmos WHERE id = ?",
                               {m_owner.deviceId, m_id, m_id});
        if (!row)
            notFound(LonMarkObjectSource, QStringLiteral("LonMark object %1 any more").arg(m_name));
        return static_cast<qint16>(row->value(0).toInt());
    }
    void SetLonMarkObjectMode(qint16 mode) override
    {
        m_s->record(QStringLiteral("SetLonMarkObjectMode"), {m_name, Text(mode)});
        Database& d = db();
        const qint64 changed =
            m_owner.deviceId
                ? d.changes("INSERT INTO device_lmo_modes (device_id, lmo_id, mode) VALUES (?, ?, ?)"
                         " ON CONFLICT (device_id, lmo_id) DO UPDATE SET mode = excluded.mode",
                         {m_owner.deviceId, m_id, mode})
                : d.changes("UPDATE template_lmos SET mode = ? WHERE id = ?", {mode, m_id});
        if (changed == 0)
            notFound(LonMarkObjectSource, QStringLiteral("LonMark object %1 any more").arg(m_name));
    }
    Ptr<ComponentApps> LonMarkObjectComponentApps() override
    {
        m_s->record(QStringLiteral("LonMarkObjectComponentApps"), {m_name});
        db();
        // A device's object shows the collection of its template's object, where directors keep them.
        return MakeComponentApps(m_s, AppOwner::TemplateLonMarkObject, m_id, m_owner.systemId);
    }
    Ptr<LonMarkObjects> LonMarkObjectCollection() override
    {
        m_s->record(QStringLiteral("LonMarkObjectCollection"), {m_name});
        db();
        return makeLonMarkObjects(m_s, m_owner);
    }

private:
    Database& db() { return m_s->systemDatabase(m_owner.systemId, LonMarkObjectSource); }

    State m_s;
    InterfaceOwner m_owner;
    qint64 m_id;
    QString m_name;
    QString m_displayName;
    qint16 m_profileKey;
};

class SqliteLonMarkObjects final : public LonMarkObjects {
public:
    SqliteLonMarkObjects(State s, const InterfaceOwner& owner) : m_s(std::move(s)), m_owner(owner) {}

    qint32 LonMarkObjectsCount() override
    {
        m_s->record(QStringLiteral("LonMarkObjectsCount"));
        return db().row("SELECT COUNT(*) FROM template_lmos WHERE template_id = ?", {m_owner.templateId})
            ->value(0)
            .toInt();
    }
    Ptr<LonMarkObject> LonMarkObjectsItem(qint32 index) override
    {
        m_s->record(QStringLiteral("LonMarkObjectsItem"), {Text(index)});
        Database& d = db();
        const auto row = d.row("SELECT id, name, display_name, profile_key FROM template_lmos WHERE template_id = ?"
                               " ORDER BY id LIMIT 1 OFFSET ?",
                               {m_owner.templateId, offsetOf(index, LonMarkObjectsSource, QStringLiteral("the LonMark objects"))});
        if (!row)
            notFound(LonMarkObjectsSource, QStringLiteral("LonMark object at position %1").arg(index));
        return std::make_shared<SqliteLonMarkObject>(m_s, m_owner, *row);
    }
    Ptr<LonMarkObject> LonMarkObjectsItem(const QString& name) override
    {
        m_s->record(QStringLiteral("LonMarkObjectsItem"), {name});
        const auto row = db().row("SELECT id, name, display_name, profile_key FROM template_lmos"
                                  " WHERE template_id = ? AND name = ?",
                                  {m_owner.templateId, name});
        if (!row)
            notFound(LonMarkObjectsSource, QStringLiteral("LonMark object named '%1'").arg(Shown(name)));
        return std::make_shared<SqliteLonMarkObject>(m_s, m_owner, *row);
    }
    Ptr<Interface> CollectionInterface() override
    {
        m_s->record(QStringLiteral("CollectionInterface"));
        db();
        return makeInterface(m_s, m_owner);
    }

private:
    Database& db() { return m_s->systemDatabase(m_owner.systemId, LonMarkObjectsSource); }

    State m_s;
    InterfaceOwner m_owner;
};

// ---------------------------------------------------------------- interfaces

class SqliteInterface final : public Interface {
public:
    SqliteInterface(State s, const InterfaceOwner& owner) : m_s(std::move(s)), m_owner(owner) {}

    Ptr<LonMarkObjects> InterfaceLonMarkObjects() override
    {
        m_s->record(QStringLiteral("InterfaceLonMarkObjects"));
        db();
        return makeLonMarkObjects(m_s, m_owner);
    }
    Ptr<NetworkVariables> InterfaceNetworkVariables() override
    {
        m_s->record(QStringLiteral("InterfaceNetworkVariables"));
        db();
        return std::make_shared<SqliteNetworkVariables>(m_s, m_owner);
    }
    Ptr<AppDevice> InterfaceDevice() override
    {
        m_s->record(QStringLiteral("InterfaceDevice"));
        Database& d = db();
        if (!m_owner.deviceId)
            notFound(InterfaceSource, QStringLiteral("device: the interface belongs to a device template"));
        const auto row = d.row("SELECT id, name, template_id FROM devices WHERE id = ?", {m_owner.deviceId});
        if (!row)
            notFound(InterfaceSource, QStringLiteral("device %1 any more").arg(m_owner.deviceName));
        return makeDevice(m_s, m_owner.systemId, m_owner.networkId, *row);
    }

private:
    Database& db() { return m_s->systemDatabase(m_owner.systemId, InterfaceSource); }

    State m_s;
    InterfaceOwner m_owner;
};

// ---------------------------------------------------------------- devices

class SqliteAppDevice final : public AppDevice {
public:
    SqliteAppDevice(State s, qint64 systemId, qint64 networkId, const Row& row)
        : m_s(std::move(s)), m_systemId(systemId), m_networkId(networkId), m_id(row[0].toLongLong()),
          m_name(row[1].toString()), m_templateId(row[2].toLongLong()) {}

    QString Name() override
    {
        m_s->record(QStringLiteral("AppDevice.Name"), {m_name});
        return m_name;
    }
    Ptr<Interface> DeviceInterface() override
    {
        m_s->record(QStringLiteral("DeviceInterface"), {m_name});
        db();
        return makeInterface(m_s, InterfaceOwner{m_systemId, m_networkId, m_templateId, m_id, m_name});
    }
    Ptr<lns::DeviceTemplate> DeviceTemplate() override
    {
        m_s->record(QStringLiteral("DeviceTemplate"), {m_name});
        const auto row = db().row("SELECT name FROM templates WHERE id = ?", {m_templateId});
        if (!row)
            notFound(AppDeviceSource, QStringLiteral("template of the device %1").arg(m_name));
        return makeTemplate(m_s, m_systemId, m_networkId, m_templateId, row->value(0).toString());
    }
    QString DeviceProgramId() override
    {
        m_s->record(QStringLiteral("DeviceProgramId"), {m_name});
        return value("SELECT t.program_id FROM devices d JOIN templates t ON t.id = d.template_id WHERE d.id = ?")
            .toString();
    }
    bool DeviceCommissioned() override
    {
        m_s->record(QStringLiteral("DeviceCommissioned"), {m_name});
        return value("SELECT commissioned FROM devices WHERE id = ?").toInt() != 0;
    }
    qint32 DeviceState() override
    {
        m_s->record(QStringLiteral("DeviceState"), {m_name});
        const auto row = db().row("SELECT unreachable, state_code FROM devices WHERE id = ?", {m_id});
        if (!row)
            notFound(AppDeviceSource, QStringLiteral("device %1 any more").arg(m_name));
        if (row->value(0).toInt() != 0)
            Raise(ErrDeviceCommunication, AppDeviceSource, QStringLiteral("The device %1 does not answer.").arg(m_name));
        return row->value(1).toInt();
    }
    qint32 TestDevice() override
    {
        m_s->record(QStringLiteral("TestDevice"), {m_name});
        return value("SELECT test_result FROM devices WHERE id = ?").toInt();
    }

private:
    Database& db() { return m_s->systemDatabase(m_systemId, AppDeviceSource); }
    QVariant value(const char* sql)
    {
        const auto row = db().row(sql, {m_id});
        if (!row)
            notFound(AppDeviceSource, QStringLiteral("device %1 any more").arg(m_name));
        return row->value(0);
    }

    State m_s;
    qint64 m_systemId;
    qint64 m_networkId;
    qint64 m_id;
    QString m_name;
    qint64 m_templateId;
};

// Devices of a subsystem, or of a template across the network.
class SqliteAppDevices final : public AppDevices {
public:
    enum class Of { Subsystem, Template };
    SqliteAppDevices(State s, qint64 systemId, qint64 networkId, Of of, qint64 ownerId)
        : m_s(std::move(s)), m_systemId(systemId), m_networkId(networkId), m_of(of), m_ownerId(ownerId) {}

    qint32 Count() override
    {
        m_s->record(QStringLiteral("AppDevices.Count"));
        Database& d = db();
        const auto row = m_of == Of::Subsystem
                             ? d.row("SELECT COUNT(*) FROM devices WHERE subsystem_id = ?", {m_ownerId})
                             : d.row("SELECT COUNT(*) FROM devices WHERE template_id = ?", {m_ownerId});
        return row->value(0).toInt();
    }
    Ptr<AppDevice> Item(qint32 index) override
    {
        m_s->record(QStringLiteral("AppDevices.Item"), {Text(index)});
        Database& d = db();
        const qint64 offset = offsetOf(index, AppDevicesSource, QStringLiteral("the devices"));
        const auto row = m_of == Of::Subsystem
                             ? d.row("SELECT id, name, template_id FROM devices WHERE subsystem_id = ?"
                                     " ORDER BY id LIMIT 1 OFFSET ?",
                                     {m_ownerId, offset})
                             : d.row("SELECT id, name, template_id FROM devices WHERE template_id = ?"
                                     " ORDER BY id LIMIT 1 OFFSET ?",
                                     {m_ownerId, offset});
        if (!row)
            notFound(AppDevicesSource, QStringLiteral("device at position %1").arg(index));
        return makeDevice(m_s, m_systemId, m_networkId, *row);
    }
    Ptr<AppDevice> Item(const QString& name) override
    {
        m_s->record(QStringLiteral("AppDevices.Item"), {name});
        Database& d = db();
        const auto row = m_of == Of::Subsystem
                             ? d.row("SELECT id, name, template_id FROM devices WHERE subsystem_id = ? AND name = ?",
                                     {m_ownerId, name})
                             : d.row("SELECT id, name, template_id FROM devices WHERE template_id = ? AND name = ?"
                                     " ORDER BY id LIMIT 1",
                                     {m_ownerId, name});
        if (!row)
            notFound(AppDevicesSource, QStringLiteral("device named '%1'").arg(Shown(name)));
        return makeDevice(m_s, m_systemId, m_networkId, *row);
    }

private:
    Database& db() { return m_s->systemDatabase(m_systemId, AppDevicesSource); }

    State m_s;
    qint64 m_systemId;
    qint64 m_networkId;
    Of m_of;
    qint64 m_ownerId;
};

class SqliteSubsystem final : public Subsystem {
public:
    SqliteSubsystem(State s, qint64 systemId, qint64 networkId, const Row& row)
        : m_s(std::move(s)), m_systemId(systemId), m_networkId(networkId), m_id(row[0].toLongLong()),
          m_name(row[1].toString()) {}

    QString Name() override
    {
        m_s->record(QStringLiteral("Subsystem.Name"), {m_name});
        return m_name;
    }
    Ptr<AppDevices> SubsystemAppDevices() override
    {
        m_s->record(QStringLiteral("SubsystemAppDevices"), {m_name});
        m_s->systemDatabase(m_systemId, SubsystemSource);
        return std::make_shared<SqliteAppDevices>(m_s, m_systemId, m_networkId, SqliteAppDevices::Of::Subsystem, m_id);
    }

private:
    State m_s;
    qint64 m_systemId;
    qint64 m_networkId;
    qint64 m_id;
    QString m_name;
};

class SqliteSubsystems final : public Subsystems {
public:
    SqliteSubsystems(State s, qint64 systemId, qint64 networkId)
        : m_s(std::move(s)), m_systemId(systemId), m_networkId(networkId) {}

    qint32 Count() override
    {
        m_s->record(QStringLiteral("Subsystems.Count"));
        return db().row("SELECT COUNT(*) FROM subsystems WHERE system_id = ?", {m_systemId})->value(0).toInt();
    }
    Ptr<Subsystem> Item(qint32 index) override
    {
        m_s->record(QStringLiteral("Subsystems.Item"), {Text(index)});
        Database& d = db();
        const auto row = d.row("SELECT id, name FROM subsystems WHERE system_id = ? ORDER BY id LIMIT 1 OFFSET ?",
                               {m_systemId, offsetOf(index, SubsystemsSource, QStringLiteral("the subsystems"))});
        if (!row)
            notFound(SubsystemsSource, QStringLiteral("subsystem at position %1").arg(index));
        return std::make_shared<SqliteSubsystem>(m_s, m_systemId, m_networkId, *row);
    }
    Ptr<Subsystem> Item(const QString& name) override
    {
        m_s->record(QStringLiteral("Subsystems.Item"), {name});
        const auto row = db().row("SELECT id, name FROM subsystems WHERE system_id = ? AND name = ?", {m_systemId, name});
        if (!row)
            notFound(SubsystemsSource, QStringLiteral("subsystem named '%1'").arg(Shown(name)));
        return std::make_shared<SqliteSubsystem>(m_s, m_systemId, m_networkId, *row);
    }

private:
    Database& db() { return m_s->systemDatabase(m_systemId, SubsystemsSource); }

    State m_s;
    qint64 m_systemId;
    qint64 m_networkId;
};

// ---------------------------------------------------------------- templates

class SqliteDeviceTemplate final : public lns::DeviceTemplate {
public:
    SqliteDeviceTemplate(State s, qint64 systemId, qint64 networkId, qint64 id, QString name)
        : m_s(std::move(s)), m_systemId(systemId), m_networkId(networkId), m_id(id), m_name(std::move(name)) {}

    QString TemplateName() override
    {
        m_s->record(QStringLiteral("TemplateName"), {m_name});
        return m_name;
    }
    QString TemplateProgramId() override
    {
        m_s->record(QStringLiteral("TemplateProgramId"), {m_name});
        const auto row = db().row("SELECT program_id FROM templates WHERE id = ?", {m_id});
        if (!row)
            gone();
        return row->value(0).toString();
    }
    void TemplateImportXif(const QString& xifPath) override
    {
        m_s->record(QStringLiteral("TemplateImportXif"), {m_name, xifPath});
        Database& d = db();
        const xif::InterfaceDefinition definition = ReadInterfaceFiles(xifPath, DeviceTemplateSource);
        Database::Transaction transaction(d);
        if (!d.row("SELECT id FROM templates WHERE id = ?", {m_id}))
            gone();
        ImportInterface(d, m_id, definition, DeviceTemplateSource);
        transaction.commit();
    }
    Ptr<ComponentApps> TemplateComponentApps() override
    {
        m_s->record(QStringLiteral("TemplateComponentApps"), {m_name});
        db();
        return MakeComponentApps(m_s, AppOwner::Template, m_id, m_systemId);
    }
    Ptr<Interface> TemplateInterface() override
    {
        m_s->record(QStringLiteral("TemplateInterface"), {m_name});
        db();
        return makeInterface(m_s, InterfaceOwner{m_systemId, m_networkId, m_id, 0, QString()});
    }
    Ptr<AppDevices> TemplateAppDevices() override
    {
        m_s->record(QStringLiteral("TemplateAppDevices"), {m_name});
        db();
        return std::make_shared<SqliteAppDevices>(m_s, m_systemId, m_networkId, SqliteAppDevices::Of::Template, m_id);
    }

private:
    Database& db() { return m_s->systemDatabase(m_systemId, DeviceTemplateSource); }
    [[noreturn]] void gone() { notFound(DeviceTemplateSource, QStringLiteral("device template %1 any more").arg(m_name)); }

    State m_s;
    qint64 m_systemId;
    qint64 m_networkId;
    qint64 m_id;
    QString m_name;
};

class SqliteDeviceTemplates final : public DeviceTemplates {
public:
    SqliteDeviceTemplates(State s, qint64 systemId, qint64 networkId)
        : m_s(std::move(s)), m_systemId(systemId), m_networkId(networkId) {}

    qint32 Count() override
    {
        m_s->record(QStringLiteral("DeviceTemplates.Count"));
        return db().row("SELECT COUNT(*) FROM templates WHERE network_id = ?", {m_networkId})->value(0).toInt();
    }
    Ptr<lns::DeviceTemplate> DeviceTemplatesItem(qint32 index) override
    {
        m_s->record(QStringLiteral("DeviceTemplatesItem"), {Text(index)});
        Database& d = db();
        const auto row = d.row("SELECT id, name FROM templates WHERE network_id = ? ORDER BY id LIMIT 1 OFFSET ?",
                               {m_networkId, offsetOf(index, DeviceTemplatesSource, QStringLiteral("the device templates"))});
        if (!row)
            notFound(DeviceTemplatesSource, QStringLiteral("device template at position %1").arg(index));
        return make(*row);
    }
    Ptr<lns::DeviceTemplate> DeviceTemplatesItem(const QString& name) override
    {
        m_s->record(QStringLiteral("DeviceTemplatesItem"), {name});
        const auto row = db().row("SELECT id, name FROM templates WHERE network_id = ? AND name = ?", {m_networkId, name});
        if (!row)
            notFound(DeviceTemplatesSource, QStringLiteral("device template named '%1'").arg(Shown(name)));
        return make(*row);
    }
    Ptr<lns::DeviceTemplate> DeviceTemplatesFindByProgramId(const QString& programId) override
    {
        m_s->record(QStringLiteral("DeviceTemplatesFindByProgramId"), {programId});
        const auto row = db().row("SELECT id, name FROM templates WHERE network_id = ? AND program_id <> ''"
                                  " AND upper(program_id) = upper(?) ORDER BY id LIMIT 1",
                                  {m_networkId, programId});
        if (!row)
            notFound(DeviceTemplatesSource, QStringLiteral("device template with the program ID %1").arg(Shown(programId)));
        return make(*row);
    }
    Ptr<lns::DeviceTemplate> DeviceTemplatesAdd(const QString& name, qint32 kind) override
    {
        m_s->record(QStringLiteral("DeviceTemplatesAdd"), {name, Text(kind)});
        Database& d = db();
        if (name.trimmed().isEmpty())
            Raise(ErrInvalidName, DeviceTemplatesSource, QStringLiteral("A device template needs a name."));
        Database::Transaction transaction(d);
        if (d.row("SELECT id FROM templates WHERE network_id = ? AND name = ?", {m_networkId, name}))
            Raise(ErrNameInUse, DeviceTemplatesSource,
                  QStringLiteral("The template library already holds a device template named '%1'.").arg(Shown(name)));
        const qint64 id = d.exec("INSERT INTO templates (network_id, name, kind) VALUES (?, ?, ?)",
                                 {m_networkId, name, kind});
        transaction.commit();
        return makeTemplate(m_s, m_systemId, m_networkId, id, name);
    }
    void DeviceTemplatesRemove(const QString& name) override
    {
        m_s->record(QStringLiteral("DeviceTemplatesRemove"), {name});
        Database& d = db();
        Database::Transaction transaction(d);
        const auto row = d.row("SELECT id FROM templates WHERE network_id = ? AND name = ?", {m_networkId, name});
        if (!row)
            notFound(DeviceTemplatesSource, QStringLiteral("device template named '%1'").arg(Shown(name)));
        const qint64 id = row->value(0).toLongLong();
        const int devices = d.row("SELECT COUNT(*) FROM devices WHERE template_id = ?", {id})->value(0).toInt();
        if (devices > 0)
            Raise(ErrInvalidArgument, DeviceTemplatesSource,
                  QStringLiteral("The device template '%1' is used by %2 devices.").arg(name).arg(devices));
        d.exec("DELETE FROM component_apps WHERE owner_kind = 3 AND owner_id IN"
               " (SELECT id FROM template_lmos WHERE template_id = ?)",
               {id});
        d.exec("DELETE FROM component_apps WHERE owner_kind = 2 AND owner_id = ?", {id});
        d.exec("DELETE FROM templates WHERE id = ?", {id});
        transaction.commit();
    }

private:
    Database& db() { return m_s->systemDatabase(m_systemId, DeviceTemplatesSource); }
    Ptr<lns::DeviceTemplate> make(const Row& row)
    {
        return makeTemplate(m_s, m_systemId, m_networkId, row[0].toLongLong(), row[1].toString());
    }

    State m_s;
    qint64 m_systemId;
    qint64 m_networkId;
};

class SqliteTemplateLibrary final : public TemplateLibrary {
public:
    SqliteTemplateLibrary(State s, qint64 systemId, qint64 networkId)
        : m_s(std::move(s)), m_systemId(systemId), m_networkId(networkId) {}

    Ptr<DeviceTemplates> TemplateLibraryDeviceTemplates() override
    {
        m_s->record(QStringLiteral("TemplateLibraryDeviceTemplates"));
        m_s->systemDatabase(m_systemId, TemplateLibrarySource);
        return std::make_shared<SqliteDeviceTemplates>(m_s, m_systemId, m_networkId);
    }

private:
    State m_s;
    qint64 m_systemId;
    qint64 m_networkId;
};

// ---------------------------------------------------------------- network interfaces

class SqliteNetworkInterface final : public NetworkInterface {
public:
    SqliteNetworkInterface(State s, qint64 id, QString name) : m_s(std::move(s)), m_id(id), m_name(std::move(name)) {}

    QString InterfaceName() override
    {
        m_s->record(QStringLiteral("InterfaceName"), {m_name});
        return m_name;
    }
    qint64 id() const { return m_id; }
    const QString& name() const { return m_name; }

private:
    State m_s;
    qint64 m_id;
    QString m_name;
};

class SqliteNetworkInterfaces final : public NetworkInterfaces {
public:
    explicit SqliteNetworkInterfaces(State s) : m_s(std::move(s)) {}

    qint32 Count() override
    {
        m_s->record(QStringLiteral("NetworkInterfaces.Count"));
        return db().row("SELECT COUNT(*) FROM network_interfaces")->value(0).toInt();
    }
    Ptr<NetworkInterface> Item(qint32 index) override
    {
        m_s->record(QStringLiteral("NetworkInterfaces.Item"), {Text(index)});
        Database& d = db();
        const auto row = d.row("SELECT id, name FROM network_interfaces ORDER BY id LIMIT 1 OFFSET ?",
                               {offsetOf(index, NetworkInterfacesSource, QStringLiteral("the network interfaces"))});
        if (!row)
            notFound(NetworkInterfacesSource, QStringLiteral("network interface at position %1").arg(index));
        return std::make_shared<SqliteNetworkInterface>(m_s, row->value(0).toLongLong(), row->value(1).toString());
    }
    Ptr<NetworkInterface> Item(const QString& name) override
    {
        m_s->record(QStringLiteral("NetworkInterfaces.Item"), {name});
        const auto row = db().row("SELECT id, name FROM network_interfaces WHERE name = ?", {name});
        if (!row)
            notFound(NetworkInterfacesSource, QStringLiteral("network interface named '%1'").arg(Shown(name)));
        return std::make_shared<SqliteNetworkInterface>(m_s, row->value(0).toLongLong(), row->value(1).toString());
    }

private:
    Database& db() { return m_s->database(NetworkInterfacesSource); }

    State m_s;
};

class SqliteNetworkServiceDevice final : public NetworkServiceDevice {
public:
    SqliteNetworkServiceDevice(State s, qint64 systemId, qint64 networkId)
        : m_s(std::move(s)), m_systemId(systemId), m_networkId(networkId) {}

    Ptr<NetworkInterface> NsdNetworkInterface() override
    {
        m_s->record(QStringLiteral("NsdNetworkInterface"));
        const auto row = db().row("SELECT i.id, i.name FROM systems s JOIN network_interfaces i"
                                  " ON i.id = s.nsd_interface_id WHERE s.id = ?",
                                  {m_systemId});
        if (!row)
            return nullptr;
        return std::make_shared<SqliteNetworkInterface>(m_s, row->value(0).toLongLong(), row->value(1).toString());
    }
    void SetNsdNetworkInterface(const Ptr<NetworkInterface>& networkInterface) override
    {
        m_s->record(QStringLiteral("SetNsdNetworkInterface"),
                    {networkInterface ? NetworkInterfaceNameOf(networkInterface) : QStringLiteral("none")});
        Database& d = db();
        const qint64 id = NetworkInterfaceId(networkInterface, NsdSource);
        if (d.exec("UPDATE systems SET nsd_interface_id = ? WHERE id = ?", {id ? QVariant(id) : nullId(), m_systemId}) == 0)
            notFound(NsdSource, QStringLiteral("system any more"));
    }

private:
    Database& db() { return m_s->networkDatabase(m_networkId, NsdSource); }

    State m_s;
    qint64 m_systemId;
    qint64 m_networkId;
};

// ---------------------------------------------------------------- systems and networks

class SqliteSystem final : public System {
public:
    SqliteSystem(State s, qint64 networkId, const Row& row)
        : m_s(std::move(s)), m_networkId(networkId), m_id(row[0].toLongLong()), m_name(row[1].toString()) {}

    void OpenSystem() override
    {
        m_s->record(QStringLiteral("OpenSystem"));
        Database& d = m_s->networkDatabase(m_networkId, SystemSource);
        const auto row = d.row("SELECT requires_interface, nsd_interface_id FROM systems WHERE id = ?", {m_id});
        if (!row)
            notFound(SystemSource, QStringLiteral("system %1 any more").arg(m_name));
        if (row->value(0).toInt() != 0 && row->value(1).isNull())
            Raise(ErrNoNetworkInterface, SystemSource,
                  QStringLiteral("The system %1 opens only with its network interface attached.").arg(m_name));
        m_s->openSystems.insert(m_id);
    }
    void CloseSystem() override
    {
        m_s->record(QStringLiteral("CloseSystem"));
        m_s->openSystems.remove(m_id);
    }
    bool SystemIsOpen() override
    {
        m_s->record(QStringLiteral("SystemIsOpen"));
        return m_s->openSystems.contains(m_id);
    }
    QString SystemName() override
    {
        m_s->record(QStringLiteral("SystemName"));
        return m_name;
    }
    qint32 SystemNetworkMode() override
    {
        m_s->record(QStringLiteral("SystemNetworkMode"));
        return column("SELECT network_mode FROM systems WHERE id = ?", m_s->networkDatabase(m_networkId, SystemSource))
            .toInt();
    }
    Ptr<Subsystems> SystemSubsystems() override
    {
        m_s->record(QStringLiteral("SystemSubsystems"));
        openDb();
        return std::make_shared<SqliteSubsystems>(m_s, m_id, m_networkId);
    }
    Ptr<ComponentApps> SystemComponentApps() override
    {
        m_s->record(QStringLiteral("SystemComponentApps"));
        openDb();
        return MakeComponentApps(m_s, AppOwner::System, m_id, m_id);
    }
    Ptr<TemplateLibrary> SystemTemplateLibrary() override
    {
        m_s->record(QStringLiteral("SystemTemplateLibrary"));
        openDb();
        return std::make_shared<SqliteTemplateLibrary>(m_s, m_id, m_networkId);
    }
    QString SystemImportFolder() override
    {
        m_s->record(QStringLiteral("SystemImportFolder"));
        return column("SELECT import_folder FROM systems WHERE id = ?", openDb()).toString();
    }
    void SetSystemOptionFlag(bool flag) override
    {
        m_s->record(QStringLiteral("SetSystemOptionFlag"), {Text(flag)});
        openDb();
        m_s->systemSettings[m_networkId].optionFlag = flag;
    }
    void SetSystemOptionValue(qint32 value) override
    {
        m_s->record(QStringLiteral("SetSystemOptionValue"), {Text(value)});
        openDb();
        m_s->systemSettings[m_networkId].optionValue = value;
    }
    void SetSystemTuningValue(qint32 value) override
    {
        m_s->record(QStringLiteral("SetSystemTuningValue"), {Text(value)});
        openDb();
        m_s->systemSettings[m_networkId].tuningValue = value;
    }
    Ptr<NetworkServiceDevice> SystemNetworkServiceDevice() override
    {
        m_s->record(QStringLiteral("SystemNetworkServiceDevice"));
        m_s->networkDatabase(m_networkId, SystemSource);
        return std::make_shared<SqliteNetworkServiceDevice>(m_s, m_id, m_networkId);
    }

private:
    Database& openDb() { return m_s->systemDatabase(m_id, SystemSource); }
    QVariant column(const char* sql, Database& d)
    {
        const auto row = d.row(sql, {m_id});
        if (!row)
            notFound(SystemSource, QStringLiteral("system %1 any more").arg(m_name));
        return row->value(0);
    }

    State m_s;
    qint64 m_networkId;
    qint64 m_id;
    QString m_name;
};

class SqliteSystems final : public Systems {
public:
    SqliteSystems(State s, qint64 networkId) : m_s(std::move(s)), m_networkId(networkId) {}

    qint32 Count() override
    {
        m_s->record(QStringLiteral("Systems.Count"));
        return db().row("SELECT COUNT(*) FROM systems WHERE network_id = ?", {m_networkId})->value(0).toInt();
    }
    Ptr<System> Item(qint32 index) override
    {
        m_s->record(QStringLiteral("Systems.Item"), {Text(index)});
        Database& d = db();
        const auto row = d.row("SELECT id, name FROM systems WHERE network_id = ? ORDER BY id LIMIT 1 OFFSET ?",
                               {m_networkId, offsetOf(index, SystemsSource, QStringLiteral("the systems"))});
        if (!row)
            notFound(SystemsSource, QStringLiteral("system at position %1").arg(index));
        return std::make_shared<SqliteSystem>(m_s, m_networkId, *row);
    }

private:
    Database& db() { return m_s->networkDatabase(m_networkId, SystemsSource); }

    State m_s;
    qint64 m_networkId;
};

class SqliteNetwork final : public Network {
public:
    SqliteNetwork(State s, const Row& row) : m_s(std::move(s)), m_id(row[0].toLongLong()), m_name(row[1].toString()) {}

    void OpenNetwork() override
    {
        m_s->record(QStringLiteral("OpenNetwork"), {m_name});
        Database& d = m_s->database(NetworkSource);
        if (!d.row("SELECT id FROM networks WHERE id = ?", {m_id}))
            notFound(NetworkSource, QStringLiteral("network %1 any more").arg(m_name));
        m_s->openNetworks.insert(m_id);
        m_s->networkIds.insert(m_name, m_id);
    }
    void CloseNetwork() override
    {
        m_s->record(QStringLiteral("CloseNetwork"), {m_name});
        if (m_s->db) {
            for (const Row& row : m_s->db->rows("SELECT id FROM systems WHERE network_id = ?", {m_id}))
                m_s->openSystems.remove(row[0].toLongLong());
        }
        m_s->openNetworks.remove(m_id);
    }
    bool NetworkIsOpen() override
    {
        m_s->record(QStringLiteral("NetworkIsOpen"), {m_name});
        return m_s->openNetworks.contains(m_id);
    }
    QString NetworkName() override
    {
        m_s->record(QStringLiteral("NetworkName"), {m_name});
        return m_name;
    }
    Ptr<Systems> NetworkSystems() override
    {
        m_s->record(QStringLiteral("NetworkSystems"), {m_name});
        m_s->networkDatabase(m_id, NetworkSource);
        return std::make_shared<SqliteSystems>(m_s, m_id);
    }

private:
    State m_s;
    qint64 m_id;
    QString m_name;
};

class SqliteNetworks final : public Networks {
public:
    explicit SqliteNetworks(State s) : m_s(std::move(s)) {}

    qint32 Count() override
    {
        m_s->record(QStringLiteral("Networks.Count"));
        return db().row("SELECT COUNT(*) FROM networks")->value(0).toInt();
    }
    Ptr<Network> Item(qint32 index) override
    {
        m_s->record(QStringLiteral("Networks.Item"), {Text(index)});
        Database& d = db();
        const auto row = d.row("SELECT id, name FROM networks ORDER BY id LIMIT 1 OFFSET ?",
                               {offsetOf(index, NetworksSource, QStringLiteral("the networks"))});
        if (!row)
            notFound(NetworksSource, QStringLiteral("network at position %1").arg(index));
        return std::make_shared<SqliteNetwork>(m_s, *row);
    }
    Ptr<Network> Item(const QString& name) override
    {
        m_s->record(QStringLiteral("Networks.Item"), {name});
        const auto row = db().row("SELECT id, name FROM networks WHERE name = ?", {name});
        if (!row)
            notFound(NetworksSource, QStringLiteral("network named '%1'").arg(Shown(name)));
        return std::make_shared<SqliteNetwork>(m_s, *row);
    }

private:
    Database& db() { return m_s->database(NetworksSource); }

    State m_s;
};

Ptr<lns::AppDevice> makeDevice(const State& s, qint64 systemId, qint64 networkId, const Row& row)
{
    return std::make_shared<SqliteAppDevice>(s, systemId, networkId, row);
}

Ptr<lns::DeviceTemplate> makeTemplate(const State& s, qint64 systemId, qint64 networkId, qint64 id, const QString& name)
{
    return std::make_shared<SqliteDeviceTemplate>(s, systemId, networkId, id, name);
}

Ptr<lns::Interface> makeInterface(const State& s, const InterfaceOwner& owner)
{
    return std::make_shared<SqliteInterface>(s, owner);
}

Ptr<lns::LonMarkObjects> makeLonMarkObjects(const State& s, const InterfaceOwner& owner)
{
    return std::make_shared<SqliteLonMarkObjects>(s, owner);
}

}  // namespace

Ptr<Networks> MakeNetworks(const State& state)
{
    return std::make_shared<SqliteNetworks>(state);
}

Ptr<NetworkInterfaces> MakeNetworkInterfaces(const State& state)
{
    return std::make_shared<SqliteNetworkInterfaces>(state);
}

Ptr<ComponentApps> MakeComponentApps(const State& state, AppOwner owner, qint64 ownerId, qint64 systemId)
{
    return std::make_shared<SqliteComponentApps>(state, owner, ownerId, systemId);
}

qint64 NetworkInterfaceId(const Ptr<NetworkInterface>& networkInterface, const QString& source)
{
    if (!networkInterface)
        return 0;
    const auto* ours = dynamic_cast<const SqliteNetworkInterface*>(networkInterface.get());
    if (!ours)
        Raise(ErrInvalidArgument, source, QStringLiteral("The network interface does not belong to this object server."));
    return ours->id();
}

QString NetworkInterfaceNameOf(const Ptr<NetworkInterface>& networkInterface)
{
    const auto* ours = dynamic_cast<const SqliteNetworkInterface*>(networkInterface.get());
    return ours ? ours->name() : QString();
}

}  // namespace lns::sqlite

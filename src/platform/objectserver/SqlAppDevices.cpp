// Devices, and the devices of a subsystem or made from a template.
#include "platform/objectserver/SqlHandles.h"

namespace lns::sql {

namespace {

class SqlAppDevice final : public AppDevice {
public:
    SqlAppDevice(State s, qint64 systemId, qint64 networkId, const Row& row)
        : m_s(std::move(s)),
          m_systemId(systemId),
          m_networkId(networkId),
          m_id(row[0].toLongLong()),
          m_name(row[1].toString()),
          m_templateId(row[2].toLongLong())
    {
    }

    QString Name() override { return m_name; }
    Ptr<Interface> DeviceInterface() override
    {
        db();
        return makeInterface(m_s, InterfaceOwner{m_systemId, m_networkId, m_templateId, m_id, m_name});
    }
    Ptr<lns::DeviceTemplate> DeviceTemplate() override
    {
        const auto row = db().row("SELECT name FROM templates WHERE id = ?", {m_templateId});
        if (!row)
            notFound(AppDeviceSource, QStringLiteral("template of the device %1").arg(m_name));
        return makeTemplate(m_s, m_systemId, m_networkId, m_templateId, row->value(0).toString());
    }
    QString DeviceProgramId() override
    {
        return value("SELECT t.program_id FROM devices d JOIN templates t ON t.id = d.template_id WHERE d.id = ?")
            .toString();
    }
    bool DeviceCommissioned() override { return value("SELECT commissioned FROM devices WHERE id = ?").toInt() != 0; }
    qint32 DeviceState() override
    {
        const auto row = db().row("SELECT unreachable, state_code FROM devices WHERE id = ?", {m_id});
        if (!row)
            notFound(AppDeviceSource, QStringLiteral("device %1 any more").arg(m_name));
        if (row->value(0).toInt() != 0)
            Raise(ErrDeviceCommunication, AppDeviceSource,
                  QStringLiteral("The device %1 does not answer.").arg(m_name));
        return row->value(1).toInt();
    }
    qint32 TestDevice() override { return value("SELECT test_result FROM devices WHERE id = ?").toInt(); }

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
class SqlAppDevices final : public AppDevices {
public:
    using Of = DevicesOf;
    SqlAppDevices(State s, qint64 systemId, qint64 networkId, Of of, qint64 ownerId)
        : m_s(std::move(s)), m_systemId(systemId), m_networkId(networkId), m_of(of), m_ownerId(ownerId)
    {
    }

    qint32 Count() override
    {
        Database& d = db();
        const auto row = m_of == Of::Subsystem
                             ? d.row("SELECT COUNT(*) FROM devices WHERE subsystem_id = ?", {m_ownerId})
                             : d.row("SELECT COUNT(*) FROM devices WHERE template_id = ?", {m_ownerId});
        return row->value(0).toInt();
    }
    Ptr<AppDevice> Item(qint32 index) override
    {
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

}  // namespace

Ptr<lns::AppDevice> makeDevice(const State& s, qint64 systemId, qint64 networkId, const Row& row)
{
    return std::make_shared<SqlAppDevice>(s, systemId, networkId, row);
}

Ptr<lns::AppDevices> makeAppDevices(const State& s, qint64 systemId, qint64 networkId, DevicesOf of, qint64 ownerId)
{
    return std::make_shared<SqlAppDevices>(s, systemId, networkId, of, ownerId);
}

}  // namespace lns::sql

// Device templates and the template library of a system.
#include "platform/objectserver/SqlHandles.h"

namespace lns::sql {

namespace {

class SqlDeviceTemplate final : public lns::DeviceTemplate {
public:
    SqlDeviceTemplate(State s, qint64 systemId, qint64 networkId, qint64 id, QString name)
        : m_s(std::move(s)), m_systemId(systemId), m_networkId(networkId), m_id(id), m_name(std::move(name))
    {
    }

    QString TemplateName() override { return m_name; }
    QString TemplateProgramId() override
    {
        const auto row = db().row("SELECT program_id FROM templates WHERE id = ?", {m_id});
        if (!row)
            gone();
        return row->value(0).toString();
    }
    void TemplateImportXif(const QString& xifPath) override
    {
        Database& d = db();
        const xif::InterfaceDefinition definition = ReadInterfaceFiles(xifPath, DeviceTemplateSource);
        d.write([&] {
            if (!d.row("SELECT id FROM templates WHERE id = ?", {m_id}))
                gone();
            ImportInterface(d, m_id, definition, DeviceTemplateSource);
        });
    }
    Ptr<ComponentApps> TemplateComponentApps() override
    {
        db();
        return MakeComponentApps(m_s, AppOwner::Template, m_id, m_systemId);
    }
    Ptr<Interface> TemplateInterface() override
    {
        db();
        return makeInterface(m_s, InterfaceOwner{m_systemId, m_networkId, m_id, 0, QString()});
    }
    Ptr<AppDevices> TemplateAppDevices() override
    {
        db();
        return makeAppDevices(m_s, m_systemId, m_networkId, DevicesOf::Template, m_id);
    }

private:
    Database& db() { return m_s->systemDatabase(m_systemId, DeviceTemplateSource); }
    [[noreturn]] void gone()
    {
        notFound(DeviceTemplateSource, QStringLiteral("device template %1 any more").arg(m_name));
    }

    State m_s;
    qint64 m_systemId;
    qint64 m_networkId;
    qint64 m_id;
    QString m_name;
};

class SqlDeviceTemplates final : public DeviceTemplates {
public:
    SqlDeviceTemplates(State s, qint64 systemId, qint64 networkId)
        : m_s(std::move(s)), m_systemId(systemId), m_networkId(networkId)
    {
    }

    qint32 Count() override
    {
        return db().row("SELECT COUNT(*) FROM templates WHERE network_id = ?", {m_networkId})->value(0).toInt();
    }
    Ptr<lns::DeviceTemplate> DeviceTemplatesItem(qint32 index) override
    {
        Database& d = db();
        const auto row =
            d.row("SELECT id, name FROM templates WHERE network_id = ? ORDER BY id LIMIT 1 OFFSET ?",
                  {m_networkId, offsetOf(index, DeviceTemplatesSource, QStringLiteral("the device templates"))});
        if (!row)
            notFound(DeviceTemplatesSource, QStringLiteral("device template at position %1").arg(index));
        return make(*row);
    }
    Ptr<lns::DeviceTemplate> DeviceTemplatesItem(const QString& name) override
    {
        const auto row =
            db().row("SELECT id, name FROM templates WHERE network_id = ? AND name = ?", {m_networkId, name});
        if (!row)
            notFound(DeviceTemplatesSource, QStringLiteral("device template named '%1'").arg(Shown(name)));
        return make(*row);
    }
    Ptr<lns::DeviceTemplate> DeviceTemplatesFindByProgramId(const QString& programId) override
    {
        const auto row = db().row("SELECT id, name FROM templates WHERE network_id = ? AND program_id <> ''"
                                  " AND upper(program_id) = upper(?) ORDER BY id LIMIT 1",
                                  {m_networkId, programId});
        if (!row)
            notFound(DeviceTemplatesSource,
                     QStringLiteral("device template with the program ID %1").arg(Shown(programId)));
        return make(*row);
    }
    Ptr<lns::DeviceTemplate> DeviceTemplatesAdd(const QString& name, qint32 kind) override
    {
        Database& d = db();
        if (name.trimmed().isEmpty())
            Raise(ErrInvalidName, DeviceTemplatesSource, QStringLiteral("A device template needs a name."));
        const qint64 id = d.write([&] {
            if (d.row("SELECT id FROM templates WHERE network_id = ? AND name = ?", {m_networkId, name}))
                Raise(ErrNameInUse, DeviceTemplatesSource,
                      QStringLiteral("The template library already holds a device template named '%1'.")
                          .arg(Shown(name)));
            return d.exec("INSERT INTO templates (network_id, name, kind) VALUES (?, ?, ?)", {m_networkId, name, kind});
        });
        return makeTemplate(m_s, m_systemId, m_networkId, id, name);
    }
    void DeviceTemplatesRemove(const QString& name) override
    {
        Database& d = db();
        d.write([&] {
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
        });
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

class SqlTemplateLibrary final : public TemplateLibrary {
public:
    SqlTemplateLibrary(State s, qint64 systemId, qint64 networkId)
        : m_s(std::move(s)), m_systemId(systemId), m_networkId(networkId)
    {
    }

    Ptr<DeviceTemplates> TemplateLibraryDeviceTemplates() override
    {
        m_s->systemDatabase(m_systemId, TemplateLibrarySource);
        return std::make_shared<SqlDeviceTemplates>(m_s, m_systemId, m_networkId);
    }

private:
    State m_s;
    qint64 m_systemId;
    qint64 m_networkId;
};

}  // namespace

Ptr<lns::DeviceTemplate> makeTemplate(const State& s, qint64 systemId, qint64 networkId, qint64 id, const QString& name)
{
    return std::make_shared<SqlDeviceTemplate>(s, systemId, networkId, id, name);
}

Ptr<lns::TemplateLibrary> makeTemplateLibrary(const State& s, qint64 systemId, qint64 networkId)
{
    return std::make_shared<SqlTemplateLibrary>(s, systemId, networkId);
}

}  // namespace lns::sql

// Component applications of the object server, of a system, of a template or of a template's LonMark
// object, as handles over the component_apps table.
#include "platform/objectserver/SqlHandles.h"

namespace lns::sql {

namespace {

class SqlComponentApp final : public ComponentApp {
public:
    SqlComponentApp(State s, qint64 id, qint64 systemId, QString name)
        : m_s(std::move(s)), m_id(id), m_systemId(systemId), m_name(std::move(name))
    {
    }

    QString Name() override { return m_name; }
    QString AppProgId() override { return text("SELECT prog_id FROM component_apps WHERE id = ?"); }
    qint32 AppObjectClass() override { return text("SELECT object_class FROM component_apps WHERE id = ?").toInt(); }
    qint32 AppCommandId() override { return text("SELECT command_id FROM component_apps WHERE id = ?").toInt(); }
    void SetAppCommandId(qint32 commandId) override
    {
        set("UPDATE component_apps SET command_id = ? WHERE id = ?", commandId);
    }
    QString AppDescription() override { return text("SELECT description FROM component_apps WHERE id = ?"); }
    void SetAppDescription(const QString& description) override
    {
        set("UPDATE component_apps SET description = ? WHERE id = ?", description);
    }
    bool AppIsDefault() override { return text("SELECT is_default FROM component_apps WHERE id = ?").toInt() != 0; }
    void SetAppIsDefault(bool isDefault) override
    {
        set("UPDATE component_apps SET is_default = ? WHERE id = ?", isDefault ? 1 : 0);
    }
    QString AppVersion() override { return text("SELECT version FROM component_apps WHERE id = ?"); }
    void SetAppVersion(const QString& version) override
    {
        set("UPDATE component_apps SET version = ? WHERE id = ?", version);
    }
    QString AppManufacturerId() override { return text("SELECT manufacturer_id FROM component_apps WHERE id = ?"); }
    void SetAppManufacturerId(const QString& manufacturerId) override
    {
        set("UPDATE component_apps SET manufacturer_id = ? WHERE id = ?", manufacturerId);
    }

private:
    Database& db()
    {
        return m_systemId ? m_s->systemDatabase(m_systemId, ComponentAppSource) : m_s->database(ComponentAppSource);
    }
    QString text(const char* sql)
    {
        const auto row = db().row(sql, {m_id});
        if (!row)
            notFound(ComponentAppSource, QStringLiteral("component application %1 any more").arg(m_name));
        return row->value(0).toString();
    }
    void set(const char* sql, const QVariant& value)
    {
        if (db().exec(sql, {value, m_id}) == 0)
            notFound(ComponentAppSource, QStringLiteral("component application %1 any more").arg(m_name));
    }

    State m_s;
    qint64 m_id;
    qint64 m_systemId;
    QString m_name;
};

class SqlComponentApps final : public ComponentApps {
public:
    SqlComponentApps(State s, AppOwner owner, qint64 ownerId, qint64 systemId)
        : m_s(std::move(s)), m_owner(static_cast<int>(owner)), m_ownerId(ownerId), m_systemId(systemId)
    {
    }

    qint32 ComponentAppsCount() override
    {
        return db()
            .row("SELECT COUNT(*) FROM component_apps WHERE owner_kind = ? AND owner_id = ?", {m_owner, m_ownerId})
            ->value(0)
            .toInt();
    }
    Ptr<ComponentApp> ComponentAppsItem(qint32 index) override
    {
        Database& d = db();
        const auto row = d.row(
            "SELECT id, name FROM component_apps WHERE owner_kind = ? AND owner_id = ?"
            " ORDER BY id LIMIT 1 OFFSET ?",
            {m_owner, m_ownerId, offsetOf(index, ComponentAppsSource, QStringLiteral("the component applications"))});
        if (!row)
            notFound(ComponentAppsSource, QStringLiteral("component application at position %1").arg(index));
        return make(*row);
    }
    Ptr<ComponentApp> ComponentAppsItem(const QString& name) override
    {
        const auto row =
            db().row("SELECT id, name FROM component_apps WHERE owner_kind = ? AND owner_id = ? AND name = ?",
                     {m_owner, m_ownerId, name});
        if (!row)
            notFound(ComponentAppsSource, QStringLiteral("component application named '%1'").arg(Shown(name)));
        return make(*row);
    }
    Ptr<ComponentApp> ComponentAppsAdd(const QString& name, const QString& progId, qint32 objectClass) override
    {
        Database& d = db();
        if (name.trimmed().isEmpty())
            Raise(ErrInvalidName, ComponentAppsSource, QStringLiteral("A component application needs a name."));
        const qint64 id = d.write([&] {
            if (d.row("SELECT id FROM component_apps WHERE owner_kind = ? AND owner_id = ? AND name = ?",
                      {m_owner, m_ownerId, name}))
                Raise(
                    ErrNameInUse, ComponentAppsSource,
                    QStringLiteral("The name '%1' is already used by another component application.").arg(Shown(name)));
            return d.exec("INSERT INTO component_apps (owner_kind, owner_id, name, prog_id, object_class)"
                          " VALUES (?, ?, ?, ?, ?)",
                          {m_owner, m_ownerId, name, progId, objectClass});
        });
        return std::make_shared<SqlComponentApp>(m_s, id, m_systemId, name);
    }
    void ComponentAppsRemove(qint32 index) override
    {
        Database& d = db();
        d.write([&] {
            const auto row =
                d.row("SELECT id FROM component_apps WHERE owner_kind = ? AND owner_id = ?"
                      " ORDER BY id LIMIT 1 OFFSET ?",
                      {m_owner, m_ownerId,
                       offsetOf(index, ComponentAppsSource, QStringLiteral("the component applications"))});
            if (!row)
                notFound(ComponentAppsSource, QStringLiteral("component application at position %1").arg(index));
            d.exec("DELETE FROM component_apps WHERE id = ?", {row->value(0)});
        });
    }

private:
    Database& db()
    {
        return m_systemId ? m_s->systemDatabase(m_systemId, ComponentAppsSource) : m_s->database(ComponentAppsSource);
    }
    Ptr<ComponentApp> make(const Row& row)
    {
        return std::make_shared<SqlComponentApp>(m_s, row[0].toLongLong(), m_systemId, row[1].toString());
    }

    State m_s;
    int m_owner;
    qint64 m_ownerId;
    qint64 m_systemId;
};

}  // namespace

Ptr<ComponentApps> MakeComponentApps(const State& state, AppOwner owner, qint64 ownerId, qint64 systemId)
{
    return std::make_shared<SqlComponentApps>(state, owner, ownerId, systemId);
}

}  // namespace lns::sql

// The LonMark objects of an interface.
#include "platform/objectserver/SqlHandles.h"

namespace lns::sql {

namespace {

class SqlLonMarkObject final : public LonMarkObject {
public:
    SqlLonMarkObject(State s, const InterfaceOwner& owner, const Row& row)
        : m_s(std::move(s)),
          m_owner(owner),
          m_id(row[0].toLongLong()),
          m_name(row[1].toString()),
          m_displayName(row[2].toString()),
          m_profileKey(static_cast<qint16>(row[3].toInt()))
    {
    }

    QString Name() override { return m_name; }
    QString LonMarkObjectDisplayName() override { return m_displayName; }
    qint16 LonMarkObjectProfileKey() override { return m_profileKey; }
    qint16 LonMarkObjectMode() override
    {
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
        Database& d = db();
        const qint64 changed = m_owner.deviceId
                                   ? d.changes("INSERT INTO device_lmo_modes (device_id, lmo_id, mode) VALUES (?, ?, ?)"
                                               " ON CONFLICT (device_id, lmo_id) DO UPDATE SET mode = excluded.mode",
                                               {m_owner.deviceId, m_id, mode})
                                   : d.changes("UPDATE template_lmos SET mode = ? WHERE id = ?", {mode, m_id});
        if (changed == 0)
            notFound(LonMarkObjectSource, QStringLiteral("LonMark object %1 any more").arg(m_name));
    }
    Ptr<ComponentApps> LonMarkObjectComponentApps() override
    {
        db();
        // A device's object shows the collection of its template's object, where directors keep them.
        return MakeComponentApps(m_s, AppOwner::TemplateLonMarkObject, m_id, m_owner.systemId);
    }
    Ptr<LonMarkObjects> LonMarkObjectCollection() override
    {
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

class SqlLonMarkObjects final : public LonMarkObjects {
public:
    SqlLonMarkObjects(State s, const InterfaceOwner& owner) : m_s(std::move(s)), m_owner(owner) {}

    qint32 LonMarkObjectsCount() override
    {
        return db()
            .row("SELECT COUNT(*) FROM template_lmos WHERE template_id = ?", {m_owner.templateId})
            ->value(0)
            .toInt();
    }
    Ptr<LonMarkObject> LonMarkObjectsItem(qint32 index) override
    {
        Database& d = db();
        const auto row =
            d.row("SELECT id, name, display_name, profile_key FROM template_lmos WHERE template_id = ?"
                  " ORDER BY id LIMIT 1 OFFSET ?",
                  {m_owner.templateId, offsetOf(index, LonMarkObjectsSource, QStringLiteral("the LonMark objects"))});
        if (!row)
            notFound(LonMarkObjectsSource, QStringLiteral("LonMark object at position %1").arg(index));
        return std::make_shared<SqlLonMarkObject>(m_s, m_owner, *row);
    }
    Ptr<LonMarkObject> LonMarkObjectsItem(const QString& name) override
    {
        const auto row = db().row("SELECT id, name, display_name, profile_key FROM template_lmos"
                                  " WHERE template_id = ? AND name = ?",
                                  {m_owner.templateId, name});
        if (!row)
            notFound(LonMarkObjectsSource, QStringLiteral("LonMark object named '%1'").arg(Shown(name)));
        return std::make_shared<SqlLonMarkObject>(m_s, m_owner, *row);
    }
    Ptr<Interface> CollectionInterface() override
    {
        db();
        return makeInterface(m_s, m_owner);
    }

private:
    Database& db() { return m_s->systemDatabase(m_owner.systemId, LonMarkObjectsSource); }

    State m_s;
    InterfaceOwner m_owner;
};

}  // namespace

Ptr<lns::LonMarkObjects> makeLonMarkObjects(const State& s, const InterfaceOwner& owner)
{
    return std::make_shared<SqlLonMarkObjects>(s, owner);
}

}  // namespace lns::sql

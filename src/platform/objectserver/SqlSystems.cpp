// The systems of a network.
#include "platform/objectserver/SqlHandles.h"

namespace lns::sql {

namespace {

class SqlSystem final : public System {
public:
    SqlSystem(State s, qint64 networkId, const Row& row)
        : m_s(std::move(s)), m_networkId(networkId), m_id(row[0].toLongLong()), m_name(row[1].toString())
    {
    }

    void OpenSystem() override
    {
        Database& d = m_s->networkDatabase(m_networkId, SystemSource);
        const auto row = d.row("SELECT requires_interface, nsd_interface_id FROM systems WHERE id = ?", {m_id});
        if (!row)
            notFound(SystemSource, QStringLiteral("system %1 any more").arg(m_name));
        if (row->value(0).toInt() != 0 && row->value(1).isNull())
            Raise(ErrNoNetworkInterface, SystemSource,
                  QStringLiteral("The system %1 opens only with its network interface attached.").arg(m_name));
        m_s->openSystems.insert(m_id);
    }
    void CloseSystem() override { m_s->openSystems.remove(m_id); }
    bool SystemIsOpen() override { return m_s->openSystems.contains(m_id); }
    QString SystemName() override { return m_name; }
    qint32 SystemNetworkMode() override
    {
        return column("SELECT network_mode FROM systems WHERE id = ?", m_s->networkDatabase(m_networkId, SystemSource))
            .toInt();
    }
    Ptr<Subsystems> SystemSubsystems() override
    {
        openDb();
        return makeSubsystems(m_s, m_id, m_networkId);
    }
    Ptr<ComponentApps> SystemComponentApps() override
    {
        openDb();
        return MakeComponentApps(m_s, AppOwner::System, m_id, m_id);
    }
    Ptr<TemplateLibrary> SystemTemplateLibrary() override
    {
        openDb();
        return makeTemplateLibrary(m_s, m_id, m_networkId);
    }
    QString SystemImportFolder() override
    {
        return column("SELECT import_folder FROM systems WHERE id = ?", openDb()).toString();
    }
    void SetSystemOptionFlag(bool flag) override
    {
        openDb();
        m_s->systemSettings[m_networkId].optionFlag = flag;
    }
    void SetSystemOptionValue(qint32 value) override
    {
        openDb();
        m_s->systemSettings[m_networkId].optionValue = value;
    }
    void SetSystemTuningValue(qint32 value) override
    {
        openDb();
        m_s->systemSettings[m_networkId].tuningValue = value;
    }
    Ptr<NetworkServiceDevice> SystemNetworkServiceDevice() override
    {
        m_s->networkDatabase(m_networkId, SystemSource);
        return makeNetworkServiceDevice(m_s, m_id, m_networkId);
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

class SqlSystems final : public Systems {
public:
    SqlSystems(State s, qint64 networkId) : m_s(std::move(s)), m_networkId(networkId) {}

    qint32 Count() override
    {
        return db().row("SELECT COUNT(*) FROM systems WHERE network_id = ?", {m_networkId})->value(0).toInt();
    }
    Ptr<System> Item(qint32 index) override
    {
        Database& d = db();
        const auto row = d.row("SELECT id, name FROM systems WHERE network_id = ? ORDER BY id LIMIT 1 OFFSET ?",
                               {m_networkId, offsetOf(index, SystemsSource, QStringLiteral("the systems"))});
        if (!row)
            notFound(SystemsSource, QStringLiteral("system at position %1").arg(index));
        return std::make_shared<SqlSystem>(m_s, m_networkId, *row);
    }

private:
    Database& db() { return m_s->networkDatabase(m_networkId, SystemsSource); }

    State m_s;
    qint64 m_networkId;
};

}  // namespace

Ptr<lns::Systems> makeSystems(const State& s, qint64 networkId)
{
    return std::make_shared<SqlSystems>(s, networkId);
}

}  // namespace lns::sql

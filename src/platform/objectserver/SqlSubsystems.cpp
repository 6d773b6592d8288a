// Subsystems of a system.
#include "platform/objectserver/SqlHandles.h"

namespace lns::sql {

namespace {

class SqlSubsystem final : public Subsystem {
public:
    SqlSubsystem(State s, qint64 systemId, qint64 networkId, const Row& row)
        : m_s(std::move(s)),
          m_systemId(systemId),
          m_networkId(networkId),
          m_id(row[0].toLongLong()),
          m_name(row[1].toString())
    {
    }

    QString Name() override { return m_name; }
    Ptr<AppDevices> SubsystemAppDevices() override
    {
        m_s->systemDatabase(m_systemId, SubsystemSource);
        return makeAppDevices(m_s, m_systemId, m_networkId, DevicesOf::Subsystem, m_id);
    }

private:
    State m_s;
    qint64 m_systemId;
    qint64 m_networkId;
    qint64 m_id;
    QString m_name;
};

class SqlSubsystems final : public Subsystems {
public:
    SqlSubsystems(State s, qint64 systemId, qint64 networkId)
        : m_s(std::move(s)), m_systemId(systemId), m_networkId(networkId)
    {
    }

    qint32 Count() override
    {
        return db().row("SELECT COUNT(*) FROM subsystems WHERE system_id = ?", {m_systemId})->value(0).toInt();
    }
    Ptr<Subsystem> Item(qint32 index) override
    {
        Database& d = db();
        const auto row = d.row("SELECT id, name FROM subsystems WHERE system_id = ? ORDER BY id LIMIT 1 OFFSET ?",
                               {m_systemId, offsetOf(index, SubsystemsSource, QStringLiteral("the subsystems"))});
        if (!row)
            notFound(SubsystemsSource, QStringLiteral("subsystem at position %1").arg(index));
        return std::make_shared<SqlSubsystem>(m_s, m_systemId, m_networkId, *row);
    }
    Ptr<Subsystem> Item(const QString& name) override
    {
        const auto row =
            db().row("SELECT id, name FROM subsystems WHERE system_id = ? AND name = ?", {m_systemId, name});
        if (!row)
            notFound(SubsystemsSource, QStringLiteral("subsystem named '%1'").arg(Shown(name)));
        return std::make_shared<SqlSubsystem>(m_s, m_systemId, m_networkId, *row);
    }

private:
    Database& db() { return m_s->systemDatabase(m_systemId, SubsystemsSource); }

    State m_s;
    qint64 m_systemId;
    qint64 m_networkId;
};

}  // namespace

Ptr<lns::Subsystems> makeSubsystems(const State& s, qint64 systemId, qint64 networkId)
{
    return std::make_shared<SqlSubsystems>(s, systemId, networkId);
}

}  // namespace lns::sql

// The networks of the object server.
#include "platform/objectserver/SqlHandles.h"

namespace lns::sql {

namespace {

class SqlNetwork final : public Network {
public:
    SqlNetwork(State s, const Row& row) : m_s(std::move(s)), m_id(row[0].toLongLong()), m_name(row[1].toString()) {}

    void OpenNetwork() override
    {
        Database& d = m_s->database(NetworkSource);
        if (!d.row("SELECT id FROM networks WHERE id = ?", {m_id}))
            notFound(NetworkSource, QStringLiteral("network %1 any more").arg(m_name));
        m_s->openNetworks.insert(m_id);
        m_s->networkIds.insert(m_name, m_id);
    }
    void CloseNetwork() override
    {
        if (m_s->db) {
            for (const Row& row : m_s->db->rows("SELECT id FROM systems WHERE network_id = ?", {m_id}))
                m_s->openSystems.remove(row[0].toLongLong());
        }
        m_s->openNetworks.remove(m_id);
    }
    bool NetworkIsOpen() override { return m_s->openNetworks.contains(m_id); }
    QString NetworkName() override { return m_name; }
    Ptr<Systems> NetworkSystems() override
    {
        m_s->networkDatabase(m_id, NetworkSource);
        return makeSystems(m_s, m_id);
    }

private:
    State m_s;
    qint64 m_id;
    QString m_name;
};

class SqlNetworks final : public Networks {
public:
    explicit SqlNetworks(State s) : m_s(std::move(s)) {}

    qint32 Count() override { return db().row("SELECT COUNT(*) FROM networks")->value(0).toInt(); }
    Ptr<Network> Item(qint32 index) override
    {
        Database& d = db();
        const auto row = d.row("SELECT id, name FROM networks ORDER BY id LIMIT 1 OFFSET ?",
                               {offsetOf(index, NetworksSource, QStringLiteral("the networks"))});
        if (!row)
            notFound(NetworksSource, QStringLiteral("network at position %1").arg(index));
        return std::make_shared<SqlNetwork>(m_s, *row);
    }
    Ptr<Network> Item(const QString& name) override
    {
        const auto row = db().row("SELECT id, name FROM networks WHERE name = ?", {name});
        if (!row)
            notFound(NetworksSource, QStringLiteral("network named '%1'").arg(Shown(name)));
        return std::make_shared<SqlNetwork>(m_s, *row);
    }

private:
    Database& db() { return m_s->database(NetworksSource); }

    State m_s;
};

}  // namespace

Ptr<Networks> MakeNetworks(const State& state)
{
    return std::make_shared<SqlNetworks>(state);
}

}  // namespace lns::sql

// The networks of the object server.
#include "platform/objectserver/SqlHandles.h"

#include <QDateTime>

namespace lns::sql {

namespace {

// A time as the history stores it (UTC, ISO 8601 with milliseconds), from what a user types: a date,
// or a date and time, with or without an offset (without one it is the workstation's local time).
QString HistoryTime(const QString& text, const QString& source)
{
    QString iso = text.trimmed();
    if (iso.size() > 10 && iso.at(10) == QLatin1Char(' '))
        iso[10] = QLatin1Char('T');
    const QDateTime time = QDateTime::fromString(iso, Qt::ISODateWithMs);
    if (!time.isValid())
        Raise(ErrInvalidArgument, source,
              QStringLiteral("'%1' is not a time: give it as 2026-12-08 or 2026-12-08T20:15 (local time), "
                             "or with an offset such as 2026-12-08T20:15Z")
                  .arg(Shown(text)));
    return time.toUTC().toString(Qt::ISODateWithMs);
}

NvChange ChangeOf(const Row& row)
{
    NvChange change;
    change.id = row[0].toLongLong();
    change.at = row[1].toString();
    change.host = row[2].toString();
    change.login = row[3].toString();
    change.program = row[4].toString();
    change.batch = row[5].toString();
    change.devicePath = row[6].toString();
    change.variable = row[7].toString();
    change.before = row[8].toByteArray();
    change.after = row[9].toByteArray();
    change.fields = row[10].toString();
    return change;
}

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
    QList<NvChange> NetworkChanges(const NvChangeFilter& filter) override
    {
        Database& d = m_s->networkDatabase(m_id, NetworkSource);
        const QString since = filter.since.isEmpty() ? QString() : HistoryTime(filter.since, NetworkSource);
        const QString below =
            filter.devicePath.endsWith(QLatin1Char('/')) ? filter.devicePath : filter.devicePath + QLatin1Char('/');
        // Each condition is off while its value is empty, so that one prepared statement serves all; an
        // apply's id is looked up through its index.
#define KR5M_CHANGES_SELECT                                                                                  \
    "SELECT id, at, host, login, program, batch, device_path, variable, before_value, after_value, fields"   \
    " FROM nv_changes WHERE network_id = ? AND (? = '' OR device_path = ? OR substr(device_path, 1, ?) = ?)" \
    " AND (? = '' OR variable = ?) AND (? = '' OR at >= ?) AND (? = 0 OR id = ?) AND (? = '' OR batch = ?)"
        const std::initializer_list<QVariant> values{
            m_id,        filter.devicePath, filter.devicePath, qint32(below.size()),
            below,       filter.variable,   filter.variable,   since,
            since,       filter.id,         filter.id,         filter.batch,
            filter.batch};
        const QList<Row> rows = filter.batch.isEmpty()
                                    ? d.rows(KR5M_CHANGES_SELECT " ORDER BY id DESC", values)
                                    : d.rows(KR5M_CHANGES_SELECT " AND batch <> '' ORDER BY id DESC", values);
#undef KR5M_CHANGES_SELECT
        QList<NvChange> changes;
        changes.reserve(rows.size());
        for (const Row& row : rows)
            changes.append(ChangeOf(row));
        return changes;
    }
    qint64 PruneNetworkChanges(const QString& before) override
    {
        Database& d = m_s->networkDatabase(m_id, NetworkSource);
        return d.changes("DELETE FROM nv_changes WHERE network_id = ? AND at < ?",
                         {m_id, HistoryTime(before, NetworkSource)});
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

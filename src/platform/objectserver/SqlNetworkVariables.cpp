// The network variables of an interface, and their values in the formats ValueFormats knows.
#include "platform/objectserver/Dialect.h"
#include "platform/objectserver/SqlHandles.h"
#include "platform/objectserver/ValueFormats.h"

#include <QDateTime>
#include <optional>
#include <utility>

namespace lns::sql {

namespace {

class SqlNetworkVariable final : public NetworkVariable {
public:
    SqlNetworkVariable(State s, const InterfaceOwner& owner, const Row& row)
        : m_s(std::move(s)),
          m_owner(owner),
          m_id(row[0].toLongLong()),
          m_name(row[1].toString()),
          m_typeName(row[2].toString()),
          m_size(row[3].toInt()),
          m_format(m_typeName)
    {
    }

    QString Name() override { return m_name; }
    QString NvTypeName() override { return m_typeName; }
    void SetNvAccessOption(qint32 option) override { m_accessOption = option; }
    QString NvFormatSpec() override { return m_format; }
    void SetNvFormatSpec(const QString& formatName) override { m_format = formatName; }

    QString NvFormattedValue() override
    {
        const QByteArray raw = NvRawValue();
        try {
            return formats::Format(m_format, raw, m_s->lonWorksPath);
        } catch (const com::ComError& e) {
            throw com::ComError(e.number(), NetworkVariableSource, e.description());
        }
    }

    QByteArray NvRawValue() override
    {
        Database& db = deviceDatabase();
        for (;;) {
            // The value alone while the device answers: every column of an answer costs the driver a
            // description of it on every call.
            const auto row = db.row("SELECT v.value FROM devices d"
                                    " LEFT JOIN device_nv_values v ON v.device_id = d.id AND v.nv_id = ?"
                                    " WHERE d.id = ? AND d.unreachable = 0",
                                    {m_id, m_owner.deviceId});
            if (row) {
                // A variable never written holds zeros, as a freshly loaded device does.
                m_seen = row->value(0).isNull() ? QByteArray(m_size, '\0') : row->value(0).toByteArray();
                return *m_seen;
            }
            // Gone or silent; one that answers again by now is read again.
            requireAnsweringDevice(db);
        }
    }

    void SetNvFormattedValue(const QString& text) override
    {
        deviceDatabase();
        // A text that does not parse never reaches the device.
        QByteArray raw;
        try {
            raw = formats::Parse(m_format, text, m_size, m_s->lonWorksPath);
        } catch (const com::ComError& e) {
            throw com::ComError(e.number(), NetworkVariableSource, e.description());
        }
        write(raw);
    }

    void SetNvRawValue(const QByteArray& raw) override
    {
        deviceDatabase();
        if (raw.size() != m_size)
            Raise(ErrFormatFailed, NetworkVariableSource,
                  QStringLiteral("%1 takes %2 bytes, not %3; nothing was written.")
                      .arg(m_name)
                      .arg(m_size)
                      .arg(raw.size()));
        write(raw);
    }

    void SetNvExpectedValue(const QByteArray& raw) override { m_expected = raw; }

private:
    static constexpr qint64 ChangedSinceRead = -1;

    void write(const QByteArray& raw)
    {
        Database& db = deviceDatabase();
        const std::optional<QByteArray> expected = std::exchange(m_expected, std::nullopt);
        // On PostgreSQL one statement first; where it wrote nothing, the transaction below finds out why
        // or writes on what the device holds now.
        if (db.onPostgres() && writeInOneTrip(db, raw, expected))
            return;
        // One transaction: the device's answer and the value change together, and no other writer
        // comes between the compare with the expected bytes and the write.
        const qint64 written = db.write([&]() -> qint64 {
            // What the device holds, and how it keeps a value, in one statement.
            const auto held = db.row("SELECT d.stores_other_value, v.value FROM devices d"
                                     " LEFT JOIN device_nv_values v ON v.device_id = d.id AND v.nv_id = ?"
                                     " WHERE d.id = ?",
                                     {m_id, m_owner.deviceId});
            const QByteArray before =
                held && !held->value(1).isNull() ? held->value(1).toByteArray() : QByteArray(m_size, '\0');
            if (expected && before != *expected)
                return ChangedSinceRead;
            QByteArray stored = raw;
            if (held && held->value(0).toInt() != 0 && !stored.isEmpty())
                stored[stored.size() - 1] = char(stored.back() ^ 0x01);
            const qint64 changed =
                db.changes("INSERT INTO device_nv_values (device_id, nv_id, value)"
                           " SELECT id, ?, ? FROM devices WHERE id = ? AND unreachable = 0 AND refuses_writes = 0"
                           " ON CONFLICT (device_id, nv_id) DO UPDATE SET value = excluded.value",
                           {m_id, stored, m_owner.deviceId});
            if (changed > 0) {
                record(db, before, stored);
                m_seen = stored;
            }
            return changed;
        });
        if (written > 0)
            return;
        if (written == ChangedSinceRead)
            Raise(ErrChangedSinceRead, NetworkVariableSource,
                  QStringLiteral("%1 of the device %2 was changed since it was read; nothing was written.")
                      .arg(m_name, m_owner.deviceName));
        // Nothing written: find out why.
        requireAnsweringDevice(db);
        Raise(ErrWriteFailed, NetworkVariableSource,
              QStringLiteral("The device %1 refused the value of %2.").arg(m_owner.deviceName, m_name));
    }

    // On PostgreSQL each statement is a trip to the server, and the transaction below takes six. There
    // a write first tries one statement (dialect::PgCompareAndWrite) that writes only while the device
    // holds the bytes this handle saw last: the expected ones, else those it last read or wrote. False
    // when it wrote nothing: another writer came between, or the device does not answer or refuses.
    bool writeInOneTrip(Database& db, const QByteArray& raw, const std::optional<QByteArray>& expected)
    {
        const QByteArray zeros(m_size, '\0');
        const QByteArray before = expected.value_or(m_seen.value_or(zeros));
        QByteArray other = raw;
        if (!other.isEmpty())
            other[other.size() - 1] = char(other.back() ^ 0x01);
        const auto kept = db.row(dialect::PgCompareAndWrite,
                                 {m_owner.deviceId, m_id, other, raw, int(before == zeros), m_id, before,
                                  m_owner.networkId, QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs),
                                  m_s->host, m_s->login, m_s->changeProgram, m_s->changeBatch, devicePath(db), m_name,
                                  before, formats::ChangedFields(m_typeName, before, other, m_s->lonWorksPath),
                                  formats::ChangedFields(m_typeName, before, raw, m_s->lonWorksPath)});
        m_seen.reset();
        if (kept)
            m_seen = kept->value(0).toByteArray();
        return kept.has_value();
    }

    // The write in the history, in the write's own transaction: a change the device holds is never
    // missing from it.
    void record(Database& db, const QByteArray& before, const QByteArray& after)
    {
        const QString fields = formats::ChangedFields(m_typeName, before, after, m_s->lonWorksPath);
        db.exec("INSERT INTO nv_changes (network_id, at, host, login, program, batch, device_path, variable,"
                " before_value, after_value, fields) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                {m_owner.networkId, QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs), m_s->host, m_s->login,
                 m_s->changeProgram, m_s->changeBatch, devicePath(db), m_name, before, after, fields});
    }

    // The device's path as the history names it, asked once per handle.
    const QString& devicePath(Database& db)
    {
        if (m_path.isEmpty()) {
            const auto row = db.row("SELECT n.name || '/' || s.name || '/' || sub.name || '/' || d.name"
                                    " FROM devices d JOIN subsystems sub ON sub.id = d.subsystem_id"
                                    " JOIN systems s ON s.id = sub.system_id JOIN networks n ON n.id = s.network_id"
                                    " WHERE d.id = ?",
                                    {m_owner.deviceId});
            m_path = row ? row->value(0).toString() : m_owner.deviceName;
        }
        return m_path;
    }

    Database& deviceDatabase()
    {
        Database& db = m_s->systemDatabase(m_owner.systemId, NetworkVariableSource);
        if (!m_owner.deviceId)
            Raise(ErrDeviceCommunication, NetworkVariableSource,
                  QStringLiteral("%1 belongs to a device template, which has no device to talk to.").arg(m_name));
        return db;
    }
    // Raises where the device is gone or does not answer.
    void requireAnsweringDevice(Database& db)
    {
        const auto row = db.row("SELECT unreachable FROM devices WHERE id = ?", {m_owner.deviceId});
        if (!row)
            notFound(NetworkVariableSource, QStringLiteral("device %1 any more").arg(m_owner.deviceName));
        if (row->value(0).toInt() != 0)
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
    std::optional<QByteArray> m_expected;
    std::optional<QByteArray> m_seen;  // what the device held when this handle last read or wrote it
    QString m_path;
};

class SqlNetworkVariables final : public NetworkVariables {
public:
    SqlNetworkVariables(State s, const InterfaceOwner& owner) : m_s(std::move(s)), m_owner(owner) {}

    qint32 Count() override
    {
        return db()
            .row("SELECT COUNT(*) FROM template_nvs WHERE template_id = ?", {m_owner.templateId})
            ->value(0)
            .toInt();
    }
    Ptr<NetworkVariable> Item(qint32 index) override
    {
        Database& d = db();
        const auto row = d.row(
            "SELECT id, name, type_name, size FROM template_nvs WHERE template_id = ?"
            " ORDER BY id LIMIT 1 OFFSET ?",
            {m_owner.templateId, offsetOf(index, NetworkVariablesSource, QStringLiteral("the network variables"))});
        if (!row)
            notFound(NetworkVariablesSource, QStringLiteral("network variable at position %1").arg(index));
        return std::make_shared<SqlNetworkVariable>(m_s, m_owner, *row);
    }
    Ptr<NetworkVariable> NvCollectionItem(const QString& name) override
    {
        const auto row =
            db().row("SELECT id, name, type_name, size FROM template_nvs WHERE template_id = ? AND name = ?",
                     {m_owner.templateId, name});
        if (!row)
            notFound(NetworkVariablesSource, QStringLiteral("network variable named '%1'").arg(Shown(name)));
        return std::make_shared<SqlNetworkVariable>(m_s, m_owner, *row);
    }

private:
    Database& db() { return m_s->systemDatabase(m_owner.systemId, NetworkVariablesSource); }

    State m_s;
    InterfaceOwner m_owner;
};

}  // namespace

Ptr<lns::NetworkVariables> makeNetworkVariables(const State& s, const InterfaceOwner& owner)
{
    return std::make_shared<SqlNetworkVariables>(s, owner);
}

}  // namespace lns::sql

#pragma once
// What the object server's SQL needs to differ between its two stores, in one place: the tables'
// shape (SQLite's INTEGER PRIMARY KEY row ids and BLOB; PostgreSQL's BIGSERIAL and BYTEA), an INSERT's
// new row id (PostgreSQL answers it only through RETURNING), the connection's settings and check, how
// a database already made is told from a new one, and how a write transaction takes the write lock at
// its start. Every other statement is written once, in what both read alike (? placeholders through
// Qt, LIMIT / OFFSET, ON CONFLICT ... DO UPDATE with excluded, ||, upper, COALESCE). The drivers and
// their options are the connection's (SqlDatabase.cpp).
#include <QString>

namespace lns::sql::dialect {

// Bumped when the tables change shape; a file of another version is refused rather than misread.
inline constexpr int SchemaVersion = 3;

// What brings a file of an earlier version up to this one, in order: each statement applies to a file
// of version `from` or older.
struct Upgrade {
    int from;
    const char* statement;
};
inline constexpr Upgrade Upgrades[] = {
    {1, "ALTER TABLE devices ADD COLUMN stores_other_value INTEGER NOT NULL DEFAULT 0"},
};

// The tables and indexes, each made only when missing.
inline constexpr const char* SchemaStatements[] = {
    "CREATE TABLE IF NOT EXISTS meta (key TEXT PRIMARY KEY, value TEXT NOT NULL)",
    "CREATE TABLE IF NOT EXISTS network_interfaces (id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE)",
    "CREATE TABLE IF NOT EXISTS networks (id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE)",
    "CREATE TABLE IF NOT EXISTS systems ("
    " id INTEGER PRIMARY KEY,"
    " network_id INTEGER NOT NULL REFERENCES networks(id) ON DELETE CASCADE,"
    " name TEXT NOT NULL,"
    " network_mode INTEGER NOT NULL DEFAULT 0,"
    " requires_interface INTEGER NOT NULL DEFAULT 0,"
    " import_folder TEXT NOT NULL DEFAULT '',"
    " nsd_interface_id INTEGER REFERENCES network_interfaces(id) ON DELETE SET NULL)",
    "CREATE TABLE IF NOT EXISTS subsystems ("
    " id INTEGER PRIMARY KEY,"
    " system_id INTEGER NOT NULL REFERENCES systems(id) ON DELETE CASCADE,"
    " name TEXT NOT NULL,"
    " UNIQUE (system_id, name))",
    "CREATE TABLE IF NOT EXISTS templates ("
    " id INTEGER PRIMARY KEY,"
    " network_id INTEGER NOT NULL REFERENCES networks(id) ON DELETE CASCADE,"
    " name TEXT NOT NULL,"
    " kind INTEGER NOT NULL DEFAULT 0,"
    " program_id TEXT NOT NULL DEFAULT '',"
    " UNIQUE (network_id, name))",
    "CREATE TABLE IF NOT EXISTS template_nvs ("
    " id INTEGER PRIMARY KEY,"
    " template_id INTEGER NOT NULL REFERENCES templates(id) ON DELETE CASCADE,"
    " nv_index INTEGER NOT NULL,"
    " name TEXT NOT NULL,"
    " type_name TEXT NOT NULL,"
    " size INTEGER NOT NULL,"
    " input INTEGER NOT NULL,"
    " config INTEGER NOT NULL,"
    " UNIQUE (template_id, name))",
    "CREATE TABLE IF NOT EXISTS template_lmos ("
    " id INTEGER PRIMARY KEY,"
    " template_id INTEGER NOT NULL REFERENCES templates(id) ON DELETE CASCADE,"
    " lmo_index INTEGER NOT NULL,"
    " name TEXT NOT NULL,"
    " display_name TEXT NOT NULL,"
    " profile_key INTEGER NOT NULL,"
    " mode INTEGER NOT NULL DEFAULT 0,"
    " UNIQUE (template_id, name))",
    "CREATE TABLE IF NOT EXISTS devices ("
    " id INTEGER PRIMARY KEY,"
    " subsystem_id INTEGER NOT NULL REFERENCES subsystems(id) ON DELETE CASCADE,"
    " template_id INTEGER NOT NULL REFERENCES templates(id),"
    " name TEXT NOT NULL,"
    " commissioned INTEGER NOT NULL DEFAULT 1,"
    " state_code INTEGER NOT NULL DEFAULT 4,"
    " test_result INTEGER NOT NULL DEFAULT 0,"
    " unreachable INTEGER NOT NULL DEFAULT 0,"
    " refuses_writes INTEGER NOT NULL DEFAULT 0,"
    " stores_other_value INTEGER NOT NULL DEFAULT 0,"
    " UNIQUE (subsystem_id, name))",
    "CREATE TABLE IF NOT EXISTS device_nv_values ("
    " device_id INTEGER NOT NULL REFERENCES devices(id) ON DELETE CASCADE,"
    " nv_id INTEGER NOT NULL REFERENCES template_nvs(id) ON DELETE CASCADE,"
    " value BLOB NOT NULL,"
    " PRIMARY KEY (device_id, nv_id))",
    "CREATE TABLE IF NOT EXISTS device_lmo_modes ("
    " device_id INTEGER NOT NULL REFERENCES devices(id) ON DELETE CASCADE,"
    " lmo_id INTEGER NOT NULL REFERENCES template_lmos(id) ON DELETE CASCADE,"
    " mode INTEGER NOT NULL,"
    " PRIMARY KEY (device_id, lmo_id))",
    // owner_kind: 0 the object server (owner_id 0), 1 a system, 2 a template, 3 a LonMark object of a
    // template. Owners are of several tables, so their removal deletes these rows explicitly.
    "CREATE TABLE IF NOT EXISTS component_apps ("
    " id INTEGER PRIMARY KEY,"
    " owner_kind INTEGER NOT NULL,"
    " owner_id INTEGER NOT NULL,"
    " name TEXT NOT NULL,"
    " prog_id TEXT NOT NULL,"
    " object_class INTEGER NOT NULL,"
    " command_id INTEGER NOT NULL DEFAULT 0,"
    " description TEXT NOT NULL DEFAULT '',"
    " is_default INTEGER NOT NULL DEFAULT 0,"
    " version TEXT NOT NULL DEFAULT '',"
    " manufacturer_id TEXT NOT NULL DEFAULT '',"
    " UNIQUE (owner_kind, owner_id, name))",
    "CREATE INDEX IF NOT EXISTS devices_by_template ON devices(template_id)",
    // The history of values: one row per write of a device's variable. Names are kept as they were
    // when written, so the history outlives a device removed or renamed; at is UTC ISO 8601 text, which
    // sorts as time does in both stores. Newest first is the order of the row ids (one writer at a
    // time). Each index costs every write a page, so there is one, and only for an apply's or a
    // revert's writes: the batch an apply's revert looks up among a site's whole history.
    "CREATE TABLE IF NOT EXISTS nv_changes ("
    " id INTEGER PRIMARY KEY,"
    " network_id INTEGER NOT NULL REFERENCES networks(id) ON DELETE CASCADE,"
    " at TEXT NOT NULL,"
    " host TEXT NOT NULL,"
    " login TEXT NOT NULL,"
    " program TEXT NOT NULL,"
    " batch TEXT NOT NULL,"
    " device_path TEXT NOT NULL,"
    " variable TEXT NOT NULL,"
    " before_value BLOB NOT NULL,"
    " after_value BLOB NOT NULL,"
    " fields TEXT NOT NULL)",
    "CREATE INDEX IF NOT EXISTS nv_changes_by_batch ON nv_changes(batch) WHERE batch <> ''",
};

// Whether the file holds the tables already: a read, so that opening stays one.
inline constexpr const char* MetaTableExists = "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'meta'";

// Connection settings, run once per connection before anything else.
inline constexpr const char* ForeignKeysOn = "PRAGMA foreign_keys = ON";
inline constexpr const char* WriteAheadLog = "PRAGMA journal_mode = WAL";
inline constexpr const char* SynchronousNormal = "PRAGMA synchronous = NORMAL";
// The integrity check; a sound file answers QuickCheckOk.
inline constexpr const char* QuickCheck = "PRAGMA quick_check";
inline constexpr const char* QuickCheckOk = "ok";

inline constexpr const char* BeginWrite = "BEGIN IMMEDIATE";
inline constexpr const char* Commit = "COMMIT";
inline constexpr const char* Rollback = "ROLLBACK";

// ---- PostgreSQL.
inline constexpr const char* PgMetaTableExists =
    "SELECT 1 FROM information_schema.tables WHERE table_schema = current_schema() AND table_name = 'meta'";
inline constexpr const char* PgBegin = "BEGIN";
// One writer at a time, as on SQLite, so that a check made inside a write still holds when it
// commits; readers are not held up. A lock by number needs no table, so it also guards the schema's
// creation by two workstations at once.
inline constexpr const char* PgWriteLock = "SELECT pg_advisory_xact_lock(5240001)";
// A value's write in one statement, so one trip to the server instead of six: the writers' lock (the
// number above); the bytes, only where the device answers and takes writes, and where it holds a row
// only while that row, as it stands under its lock rather than as the statement's snapshot saw it,
// holds the bytes read before (where it holds none, only when those were zeros); the device keeps the
// other bytes given when it stores another value than it is sent. Then the history's row with the
// field texts of the bytes kept. Answers those bytes; no row when nothing was written.
inline constexpr const char* PgCompareAndWrite =
    "WITH writers AS MATERIALIZED (SELECT pg_advisory_xact_lock(5240001)),"
    " device AS MATERIALIZED (SELECT d.id, d.stores_other_value FROM devices d, writers"
    "  WHERE d.id = ? AND d.unreachable = 0 AND d.refuses_writes = 0),"
    " kept AS (INSERT INTO device_nv_values (device_id, nv_id, value)"
    "  SELECT id, ?, CASE WHEN stores_other_value <> 0 THEN CAST(? AS BYTEA) ELSE CAST(? AS BYTEA) END FROM device"
    "  WHERE ? <> 0 OR EXISTS (SELECT 1 FROM device_nv_values WHERE device_id = device.id AND nv_id = ?)"
    "  ON CONFLICT (device_id, nv_id) DO UPDATE SET value = excluded.value WHERE device_nv_values.value = ?"
    "  RETURNING value)"
    " INSERT INTO nv_changes (network_id, at, host, login, program, batch, device_path, variable, before_value,"
    " after_value, fields) SELECT ?, ?, ?, ?, ?, ?, ?, ?, ?, kept.value,"
    " CASE WHEN device.stores_other_value <> 0 THEN ? ELSE ? END FROM kept, device RETURNING after_value";

// The server broke the statement off to resolve a deadlock (40P01) or a serialization conflict
// (40001): the same work run again may well succeed.
inline bool PgConflict(const QString& sqlState)
{
    return sqlState == QLatin1String("40P01") || sqlState == QLatin1String("40001");
}

// The tables whose rows have a row id (the others are keyed by their owners).
inline bool HasRowId(const QString& table)
{
    return table != QLatin1String("meta") && table != QLatin1String("device_nv_values") &&
           table != QLatin1String("device_lmo_modes");
}

// A statement as PostgreSQL reads it: the schema's types, and an INSERT into a table with row ids
// answers the new id.
inline QString PgStatement(const char* sql)
{
    QString text = QString::fromLatin1(sql);
    if (text.startsWith(QLatin1String("CREATE TABLE"))) {
        text.replace(QLatin1String("INTEGER PRIMARY KEY"), QLatin1String("BIGSERIAL PRIMARY KEY"));
        text.replace(QLatin1String(" INTEGER"), QLatin1String(" BIGINT"));
        text.replace(QLatin1String(" BLOB"), QLatin1String(" BYTEA"));
    } else if (text.startsWith(QLatin1String("INSERT INTO "))) {
        const QString table = text.mid(12).section(QLatin1Char(' '), 0, 0);
        if (HasRowId(table))
            text += QLatin1String(" RETURNING id");
    }
    return text;
}

// Statements PostgreSQL does not prepare: transaction control and the schema's.
inline bool PgRunsDirect(const QString& text)
{
    return !(text.startsWith(QLatin1String("SELECT")) || text.startsWith(QLatin1String("INSERT")) ||
             text.startsWith(QLatin1String("UPDATE")) || text.startsWith(QLatin1String("DELETE")) ||
             text.startsWith(QLatin1String("WITH")));
}

}  // namespace lns::sql::dialect

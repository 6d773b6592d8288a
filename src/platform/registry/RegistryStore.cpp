#include "platform/registry/RegistryStore.h"

#include <QDir>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QtEndian>

namespace registry {
namespace {

// A null QString binds as SQL NULL; the default value's empty name must bind as ''.
QString nonNull(const QString& s)
{
    return s.isNull() ? QStringLiteral("") : s;
}

QString lowered(const QString& s)
{
    return nonNull(s.toCaseFolded());
}

}  // namespace

RegValue StringValue(const QString& text)
{
    return RegValue{ValueType::String, text.toUtf8()};
}

RegValue NumberValue(quint32 number)
{
    QByteArray data(4, '\0');
    qToLittleEndian(number, data.data());
    return RegValue{ValueType::Number, data};
}

QStringList KeyComponents(const QString& keyPath)
{
    return keyPath.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
}

QString RegistryStore::DefaultFolder()
{
    QString env = qEnvironmentVariable("LONWORKS_REGISTRY_DIR");
    if (!env.isEmpty())
        return env;
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty())
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/lonworks-registry");
}

RegistryStore::RegistryStore(Hive hive, const QString& folder)
{
    m_file = QDir(folder).filePath(hive == Hive::LocalMachine ? QStringLiteral("HKEY_LOCAL_MACHINE.sqlite")
                                                              : QStringLiteral("HKEY_CURRENT_USER.sqlite"));
    // One connection per hive file for the whole process: the program reads a setting at many
    // places, and opening the file each time cost more than the read.
    m_connection = QStringLiteral("registry:") + QFileInfo(m_file).absoluteFilePath();
}

RegistryStore::~RegistryStore() = default;

bool RegistryStore::open()
{
    if (m_tried)
        return m_open;
    m_tried = true;
    if (QSqlDatabase::contains(m_connection) && QSqlDatabase::database(m_connection, false).isOpen()) {
        m_open = true;
        return true;
    }
    // A connection that failed before is tried again from scratch.
    if (QSqlDatabase::contains(m_connection))
        QSqlDatabase::removeDatabase(m_connection);
    QDir().mkpath(QFileInfo(m_file).absolutePath());
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(m_file);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!db.open())
        return closeFailed(db);
    QSqlQuery q(db);
    // A file that is not a database fails here, on its first statement.
    if (!q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS keys (id INTEGER PRIMARY KEY, parent INTEGER NOT NULL, "
                               "name TEXT NOT NULL, lname TEXT NOT NULL, UNIQUE(parent, lname))")))
        return closeFailed(db);
    if (!q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS vals (key INTEGER NOT NULL, name TEXT NOT NULL, "
                               "lname TEXT NOT NULL, type INTEGER NOT NULL, data BLOB, UNIQUE(key, lname))")))
        return closeFailed(db);
    m_open = true;
    return true;
}

bool RegistryStore::closeFailed(QSqlDatabase& db)
{
    // Not kept: the next store tries the file again.
    db.close();
    return false;
}

std::optional<qint64> RegistryStore::findKey(const QString& keyPath)
{
    if (!open())
        return std::nullopt;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("SELECT id FROM keys WHERE parent = ? AND lname = ?"));
    qint64 id = 0;  // the hive's root
    for (const QString& part : KeyComponents(keyPath)) {
        q.addBindValue(id);
        q.addBindValue(lowered(part));
        if (!q.exec() || !q.next())
            return std::nullopt;
        id = q.value(0).toLongLong();
    }
    return id;
}

bool RegistryStore::readable()
{
    if (!open())
        return false;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    return q.exec(QStringLiteral("SELECT id, parent, name, lname FROM keys LIMIT 1")) &&
           q.exec(QStringLiteral("SELECT key, name, lname, type, data FROM vals LIMIT 1"));
}

bool RegistryStore::keyExists(const QString& keyPath)
{
    return findKey(keyPath).has_value();
}

bool RegistryStore::inWriteTransaction(const std::function<bool(QSqlDatabase&)>& work)
{
    if (!open())
        return false;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery control(db);
    // A plain BEGIN takes the write lock only at the first write: two processes that both read first
    // then deadlock, and SQLite fails one of them at once instead of letting it wait.
    if (!control.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return false;
    if (work(db) && control.exec(QStringLiteral("COMMIT")))
        return true;
    // Also after a failed COMMIT: a transaction left open would swallow every later write.
    control.exec(QStringLiteral("ROLLBACK"));
    return false;
}

namespace {

// Inside a write transaction: the key's id, created with every missing key above it.
std::optional<qint64> createKeyIn(QSqlDatabase& db, const QString& keyPath)
{
    QSqlQuery find(db), insert(db);
    find.prepare(QStringLiteral("SELECT id FROM keys WHERE parent = ? AND lname = ?"));
    insert.prepare(QStringLiteral("INSERT INTO keys (parent, name, lname) VALUES (?, ?, ?)"));
    qint64 id = 0;
    for (const QString& part : KeyComponents(keyPath)) {
        find.addBindValue(id);
        find.addBindValue(lowered(part));
        if (!find.exec())
            return std::nullopt;
        if (find.next()) {
            id = find.value(0).toLongLong();
            continue;
        }
        insert.addBindValue(id);
        insert.addBindValue(part);
        insert.addBindValue(lowered(part));
        if (!insert.exec())
            return std::nullopt;
        id = insert.lastInsertId().toLongLong();
    }
    return id;
}

// Inside a write transaction: stores one value of the key.
bool setValueIn(QSqlDatabase& db, qint64 key, const QString& valueName, const RegValue& value)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("INSERT INTO vals (key, name, lname, type, data) VALUES (?, ?, ?, ?, ?) "
                             "ON CONFLICT(key, lname) DO UPDATE SET type = excluded.type, data = excluded.data"));
    q.addBindValue(key);
    q.addBindValue(nonNull(valueName));
    q.addBindValue(lowered(valueName));
    q.addBindValue(static_cast<int>(value.type));
    q.addBindValue(value.data.isNull() ? QByteArray("") : value.data);
    return q.exec();
}

}  // namespace

bool RegistryStore::createKey(const QString& keyPath)
{
    return inWriteTransaction([&](QSqlDatabase& db) { return createKeyIn(db, keyPath).has_value(); });
}

std::optional<RegValue> RegistryStore::queryValue(const QString& keyPath, const QString& valueName)
{
    const auto key = findKey(keyPath);
    if (!key)
        return std::nullopt;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("SELECT type, data FROM vals WHERE key = ? AND lname = ?"));
    q.addBindValue(*key);
    q.addBindValue(lowered(valueName));
    if (!q.exec() || !q.next())
        return std::nullopt;
    return RegValue{static_cast<ValueType>(q.value(0).toInt()), q.value(1).toByteArray()};
}

bool RegistryStore::setValue(const QString& keyPath, const QString& valueName, const RegValue& value)
{
    // The key is looked up in the same transaction as the write: a key deleted meanwhile by another
    // process cannot leave a value behind that a later key with its number would inherit.
    return inWriteTransaction([&](QSqlDatabase& db) {
        const auto key = findKey(keyPath);
        return key && setValueIn(db, *key, valueName, value);
    });
}

bool RegistryStore::setValues(const QString& keyPath, const QList<std::pair<QString, RegValue>>& values)
{
    return inWriteTransaction([&](QSqlDatabase& db) {
        const auto key = createKeyIn(db, keyPath);
        if (!key)
            return false;
        for (const auto& [name, value] : values)
            if (!setValueIn(db, *key, name, value))
                return false;
        return true;
    });
}

bool RegistryStore::deleteValue(const QString& keyPath, const QString& valueName)
{
    return inWriteTransaction([&](QSqlDatabase& db) {
        const auto key = findKey(keyPath);
        if (!key)
            return false;
        QSqlQuery q(db);
        q.prepare(QStringLiteral("DELETE FROM vals WHERE key = ? AND lname = ?"));
        q.addBindValue(*key);
        q.addBindValue(lowered(valueName));
        return q.exec() && q.numRowsAffected() > 0;
    });
}

bool RegistryStore::deleteKey(const QString& keyPath)
{
    // The check for subkeys and the delete in one transaction: a subkey added meanwhile by another
    // process cannot be left without its parent.
    return inWriteTransaction([&](QSqlDatabase& db) {
        const auto key = findKey(keyPath);
        if (!key || *key == 0)
            return false;
        QSqlQuery q(db);
        q.prepare(QStringLiteral("SELECT COUNT(*) FROM keys WHERE parent = ?"));
        q.addBindValue(*key);
        if (!q.exec() || !q.next() || q.value(0).toLongLong() > 0)
            return false;
        QSqlQuery del(db);
        del.prepare(QStringLiteral("DELETE FROM vals WHERE key = ?"));
        del.addBindValue(*key);
        if (!del.exec())
            return false;
        del.prepare(QStringLiteral("DELETE FROM keys WHERE id = ?"));
        del.addBindValue(*key);
        return del.exec();
    });
}

std::optional<QString> RegistryStore::subkeyName(const QString& keyPath, int index)
{
    const auto key = findKey(keyPath);
    if (!key || index < 0)
        return std::nullopt;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("SELECT name FROM keys WHERE parent = ? ORDER BY id LIMIT 1 OFFSET ?"));
    q.addBindValue(*key);
    q.addBindValue(index);
    if (!q.exec() || !q.next())
        return std::nullopt;
    return q.value(0).toString();
}

QStringList RegistryStore::valueNames(const QString& keyPath)
{
    QStringList names;
    const auto key = findKey(keyPath);
    if (!key)
        return names;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("SELECT name FROM vals WHERE key = ? ORDER BY rowid"));
    q.addBindValue(*key);
    if (q.exec())
        while (q.next())
            names << q.value(0).toString();
    return names;
}

}  // namespace registry

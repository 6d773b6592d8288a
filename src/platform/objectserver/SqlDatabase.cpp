#include "platform/objectserver/SqlDatabase.h"

#include "platform/base/ShownText.h"
#include "platform/objectserver/Dialect.h"
#include "platform/objectserver/ObjectServer.h"

#include <QAtomicInt>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QThread>
#include <QUrl>

namespace lns::sql {

Database::Database(const StoreLocation& location, const QString& source)
    : m_file(location.address), m_source(source), m_postgres(location.store == Store::PostgreSQL)
{
    static QAtomicInt counter;
    m_connection = QStringLiteral("objectserver-%1").arg(counter.fetchAndAddRelaxed(1));
    switch (location.store) {
    case Store::PostgreSQL: openPostgres(location.address); break;
    case Store::SQLite: openSqlite(location.address); break;
    }
}

void Database::openPostgres(const QString& uri)
{
    // The server is named in messages (and so in logs and reports) as a person reads an address, and
    // without a password the setting may hold.
    const auto keywords = ConnectionKeywords(uri);
    m_file = shown::WithoutPasswords(keywords.isEmpty() ? uri : QUrl(uri).toString());
    if (keywords.isEmpty())
        fail(QStringLiteral("open"), QStringLiteral("it is not a postgresql:// address"));
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        fail(QStringLiteral("open"), QStringLiteral("the PostgreSQL driver of Qt SQL is not installed"));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_connection);
        QList<std::pair<QString, QString>> options;
        for (const auto& [key, value] : keywords) {
            if (key == QLatin1String("host"))
                db.setHostName(value);
            else if (key == QLatin1String("port"))
                db.setPort(value.toInt());
            else if (key == QLatin1String("dbname"))
                db.setDatabaseName(value);
            else if (key == QLatin1String("user"))
                db.setUserName(value);
            else if (key == QLatin1String("password"))
                db.setPassword(value);
            else
                options.append({key, value});
        }
        // A server that does not answer is reported, not waited for.
        options.append({QStringLiteral("connect_timeout"), QStringLiteral("10")});
        db.setConnectOptions(ConnectOptions(options));
    }
    try {
        {
            QSqlDatabase db = QSqlDatabase::database(m_connection, false);
            if (!db.open())
                fail(QStringLiteral("open"), db.lastError().text());
        }
        createSchema();
    } catch (...) {
        close();
        throw;
    }
}

void Database::openSqlite(const QString& file)
{
    const QFileInfo info(file);
    if (!QDir().mkpath(info.absolutePath()))
        fail(QStringLiteral("create the folder of"), QStringLiteral("the folder cannot be created"));
    if (info.exists() && !info.isFile())
        fail(QStringLiteral("open"), QStringLiteral("it is not a file"));
    // SQLite would take an empty file for a new database and build one in it; an empty file here is a
    // database whose contents were lost, and a rebuilt one would hide that.
    if (info.exists() && info.size() == 0)
        fail(QStringLiteral("open"), QStringLiteral("the file is empty: the database is damaged"));

    // A read-only installation (the file or its folder not writable by this user) is read as it is:
    // setting the write-ahead log mode, or writing the side files it needs, would fail.
    const bool folderWritable = QFileInfo(info.absolutePath()).isWritable();
    const bool readOnly = info.exists() && (!info.isWritable() || !folderWritable);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
        // Another process may hold the write lock for a moment; wait for it instead of failing.
        QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000");
        if (readOnly)
            options += QStringLiteral(";QSQLITE_OPEN_READONLY");
        if (readOnly && !folderWritable && !QFileInfo::exists(file + QStringLiteral("-wal"))) {
            // Without its side files SQLite reads such a database only when told that nobody changes it;
            // nobody can, with its folder closed to writing and no log beside it.
            QUrl uri = QUrl::fromLocalFile(info.absoluteFilePath());
            uri.setQuery(QStringLiteral("immutable=1"));
            db.setDatabaseName(uri.toString(QUrl::FullyEncoded));
            options += QStringLiteral(";QSQLITE_OPEN_URI");
        } else {
            db.setDatabaseName(file);
        }
        db.setConnectOptions(options);
    }
    try {
        {
            QSqlDatabase db = QSqlDatabase::database(m_connection, false);
            if (!db.open())
                fail(QStringLiteral("open"), db.lastError().text());
        }
        // A file that is not a database fails on its first statement.
        exec(dialect::ForeignKeysOn);
        if (!readOnly) {
            const auto mode = row(dialect::WriteAheadLog);
            if (!mode)
                fail(QStringLiteral("open"), QStringLiteral("the journal mode cannot be set"));
            // In WAL mode this still survives a crash of the process; only a power cut may lose the last commit.
            exec(dialect::SynchronousNormal);
        }
        const auto check = row(dialect::QuickCheck);
        if (!check || check->value(0).toString() != QLatin1String(dialect::QuickCheckOk))
            fail(QStringLiteral("check"), check ? check->value(0).toString() : QStringLiteral("no answer"));
        createSchema();
    } catch (...) {
        close();
        throw;
    }
}

Database::~Database()
{
    close();
}

void Database::dropStatements()
{
    qDeleteAll(m_prepared);
    m_prepared.clear();
    m_direct.clear();
    m_columns.clear();
}

void Database::close()
{
    dropStatements();
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
}

void Database::createSchema()
{
    // An existing database of this schema needs no write: opening stays a read, as it is most times.
    if (row(m_postgres ? dialect::PgMetaTableExists : dialect::MetaTableExists)) {
        const auto existing = row("SELECT value FROM meta WHERE key = 'schema'");
        if (existing && existing->value(0).toString() == QString::number(dialect::SchemaVersion))
            return;
    }
    write([&] {
        for (const char* statement : dialect::SchemaStatements)
            exec(statement);
        const auto version = row("SELECT value FROM meta WHERE key = 'schema'");
        bool known = false;
        const int stored = version ? version->value(0).toString().toInt(&known) : 0;
        if (!version) {
            exec("INSERT INTO meta (key, value) VALUES ('schema', ?)", {QString::number(dialect::SchemaVersion)});
        } else if (known && stored >= 1 && stored < dialect::SchemaVersion) {
            // An older file is brought up to date in place: its data stays as it is.
            for (const dialect::Upgrade& upgrade : dialect::Upgrades)
                if (stored <= upgrade.from)
                    exec(upgrade.statement);
            exec("UPDATE meta SET value = ? WHERE key = 'schema'", {QString::number(dialect::SchemaVersion)});
        } else if (version->value(0).toString() != QString::number(dialect::SchemaVersion)) {
            fail(QStringLiteral("open"), QStringLiteral("its schema version %1 is not %2")
                                             .arg(version->value(0).toString())
                                             .arg(dialect::SchemaVersion));
        }
    });
}

void Database::fail(const QString& what, const QString& reason) const
{
    throw com::ComError(ObjectServerError(ErrDatabase), m_source,
                        QStringLiteral("Cannot %1 the object server database %2: %3").arg(what, m_file, reason));
}

QSqlQuery& Database::run(const char* sql, std::initializer_list<QVariant> values)
{
    QSqlQuery*& query = m_prepared[sql];
    if (!query) {
        query = new QSqlQuery(QSqlDatabase::database(m_connection, false));
        query->setForwardOnly(true);
        const QString text = m_postgres ? dialect::PgStatement(sql) : QString::fromLatin1(sql);
        if (m_postgres && dialect::PgRunsDirect(text)) {
            m_direct.insert(sql, text);
        } else if (!query->prepare(text)) {
            const QString reason = query->lastError().text();
            delete query;
            m_prepared.remove(sql);
            fail(QStringLiteral("use"), reconnectIfLost(reason));
        }
    }
    int position = 0;
    for (const QVariant& value : values) {
        // Qt binds a null text as NULL; every text column here means "empty" by it.
        if (value.typeId() == QMetaType::QString && value.toString().isNull())
            query->bindValue(position++, QStringLiteral(""));
        else
            query->bindValue(position++, value);
    }
    const auto direct = m_direct.constFind(sql);
    for (int attempt = 1;; ++attempt) {
        if (direct == m_direct.cend() ? query->exec() : query->exec(*direct))
            return *query;
        const QSqlError error = query->lastError();
        query->finish();
        m_conflict = m_postgres && dialect::PgConflict(error.nativeErrorCode());
        // Alone, the statement is its own transaction and can simply run again; inside a
        // transaction the whole transaction does (write()).
        if (m_conflict && !m_inTransaction) {
            if (retryConflict(attempt))
                continue;
            fail(QStringLiteral("use"), error.text() + QStringLiteral(" (tried %1 times)").arg(ConflictAttempts));
        }
        fail(QStringLiteral("use"), reconnectIfLost(error.text()));
    }
}

bool Database::retryConflict(int attempt)
{
    if (attempt >= ConflictAttempts)
        return false;
    // Both sides of a conflict retrying in step would meet again: wait a little, longer each time.
    QThread::msleep(10 * attempt + QRandomGenerator::global()->bounded(10 * attempt));
    return true;
}

void Database::giveUp(const com::ComError& error) const
{
    throw com::ComError(error.number(), error.source(),
                        error.description() + QStringLiteral(" (tried %1 times)").arg(ConflictAttempts));
}

QString Database::reconnectIfLost(const QString& reason)
{
    // A server that went away fails this call; the next one finds the server again if it is back.
    if (!m_postgres)
        return reason;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    {
        QSqlQuery probe(db);
        if (probe.exec(QStringLiteral("SELECT 1")))
            return reason;
        if (probe.lastError().text().contains(QLatin1String("transaction is aborted")))
            return reason;
    }
    dropStatements();
    db.close();
    if (db.open() || !reason.trimmed().isEmpty())
        return reason;
    // A statement on a connection already closed says nothing: the server's own refusal does.
    return db.lastError().text();
}

qint64 Database::exec(const char* sql, std::initializer_list<QVariant> values)
{
    QSqlQuery& query = run(sql, values);
    const bool insert = qstrncmp(sql, "INSERT", 6) == 0;
    qint64 result = 0;
    if (m_postgres && insert)
        result = query.isSelect() && query.next() ? query.value(0).toLongLong() : 0;  // RETURNING id
    else if (!query.isSelect())
        result = insert ? query.lastInsertId().toLongLong() : query.numRowsAffected();
    query.finish();
    return result;
}

qint64 Database::changes(const char* sql, std::initializer_list<QVariant> values)
{
    QSqlQuery& query = run(sql, values);
    const qint64 result = query.numRowsAffected();
    query.finish();
    return result;
}

int Database::columnsOf(const char* sql, const QSqlQuery& query)
{
    auto known = m_columns.constFind(sql);
    if (known == m_columns.cend())
        known = m_columns.insert(sql, query.record().count());
    return *known;
}

std::optional<Row> Database::row(const char* sql, std::initializer_list<QVariant> values)
{
    QSqlQuery& query = run(sql, values);
    std::optional<Row> result;
    if (query.next()) {
        Row r;
        const int columns = columnsOf(sql, query);
        r.reserve(columns);
        for (int i = 0; i < columns; ++i)
            r.append(query.value(i));
        result = std::move(r);
    }
    query.finish();
    return result;
}

QList<Row> Database::rows(const char* sql, std::initializer_list<QVariant> values)
{
    QSqlQuery& query = run(sql, values);
    QList<Row> result;
    const int columns = columnsOf(sql, query);
    while (query.next()) {
        Row r;
        r.reserve(columns);
        for (int i = 0; i < columns; ++i)
            r.append(query.value(i));
        result.append(std::move(r));
    }
    query.finish();
    return result;
}

Database::Transaction::Transaction(Database& db) : m_db(db)
{
    m_db.m_conflict = false;
    // From BEGIN on, a conflict is the whole transaction's, not one statement's.
    m_db.m_inTransaction = true;
    try {
        if (m_db.m_postgres) {
            m_db.exec(dialect::PgBegin);
            try {
                m_db.exec(dialect::PgWriteLock);
            } catch (...) {
                m_db.exec(dialect::Rollback);
                throw;
            }
        } else {
            m_db.exec(dialect::BeginWrite);
        }
    } catch (...) {
        m_db.m_inTransaction = false;
        throw;
    }
}

Database::Transaction::~Transaction()
{
    m_db.m_inTransaction = false;
    if (!m_done) {
        try {
            m_db.exec(dialect::Rollback);
        } catch (const com::ComError&) {
            // Nothing more can be done: the connection drops the transaction when it closes.
        }
    }
}

void Database::Transaction::commit()
{
    m_db.exec(dialect::Commit);
    m_done = true;
}

}  // namespace lns::sql

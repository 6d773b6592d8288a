#include "platform/objectserver/SqliteDatabase.h"

#include "platform/objectserver/ObjectServer.h"
#include "platform/objectserver/SqliteDialect.h"

#include <QAtomicInt>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUrl>

namespace lns::sqlite {

Database::Database(const QString& file, const QString& source) : m_file(file), m_source(source)
{
    static QAtomicInt counter;
    m_connection = QStringLiteral("objectserver-%1").arg(counter.fetchAndAddRelaxed(1));

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

void Database::close()
{
    qDeleteAll(m_prepared);
    m_prepared.clear();
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
}

void Database::createSchema()
{
    // An existing database of this schema needs no write: opening stays a read, as it is most times.
    if (row(dialect::MetaTableExists)) {
        const auto existing = row("SELECT value FROM meta WHERE key = 'schema'");
        if (existing && existing->value(0).toString() == QString::number(dialect::SchemaVersion))
            return;
    }
    Transaction transaction(*this);
    for (const char* statement : dialect::SchemaStatements)
        exec(statement);
    const auto version = row("SELECT value FROM meta WHERE key = 'schema'");
    if (!version)
        exec("INSERT INTO meta (key, value) VALUES ('schema', ?)", {QString::number(dialect::SchemaVersion)});
    else if (version->value(0).toString() != QString::number(dialect::SchemaVersion))
        fail(QStringLiteral("open"), QStringLiteral("its schema version %1 is not %2")
                                         .arg(version->value(0).toString())
                                         .arg(dialect::SchemaVersion));
    transaction.commit();
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
        if (!query->prepare(QString::fromLatin1(sql))) {
            const QString reason = query->lastError().text();
            delete query;
            m_prepared.remove(sql);
            fail(QStringLiteral("use"), reason);
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
    if (!query->exec()) {
        const QString reason = query->lastError().text();
        query->finish();
        fail(QStringLiteral("use"), reason);
    }
    return *query;
}

qint64 Database::exec(const char* sql, std::initializer_list<QVariant> values)
{
    QSqlQuery& query = run(sql, values);
    const qint64 result = query.isSelect() ? 0
                          : (qstrncmp(sql, "INSERT", 6) == 0 ? query.lastInsertId().toLongLong()
                                                              : query.numRowsAffected());
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

std::optional<Row> Database::row(const char* sql, std::initializer_list<QVariant> values)
{
    QSqlQuery& query = run(sql, values);
    std::optional<Row> result;
    if (query.next()) {
        Row r;
        const int columns = query.record().count();
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
    const int columns = query.record().count();
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
    m_db.exec(dialect::BeginWrite);
}

Database::Transaction::~Transaction()
{
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

}  // namespace lns::sqlite

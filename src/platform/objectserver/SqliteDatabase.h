#pragma once
// One connection to the object server's database (a SQLite file or a PostgreSQL server, see
// StoreLocation.h), shared by the object server and the provisioning API. Statements are prepared once per connection
// and every result is read out and released at once, so no statement keeps a read transaction (and with it an old
// snapshot) open between calls: a value written by another process is seen by the next read.
#include "platform/base/ComError.h"
#include "platform/objectserver/StoreLocation.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>
#include <initializer_list>
#include <memory>
#include <optional>

class QSqlQuery;

namespace lns::sqlite {

using Row = QVariantList;

class Database {
public:
    // Opens (creating folder and file when missing) and checks the file; a file that is not a usable
    // database (an empty one included) raises ErrDatabase with source as the error's source. A file
    // that the user may not write, or that lies in a folder the user may not write, is opened for
    // reading only: writes then fail with ErrDatabase.
    // On PostgreSQL the tables are made when missing; a server that cannot be reached or refuses the
    // login raises ErrDatabase naming the server.
    Database(const StoreLocation& location, const QString& source);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // The SQLite file, or the PostgreSQL server's URI.
    const QString& file() const { return m_file; }
    bool postgres() const { return m_postgres; }

    // Runs a statement; ErrDatabase on failure. exec answers the new row id of an INSERT, else the
    // number of rows changed.
    qint64 exec(const char* sql, std::initializer_list<QVariant> values = {});
    // The number of rows a statement changed, whatever the statement (an upsert's update counts).
    qint64 changes(const char* sql, std::initializer_list<QVariant> values = {});
    std::optional<Row> row(const char* sql, std::initializer_list<QVariant> values = {});
    QList<Row> rows(const char* sql, std::initializer_list<QVariant> values = {});

    // A write transaction that takes the write lock at its start, so that a check made inside it
    // still holds when it commits. Rolled back unless committed.
    class Transaction {
    public:
        explicit Transaction(Database& db);
        ~Transaction();
        void commit();

    private:
        Database& m_db;
        bool m_done = false;
    };

private:
    QSqlQuery& run(const char* sql, std::initializer_list<QVariant> values);
    [[noreturn]] void fail(const QString& what, const QString& reason) const;
    void openSqlite(const QString& file);
    void openPostgres(const QString& uri);
    void createSchema();
    void close();
    void dropStatements();
    void reconnectIfLost();

    QString m_file;
    QString m_source;
    QString m_connection;
    bool m_postgres = false;
    QHash<const char*, QSqlQuery*> m_prepared;
    QHash<const char*, QString> m_direct;  // PostgreSQL's statements that are not prepared, by text
};

}  // namespace lns::sqlite

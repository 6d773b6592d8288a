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
#include <type_traits>

class QSqlQuery;

namespace lns::sql {

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
    bool onPostgres() const { return m_postgres; }

    // Runs a statement; ErrDatabase on failure. exec answers the new row id of an INSERT, else the
    // number of rows changed.
    qint64 exec(const char* sql, std::initializer_list<QVariant> values = {});
    // The number of rows a statement changed, whatever the statement (an upsert's update counts).
    qint64 changes(const char* sql, std::initializer_list<QVariant> values = {});
    std::optional<Row> row(const char* sql, std::initializer_list<QVariant> values = {});
    QList<Row> rows(const char* sql, std::initializer_list<QVariant> values = {});

    // Runs body as one write transaction that takes the write lock at its start, so that a check made
    // inside it still holds when it commits; rolled back when body throws. A transaction (or a single
    // statement outside one) that the server broke off to resolve a deadlock or a serialization conflict
    // is run again, up to ConflictAttempts times in all; then the conflict is the call's failure.
    template <class Body>
    auto write(Body&& body) -> decltype(body());

    static constexpr int ConflictAttempts = 5;

private:
    class Transaction {
    public:
        explicit Transaction(Database& db);
        ~Transaction();
        void commit();

    private:
        Database& m_db;
        bool m_done = false;
    };

    // Whether the failure just raised was a conflict worth another attempt; waits a little first so
    // that the other side can finish.
    bool retryConflict(int attempt);
    [[noreturn]] void giveUp(const com::ComError& error) const;

    QSqlQuery& run(const char* sql, std::initializer_list<QVariant> values);
    // The columns a statement answers, asked of the driver once per statement: the question builds a
    // whole record of field descriptions.
    int columnsOf(const char* sql, const QSqlQuery& query);
    [[noreturn]] void fail(const QString& what, const QString& reason) const;
    void openSqlite(const QString& file);
    void openPostgres(const QString& uri);
    void createSchema();
    void close();
    void dropStatements();
    // On PostgreSQL, a connection found lost is opened again for the next call. Returns the reason to
    // give for this call's failure: the one given, or the server's refusal when that said nothing.
    QString reconnectIfLost(const QString& reason);

    QString m_file;
    QString m_source;
    QString m_connection;
    bool m_postgres = false;
    bool m_inTransaction = false;
    bool m_conflict = false;  // the last failure was a deadlock or a serialization failure
    QHash<const char*, QSqlQuery*> m_prepared;
    QHash<const char*, QString> m_direct;  // PostgreSQL's statements that are not prepared, by text
    QHash<const char*, int> m_columns;
};

template <class Body>
auto Database::write(Body&& body) -> decltype(body())
{
    for (int attempt = 1;; ++attempt) {
        try {
            Transaction transaction(*this);
            if constexpr (std::is_void_v<decltype(body())>) {
                body();
                transaction.commit();
                return;
            } else {
                auto result = body();
                transaction.commit();
                return result;
            }
        } catch (const com::ComError& error) {
            if (!m_conflict)
                throw;
            if (!retryConflict(attempt))
                giveUp(error);
        }
    }
}

}  // namespace lns::sql

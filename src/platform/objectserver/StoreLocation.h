#pragma once
// Where the network database is. One setting chooses the store: a PostgreSQL connection URI as psql
// takes it (postgresql://user@host:port/db, or a socket folder as ?host=/dir&port=N) in the
// environment variable LONWORKS_OBJECT_SERVER, else in the registry value "Object Server" under the
// LonWorks installation's key; without either, the SQLite file of the installation. The password
// comes from where PostgreSQL's client looks for it (PGPASSFILE, ~/.pgpass), not from here.
#include <QString>

namespace lns::sql {

inline const char* const ObjectServerEnvironment = "LONWORKS_OBJECT_SERVER";
inline const char* const ObjectServerValue = "Object Server";

// The stores the object server keeps its networks in; a new one is a value here, a case in
// ChooseStore and one in Database's constructor.
enum class Store { SQLite, PostgreSQL };

struct StoreLocation {
    Store store = Store::SQLite;
    QString address;  // SQLite: the file; PostgreSQL: the connection URI
};

StoreLocation ChooseStore(const QString& lonWorksPath);

// The URI's parts as the PostgreSQL client's connection keywords (host, port, dbname, user, ...);
// empty when the text is not a postgresql:// or postgres:// URI.
QList<std::pair<QString, QString>> ConnectionKeywords(const QString& uri);

// Keywords as Qt's PostgreSQL driver takes them in its connect options, each value quoted, so that
// one may hold spaces (options='-c a=1 -c b=2').
QString ConnectOptions(const QList<std::pair<QString, QString>>& keywords);

}  // namespace lns::sql

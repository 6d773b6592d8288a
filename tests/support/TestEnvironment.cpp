#include "support/TestEnvironment.h"

#include "platform/objectserver/StoreLocation.h"

#include <QCoreApplication>
#include <QDir>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QUrl>
#include <QUrlQuery>

namespace testsupport {

TestEnvironment::TestEnvironment()
{
    // On a test bus the world was made before the bus started, and activated servers share it:
    // keep it, only make sure it is there.
    const QString world = qEnvironmentVariable("KR5M_TEST_WORLD");
    const QString server = qEnvironmentVariable(lns::sql::ObjectServerEnvironment);
    // A test bus's servers cannot see what is set here: cmake/run-on-bus.sh made the run's database.
    if (!server.isEmpty() && world.isEmpty())
        makeSchema(server);
    if (!world.isEmpty()) {
        m_world = world;
        return;
    }
    m_world = m_dir.path();
    QDir(m_dir.path()).mkpath(QStringLiteral("registry"));
    QDir(m_dir.path()).mkpath(QStringLiteral("data"));
    QDir(m_dir.path()).mkpath(QStringLiteral("config"));
    set("LONWORKS_REGISTRY_DIR", registryDir());
    set("XDG_DATA_HOME", dataHome());
    set("XDG_CONFIG_HOME", configHome());
}

namespace {

// Runs one statement on the server's database; the connection goes with the call.
bool OnServer(const QString& server, const QString& statement)
{
    static int counter = 0;
    const QString name = QStringLiteral("test-environment-%1").arg(++counter);
    bool done = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setConnectOptions(lns::sql::ConnectOptions(lns::sql::ConnectionKeywords(server)));
        if (db.open()) {
            QSqlQuery query(db);
            query.exec(QStringLiteral("SET client_min_messages TO warning"));  // not the drop's every table
            done = query.exec(statement);
            if (!done)
                qWarning("%s: %s", qPrintable(statement), qPrintable(query.lastError().text()));
        } else {
            qWarning("cannot reach %s: %s", qPrintable(server), qPrintable(db.lastError().text()));
        }
    }
    QSqlDatabase::removeDatabase(name);
    return done;
}

}  // namespace

void TestEnvironment::makeSchema(const QString& server)
{
    // A schema of its own in the server's database, found through the connection's search path: far
    // quicker to make and drop than a database. The connection's name is the schema's too, so that a
    // test can tell its own sessions from others on the server.
    static int counter = 0;
    const QString schema = QStringLiteral("kr5m_%1_%2").arg(QCoreApplication::applicationPid()).arg(++counter);
    if (!OnServer(server, QStringLiteral("CREATE SCHEMA ") + schema))
        QFAIL("the test's schema cannot be made");
    m_server = server;
    m_schema = schema;
    QUrl url(server);
    QUrlQuery query(url);
    query.addQueryItem(QStringLiteral("options"), QStringLiteral("-c search_path=") + schema);
    query.addQueryItem(QStringLiteral("application_name"), schema);
    url.setQuery(query);
    set(lns::sql::ObjectServerEnvironment, url.toString(QUrl::FullyEncoded));
}

void TestEnvironment::dropSchema()
{
    if (!m_schema.isEmpty())
        OnServer(m_server, QStringLiteral("DROP SCHEMA IF EXISTS %1 CASCADE").arg(m_schema));
}

TestEnvironment::~TestEnvironment()
{
    dropSchema();
    for (auto it = m_saved.begin(); it != m_saved.end(); ++it) {
        if (it.value())
            qputenv(it.key().constData(), *it.value());
        else
            qunsetenv(it.key().constData());
    }
}

QString TestEnvironment::registryDir() const
{
    return m_world + QStringLiteral("/registry");
}

QString TestEnvironment::dataHome() const
{
    return m_world + QStringLiteral("/data");
}

QString TestEnvironment::configHome() const
{
    return m_world + QStringLiteral("/config");
}

void TestEnvironment::set(const char* name, const QString& value)
{
    if (!m_saved.contains(name))
        m_saved.insert(name, qEnvironmentVariableIsSet(name) ? std::optional<QByteArray>(qgetenv(name)) : std::nullopt);
    qputenv(name, value.toUtf8());
}

QString BinDir()
{
    const QString env = qEnvironmentVariable("KR5M_BIN_DIR");
    return env.isEmpty() ? QCoreApplication::applicationDirPath() + QStringLiteral("/../bin") : env;
}

QString SourceDir()
{
    const QString env = qEnvironmentVariable("KR5M_SOURCE_DIR");
    return env.isEmpty() ? QStringLiteral(KR5M_SOURCE_DIR_FALLBACK) : env;
}

}  // namespace testsupport

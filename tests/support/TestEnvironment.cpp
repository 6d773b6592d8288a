#include "support/TestEnvironment.h"

#include "platform/objectserver/StoreLocation.h"

#include <QCoreApplication>
#include <QDir>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QtTest>

namespace testsupport {

TestEnvironment::TestEnvironment()
{
    // On a test bus the world was made before the bus started, and activated servers share it:
    // keep it, only make sure it is there.
    const QString world = qEnvironmentVariable("KR5M_TEST_WORLD");
    const QString server = qEnvironmentVariable(lns::sqlite::ObjectServerEnvironment);
    if (!server.isEmpty())
        makeDatabase(server);
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

// Runs one statement on the server's maintenance database; the connection goes with the call.
bool OnServer(const QString& server, const QString& statement)
{
    static int counter = 0;
    const QString name = QStringLiteral("test-environment-%1").arg(++counter);
    bool done = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        QStringList options;
        for (const auto& [key, value] : lns::sqlite::ConnectionKeywords(server)) {
            if (key != QLatin1String("dbname"))
                options << key + QLatin1Char('=') + value;
        }
        db.setDatabaseName(QStringLiteral("postgres"));
        db.setConnectOptions(options.join(QLatin1Char(';')));
        if (db.open()) {
            QSqlQuery query(db);
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

void TestEnvironment::makeDatabase(const QString& server)
{
    static int counter = 0;
    const QString database = QStringLiteral("kr5m_%1_%2").arg(QCoreApplication::applicationPid()).arg(++counter);
    if (!OnServer(server, QStringLiteral("CREATE DATABASE ") + database))
        QFAIL("the test's database cannot be made");
    m_server = server;
    m_database = database;
    QUrl url(server);
    url.setPath(QLatin1Char('/') + database);
    set(lns::sqlite::ObjectServerEnvironment, url.toString());
}

void TestEnvironment::dropDatabase()
{
    if (!m_database.isEmpty())
        OnServer(m_server, QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(m_database));
}

TestEnvironment::~TestEnvironment()
{
    dropDatabase();
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

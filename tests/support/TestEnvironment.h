#pragma once
// A fresh, private world for one test: a temporary folder that holds the registry hives
// (LONWORKS_REGISTRY_DIR) and XDG data / config folders, restored when the object goes. Under a test
// bus (KR5M_TEST_WORLD set by cmake/run-on-bus.sh) it is that bus's world instead, shared with the
// servers the bus starts. On a PostgreSQL store (LONWORKS_OBJECT_SERVER set) the world also has a
// schema of its own in that server's database, dropped when the object goes (under a test bus, the
// bus's run has a database of its own instead).
#include <QByteArray>
#include <QDateTime>
#include <QMap>
#include <QString>
#include <QTemporaryDir>
#include <optional>

namespace testsupport {

class TestEnvironment {
public:
    TestEnvironment();
    ~TestEnvironment();
    QString root() const { return m_world; }
    QString registryDir() const;
    QString dataHome() const;    // XDG_DATA_HOME
    QString configHome() const;  // XDG_CONFIG_HOME

    // Sets an environment variable for the lifetime of this object.
    void set(const char* name, const QString& value);

private:
    void makeSchema(const QString& server);
    void dropSchema();

    QTemporaryDir m_dir;
    QString m_server;  // the server's address as given, to reach it again for the drop
    QString m_schema;  // the world's own schema on it
    QString m_world;
    QMap<QByteArray, std::optional<QByteArray>> m_saved;
};

// The folder of the built executables (KR5M_BIN_DIR from CTest) and the source tree.
QString BinDir();
QString SourceDir();

// The seed of a generated test: KR5M_SEED when set; else a fixed one, so that the suite runs the same
// cases every time, or, in a soak build (KR5M_FRESH_SEED), a new one every run.
inline quint64 GeneratedSeed()
{
    if (qEnvironmentVariableIsSet("KR5M_SEED"))
        return qEnvironmentVariable("KR5M_SEED").toULongLong();
#ifdef KR5M_FRESH_SEED
    return quint64(QDateTime::currentMSecsSinceEpoch());
#else
    return 20261208;
#endif
}

}  // namespace testsupport

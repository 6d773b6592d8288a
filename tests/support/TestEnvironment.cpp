#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QDir>

namespace testsupport {

TestEnvironment::TestEnvironment()
{
    // On a test bus the world was made before the bus started, and activated servers share it:
    // keep it, only make sure it is there.
    const QString world = qEnvironmentVariable("KR5M_TEST_WORLD");
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

TestEnvironment::~TestEnvironment()
{
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

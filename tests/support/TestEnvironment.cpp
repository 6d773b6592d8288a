#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QDir>

namespace testsupport {

TestEnvironment::TestEnvironment()
{
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
    return m_dir.path() + QStringLiteral("/registry");
}

QString TestEnvironment::dataHome() const
{
    return m_dir.path() + QStringLiteral("/data");
}

QString TestEnvironment::configHome() const
{
    return m_dir.path() + QStringLiteral("/config");
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

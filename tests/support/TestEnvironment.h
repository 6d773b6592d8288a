#pragma once
// A fresh, private world for one test: a temporary folder that holds the registry hives
// (LONWORKS_REGISTRY_DIR) and XDG data / config folders, restored when the object goes. Under a test
// bus (KR5M_TEST_WORLD set by cmake/run-on-bus.sh) it is that bus's world instead, shared with the
// servers the bus starts.
#include <QByteArray>
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
    QTemporaryDir m_dir;
    QString m_world;
    QMap<QByteArray, std::optional<QByteArray>> m_saved;
};

// The folder of the built executables (KR5M_BIN_DIR from CTest) and the source tree.
QString BinDir();
QString SourceDir();

}  // namespace testsupport

#pragma once
// A registry with two hives, each a SQLite file: keys with subkeys and typed values, key and value
// names compared without regard to case, as Windows does. LONWORKS_REGISTRY_DIR moves both hives; by
// default they live in $XDG_CONFIG_HOME/lonworks-registry/.
//
// Nothing here raises: a store that cannot be opened or read answers every read with "missing" and
// every write with false.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <utility>

class QSqlDatabase;

namespace registry {

enum class Hive { LocalMachine, CurrentUser };
// The numbers are those of the Windows value types.
enum class ValueType { String = 1, Number = 4 };

struct RegValue {
    ValueType type = ValueType::String;
    QByteArray data;  // String: the text's bytes (UTF-8), no terminating NUL; Number: 4 bytes, little-endian
};

RegValue StringValue(const QString& text);
RegValue NumberValue(quint32 number);

class RegistryStore {
public:
    explicit RegistryStore(Hive hive, const QString& folder = DefaultFolder());
    ~RegistryStore();
    RegistryStore(const RegistryStore&) = delete;
    RegistryStore& operator=(const RegistryStore&) = delete;

    static QString DefaultFolder();
    QString fileName() const { return m_file; }

    // True when the hive opens and reads as a registry; false for a file that is something else (or
    // that another process keeps from being read).
    bool readable();
    bool keyExists(const QString& keyPath);
    // Creates the key and every missing key above it.
    bool createKey(const QString& keyPath);
    std::optional<RegValue> queryValue(const QString& keyPath, const QString& valueName);
    // The key must exist.
    bool setValue(const QString& keyPath, const QString& valueName, const RegValue& value);
    // Creates the key when missing and writes the values, in one transaction: all of them or, on
    // failure, nothing (the key stays as it was).
    bool setValues(const QString& keyPath, const QList<std::pair<QString, RegValue>>& values);
    bool deleteValue(const QString& keyPath, const QString& valueName);
    // Deletes a key that has no subkeys; false when it is missing or still has subkeys.
    bool deleteKey(const QString& keyPath);
    // Name of subkey number index (0-based, in creation order), or nothing past the end.
    std::optional<QString> subkeyName(const QString& keyPath, int index);
    QStringList valueNames(const QString& keyPath);

private:
    bool open();
    bool closeFailed(QSqlDatabase& db);
    std::optional<qint64> findKey(const QString& keyPath);
    // Runs work in one transaction that holds the write lock from its start: the look-ups it makes
    // stay true until it commits, and another process's writer waits for it instead of failing.
    // Rolled back when work or the commit fails.
    bool inWriteTransaction(const std::function<bool(QSqlDatabase&)>& work);

    QString m_file;
    QString m_connection;
    bool m_open = false;
    bool m_tried = false;
};

// Splits "SOFTWARE\LonWorks\LCA" into its components, ignoring empty ones.
QStringList KeyComponents(const QString& keyPath);

}  // namespace registry

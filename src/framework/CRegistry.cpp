#include "framework/CRegistry.h"

#include "framework/Identity.h"
#include "platform/registry/RegistryStore.h"

using registry::Hive;
using registry::RegistryStore;

namespace framework {
namespace {

QString readText(Hive hive, const QString& keyPath, const QString& valueName)
{
    RegistryStore store(hive);
    const auto value = store.queryValue(keyPath, valueName);
    if (!value || value->type != registry::ValueType::String || value->data.isEmpty())
        return QString();
    QByteArray data = value->data;
    const qsizetype nul = data.indexOf('\0');
    if (nul >= 0)
        data.truncate(nul);
    return QString::fromUtf8(data);
}

bool writeText(Hive hive, const QString& keyPath, const QString& valueName, const QString& text)
{
    RegistryStore store(hive);
    return store.createKey(keyPath) && store.setValue(keyPath, valueName, registry::StringValue(text));
}

QString appKey(const QString& section)
{
    return QStringLiteral("SOFTWARE\\LonWorks\\LCA\\Applets\\") + PlugInName() + QLatin1Char('\\') + section;
}

bool deleteRecursively(RegistryStore& store, const QString& keyPath)
{
    if (store.deleteKey(keyPath))
        return true;
    if (!store.keyExists(keyPath))
        return false;
    for (;;) {
        const auto first = store.subkeyName(keyPath, 0);
        if (!first)
            break;
        QString name = *first;
        const qsizetype nul = name.indexOf(QChar(0));
        if (nul >= 0)
            name.truncate(nul);
        if (!deleteRecursively(store, keyPath + QLatin1Char('\\') + name.left(260)))
            return false;
    }
    return store.deleteKey(keyPath);
}

}  // namespace

QString PlugInKey()
{
    return QStringLiteral("SOFTWARE\\LonWorks\\LCA\\Plug-Ins\\") + PlugInName();
}

QString CRegistry::MachineSetting(const QString& keyPath, const QString& valueName)
{
    return readText(Hive::LocalMachine, keyPath, valueName);
}

bool CRegistry::SetMachineSetting(const QString& keyPath, const QString& valueName, const QString& text)
{
    return writeText(Hive::LocalMachine, keyPath, valueName, text);
}

bool CRegistry::SetMachineSettings(const QString& keyPath, const QList<std::pair<QString, QString>>& values)
{
    QList<std::pair<QString, registry::RegValue>> stored;
    for (const auto& [name, text] : values)
        stored.append({name, registry::StringValue(text)});
    return RegistryStore(Hive::LocalMachine).setValues(keyPath, stored);
}

QString CRegistry::AppSetting(const QString& section, const QString& valueName)
{
    return readText(Hive::CurrentUser, appKey(section), valueName);
}

bool CRegistry::SetAppSetting(const QString& section, const QString& valueName, const QString& text)
{
    return writeText(Hive::CurrentUser, appKey(section), valueName, text);
}

bool CRegistry::DeleteMachineKey(const QString& keyPath)
{
    // An empty path, or one of separators only, names the hive itself: deleting "its subkeys" would
    // empty the whole hive.
    if (registry::KeyComponents(keyPath).isEmpty())
        return false;
    RegistryStore store(Hive::LocalMachine);
    return deleteRecursively(store, keyPath);
}

QString CRegistry::FindFirstMachineKey(const QString& keyPath)
{
    RegistryStore store(Hive::LocalMachine);
    m_enumOpen = store.keyExists(keyPath);
    m_enumKey = keyPath;
    m_nextIndex = 0;
    return GetNextMachineKey();
}

QString CRegistry::GetNextMachineKey()
{
    if (!m_enumOpen)
        return QString();
    RegistryStore store(Hive::LocalMachine);
    const auto name = store.subkeyName(m_enumKey, m_nextIndex);
    if (!name)
        return QString();
    ++m_nextIndex;
    return *name;
}

}  // namespace framework

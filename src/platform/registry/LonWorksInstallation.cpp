#include "platform/registry/LonWorksInstallation.h"

#include "platform/registry/RegistryStore.h"

#include <QDir>
#include <QFileInfo>

namespace registry {

QString LonWorksSetting(const QString& valueName)
{
    RegistryStore store(Hive::LocalMachine);
    // A machine without a registry has no setting; looking one up must not create the hive.
    if (!QFileInfo::exists(store.fileName()))
        return QString();
    const auto value = store.queryValue(QString::fromLatin1(LonWorksKey), valueName);
    if (!value || value->type != ValueType::String)
        return QString();
    QByteArray data = value->data;
    const qsizetype nul = data.indexOf('\0');
    if (nul >= 0)
        data.truncate(nul);
    return QString::fromUtf8(data);
}

QString LonWorksPathSetting()
{
    return LonWorksSetting(QString::fromLatin1(LonWorksPathValue));
}

bool SetLonWorksPathSetting(const QString& path)
{
    RegistryStore store(Hive::LocalMachine);
    const QString key = QString::fromLatin1(LonWorksKey);
    return store.createKey(key) && store.setValue(key, QString::fromLatin1(LonWorksPathValue), StringValue(path));
}

QString DefaultLonWorksPath()
{
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty())
        data = QDir::homePath() + QStringLiteral("/.local/share");
    return data + QStringLiteral("/LonWorks");
}

QString LonWorksPath()
{
    const QString setting = LonWorksPathSetting();
    return setting.isEmpty() ? DefaultLonWorksPath() : setting;
}

}  // namespace registry

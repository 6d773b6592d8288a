#include "platform/objectserver/StoreLocation.h"

#include "platform/objectserver/ObjectServerFactory.h"
#include "platform/registry/LonWorksInstallation.h"

#include <QUrl>
#include <QUrlQuery>

namespace lns::sql {

StoreLocation ChooseStore(const QString& lonWorksPath)
{
    QString setting = qEnvironmentVariable(ObjectServerEnvironment).trimmed();
    if (setting.isEmpty())
        setting = registry::LonWorksSetting(QString::fromLatin1(ObjectServerValue)).trimmed();
    if (setting.isEmpty())
        return {Store::SQLite, ObjectServerDatabasePath(lonWorksPath)};
    return {Store::PostgreSQL, setting};
}

QList<std::pair<QString, QString>> ConnectionKeywords(const QString& uri)
{
    const QUrl url(uri, QUrl::StrictMode);
    if (!url.isValid() || (url.scheme() != QLatin1String("postgresql") && url.scheme() != QLatin1String("postgres")))
        return {};
    QList<std::pair<QString, QString>> keywords;
    if (!url.host().isEmpty())
        keywords.append({QStringLiteral("host"), url.host()});
    if (url.port() > 0)
        keywords.append({QStringLiteral("port"), QString::number(url.port())});
    const QString database = url.path().mid(1);
    if (!database.isEmpty())
        keywords.append({QStringLiteral("dbname"), database});
    if (!url.userName().isEmpty())
        keywords.append({QStringLiteral("user"), url.userName()});
    if (!url.password().isEmpty())
        keywords.append({QStringLiteral("password"), url.password()});
    // Query parameters (a socket folder as host, sslmode, ...) win over the parts before them.
    for (const auto& item : QUrlQuery(url).queryItems(QUrl::FullyDecoded)) {
        keywords.removeIf([&](const auto& k) { return k.first == item.first; });
        keywords.append(item);
    }
    return keywords;
}

QString ConnectOptions(const QList<std::pair<QString, QString>>& keywords)
{
    QStringList options;
    for (const auto& [key, value] : keywords) {
        QString quoted = value;
        quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('\''), QLatin1String("\\'"));
        options << key + QStringLiteral("='") + quoted + QLatin1Char('\'');
    }
    return options.join(QLatin1Char(';'));
}

}  // namespace lns::sql

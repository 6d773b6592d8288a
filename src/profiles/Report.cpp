#include "profiles/Report.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace profiles {

bool Report::ok() const
{
    for (const DeviceOutcome& device : devices) {
        const bool fine = device.status == QLatin1String("verified") || device.status == QLatin1String("unchanged") ||
                          (dryRun && device.status == QLatin1String("would-change"));
        if (!fine)
            return false;
    }
    return true;
}

QString Report::ToJson() const
{
    QJsonArray deviceArray;
    for (const DeviceOutcome& device : devices) {
        QJsonArray items;
        for (const ItemOutcome& item : device.items) {
            QJsonObject row{{QStringLiteral("name"), item.name},
                            {QStringLiteral("old"), item.oldText},
                            {QStringLiteral("new"), item.newText},
                            {QStringLiteral("state"), item.state}};
            if (!item.reason.isEmpty())
                row.insert(QStringLiteral("reason"), item.reason);
            items.append(row);
        }
        QJsonArray checks;
        for (const Verification& check : device.verification)
            checks.append(QJsonObject{{QStringLiteral("variable"), check.variable},
                                      {QStringLiteral("written"), check.written},
                                      {QStringLiteral("readBack"), check.readBack},
                                      {QStringLiteral("ok"), check.ok}});
        QJsonObject row{{QStringLiteral("path"), device.path},
                        {QStringLiteral("model"), device.model},
                        {QStringLiteral("status"), device.status},
                        {QStringLiteral("items"), items},
                        {QStringLiteral("verification"), checks}};
        if (!device.message.isEmpty())
            row.insert(QStringLiteral("message"), device.message);
        deviceArray.append(row);
    }
    const QJsonObject root{
        {QStringLiteral("dryRun"), dryRun}, {QStringLiteral("ok"), ok()}, {QStringLiteral("devices"), deviceArray}};
    return QString::fromUtf8(QJsonDocument(root).toJson(QJsonDocument::Indented));
}

}  // namespace profiles

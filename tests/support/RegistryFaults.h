#pragma once
// A registry hive that fails a registration part-way, and a key's contents to compare before and after.
#include "platform/registry/RegistryStore.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>

namespace testsupport {

// Makes the machine hive refuse every write of the value valueName (new or changed) while every
// other write goes through, as a hive that breaks half-way through a registration would.
inline bool RefuseMachineValue(const QString& valueName)
{
    registry::RegistryStore store(registry::Hive::LocalMachine);
    if (!store.createKey(QStringLiteral("SOFTWARE")))  // a new hive gets its tables
        return false;
    const QString connection = QStringLiteral("refusing-hive");
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(store.fileName());
        const QString when = QStringLiteral(" ON vals WHEN NEW.lname = '%1' BEGIN SELECT RAISE(ABORT, 'refused'); END")
                                 .arg(valueName.toCaseFolded());
        ok = db.open() && QSqlQuery(db).exec(QStringLiteral("CREATE TRIGGER refuse_insert BEFORE INSERT") + when) &&
             QSqlQuery(db).exec(QStringLiteral("CREATE TRIGGER refuse_update BEFORE UPDATE") + when);
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    return ok;
}

// The values of a machine key as "name=data" lines, in the order they were first written.
inline QStringList MachineKeySnapshot(const QString& keyPath)
{
    registry::RegistryStore store(registry::Hive::LocalMachine);
    QStringList lines;
    for (const QString& name : store.valueNames(keyPath)) {
        const auto value = store.queryValue(keyPath, name);
        lines << name + QLatin1Char('=') + (value ? QString::fromUtf8(value->data) : QStringLiteral("?"));
    }
    return lines;
}

}  // namespace testsupport

#pragma once
// The installation that the verbs reading a network work on: the one the registry's "LonWorks Path"
// names, or the default folder.
#include "platform/objectserver/ObjectServerFactory.h"
#include "platform/objectserver/StoreLocation.h"
#include "platform/registry/LonWorksInstallation.h"

#include <QFileInfo>
#include <QString>

namespace director {

// Empty when the installation has its object-server database (on a PostgreSQL store: its folder); otherwise what to
// tell the user. Opening a database that is not there would make an empty one where nobody asked for it, and a listing
// of nothing that looks like an answer.
inline QString MissingInstallation(const QString& verb)
{
    const QString folder = registry::LonWorksPath();
    const lns::sql::StoreLocation store = lns::sql::ChooseStore(folder);
    if (store.store == lns::sql::Store::PostgreSQL) {
        // The database is the server's, shared by every workstation; this machine holds the folder.
        if (QFileInfo(folder).isDir())
            return QString();
        return QStringLiteral("lnsdirector %1: there is no LonWorks installation at %2 (the folder does not exist); "
                              "\"lnsdirector demo-setup\" makes one")
            .arg(verb, folder);
    }
    const QString database = store.address;
    if (QFileInfo::exists(database))
        return QString();
    return QStringLiteral("lnsdirector %1: there is no LonWorks installation at %2 (its object-server database %3 "
                          "does not exist); \"lnsdirector demo-setup\" makes one")
        .arg(verb, folder, database);
}

}  // namespace director

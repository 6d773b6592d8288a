#pragma once
// The object server of this installation: on its SQL store (see StoreLocation.h), by default the SQLite
// file ObjectServer/objectserver.sqlite below the LonWorks installation folder.
#include "platform/objectserver/ObjectServer.h"

#include <memory>

namespace lns {

// lonWorksPath empty = the installation named by the registry ("LonWorks Path", or its default).
// The database is opened by OpenObjectServer, not here.
std::unique_ptr<ObjectServer> CreateObjectServer(const QString& lonWorksPath = QString(), QObject* parent = nullptr);

QString ObjectServerDatabasePath(const QString& lonWorksPath);

}  // namespace lns

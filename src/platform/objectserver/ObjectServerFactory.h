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

// A new id for the writes of one apply or one revert to share in the history: kind, the UTC time and a
// random part ("apply-20261208T201503-3f2a9c0e"), never all digits, so that it is not taken for a change's id.
QString NewChangeBatch(const QString& kind);

}  // namespace lns

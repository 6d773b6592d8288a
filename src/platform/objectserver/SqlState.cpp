// What the handles of one object server share: the open connection and what is open.
#include "platform/objectserver/SqlState.h"

namespace lns::sql {

Database& ServerState::database(const QString& source)
{
    if (!db)
        Raise(ErrNotOpen, source, QStringLiteral("The object server is not open."));
    return *db;
}

Database& ServerState::networkDatabase(qint64 networkId, const QString& source)
{
    Database& result = database(source);
    if (!openNetworks.contains(networkId))
        Raise(ErrNotOpen, source, QStringLiteral("The network is not open."));
    return result;
}

Database& ServerState::systemDatabase(qint64 systemId, const QString& source)
{
    Database& result = database(source);
    if (!openSystems.contains(systemId))
        Raise(ErrNotOpen, source, QStringLiteral("The system is not open."));
    return result;
}

void Raise(ErrorCode code, const QString& source, const QString& description)
{
    throw com::ComError(ObjectServerError(code), source, description);
}

}  // namespace lns::sql

// What the handles of one object server share: the open connection and the call journal.
#include "platform/objectserver/SqliteState.h"

namespace lns::sqlite {

void ServerState::record(const QString& operation, const QStringList& arguments)
{
    qsizetype size = operation.size();
    for (const QString& argument : arguments)
        size += 1 + argument.size();
    QString entry;
    entry.reserve(size);
    entry += operation;
    for (const QString& argument : arguments) {
        entry += QLatin1Char(' ');
        entry += argument;
    }
    journal.append(std::move(entry));
}

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

}  // namespace lns::sqlite

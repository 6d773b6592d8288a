#pragma once
// What every handle of one SQL object server shares: the connection, what is open, the settings
// that belong to this object-server instance and not to the database.
// Handles are a row id plus a pointer to this.
#include "platform/objectserver/ObjectServer.h"
#include "platform/objectserver/SqlDatabase.h"
#include "platform/objectserver/Xif.h"

#include <QHash>
#include <QSet>
#include <QStringList>
#include <memory>

namespace lns::sql {

// Owners of component-application collections, as stored in component_apps.owner_kind.
enum class AppOwner : int { ObjectServer = 0, System = 1, Template = 2, TemplateLonMarkObject = 3 };

struct SystemSettings {
    bool optionFlag = false;
    qint32 optionValue = 0;
    qint32 tuningValue = 0;
};

struct ServerState {
    QString requestedPath;  // as given at creation; empty = the registry's installation
    QString lonWorksPath;   // resolved when the object server opens
    std::unique_ptr<Database> db;

    bool remoteMode = false;
    qint32 remoteFlags = 0;
    bool preOpenOption = false;
    qint64 selectedInterfaceId = 0;
    QString selectedInterfaceName;

    // Who writes, as the history of values names it.
    QString changeProgram;
    QString changeBatch;
    QString host;
    QString login;

    QSet<qint64> openNetworks;
    QSet<qint64> openSystems;
    QHash<qint64, SystemSettings> systemSettings;  // by network id (one system per network)
    QHash<QString, qint64> networkIds;             // by name, of every network opened so far

    // The connection, or ErrNotOpen while the object server is closed.
    Database& database(const QString& source);
    // The connection, or ErrNotOpen while the network (or the system) is not open.
    Database& networkDatabase(qint64 networkId, const QString& source);
    Database& systemDatabase(qint64 systemId, const QString& source);
};

using State = std::shared_ptr<ServerState>;

[[noreturn]] void Raise(ErrorCode code, const QString& source, const QString& description);

// Handles the object server itself hands out.
Ptr<Networks> MakeNetworks(const State& state);
Ptr<NetworkInterfaces> MakeNetworkInterfaces(const State& state);
Ptr<ComponentApps> MakeComponentApps(const State& state, AppOwner owner, qint64 ownerId, qint64 systemId);
// The row id behind a network-interface handle of this implementation; 0 for none.
qint64 NetworkInterfaceId(const Ptr<NetworkInterface>& networkInterface, const QString& source);
// Its name; empty for none.
QString NetworkInterfaceNameOf(const Ptr<NetworkInterface>& networkInterface);

// Template import, shared by TemplateImportXif and the provisioning API. ReadInterfaceFiles reads the
// XIF and the XFB beside it and checks that they agree; ImportInterface replaces the template's
// interface within the caller's transaction. Both fail with ErrImportFailed.
xif::InterfaceDefinition ReadInterfaceFiles(const QString& xifPath, const QString& source);
void ImportInterface(Database& db, qint64 templateId, const xif::InterfaceDefinition& definition,
                     const QString& source);

}  // namespace lns::sql

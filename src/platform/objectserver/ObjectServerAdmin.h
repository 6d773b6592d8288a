#pragma once
// Provisioning of the object server's database: what a network-management tool does when it builds a
// network, and what the demo set-up and the tests need to make a world (and its faults) in a few
// lines. Not part of the object server's interface; nothing here is journaled. Works on the database
// directly, whether or not an object server has it open; every call is one transaction.
//
//   lns::admin::ObjectServerAdmin admin(lonWorksPath);
//   admin.createNetwork({.name = "Demo", .importFolder = lonWorksPath + "/Import", .nsdInterface = "LON1"});
//   admin.addSubsystem("Demo", "Floor 1");
//   admin.addTemplateFromXif("Demo", "KR5M-HU-1", lonWorksPath + "/Import/KR5M-HU-1.XIF");
//   admin.addDevice("Demo", {.subsystem = "Floor 1", .name = "Thermostat 1", .templateName = "KR5M-HU-1"});
//   admin.setNvText({"Demo", "Floor 1", "Thermostat 1"}, "nciSetPts", "23,25,27,21,19,17");
//   admin.setDeviceFaults({"Demo", "Floor 1", "Thermostat 1"}, {.unreachable = true});
//
// Failures raise com::ComError with ObjectServerError(code) and source "ObjectServerAdmin":
// ErrItemNotFound for a network, subsystem, template, device, variable or LonMark object that does not
// exist, ErrNameInUse for a name taken, ErrInvalidName for an empty one, ErrInvalidArgument for raw
// bytes of the wrong size, ErrImportFailed from the import, ErrDatabase when the file is unusable.
#include "platform/objectserver/ObjectServer.h"
#include "platform/objectserver/Xif.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>

namespace lns::sql {
class Database;
}

namespace lns::admin {

// Every member of the specs has a default, so that a designated initialiser names only what it needs.
struct NetworkSpec {
    QString name;
    QString importFolder = {};  // SystemImportFolder
    qint32 networkMode = 0;     // SystemNetworkMode: 1 = off-net
    QString systemName = QStringLiteral("System 1");
    bool requiresInterface = false;  // OpenSystem refuses while the NSD has no interface
    QString nsdInterface = {};       // the NSD's network interface; empty = none;
                                     // created object-server wide when missing
};

// Data of a simulated device: how it answers.
struct DeviceFaults {
    bool commissioned = true;    // DeviceCommissioned
    qint32 stateCode = 4;        // DeviceState (4 configured online)
    qint32 testResult = 0;       // TestDevice (0 passed)
    bool unreachable = false;    // values and DeviceState fail with ErrDeviceCommunication (18200)
    bool refusesWrites = false;  // value writes fail with ErrWriteFailed (18034)
    // A write succeeds but the device keeps another value: the last byte of what was written, altered.
    bool storesOtherValue = false;
};

struct DeviceSpec {
    QString subsystem;
    QString name;
    QString templateName;  // a template of the network with an imported interface
    DeviceFaults faults = {};
};

// A device by its names; names are unique within a subsystem.
struct DeviceRef {
    QString network;
    QString subsystem;
    QString device;
};

// One component application, wherever it lives in a network (for listings).
struct ComponentAppInfo {
    QString owner;  // "" the object server, "system", a template name, or template + "/" + LonMark object
    QString name;
    QString progId;
    qint32 objectClass = 0;
    qint32 commandId = 0;
    bool isDefault = false;
    QString description;
};

class ObjectServerAdmin {
public:
    // lonWorksPath empty = the installation the registry names. Opens (and creates) the database.
    explicit ObjectServerAdmin(const QString& lonWorksPath = QString());
    ~ObjectServerAdmin();
    ObjectServerAdmin(const ObjectServerAdmin&) = delete;
    ObjectServerAdmin& operator=(const ObjectServerAdmin&) = delete;

    QString lonWorksPath() const { return m_lonWorksPath; }
    QString databasePath() const;

    // ---- Networks, systems and network interfaces
    void createNetwork(const NetworkSpec& spec);
    bool hasNetwork(const QString& network);
    void removeNetwork(const QString& network);  // with everything in it
    QStringList networkNames();
    void createNetworkInterface(const QString& name);  // ErrNameInUse when it exists
    bool hasNetworkInterface(const QString& name);
    void setNetworkMode(const QString& network, qint32 mode);
    void setRequiresInterface(const QString& network, bool requiresInterface);
    // The NSD's interface (empty = none; the interface must exist), and what the database holds now.
    void setNsdInterface(const QString& network, const QString& interfaceName);
    QString nsdInterface(const QString& network);
    void addSubsystem(const QString& network, const QString& subsystem);

    // ---- Templates
    // A new template whose interface comes from the XIF and the XFB beside it, through the same
    // import as DeviceTemplate::TemplateImportXif; on a refused import no template is left behind.
    void addTemplateFromXif(const QString& network, const QString& templateName, const QString& xifPath);
    // The same from a definition at hand, without files.
    void addTemplate(const QString& network, const QString& templateName, const xif::InterfaceDefinition& definition);
    QStringList templateNames(const QString& network);

    // ---- Devices (variables start as zeros; LonMark objects with their template's mode)
    void addDevice(const QString& network, const DeviceSpec& spec);
    void removeDevice(const DeviceRef& device);
    // "NETWORK/SYSTEM/SUBSYSTEM/DEVICE", one per device, by subsystem then device in creation order.
    QStringList devicePaths(const QString& network);
    void setDeviceFaults(const DeviceRef& device, const DeviceFaults& faults);
    DeviceFaults deviceFaults(const DeviceRef& device);

    // ---- Values, bypassing faults. Raw bytes must have the variable's size.
    void setNvRaw(const DeviceRef& device, const QString& nv, const QByteArray& raw);
    QByteArray nvRaw(const DeviceRef& device, const QString& nv);
    // Through lns::formats; format empty = the variable's type name.
    void setNvText(const DeviceRef& device, const QString& nv, const QString& text, const QString& format = QString());
    QString nvText(const DeviceRef& device, const QString& nv, const QString& format = QString());
    QString nvTypeName(const DeviceRef& device, const QString& nv);
    QStringList nvNames(const DeviceRef& device);

    // ---- LonMark object modes of a device
    void setLonMarkObjectMode(const DeviceRef& device, const QString& lonMarkObject, qint16 mode);
    qint16 lonMarkObjectMode(const DeviceRef& device, const QString& lonMarkObject);

    // ---- Component applications of a network: the object server's, the system's, each template's
    // and each template LonMark object's, in that order.
    QList<ComponentAppInfo> componentApps(const QString& network);

private:
    qint64 networkId(const QString& network);
    qint64 systemId(const QString& network);
    qint64 templateId(qint64 networkId, const QString& templateName);
    qint64 deviceId(const DeviceRef& device);
    struct NvRow {
        qint64 id;
        QString typeName;
        qint32 size;
    };
    NvRow nvRow(qint64 deviceId, const DeviceRef& device, const QString& nv);

    QString m_lonWorksPath;
    std::unique_ptr<sql::Database> m_db;
};

}  // namespace lns::admin

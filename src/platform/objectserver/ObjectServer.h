#pragma once
// The network-management object server: every object and operation the plug-in asks of it, declared
// in this one place. Objects are handed out as shared handles (a COM reference each); an operation
// that fails raises com::ComError with number ObjectServerErrorBase + code, the operation's object as
// source and a description.
//
// Operation names are the object server's own (OpenObjectServer, NetworkSystems, ...). Collections
// are 1-based by position and also looked up by name; a name or position that does not exist fails
// with ErrItemNotFound.
#include "platform/base/ComError.h"
#include "platform/objectserver/ObjectServerErrors.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <memory>

namespace lns {

template <class T>
using Ptr = std::shared_ptr<T>;

class AppDevice;
class AppDevices;
class ComponentApp;
class ComponentApps;
class DeviceTemplate;
class DeviceTemplates;
class Interface;
class LonMarkObject;
class LonMarkObjects;
class Network;
class NetworkInterface;
class NetworkInterfaces;
class Networks;
class NetworkServiceDevice;
class NetworkVariable;
class NetworkVariables;
class Subsystem;
class Subsystems;
class System;
class Systems;
class TemplateLibrary;

// ---- Component applications: the director's commands on the object server, a system, a template
// or a LonMark object of a template.
class ComponentApp {
public:
    virtual ~ComponentApp() = default;
    virtual QString Name() = 0;
    virtual QString AppProgId() = 0;
    virtual qint32 AppObjectClass() = 0;
    virtual qint32 AppCommandId() = 0;
    virtual void SetAppCommandId(qint32 commandId) = 0;
    virtual QString AppDescription() = 0;
    virtual void SetAppDescription(const QString& description) = 0;
    virtual bool AppIsDefault() = 0;
    virtual void SetAppIsDefault(bool isDefault) = 0;
    virtual QString AppVersion() = 0;
    virtual void SetAppVersion(const QString& version) = 0;
    virtual QString AppManufacturerId() = 0;
    virtual void SetAppManufacturerId(const QString& manufacturerId) = 0;
};

class ComponentApps {
public:
    virtual ~ComponentApps() = default;
    virtual qint32 ComponentAppsCount() = 0;
    virtual Ptr<ComponentApp> ComponentAppsItem(qint32 index) = 0;  // 1-based
    virtual Ptr<ComponentApp> ComponentAppsItem(const QString& name) = 0;
    // Names are unique within the collection (ErrNameInUse).
    virtual Ptr<ComponentApp> ComponentAppsAdd(const QString& name, const QString& progId, qint32 objectClass) = 0;
    virtual void ComponentAppsRemove(qint32 index) = 0;  // 1-based
};

// ---- Network variables of a device (or of a template's interface).
class NetworkVariable {
public:
    virtual ~NetworkVariable() = default;
    virtual QString Name() = 0;
    // The variable's type name as declared in the interface ("SNVT_temp_setpt", "UNVT_fc_gen_opts").
    virtual QString NvTypeName() = 0;
    virtual void SetNvAccessOption(qint32 option) = 0;
    // The format the value is shown and parsed in; a handle starts with the variable's type name.
    // Each handle keeps its own format.
    virtual QString NvFormatSpec() = 0;
    virtual void SetNvFormatSpec(const QString& formatName) = 0;
    // The whole value as one text in the handle's format. Reads and writes reach the device:
    // ErrDeviceCommunication when it does not answer, ErrWriteFailed when it refuses a write,
    // ErrFormatFailed when the format is unknown or the text does not fit it (nothing is written).
    virtual QString NvFormattedValue() = 0;
    virtual void SetNvFormattedValue(const QString& text) = 0;
    // The same trips to the device with the value's bytes as they stand, no format between: the same
    // failures, but a write of another size than the variable's is ErrFormatFailed.
    virtual QByteArray NvRawValue() = 0;
    virtual void SetNvRawValue(const QByteArray& raw) = 0;
    // The next write goes to the device only while it still holds these bytes, compared in the same
    // transaction as the write: otherwise ErrChangedSinceRead, and nothing is written. Any write ends
    // the expectation.
    virtual void SetNvExpectedValue(const QByteArray& raw) = 0;
};

class NetworkVariables {
public:
    virtual ~NetworkVariables() = default;
    virtual qint32 Count() = 0;
    virtual Ptr<NetworkVariable> Item(qint32 index) = 0;  // 1-based
    virtual Ptr<NetworkVariable> NvCollectionItem(const QString& name) = 0;
};

// ---- LonMark objects (functional blocks) of an interface.
class LonMarkObject {
public:
    virtual ~LonMarkObject() = default;
    virtual QString Name() = 0;
    virtual QString LonMarkObjectDisplayName() = 0;
    virtual qint16 LonMarkObjectProfileKey() = 0;
    virtual qint16 LonMarkObjectMode() = 0;
    virtual void SetLonMarkObjectMode(qint16 mode) = 0;
    // Component applications exist on the LonMark objects of a template's interface.
    virtual Ptr<ComponentApps> LonMarkObjectComponentApps() = 0;
    // The collection the object belongs to.
    virtual Ptr<LonMarkObjects> LonMarkObjectCollection() = 0;
};

class LonMarkObjects {
public:
    virtual ~LonMarkObjects() = default;
    virtual qint32 LonMarkObjectsCount() = 0;
    virtual Ptr<LonMarkObject> LonMarkObjectsItem(qint32 index) = 0;  // 1-based
    virtual Ptr<LonMarkObject> LonMarkObjectsItem(const QString& name) = 0;
    // The interface that holds the collection.
    virtual Ptr<Interface> CollectionInterface() = 0;
};

// ---- An interface: of a device, or of a template.
class Interface {
public:
    virtual ~Interface() = default;
    virtual Ptr<LonMarkObjects> InterfaceLonMarkObjects() = 0;
    virtual Ptr<NetworkVariables> InterfaceNetworkVariables() = 0;
    // The device that owns the interface; ErrItemNotFound for a template's interface.
    virtual Ptr<AppDevice> InterfaceDevice() = 0;
};

// ---- Device templates.
class DeviceTemplate {
public:
    virtual ~DeviceTemplate() = default;
    virtual QString TemplateName() = 0;
    // Empty until an interface was imported.
    virtual QString TemplateProgramId() = 0;
    // Creates the template's interface from the XIF at xifPath and the XFB beside it (same path,
    // ending in .XFB); ErrImportFailed when either is missing, malformed or the program IDs differ.
    virtual void TemplateImportXif(const QString& xifPath) = 0;
    virtual Ptr<ComponentApps> TemplateComponentApps() = 0;
    virtual Ptr<Interface> TemplateInterface() = 0;
    // The devices of the network made from this template.
    virtual Ptr<AppDevices> TemplateAppDevices() = 0;
};

class DeviceTemplates {
public:
    virtual ~DeviceTemplates() = default;
    virtual qint32 Count() = 0;
    virtual Ptr<DeviceTemplate> DeviceTemplatesItem(qint32 index) = 0;  // 1-based
    virtual Ptr<DeviceTemplate> DeviceTemplatesItem(const QString& name) = 0;
    // The first template whose program ID equals programId (case-insensitive); ErrItemNotFound.
    virtual Ptr<DeviceTemplate> DeviceTemplatesFindByProgramId(const QString& programId) = 0;
    // A new, empty template (no interface yet). Names are unique in the library.
    virtual Ptr<DeviceTemplate> DeviceTemplatesAdd(const QString& name, qint32 kind) = 0;
    virtual void DeviceTemplatesRemove(const QString& name) = 0;
};

class TemplateLibrary {
public:
    virtual ~TemplateLibrary() = default;
    virtual Ptr<DeviceTemplates> TemplateLibraryDeviceTemplates() = 0;
};

// ---- Devices.
class AppDevice {
public:
    virtual ~AppDevice() = default;
    virtual QString Name() = 0;
    virtual Ptr<Interface> DeviceInterface() = 0;
    virtual Ptr<lns::DeviceTemplate> DeviceTemplate() = 0;
    virtual QString DeviceProgramId() = 0;
    virtual bool DeviceCommissioned() = 0;
    // The device's state code (2 unconfigured, 3 applicationless, 4 configured online, 6 configured
    // offline, 12 soft offline, 140 configured bypass, ...); ErrDeviceCommunication when unreachable.
    virtual qint32 DeviceState() = 0;
    // 0 = passed; any other value is the failed test's result.
    virtual qint32 TestDevice() = 0;
};

class AppDevices {
public:
    virtual ~AppDevices() = default;
    virtual qint32 Count() = 0;
    virtual Ptr<AppDevice> Item(qint32 index) = 0;  // 1-based
    virtual Ptr<AppDevice> Item(const QString& name) = 0;
};

class Subsystem {
public:
    virtual ~Subsystem() = default;
    virtual QString Name() = 0;
    virtual Ptr<AppDevices> SubsystemAppDevices() = 0;
};

class Subsystems {
public:
    virtual ~Subsystems() = default;
    virtual qint32 Count() = 0;
    virtual Ptr<Subsystem> Item(qint32 index) = 0;  // 1-based
    virtual Ptr<Subsystem> Item(const QString& name) = 0;
};

// ---- Network interfaces and the network service device.
class NetworkInterface {
public:
    virtual ~NetworkInterface() = default;
    virtual QString InterfaceName() = 0;
};

class NetworkInterfaces {
public:
    virtual ~NetworkInterfaces() = default;
    virtual qint32 Count() = 0;
    virtual Ptr<NetworkInterface> Item(qint32 index) = 0;  // 1-based
    virtual Ptr<NetworkInterface> Item(const QString& name) = 0;
};

class NetworkServiceDevice {
public:
    virtual ~NetworkServiceDevice() = default;
    // The interface the system attaches through; nullptr = none (the system opens unattached).
    virtual Ptr<NetworkInterface> NsdNetworkInterface() = 0;
    // Stored in the network's database at once.
    virtual void SetNsdNetworkInterface(const Ptr<NetworkInterface>& networkInterface) = 0;
};

// ---- Systems and networks.
class System {
public:
    virtual ~System() = default;
    // Requires its network open; ErrNoNetworkInterface for a system that opens only attached.
    virtual void OpenSystem() = 0;
    virtual void CloseSystem() = 0;
    virtual bool SystemIsOpen() = 0;
    virtual QString SystemName() = 0;
    // 1 = off-net (engineered mode); 0 = on-net.
    virtual qint32 SystemNetworkMode() = 0;
    // The operations below require the system open (ErrNotOpen).
    virtual Ptr<Subsystems> SystemSubsystems() = 0;
    virtual Ptr<ComponentApps> SystemComponentApps() = 0;
    virtual Ptr<TemplateLibrary> SystemTemplateLibrary() = 0;
    virtual QString SystemImportFolder() = 0;
    virtual void SetSystemOptionFlag(bool flag) = 0;
    virtual void SetSystemOptionValue(qint32 value) = 0;
    virtual void SetSystemTuningValue(qint32 value) = 0;
    // Available while the network is open, before the system is opened.
    virtual Ptr<NetworkServiceDevice> SystemNetworkServiceDevice() = 0;
};

class Systems {
public:
    virtual ~Systems() = default;
    virtual qint32 Count() = 0;
    virtual Ptr<System> Item(qint32 index) = 0;  // 1-based
};

// ---- The history of a network's values: every write of a device's variable, as the device holds it.
struct NvChange {
    qint64 id = 0;
    QString at;          // UTC, "2026-12-08T20:15:03.120Z"
    QString host;        // the workstation
    QString login;       // the user logged in there
    QString program;     // what wrote (see ObjectServer::SetChangeOrigin)
    QString batch;       // the id the writes of one apply (or one revert) share; empty for a single write
    QString devicePath;  // "NETWORK/SYSTEM/SUBSYSTEM/DEVICE" when written
    QString variable;
    QByteArray before;  // the bytes the device held before, and after the write
    QByteArray after;
    QString fields;  // the fields that changed, "name before -> after" joined by "; " (metric units)
};

// Which changes; empty members do not narrow. since: an ISO 8601 time, compared in UTC.
struct NvChangeFilter {
    QString devicePath;  // a whole path, or a path's beginning up to a "/"
    QString variable;
    QString since;
    QString batch;
    qint64 id = 0;
};

class Network {
public:
    virtual ~Network() = default;
    virtual void OpenNetwork() = 0;   // requires the object server open
    virtual void CloseNetwork() = 0;  // closes its system too
    virtual bool NetworkIsOpen() = 0;
    virtual QString NetworkName() = 0;
    virtual Ptr<Systems> NetworkSystems() = 0;  // requires the network open
    // The network's changes, newest first (requires the network open); ErrInvalidArgument for a time
    // that is not one.
    virtual QList<NvChange> NetworkChanges(const NvChangeFilter& filter) = 0;
    // Removes the changes made before that time; answers how many.
    virtual qint64 PruneNetworkChanges(const QString& before) = 0;
};

class Networks {
public:
    virtual ~Networks() = default;
    virtual qint32 Count() = 0;
    virtual Ptr<Network> Item(qint32 index) = 0;         // 1-based
    virtual Ptr<Network> Item(const QString& name) = 0;  // exact name
};

// ---- The object server.
class ObjectServer : public QObject {
public:
    using QObject::QObject;
    ~ObjectServer() override = default;

    virtual void OpenObjectServer() = 0;
    virtual void CloseObjectServer() = 0;
    virtual bool ObjectServerIsOpen() = 0;
    virtual bool RemoteMode() = 0;
    virtual void SetRemoteMode(bool remote) = 0;
    virtual qint32 RemoteFlags() = 0;  // bit 0x10 Internet, 0x20 other remote
    virtual void SetRemoteFlags(qint32 flags) = 0;
    virtual void SetPreOpenOption(bool option) = 0;
    // The operations below require the object server open (ErrNotOpen).
    virtual Ptr<lns::Networks> Networks() = 0;
    virtual Ptr<lns::NetworkInterfaces> NetworkInterfaces() = 0;
    virtual void SelectNetworkInterface(const Ptr<NetworkInterface>& networkInterface) = 0;
    virtual Ptr<ComponentApps> ObjectServerComponentApps() = 0;
    // What the history names as the writer of this object server's writes from now on ("KR5M-HU
    // window", "profile apply winter"), and the batch id they share (empty: none). Host and login are
    // the workstation's own.
    virtual void SetChangeOrigin(const QString& program, const QString& batch = QString()) = 0;
};

}  // namespace lns

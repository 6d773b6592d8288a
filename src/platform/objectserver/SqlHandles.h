#pragma once
// What the handle files of the SQL object server share, and nothing outside them includes: the
// sources their errors name, the small helpers every handle uses, and the factories by which one kind
// of handle makes another. Each handle is a row id (or two) and the shared state; every operation
// reads or writes the database at once, so nothing a handle holds can go stale except the names it
// was created with, which never change.
#include "platform/base/ShownText.h"
#include "platform/objectserver/SqlState.h"

namespace lns::sql {

using shown::Shown;

inline const QString NetworksSource = QStringLiteral("Networks");
inline const QString NetworkSource = QStringLiteral("Network");
inline const QString SystemsSource = QStringLiteral("Systems");
inline const QString SystemSource = QStringLiteral("System");
inline const QString SubsystemsSource = QStringLiteral("Subsystems");
inline const QString SubsystemSource = QStringLiteral("Subsystem");
inline const QString AppDevicesSource = QStringLiteral("AppDevices");
inline const QString AppDeviceSource = QStringLiteral("AppDevice");
inline const QString InterfaceSource = QStringLiteral("Interface");
inline const QString NetworkVariablesSource = QStringLiteral("NetworkVariables");
inline const QString NetworkVariableSource = QStringLiteral("NetworkVariable");
inline const QString LonMarkObjectsSource = QStringLiteral("LonMarkObjects");
inline const QString LonMarkObjectSource = QStringLiteral("LonMarkObject");
inline const QString TemplateLibrarySource = QStringLiteral("TemplateLibrary");
inline const QString DeviceTemplatesSource = QStringLiteral("DeviceTemplates");
inline const QString DeviceTemplateSource = QStringLiteral("DeviceTemplate");
inline const QString ComponentAppsSource = QStringLiteral("ComponentApps");
inline const QString ComponentAppSource = QStringLiteral("ComponentApp");
inline const QString NetworkInterfacesSource = QStringLiteral("NetworkInterfaces");
inline const QString NetworkInterfaceSource = QStringLiteral("NetworkInterface");
inline const QString NsdSource = QStringLiteral("NetworkServiceDevice");

[[noreturn]] inline void notFound(const QString& source, const QString& what)
{
    Raise(ErrItemNotFound, source, QStringLiteral("There is no %1.").arg(what));
}

// 1-based position → OFFSET, refusing positions below 1 before the database is asked.
inline qint64 offsetOf(qint32 index, const QString& source, const QString& collection)
{
    if (index < 1)
        notFound(source, QStringLiteral("item %1 in %2").arg(index).arg(collection));
    return index - 1;
}

inline QVariant nullId()
{
    return QVariant(QMetaType::fromType<qlonglong>());
}

// What an interface belongs to: a template (deviceId 0) or a device made from it.
struct InterfaceOwner {
    qint64 systemId = 0;
    qint64 networkId = 0;
    qint64 templateId = 0;
    qint64 deviceId = 0;
    QString deviceName;
};

// The devices of a subsystem or those made from a template.
enum class DevicesOf { Subsystem, Template };

Ptr<lns::AppDevice> makeDevice(const State& s, qint64 systemId, qint64 networkId, const Row& row);
Ptr<lns::AppDevices> makeAppDevices(const State& s, qint64 systemId, qint64 networkId, DevicesOf of, qint64 ownerId);
Ptr<lns::DeviceTemplate> makeTemplate(const State& s, qint64 systemId, qint64 networkId, qint64 id,
                                      const QString& name);
Ptr<lns::TemplateLibrary> makeTemplateLibrary(const State& s, qint64 systemId, qint64 networkId);
Ptr<lns::Interface> makeInterface(const State& s, const InterfaceOwner& owner);
Ptr<lns::NetworkVariables> makeNetworkVariables(const State& s, const InterfaceOwner& owner);
Ptr<lns::LonMarkObjects> makeLonMarkObjects(const State& s, const InterfaceOwner& owner);
Ptr<lns::Subsystems> makeSubsystems(const State& s, qint64 systemId, qint64 networkId);
Ptr<lns::NetworkServiceDevice> makeNetworkServiceDevice(const State& s, qint64 systemId, qint64 networkId);
Ptr<lns::Systems> makeSystems(const State& s, qint64 networkId);

}  // namespace lns::sql

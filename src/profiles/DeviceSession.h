#pragma once
// A network opened in a session of its own, for the profiles: the devices its paths name, whether a
// device is a KR5M-HU thermostat, and the device's access objects (those the window builds),
// read and written in the profile's units, with their raw bytes beside.
#include "device/Collection.h"
#include "framework/ActivityLog.h"
#include "framework/PlugInSession.h"
#include "platform/objectserver/ObjectServer.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class CNvCpTable;

namespace profiles {

class DeviceSession {
public:
    // Opens the network on the object server given (none: the installation's own); raises 20006
    // "Cannot open the network ..." when it cannot.
    DeviceSession(const QString& network, qint16 units, std::unique_ptr<lns::ObjectServer> server = nullptr);
    ~DeviceSession();
    DeviceSession(const DeviceSession&) = delete;
    DeviceSession& operator=(const DeviceSession&) = delete;

    framework::PlugInSession& Session() { return m_session; }

    // The device the path (NETWORK/SYSTEM/SUBSYSTEM/DEVICE, as listed) names in this network; raises
    // 20005 "Object not found" when there is none.
    lns::Ptr<lns::AppDevice> Device(const QString& path);
    // Whether the device's program ID is one of the plug-in's thermostats.
    static bool IsThermostat(lns::AppDevice& device);
    static bool IsThermostatProgramId(const QString& programId);
    // "NETWORK/SYSTEM/SUBSYSTEM/DEVICE" of every device of the system, or of one subsystem.
    QStringList DevicePaths(const QString& subsystem = QString());

    // Builds the access objects on the device's variables (replacing those of the last device).
    void BuildTables(lns::AppDevice& device);
    // The access objects built for the device in use, in the order of the variable table.
    const device::NvTableSet& Tables() const { return m_tables; }
    // Turns to the device (dropping the access objects of the last one); Table then builds each access
    // object when first asked for it, so that an apply looks up only the variables it uses.
    void UseDevice(lns::AppDevice& device);
    CNvCpTable& Table(const QString& key);
    // Reads the access object in the session's units and logs the read as the window does (log may
    // be none).
    void Read(CNvCpTable& table, framework::ActivityLog* log);
    // The model code the device reports (its raw model variable read; logged when a log is given).
    qint16 ReadModelCode(framework::ActivityLog* log);
    // The model code in the raw model variable as read; raises 13 when the read found no bytes.
    static qint16 ModelCodeOf(const CNvCpTable& rawModel);
    // After a failure of the store itself: asks it again every quarter second until it answers (true),
    // stop says to give up, or seconds have passed (false).
    bool WaitForStore(int seconds, const std::function<bool()>& stop);
    // The installation whose types format the device's values.
    const QString& LonWorksPath() { return m_session.LonWorksPath(); }

private:
    framework::PlugInSession m_session;
    lns::Ptr<lns::NetworkVariables> m_variables;  // of the device in use
    device::NvTableSet m_tables{QStringLiteral("NvTables")};
    QHash<QString, CNvCpTable*> m_byKey;  // those asked for, by the key as asked
};

}  // namespace profiles

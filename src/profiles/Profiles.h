#pragma once
// Configuration profiles: a thermostat's settable values saved as a small JSON document, compared with
// a device, and applied to many devices with every written variable read back and compared byte for
// byte.
//
// Each call works in a session of its own (its own object server, network and access objects), never
// in the window's tables or the connection's current network. The log passed in is the process's
// activity log: every read, write and read-back is logged there as the window logs its own. Failures
// of the call itself (the network cannot be opened, the text is not an acceptable profile, Save's
// device cannot be read) raise com::ComError with a clear description; a device's own problems go into
// the report, and never stop the other devices.
//
// A profile ("name" optional: what the history of values calls an apply of it):
//   { "format": "KR5M-HU profile", "version": 1, "name": "winter", "programId": "8000D3550004040B", "model": 45,
//     "units": "metric", "values": { "nciSetPts.occ_heat": 21.5, "SetpointType": "PERMANENT", ... } }
// A report:
//   { "dryRun": false, "ok": true, "applyId": "apply-...", "devices": [ { "path": ..., "model": 45, "status": ...,
//   "message": ...,
//     "items": [ { "name", "old", "new", "state", "reason" } ],
//     "leftNew": [ ... ], "verification": [ { "variable", "written", "readBack", "ok" } ] } ] }
// "applyId" (not on a dry run) is shared by every write of the apply in the network's history of
// values: "lnsdirector revert NETWORK ID" puts them back. Device status and item state: see Report.h. "leftNew" lists,
// for a device partly written, the variables that kept the profile's bytes.
#include "framework/ActivityLog.h"
#include "platform/objectserver/ObjectServer.h"
#include "profiles/Report.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace profiles {

// The profile is not one this program applies (not JSON, another format or version, another kind of
// device, unknown item, a value the window would not take, no units).
inline constexpr qint32 ErrProfileRefused = 20010;
// Save or Compare named a device that is not a KR5M-HU thermostat.
inline constexpr qint32 ErrNotAThermostat = 20011;

// One apply names too many devices, or a path longer than any device's.
inline constexpr qint32 ErrTooManyDevices = 20012;

// What one apply takes at most: a report of that many devices stays far below what one bus message
// carries. More devices are applied in several calls (a subsystem or a model at a time).
inline constexpr qsizetype MaxDevicesPerApply = 10000;
inline constexpr qsizetype MaxPathLength = 1024;

using Progress = std::function<void(quint32 done, quint32 total, const QString& path)>;
// Makes the object server a call works on; none: the installation's own.
using ObjectServerMaker = std::function<std::unique_ptr<lns::ObjectServer>()>;

// How an apply runs.
struct ApplyOptions {
    bool dryRun = false;
    // After each device.
    Progress progress = {};
    // Asked after each device, and while waiting for a store that went away: true ends the apply
    // there (the director that asked for it has gone). The report then holds the devices done.
    std::function<bool()> stop = {};
    ObjectServerMaker objectServer = {};
};

// Checks the profile as an apply does before it opens a network: raises ErrProfileRefused naming the
// item and the reason.
void Check(const QString& profileJson);
// The device's settable values as a profile; units: 0 metric, 1 imperial, none = the plug-in's setting.
QString Save(const QString& network, const QString& devicePath, std::optional<qint16> units,
             framework::ActivityLog& log);
// What applying the profile to the device would change: a dry run's report for that one device.
QString Compare(const QString& network, const QString& devicePath, const QString& profileJson,
                framework::ActivityLog& log);
// Why the list of devices is more than one apply takes; nothing when it is not.
std::optional<QString> DeviceListProblem(const QStringList& devicePaths);
// Applies the profile to each device in turn (nothing is written on a dry run). A list
// DeviceListProblem refuses raises ErrTooManyDevices.
Report Apply(const QString& network, const QStringList& devicePaths, const QString& profileJson,
             const ApplyOptions& options, framework::ActivityLog& log);
Report Apply(const QString& network, const QStringList& devicePaths, const QString& profileJson, bool dryRun,
             framework::ActivityLog& log, const Progress& progress = {});
// The same for every thermostat of a model, or every device of a subsystem, found here: no list of
// devices travels.
Report ApplyToModel(const QString& network, qint16 modelCode, const QString& profileJson, const ApplyOptions& options,
                    framework::ActivityLog& log);
Report ApplyToSubsystem(const QString& network, const QString& subsystemPath, const QString& profileJson,
                        const ApplyOptions& options, framework::ActivityLog& log);

// The paths of the KR5M-HU thermostats of the network whose model code is modelCode (devices that do
// not answer cannot say theirs and are left out).
QStringList DevicesOfModel(const QString& network, qint16 modelCode, const ObjectServerMaker& objectServer = {});
// The paths of every device of the subsystem ("Floor 1", or a path ending in it).
QStringList DevicesOfSubsystem(const QString& network, const QString& subsystemPath,
                               const ObjectServerMaker& objectServer = {});

}  // namespace profiles

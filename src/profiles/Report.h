#pragma once
// The report of an apply (or of a comparison, which is a dry run on one device), and its JSON.
#include <QString>
#include <QStringList>

#include <vector>

namespace profiles {

// What became of a device. The texts are those of the report's JSON.
enum class DeviceStatus {
    Verified,       // written, every written variable read back equal
    Unchanged,      // it already held the profile
    WouldChange,    // dry run: something would be written
    Refused,        // not a thermostat, or the profile would break a rule on it: nothing written
    Failed,         // the device failed before anything was written to it
    VerifyFailed,   // written, but a variable reads back other bytes
    RolledBack,     // a write failed; what was written before it was put back
    PartlyWritten,  // a write failed and what was written before it could not all be put back
    Conflict,       // another writer changed, since the read, a field the profile changes: nothing written
};
QString StatusText(DeviceStatus status);

// What became of an item of the profile on a device.
enum class ItemState {
    Written,      // its new value went to the device
    Unchanged,    // the device already held it
    Skipped,      // the device's model has no such item
    WouldChange,  // dry run
    NotWritten,   // it was to change, but its variable was not written (or was put back)
    Conflict,     // it was to change, but another writer changed it on the device since the read
};
QString StateText(ItemState state);

struct ItemOutcome {
    QString name;
    QString oldText;
    QString newText;  // what the device holds (or would hold) afterwards, never the profile's own text
    ItemState state = ItemState::Unchanged;
    QString reason;
};

struct Verification {
    QString variable;
    QString written;   // raw bytes in decimal, one blank between bytes
    QString readBack;  // the same
    bool ok = false;
};

struct DeviceOutcome {
    QString path;
    qint16 model = 0;
    DeviceStatus status = DeviceStatus::Unchanged;
    QString message;
    std::vector<ItemOutcome> items;
    std::vector<Verification> verification;
    // Partly written: the variables that hold the profile's bytes although the device failed.
    QStringList leftNew;
    // The number of the failure that ended the device, if one did (not part of the report).
    qint32 failure = 0;

    // True when something of the profile reached the device and stays there.
    bool Written() const;
};

// What the report keeps of a device once its part of the JSON is written.
struct DeviceSummary {
    QString path;
    DeviceStatus status = DeviceStatus::Unchanged;
    bool written = false;  // something of the profile reached the device and stays there
};

// The report is written as the devices are done: each device's outcome goes into the JSON text when it
// is added and only its summary is kept, so that an apply over thousands of devices holds one text and
// not every outcome besides.
class Report {
public:
    // applyId: what the history calls the writes of this apply ("lnsdirector revert NETWORK ID" undoes
    // them); empty on a dry run. devices: how many are to come, so that the text is given its room
    // once (grown step by step, each larger copy left the smaller ones behind in memory).
    Report(bool dryRun, const QString& applyId, qsizetype devices);

    void Add(const DeviceOutcome& device);

    bool dryRun() const { return m_dryRun; }
    const QString& applyId() const { return m_applyId; }
    const std::vector<DeviceSummary>& devices() const { return m_devices; }
    // Every device verified or already matching (on a dry run: none refused or failed).
    bool ok() const;
    // The devices that hold something the apply wrote.
    QStringList WrittenPaths() const;
    // The whole report, its text handed over rather than copied.
    QString ToJson() &&;

private:
    bool m_dryRun;
    QString m_applyId;
    std::vector<DeviceSummary> m_devices;
    QString m_json;
    qsizetype m_okAt = 0;  // where the header's "ok" value is written
    qsizetype m_expected;
};

}  // namespace profiles

#pragma once
// The report of an apply (or of a comparison, which is a dry run on one device), and its JSON.
#include <QString>

#include <vector>

namespace profiles {

struct ItemOutcome {
    QString name;
    QString oldText;
    QString newText;
    QString state;  // written, unchanged, skipped, would-change
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
    QString status;  // verified, unchanged, would-change, refused, failed, verify-failed
    QString message;
    std::vector<ItemOutcome> items;
    std::vector<Verification> verification;
};

struct Report {
    bool dryRun = false;
    std::vector<DeviceOutcome> devices;

    // Every device verified or already matching (on a dry run: none refused or failed).
    bool ok() const;
    QString ToJson() const;
};

}  // namespace profiles

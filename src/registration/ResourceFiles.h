#pragma once
// The plug-in's resource-file set: its table, adding its folder to the installation's catalog when
// the commands are registered, and checking that the catalog knows it before a device is configured.
#include <QString>

namespace registration {

struct ResourceTableEntry {
    QString ResourceFolder;     // "LonWorks Path" + "\types\User\Kestrova"
    QString ProgramIdTemplate;  // "8000D35500000000"
    qint16 ResourceScope = 0;   // 4
};

inline constexpr int ResourceTableCount = 1;
// Entry 0, as LoadResourceTable filled it last.
const ResourceTableEntry& ResourceTable(int index = 0);
void LoadResourceTable();

// Makes sure the catalog lists the set, adding its folder and rebuilding when it does not. Unexpected
// failures are offered with Abort / Retry / Ignore (Abort: false); a catalog result other than 0 (or 4
// on the look-up) gives false without a box. In remote mode the user is told to register on the server.
bool AddResourceFiles(bool remoteAtRegistration);

// Whether the catalog lists the set. Once it did, the catalog is not consulted again in this process.
bool ResourceFilesPresent();

// The remembered answer of ResourceFilesPresent, and its reset (for a fresh start in tests).
bool ResourcesPresent();
void ResetResourcesPresent();

// The installation folder: the machine setting "LonWorks Path", or the folder the object server uses
// when the setting is missing.
QString LonWorksPath();

}  // namespace registration

#pragma once
// The thermostat's variables as the program reads and writes them: for each, the access object's name
// and key, the variable it stands for in the device's interface, its format, separator and whether
// the format takes the unit suffix.
#include "device/Collection.h"
#include "platform/objectserver/ObjectServer.h"

#include <QString>

class CNvCpTable;

namespace device {

// Creates an access object for every variable of the table, in the order the window reads them, on
// the variables of nvs (NvCollectionItem), and files them in tables under their keys. units: the
// display units the objects read in (none: metric); lonWorksPath: the installation whose types format
// the values. A variable the device lacks ends the build there with the object server's failure; what
// was built before it stays.
void BuildNvTables(NvTableSet& tables, lns::NetworkVariables& nvs, const qint16* units, const QString& lonWorksPath);
// Creates one of them, by its key, after those already in tables (for callers that use a few); a key
// not in the table raises ErrSubscriptOutOfRange.
CNvCpTable& BuildNvTable(NvTableSet& tables, lns::NetworkVariables& nvs, const QString& key, const qint16* units,
                         const QString& lonWorksPath);

}  // namespace device

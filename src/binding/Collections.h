#pragma once
// The collections of the device a window shows: NvTables (access objects by key, in creation order)
// and DataItems (data items by 1-based position), kept per session (Tables); Specific empties them
// before a device's tables are built again (Specific::ResetTables).
#include "device/Collection.h"
#include "framework/PlugInSession.h"

#include <QString>
#include <memory>
#include <set>

class QWidget;

class CNvCpTable;
class CNvCtrlTable;

namespace device {

// The access objects and data items of the device a session shows.
struct DeviceTables {
    // The access objects of the configured device, keyed by their key name.
    NvTableSet NvTables{QStringLiteral("NvTables")};
    // The data items of the configured device, by position.
    Collection<CNvCtrlTable> DataItems{QStringLiteral("DataItems")};
    // The fields holding an edit not yet written to the device. The window paints them; it never
    // reads the record back from a colour. Kept across a rebuild of the tables: a Refresh All of
    // the same device keeps its edits.
    std::set<const QWidget*> EditedFields;
};

inline DeviceTables& Tables(framework::PlugInSession& session)
{
    return session.Get<DeviceTables>();
}

}  // namespace device

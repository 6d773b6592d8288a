#pragma once
// The plug-in's commands in the open network: component applications on the device templates of the
// supported models (templates imported from the models' XIFs when the network has none), and their
// removal again.
#include "framework/Identity.h"
#include "framework/PlugInSession.h"
#include "platform/objectserver/ObjectServer.h"

#include <QString>

namespace registration {

// Puts one component application per PlugInCommands entry on each supported template of the open
// system and makes it the default action; then has the resource files added to the catalog. False
// after the failure box (or after Abort on the resource files).
bool RegisterCommands(framework::PlugInSession& session);

// Removes the plug-in's component applications from the templates of the open system and its
// command-50 entries from the system. Entries on the object server itself (scope 1) only when
// firstNetwork. exhaustive (with ShowProgress) offers to delete templates no device uses any more.
// Missing templates, collections and entries are skipped; a removal that cannot be written stops it
// and raises the object server's failure.
void DeregisterCommands(framework::PlugInSession& session, bool exhaustive, bool firstNetwork);

// Removes, last to first, every component application of this plug-in with the entry's command from
// the collection of the scope. Anything missing is skipped; a removal that cannot be written raises
// the object server's failure at once.
void DeregisterCommand(framework::PlugInSession& session, qint16 scope, const framework::PlugInCommandInfo& entry,
                       const QString& programId, const QString& lonMarkObjectName);

// A component application for entry entryIndex under the entry's command name, or that name + " (1)",
// " (2)", ... when taken. Nothing (after a box with the failure) when the collection refuses it.
lns::Ptr<lns::ComponentApp> AddComponentApp(const lns::Ptr<lns::ComponentApps>& collection, qint16 entryIndex);

// Words for the progress texts: "Configure", "LonMark Object", "Custom command 99", "Custom ID =  49".
QString CommandIdName(qint32 commandId);
QString CommandIdName(const framework::PlugInCommandInfo& entry);
QString ObjectClassName(qint16 classId);

}  // namespace registration

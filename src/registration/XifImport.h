#pragma once
// Finding the XIF of a supported model for a new device template: first below the network's import
// folder, then by asking the user; making sure its binary form (XFB) exists; a free template name.
#include "framework/Connection.h"
#include "platform/objectserver/ObjectServer.h"

#include <QString>

namespace registration {

// A matching XIF below the connection's ImportFolder (read from the open system first, unless the
// registration runs remotely) whose XFB exists (converted when needed), or empty. With no import
// folder known there is nothing to search: empty at once, so that the caller asks the user.
QString FindXifFile(framework::ConnectionState& c, const QString& programId);

// Asks the user for the XIF (fHidden's DlgXIF, starting in importFolder); a file of another model is
// refused without a word. The chosen XIF with its XFB, or empty.
QString AskForXifFile(const QString& importFolder, const QString& programId);

// Makes the XFB beside the XIF with the installation's XIF32BIN when it is missing. The XIF path when
// the XFB exists afterwards; otherwise "The file <xfb> could not be found." with the converter's reason
// on a second line, and empty. A path with no file behind it is returned unchanged.
QString ConvertXifToXfb(const QString& xifPath);

// baseName, or baseName + " (1)", " (2)", ... : the first name no template of the collection has.
QString UniqueTemplateName(const QString& baseName, const lns::Ptr<lns::DeviceTemplates>& deviceTemplates);

// The installation's converter: "<LonWorks Path>\bin\XIF32BIN".
QString Xif32BinPath();

}  // namespace registration

#pragma once
// How the director calls the plug-in on the session bus: without a time limit (a command may wait on a
// person, an apply may work through thousands of devices), with the event loop running meanwhile so
// that the object's signals arrive as it sends them, before its reply.
#include "platform/base/ComError.h"

#include <QDBusConnection>
#include <QDBusMessage>

namespace director {

// A plug-in process that was ending when a request reached it takes the request along, and the bus
// answers that the recipient left without replying. For a creation that is safe to ask again: the next
// request starts a new process.
enum class Retry { No, WhenTheServerLeft };

// The reply; a failure raises com::ComError: the plug-in's own with its number, source and description,
// a plug-in the bus cannot start (not registered) as lnsdirector's own saying how to register it, any
// other D-Bus error with number 0, the error's name as source and its message.
QDBusMessage CallPlugIn(const QDBusConnection& bus, const QDBusMessage& call, Retry retry = Retry::No);

// Creates a plug-in object through the class factory; its path.
QString CreatePlugInObject(const QDBusConnection& bus);

}  // namespace director

// register-commands / deregister-commands: what a network-management tool does when it asks the
// plug-in to put its commands on a network's device templates, or to take them away.
#include "Verbs.h"

namespace director {
namespace {

int runCommand(const QStringList& arguments, int commandId, const QString& verb)
{
    if (arguments.size() != 1 || arguments[0].trimmed().isEmpty()) {
        Err(QStringLiteral("usage: lnsdirector %1 NETWORK").arg(verb));
        return 2;
    }
    // The network-wide commands name no object: class 0 and an empty path.
    return RunSessionSteps({QStringLiteral("create"), QStringLiteral("set networkName ") + arguments[0],
                            QStringLiteral("send %1 0").arg(commandId), QStringLiteral("release")});
}

const bool registerRegistered = RegisterVerb(
    Verb{QStringLiteral("register-commands"),
         QStringLiteral("register-commands NETWORK   put the plug-in's commands on the network's device templates"),
         QStringLiteral("usage: lnsdirector register-commands NETWORK\n"
                        "Creates a plug-in object, opens NETWORK, sends the register command (50) and releases the\n"
                        "object. Device templates of the supported models are created from their XIF files when the\n"
                        "network has none; the plug-in's configure command becomes their default action."),
         [](const QStringList& arguments) { return runCommand(arguments, 50, QStringLiteral("register-commands")); }});

const bool deregisterRegistered = RegisterVerb(Verb{
    QStringLiteral("deregister-commands"),
    QStringLiteral("deregister-commands NETWORK   remove the plug-in's commands from the network"),
    QStringLiteral("usage: lnsdirector deregister-commands NETWORK\n"
                   "Creates a plug-in object, opens NETWORK, sends the deregister command (51) and releases the\n"
                   "object. The device templates stay."),
    [](const QStringList& arguments) { return runCommand(arguments, 51, QStringLiteral("deregister-commands")); }});

}  // namespace
}  // namespace director

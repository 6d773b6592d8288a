// apps: the component applications of a network, read from the object server's database.
#include "Installation.h"
#include "Verbs.h"

#include "platform/base/ComError.h"
#include "platform/base/ShownText.h"
#include "platform/objectserver/ObjectServerAdmin.h"

namespace director {
namespace {

int runApps(const QStringList& arguments)
{
    if (arguments.size() != 1 || arguments[0].isEmpty()) {
        Err(QStringLiteral("usage: lnsdirector apps NETWORK"));
        return 2;
    }
    if (const QString missing = MissingInstallation(QStringLiteral("apps")); !missing.isEmpty()) {
        Err(missing);
        return 1;
    }
    try {
        lns::admin::ObjectServerAdmin admin;
        if (!admin.hasNetwork(arguments[0])) {
            Err(QStringLiteral("lnsdirector apps: no network named '%1'").arg(shown::Shown(arguments[0])));
            return 1;
        }
        for (const lns::admin::ComponentAppInfo& app : admin.componentApps(arguments[0]))
            Out(QStringList{app.owner, app.name, app.progId, QString::number(app.objectClass), QString::number(app.commandId),
                            app.isDefault ? QStringLiteral("true") : QStringLiteral("false")}
                    .join(QLatin1Char('\t')));
    } catch (const com::ComError& e) {
        Err(QStringLiteral("error %1 %2: %3").arg(e.number()).arg(e.source(), e.description()));
        return 1;
    }
    return 0;
}

const bool appsRegistered = RegisterVerb(Verb{
    QStringLiteral("apps"),
    QStringLiteral("apps NETWORK   one line per component application of the network"),
    QStringLiteral("usage: lnsdirector apps NETWORK\n"
                   "Prints one line per component application of NETWORK, tab-separated: where it lives (empty\n"
                   "for the object server, \"system\", a template's name, or template/LonMark object), its name,\n"
                   "ProgID, object class, command and default flag (true or false)."),
    runApps});

}  // namespace
}  // namespace director

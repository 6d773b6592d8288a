// apps: the component applications of a network, read from the object server's database.
#include "Installation.h"
#include "Verbs.h"

#include "platform/base/ComError.h"
#include "platform/base/ShownText.h"
#include "platform/objectserver/ObjectServerAdmin.h"

#include <QJsonArray>

namespace director {
namespace {

int runApps(QStringList arguments)
{
    const bool json = TakeJsonOption(arguments);
    if (arguments.size() != 1 || arguments[0].isEmpty()) {
        Err(QStringLiteral("usage: lnsdirector apps NETWORK [--json]"));
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
        QJsonArray apps;
        for (const lns::admin::ComponentAppInfo& app : admin.componentApps(arguments[0])) {
            if (json)
                apps.append(QJsonObject{{QStringLiteral("owner"), app.owner},
                                        {QStringLiteral("name"), app.name},
                                        {QStringLiteral("progId"), app.progId},
                                        {QStringLiteral("objectClass"), app.objectClass},
                                        {QStringLiteral("command"), app.commandId},
                                        {QStringLiteral("default"), app.isDefault}});
            else
                Out(QStringList{app.owner, app.name, app.progId, QString::number(app.objectClass),
                                QString::number(app.commandId),
                                app.isDefault ? QStringLiteral("true") : QStringLiteral("false")}
                        .join(QLatin1Char('\t')));
        }
        if (json)
            OutJson({{QStringLiteral("network"), arguments[0]}, {QStringLiteral("apps"), apps}});
    } catch (const com::ComError& e) {
        Err(QStringLiteral("error %1 %2: %3").arg(e.number()).arg(e.source(), e.description()));
        return 1;
    }
    return 0;
}

const bool appsRegistered = RegisterVerb(Verb{
    QStringLiteral("apps"), QStringLiteral("apps NETWORK [--json]   one line per component application of the network"),
    QStringLiteral("usage: lnsdirector apps NETWORK [--json]\n"
                   "Prints one line per component application of NETWORK, tab-separated: where it lives (empty\n"
                   "for the object server, \"system\", a template's name, or template/LonMark object), its name,\n"
                   "ProgID, object class, command and default flag (true or false).\n"
                   "--json prints one JSON object instead: {\"network\": NETWORK, \"apps\": [{\"owner\", \"name\",\n"
                   "\"progId\", \"objectClass\", \"command\", \"default\"}, ...]}."),
    runApps});

}  // namespace
}  // namespace director

// apps: the component applications of a network, read from the object server's database.
#include "ErrorLine.h"
#include "Installation.h"
#include "OpenedNetwork.h"
#include "Verbs.h"

#include "platform/base/ComError.h"

#include <QJsonArray>

namespace director {
namespace {

struct AppLine {
    QString owner;  // "" the object server, "system", a template, or template/LonMark object
    QString name;
    QString progId;
    qint32 objectClass = 0;
    qint32 commandId = 0;
    bool isDefault = false;
};

void Append(QList<AppLine>& lines, const QString& owner, lns::ComponentApps& apps)
{
    for (qint32 i = 1; i <= apps.ComponentAppsCount(); ++i) {
        const lns::Ptr<lns::ComponentApp> app = apps.ComponentAppsItem(i);
        lines.append(
            {owner, app->Name(), app->AppProgId(), app->AppObjectClass(), app->AppCommandId(), app->AppIsDefault()});
    }
}

// The object server's applications, the system's, each template's, then each template LonMark object's.
QList<AppLine> ComponentApps(OpenedNetwork& network)
{
    QList<AppLine> lines;
    Append(lines, QString(), *network.server().ObjectServerComponentApps());
    Append(lines, QStringLiteral("system"), *network.system().SystemComponentApps());
    const lns::Ptr<lns::DeviceTemplates> templates =
        network.system().SystemTemplateLibrary()->TemplateLibraryDeviceTemplates();
    for (qint32 t = 1; t <= templates->Count(); ++t) {
        const lns::Ptr<lns::DeviceTemplate> deviceTemplate = templates->DeviceTemplatesItem(t);
        Append(lines, deviceTemplate->TemplateName(), *deviceTemplate->TemplateComponentApps());
    }
    for (qint32 t = 1; t <= templates->Count(); ++t) {
        const lns::Ptr<lns::DeviceTemplate> deviceTemplate = templates->DeviceTemplatesItem(t);
        const lns::Ptr<lns::LonMarkObjects> objects = deviceTemplate->TemplateInterface()->InterfaceLonMarkObjects();
        for (qint32 o = 1; o <= objects->LonMarkObjectsCount(); ++o) {
            const lns::Ptr<lns::LonMarkObject> object = objects->LonMarkObjectsItem(o);
            Append(lines, deviceTemplate->TemplateName() + QLatin1Char('/') + object->Name(),
                   *object->LonMarkObjectComponentApps());
        }
    }
    return lines;
}

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
        OpenedNetwork network(arguments[0]);
        QJsonArray apps;
        for (const AppLine& app : ComponentApps(network)) {
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
        Err(ErrorLine(e));
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

#include "registration/CommandRegistration.h"

#include "framework/Connection.h"
#include "framework/StepRunner.h"
#include "platform/toolkit/Events.h"
#include "platform/toolkit/MessageBox.h"
#include "registration/ResourceFiles.h"
#include "registration/XifImport.h"
#include "ui/progress/fProgress.h"

#include <QCoreApplication>
#include <QHash>
#include <QSet>
#include <array>
#include <utility>

using framework::PlugInCommandInfo;
using framework::PlugInCommands;
using lns::Ptr;

namespace registration {
namespace {

constexpr qint32 RegisterCommandId = 50;
constexpr int MaxNameSuffix = 1000;
const QString CrLf = QStringLiteral("\r\n");

// The progress window paints the text and lets pending events run; a window that cannot be loaded
// (its animation missing) must not stop the registration it only reports on.
// The texts a person reads during a registration, in the user's language.
struct Words {
    Q_DECLARE_TR_FUNCTIONS(Registration)
};

void ShowStatus(framework::PlugInSession& session, const QString& text)
{
    try {
        fProgress::Of(session).DisplayStatus(text);
    } catch (const com::ComError&) {
        toolkit::DoEvents();
    }
}

// Which template of how many the registration is at; taken away again when the list is done.
void ShowCount(framework::PlugInSession& session, qint32 current, qint32 total)
{
    try {
        if (total > 0)
            fProgress::Of(session).SetCount(current, total);
        else if (fProgress::IsLoaded(session))
            fProgress::Of(session).ClearCount();
    } catch (const com::ComError&) {
    }
}

// What a call on a missing object fails with.
com::ComError ObjectNotSet()
{
    return com::ComError(91, framework::ApplicationTitle(),
                         QStringLiteral("Object variable or With block variable not set"));
}

Ptr<lns::DeviceTemplates> DeviceTemplates(const framework::ConnectionState& c)
{
    const Ptr<lns::System>& system = c.CurrentSystem;
    if (!system)
        throw ObjectNotSet();
    return system->SystemTemplateLibrary()->TemplateLibraryDeviceTemplates();
}

// The program IDs of the supported models that have a template in the network, one per entry.
QStringList SurveyTemplates(const Ptr<lns::DeviceTemplates>& templates)
{
    QStringList found;
    for (int i = 0; i < framework::PlugInCommandCount; ++i) {
        try {
            if (templates->DeviceTemplatesFindByProgramId(PlugInCommands(i).ProgramId))
                found << PlugInCommands(i).ProgramId;
        } catch (const com::ComError&) {
        }
    }
    return found;
}

// The collection a scope's entries live in; nothing for an unknown scope or anything missing.
Ptr<lns::ComponentApps> CollectionOfScope(const framework::ConnectionState& c, qint32 scope,
                                          const Ptr<lns::DeviceTemplate>& deviceTemplate,
                                          const QString& lonMarkObjectName)
{
    try {
        switch (scope) {
        case 1: {
            lns::ObjectServer* server = c.objectServer;
            return server ? server->ObjectServerComponentApps() : nullptr;
        }
        case 2: {
            const Ptr<lns::System>& system = c.CurrentSystem;
            return system ? system->SystemComponentApps() : nullptr;
        }
        case 3: return deviceTemplate ? deviceTemplate->TemplateComponentApps() : nullptr;
        case 4:
            if (!deviceTemplate)
                return nullptr;
            return deviceTemplate->TemplateInterface()
                ->InterfaceLonMarkObjects()
                ->LonMarkObjectsItem(lonMarkObjectName)
                ->LonMarkObjectComponentApps();
        default: return nullptr;
        }
    } catch (const com::ComError&) {
        return nullptr;
    }
}

bool IsOwnEntry(const Ptr<lns::ComponentApp>& app, const PlugInCommandInfo& entry)
{
    return app->AppProgId() == framework::PlugInProgId() && app->AppCommandId() == entry.CommandId &&
           app->AppObjectClass() == entry.ObjectClassId;
}

class MousePointerKeeper {
public:
    MousePointerKeeper() : m_previous(toolkit::CurrentMousePointer())
    {
        toolkit::SetMousePointer(toolkit::MousePointer::Hourglass);
    }
    ~MousePointerKeeper() { restore(); }
    void restore() { toolkit::SetMousePointer(m_previous); }

private:
    toolkit::MousePointer m_previous;
};

// Ends a registration: the pending failure's description and the message of what could not be done.
bool RegistrationFailed(MousePointerKeeper& pointer, const QString& pendingDescription, const QString& message)
{
    pointer.restore();
    toolkit::MsgBox(pendingDescription + CrLf + message, toolkit::Buttons::Ok, toolkit::Icon::Critical,
                    framework::ApplicationTitle());
    return false;
}

// Creates the templates of the supported models from their XIFs. Empty message when all went well.
QString ImportTemplates(framework::PlugInSession& session, const Ptr<lns::DeviceTemplates>& templates,
                        QStringList& templateList, QString& pending)
{
    for (int i = 0; i < framework::PlugInCommandCount; ++i) {
        const PlugInCommandInfo& entry = PlugInCommands(i);
        try {
            if (templates->DeviceTemplatesFindByProgramId(entry.ProgramId))
                continue;  // imported for an earlier entry of the same model
        } catch (const com::ComError&) {
        }
        QString path = FindXifFile(session.Link(), entry.ProgramId);
        if (path.isEmpty())
            path = AskForXifFile(session.Link().ImportFolder, entry.ProgramId);
        if (path.isEmpty())
            return QStringLiteral("Unable to find XIF file / create a template.");
        const QString name = UniqueTemplateName(entry.ModelName, templates);
        if (name.isEmpty())
            return QStringLiteral("Could not create a unique template name.");
        Ptr<lns::DeviceTemplate> created;
        try {
            created = templates->DeviceTemplatesAdd(name, 1);
            created->TemplateImportXif(path);
        } catch (const com::ComError& e) {
            pending = e.description();
            if (created) {
                try {
                    templates->DeviceTemplatesRemove(name);
                } catch (const com::ComError&) {
                }
            }
            return QStringLiteral("Could not import the external interface file ") + path + QStringLiteral(".");
        }
        try {
            templateList << created->TemplateProgramId();
        } catch (const com::ComError&) {
        }
    }
    return QString();
}

// Puts the entries on every template of the list and decides the default action.
void AttachCommands(framework::PlugInSession& session, const Ptr<lns::DeviceTemplates>& templates,
                    const QStringList& templateList)
{
    QList<std::pair<QString, bool>> defaultDecisions;
    // The list names a template once per entry of its model; the count is of templates, as the
    // status text above it names one.
    QStringList distinct = templateList;
    distinct.removeDuplicates();
    for (const QString& programId : templateList) {
        ShowCount(session, qint32(distinct.indexOf(programId)) + 1, qint32(distinct.size()));
        const Ptr<lns::DeviceTemplate> deviceTemplate = templates->DeviceTemplatesFindByProgramId(programId);
        for (qint16 idx = 0; idx < framework::PlugInCommandCount; ++idx) {
            const PlugInCommandInfo& entry = PlugInCommands(idx);
            const Ptr<lns::ComponentApps> apps =
                CollectionOfScope(session.Link(), entry.RegistrationScope, deviceTemplate, entry.LonMarkObjectName);
            if (!apps) {
                ShowStatus(session, Words::tr("Error adding command %1 for Device Template%2. \r\nComponentApp was not "
                                              "created.")
                                        .arg(CommandIdName(entry), deviceTemplate->TemplateName()));
                continue;
            }
            ShowStatus(session, Words::tr("%1\r\nAdding command %2 for %3 objects...")
                                    .arg(deviceTemplate->TemplateName(), CommandIdName(entry),
                                         ObjectClassName(static_cast<qint16>(entry.ObjectClassId))));
            Ptr<lns::ComponentApp> app;
            const qint32 count = apps->ComponentAppsCount();
            for (qint32 k = 1; k <= count && !app; ++k) {
                const Ptr<lns::ComponentApp> item = apps->ComponentAppsItem(k);
                if (IsOwnEntry(item, entry))
                    app = item;
            }
            if (!app)
                app = AddComponentApp(apps, idx);
            if (!app)
                throw ObjectNotSet();
            app->SetAppCommandId(entry.CommandId);
            app->SetAppDescription(entry.Description);
            app->SetAppVersion(framework::Identity().PlugInVersion);
            app->SetAppManufacturerId(framework::Identity().ManufacturerID);

            // The first entry of a command name decides for all entries of that name, without asking.
            bool makeDefault = entry.OfferAsDefault;
            bool decided = false;
            for (const auto& decision : defaultDecisions) {
                if (decision.first == entry.CommandName) {
                    makeDefault = decision.second;
                    decided = true;
                    break;
                }
            }
            if (!decided)
                defaultDecisions.append({entry.CommandName, makeDefault});
            app->SetAppIsDefault(makeDefault);
            if (makeDefault) {
                // One default action per collection: other plug-ins give theirs up; ours stay as they are.
                for (qint32 k = apps->ComponentAppsCount(); k >= 1; --k) {
                    const Ptr<lns::ComponentApp> item = apps->ComponentAppsItem(k);
                    if (item->AppProgId() != framework::PlugInProgId())
                        item->SetAppIsDefault(false);
                }
            }
            toolkit::DoEvents();
        }
    }
    ShowCount(session, 0, 0);
}

}  // namespace

QString CommandIdName(qint32 commandId)
{
    static const QHash<qint32, QString> names = {
        {1, QStringLiteral("New")},
        {2, QStringLiteral("Edit Source")},
        {10, QStringLiteral("Build Image")},
        {11, QStringLiteral("Commission")},
        {12, QStringLiteral("Load")},
        {13, QStringLiteral("Configure")},
        {14, QStringLiteral("Calibrate")},
        {15, QStringLiteral("Connect")},
        {20, QStringLiteral("Browse")},
        {21, QStringLiteral("Monitor")},
        {22, QStringLiteral("Control")},
        {23, QStringLiteral("Report")},
        {30, QStringLiteral("Online")},
        {31, QStringLiteral("Offline")},
        {32, QStringLiteral("Reset")},
        {33, QStringLiteral("Test")},
        {34, QStringLiteral("Wink")},
        {40, QStringLiteral("Uninstall")},
        {41, QStringLiteral("Replace")},
        {50, QStringLiteral("Register")},
        {60, QStringLiteral("Recover")},
        {61, QStringLiteral("Monitor Recovery")},
        {70, QStringLiteral("Security Level")},
    };
    const auto it = names.constFind(commandId);
    return it != names.constEnd() ? *it : QStringLiteral("Custom command ") + QString::number(commandId);
}

QString CommandIdName(const PlugInCommandInfo& entry)
{
    return CommandIdName(entry.CommandId);
}

QString ObjectClassName(qint16 classId)
{
    // Classes 0 to 52 in order; 49 has no name.
    static const std::array<const char*, 53> names = {"Object Server",
                                                      "Network",
                                                      "Networks",
                                                      "System",
                                                      "Systems",
                                                      "Subsystem",
                                                      "Subsystems",
                                                      "Application Device",
                                                      "Application Devices",
                                                      "Router",
                                                      "Routers",
                                                      "Router Side",
                                                      "Channel",
                                                      "Channels",
                                                      "Network Interface",
                                                      "Network Interfaces",
                                                      "Subnet",
                                                      "Subnets",
                                                      "Connections",
                                                      "Interface",
                                                      "Interfaces",
                                                      "Template Library",
                                                      "Network Variable",
                                                      "Network Variables",
                                                      "Message Tag",
                                                      "Message Tags",
                                                      "Configuration Property",
                                                      "Configuration Properties",
                                                      "LonMark Object",
                                                      "LonMark Objects",
                                                      "Component Application",
                                                      "Component Applications",
                                                      "Hardware Template",
                                                      "Hardware Templates",
                                                      "Build Template",
                                                      "Build Templates",
                                                      "Device Template",
                                                      "Device Templates",
                                                      "Program Template",
                                                      "Program Templates",
                                                      "Network Service Device",
                                                      "Network Service Devices",
                                                      "Connection Description Template",
                                                      "Connection Description Templates",
                                                      "Error",
                                                      "LonMark Alarm",
                                                      "Object Status",
                                                      "Network Variable Field",
                                                      "Detail Info",
                                                      nullptr,
                                                      "Extension",
                                                      "Extensions",
                                                      "Recovery Status"};
    if (classId >= 0 && classId < qint16(names.size()) && names[size_t(classId)])
        return QString::fromLatin1(names[size_t(classId)]);
    // A sign position before the number: a blank for zero and positive numbers.
    return QStringLiteral("Custom ID = ") + (classId >= 0 ? QStringLiteral(" ") : QString()) + QString::number(classId);
}

Ptr<lns::ComponentApp> AddComponentApp(const Ptr<lns::ComponentApps>& collection, qint16 entryIndex)
{
    const PlugInCommandInfo& entry = PlugInCommands(entryIndex);
    const auto taken = [&](const QString& name) {
        try {
            return collection->ComponentAppsItem(name) != nullptr;
        } catch (const com::ComError&) {
            return false;
        }
    };
    QString candidate = entry.CommandName;
    int n = 1;
    while (taken(candidate) && n <= MaxNameSuffix) {
        candidate = entry.CommandName + QStringLiteral(" (") + QString::number(n) + QStringLiteral(")");
        ++n;
    }
    try {
        return collection->ComponentAppsAdd(candidate, framework::PlugInProgId(), entry.ObjectClassId);
    } catch (const com::ComError& e) {
        toolkit::MsgBox(e.shown() + QString::number(e.number()), toolkit::Buttons::Ok, toolkit::Icon::None,
                        framework::ApplicationTitle());
        return nullptr;
    }
}

bool RegisterCommands(framework::PlugInSession& session)
{
    MousePointerKeeper pointer;
    framework::ConnectionState& c = session.Link();
    Ptr<lns::DeviceTemplates> templates;
    try {
        if (!c.objectServer)
            throw ObjectNotSet();
        c.RemoteAtRegistration = c.objectServer->RemoteMode();
        templates = DeviceTemplates(session.Link());
    } catch (const com::ComError& e) {
        return RegistrationFailed(pointer, e.shown(), QString());
    }

    QStringList templateList = SurveyTemplates(templates);
    // Only a network without any supported template gets new ones: a network that has one model
    // was set up by someone who chose what to have.
    if (templateList.isEmpty()) {
        QString pending;
        const QString message = ImportTemplates(session, templates, templateList, pending);
        if (!message.isEmpty())
            return RegistrationFailed(pointer, pending, message);
    }

    try {
        AttachCommands(session, templates, templateList);
    } catch (const com::ComError& e) {
        return RegistrationFailed(pointer, e.shown(), QString());
    }

    const std::vector<framework::Step> resourceSteps = {framework::Step::Do([&c] {
        if (!AddResourceFiles(c.RemoteAtRegistration))
            throw com::ComError(
                0, framework::ApplicationTitle(),
                QStringLiteral("Unable to add the resources listed in the ResourceTable to the catalog"));
    })};
    if (!framework::RunSteps(resourceSteps, {framework::ApplicationTitle(), toolkit::Icon::Information, {}, {}}))
        return false;
    return true;
}

void DeregisterCommand(framework::PlugInSession& session, qint16 scope, const PlugInCommandInfo& entry,
                       const QString& programId, const QString& lonMarkObjectName)
{
    Ptr<lns::ComponentApps> apps;
    try {
        Ptr<lns::DeviceTemplate> deviceTemplate;
        if (scope == 3 || scope == 4)
            deviceTemplate = DeviceTemplates(session.Link())->DeviceTemplatesFindByProgramId(programId);
        apps = CollectionOfScope(session.Link(), scope, deviceTemplate, lonMarkObjectName);
    } catch (const com::ComError&) {
        return;
    }
    if (!apps)
        return;
    qint32 count = 0;
    try {
        count = apps->ComponentAppsCount();
    } catch (const com::ComError&) {
        return;
    }
    // Last to first: a removal moves only the items after it.
    for (qint32 k = count; k >= 1; --k) {
        try {
            const Ptr<lns::ComponentApp> item = apps->ComponentAppsItem(k);
            if (item->AppProgId() != framework::PlugInProgId() || item->AppCommandId() != entry.CommandId)
                continue;
        } catch (const com::ComError&) {
            continue;
        }
        if (framework::ShowProgress())
            ShowStatus(session, Words::tr("%1\r\nDeregister Command %2...").arg(programId).arg(entry.CommandId));
        try {
            apps->ComponentAppsRemove(k);
        } catch (const com::ComError& e) {
            // An entry someone else removed meanwhile is gone as wanted. One that could not be written
            // stays: going on would only wait out the same lock for every other entry.
            if (e.number() != lns::ObjectServerError(lns::ErrItemNotFound))
                throw;
        }
    }
}

void DeregisterCommands(framework::PlugInSession& session, bool exhaustive, bool firstNetwork)
{
    MousePointerKeeper pointer;
    Ptr<lns::DeviceTemplates> templates;
    try {
        templates = DeviceTemplates(session.Link());
    } catch (const com::ComError&) {
        return;
    }
    const QStringList templateList = SurveyTemplates(templates);
    for (const QString& programId : templateList) {
        QString templateProgramId;
        try {
            templateProgramId = templates->DeviceTemplatesFindByProgramId(programId)->TemplateProgramId();
        } catch (const com::ComError&) {
            return;
        }
        for (int idx = 0; idx < framework::PlugInCommandCount; ++idx) {
            const PlugInCommandInfo& entry = PlugInCommands(idx);
            // Entries on the object server are shared by all networks: removed once per walk.
            if (firstNetwork || entry.RegistrationScope != 1)
                DeregisterCommand(session, static_cast<qint16>(entry.RegistrationScope), entry, templateProgramId,
                                  entry.LonMarkObjectName);
        }
    }
    PlugInCommandInfo registerEntry;
    registerEntry.CommandId = RegisterCommandId;
    DeregisterCommand(session, 2, registerEntry, QString(), QString());

    if (!exhaustive || !framework::ShowProgress())
        return;
    // Each template once, though both entries of its model name it.
    QSet<QString> asked;
    for (const QString& programId : templateList) {
        if (asked.contains(programId))
            continue;
        asked.insert(programId);
        QString name;
        qint32 devices = -1;
        try {
            const Ptr<lns::DeviceTemplate> deviceTemplate = templates->DeviceTemplatesFindByProgramId(programId);
            name = deviceTemplate->TemplateName();
            devices = deviceTemplate->TemplateAppDevices()->Count();
        } catch (const com::ComError&) {
            continue;
        }
        if (devices != 0)
            continue;
        toolkit::DoEvents();
        const toolkit::Answer answer = toolkit::MsgBox(
            Words::tr("The device template '%1' is no longer referenced by any device in the current network. Do you "
                      "want to remove the device template from the template library?")
                .arg(name),
            toolkit::Buttons::YesNo, toolkit::Icon::Exclamation, framework::ApplicationTitle());
        if (answer != toolkit::Answer::Yes)
            continue;
        try {
            templates->DeviceTemplatesRemove(name);
        } catch (const com::ComError&) {
            toolkit::MsgBox(Words::tr("Unable to remove the device template: %1").arg(name), toolkit::Buttons::Ok,
                            toolkit::Icon::Critical, framework::ApplicationTitle());
        }
    }
}

}  // namespace registration

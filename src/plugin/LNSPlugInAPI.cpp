#include "plugin/LNSPlugInAPI.h"

#include "device/ConfigModel.h"
#include "framework/Connection.h"
#include "framework/Identity.h"
#include "platform/base/ShownText.h"
#include "platform/toolkit/Events.h"
#include "plugin/BusNames.h"
#include "plugin/MMain.h"
#include "profiles/Profiles.h"
#include "registration/CommandRegistration.h"
#include "registration/ResourceFiles.h"
#include "ui/log/fLog.h"
#include "ui/main/fMain.h"
#include "ui/progress/fProgress.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScreen>

#include <algorithm>

using framework::ErrPlugInState;
using framework::ErrReadOnlyProperty;
using framework::PlugInError;

namespace {

const QString MovedWhileMinimized = QStringLiteral("Plug-in can't be moved or sized while minimized or maximized");
const QString Profiles = QString::fromLatin1(bus::ProfilesInterface);
// The runtime's number for an argument the procedure does not take.
constexpr qint32 InvalidProcedureCall = 5;

}  // namespace

PlugInHost::~PlugInHost()
{
    delete window;
}

LNSPlugInAPI::LNSPlugInAPI(PlugInHost& host, QString owner) : m_host(host), m_owner(std::move(owner))
{
    if (m_host.instanceCount == 0) {
        framework::LoadPlugInCommands();
        registration::LoadResourceTable();
        link().ObjectServerOpen = false;
        link().NetworkOpen = false;
        if (!m_host.window)
            m_host.window = new fMain(m_host.session, [&host] { return host.instanceCount; });
    }
    ++m_host.instanceCount;
    m_host.objects.append(this);
}

LNSPlugInAPI::~LNSPlugInAPI()
{
    m_host.objects.removeOne(this);
    --m_host.instanceCount;
    if (window() && !window()->isVisible() && m_host.instanceCount == 0)
        window()->EndPlugIn();
}

void LNSPlugInAPI::SendCommand(qint32 commandId, qint16 objectClassId, const QString& objectName)
{
    // Both work on the open network: without one there is nothing to work on, and a box saying so
    // would hold every director of the process until somebody answered it.
    if ((commandId == 50 || commandId == 51) && !link().NetworkOpen)
        throw PlugInError(framework::ErrUnableToRegister,
                          (commandId == 50 ? QStringLiteral("Unable to register Supported Commands")
                                           : QStringLiteral("Unable to remove Supported Commands")) +
                              QStringLiteral(": no network is open (set networkName first)"));
    fProgress::Of(m_host.session).show();
    toolkit::DoEvents();
    if (commandId == 50) {
        fProgress::Of(m_host.session).DisplayStatus(fProgress::tr("Registering plug-in . . ."));
        if (!registration::RegisterCommands(m_host.session)) {
            fProgress::Unload(m_host.session);
            throw PlugInError(framework::ErrUnableToRegister, QStringLiteral("Unable to register Supported Commands"));
        }
        fProgress::Unload(m_host.session);
        toolkit::DoEvents();
        return;
    }
    if (commandId == 51) {
        fProgress::Of(m_host.session).DisplayStatus(fProgress::tr("Unregistering plug-in . . ."));
        try {
            registration::DeregisterCommands(m_host.session, false, true);
        } catch (const com::ComError& e) {
            fProgress::Unload(m_host.session);
            throw PlugInError(framework::ErrUnableToRegister,
                              QStringLiteral("Unable to remove Supported Commands: ") + e.description());
        }
        fProgress::Unload(m_host.session);
        toolkit::DoEvents();
        return;
    }
    fProgress::Of(m_host.session).DisplayStatus(fProgress::tr("Initializing plug-in . . ."));
    bool known = false;
    int found = -1;
    for (int i = 0; i < framework::PlugInCommandCount; ++i) {
        const framework::PlugInCommandInfo& entry = framework::PlugInCommands(i);
        if (entry.CommandId == commandId) {
            known = true;
            if (entry.ObjectClassId == static_cast<qint32>(objectClassId)) {
                found = i;
                break;
            }
        }
    }
    fProgress::Unload(m_host.session);
    toolkit::DoEvents();
    if (found < 0)
        throw PlugInError(known ? framework::ErrObjectTypeNotSupported : framework::ErrCommandNotSupported,
                          known ? QStringLiteral("Object type not supported for this command")
                                : QStringLiteral("Command not supported"));
    link().CurrentObjectName = objectName;
    framework::ParseObjectPath(link(), objectName);
    const framework::ResolvedObject object = framework::ResolveObject(link(), objectClassId);
    framework::DispatchToWindow(found, object, *window(), objectName);
}

bool LNSPlugInAPI::Visible() const
{
    return window()->isVisible();
}

void LNSPlugInAPI::SetVisible(bool visible)
{
    window()->setVisible(visible);
}

QString LNSPlugInAPI::networkName() const
{
    return link().CurrentNetworkName;
}

void LNSPlugInAPI::checkNetworkChange(const QString& refused) const
{
    if (!link().NetworkOpen)
        return;
    for (const LNSPlugInAPI* other : std::as_const(m_host.objects)) {
        if (other->m_owner != m_owner && other->m_namedNetwork == link().CurrentNetworkName)
            throw PlugInError(ErrPlugInState,
                              refused + QStringLiteral(": another director's plug-in object works on the network ") +
                                  shown::Shown(link().CurrentNetworkName) +
                                  QStringLiteral(" (one network at a time; it is free when that director has "
                                                 "released its objects)"));
    }
}

void LNSPlugInAPI::SetnetworkName(const QString& name)
{
    // Naming the open network again changes nothing, whoever names it.
    if (name != link().CurrentNetworkName)
        checkNetworkChange(QStringLiteral("Cannot open the network ") + shown::Shown(name));
    m_namedNetwork.clear();
    framework::OpenNetworkByName(link(), name, m_networkInterfaceName);
    m_namedNetwork = link().CurrentNetworkName;
}

bool LNSPlugInAPI::Remote() const
{
    return m_host.session.ObjectServer().RemoteMode();
}

void LNSPlugInAPI::SetRemote(bool remote)
{
    // A change of mode closes and reopens the object server under every director's network.
    if (remote != Remote())
        checkNetworkChange(QStringLiteral("Cannot change Remote"));
    framework::ChangeRemoteMode(link(), m_host.session.ObjectServer(), remote);
}

qint32 LNSPlugInAPI::Height() const
{
    return window()->frameGeometry().height();
}

qint32 LNSPlugInAPI::Width() const
{
    return window()->frameGeometry().width();
}

qint32 LNSPlugInAPI::left() const
{
    return window()->frameGeometry().x();
}

qint32 LNSPlugInAPI::top() const
{
    return window()->frameGeometry().y();
}

void LNSPlugInAPI::checkMovable() const
{
    if (window()->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized))
        throw PlugInError(ErrPlugInState, MovedWhileMinimized);
}

void LNSPlugInAPI::checkSizable() const
{
    const fMain::BorderStyle style = window()->borderStyle();
    if (style == fMain::BorderStyle::FixedSingle || style == fMain::BorderStyle::FixedDialog ||
        style == fMain::BorderStyle::FixedToolWindow)
        throw PlugInError(ErrReadOnlyProperty, QStringLiteral("Attempt to write to read-only property"));
    checkMovable();
}

int LNSPlugInAPI::innerExtent(qint32 outer, Qt::Orientation orientation) const
{
    // The outer size is kept between the window's smallest size and the screen's available size, so
    // that a director reads back the size the window really has.
    const fMain* w = window();
    const QSize frame = w->frameGeometry().size() - w->size();
    const QSize smallest = w->minimumSize().expandedTo(w->minimumSizeHint());
    QSize largest = w->maximumSize();
    if (const QScreen* screen = w->screen())
        largest = largest.boundedTo(screen->availableGeometry().size() - frame);
    largest = largest.expandedTo(smallest);
    const bool across = orientation == Qt::Horizontal;
    const qint64 wanted = qint64(outer) - (across ? frame.width() : frame.height());
    return int(std::clamp(wanted, qint64(across ? smallest.width() : smallest.height()),
                          qint64(across ? largest.width() : largest.height())));
}

void LNSPlugInAPI::SetHeight(qint32 height)
{
    checkSizable();
    window()->resize(window()->width(), innerExtent(height, Qt::Vertical));
}

void LNSPlugInAPI::SetWidth(qint32 width)
{
    checkSizable();
    window()->resize(innerExtent(width, Qt::Horizontal), window()->height());
}

void LNSPlugInAPI::Setleft(qint32 left)
{
    checkMovable();
    window()->move(left, window()->frameGeometry().y());
}

void LNSPlugInAPI::Settop(qint32 top)
{
    checkMovable();
    window()->move(window()->frameGeometry().x(), top);
}

bool LNSPlugInAPI::Minimized() const
{
    return window()->windowState() & Qt::WindowMinimized;
}

void LNSPlugInAPI::SetMinimized(bool minimized)
{
    window()->setWindowState(minimized ? Qt::WindowMinimized : Qt::WindowNoState);
    if (!window()->isVisible())
        throw PlugInError(ErrPlugInState,
                          QStringLiteral("Can not modify the minimzed property when invisble. The property will be "
                                         "applied the next time the plug-in is made visible"));
}

QString LNSPlugInAPI::ManufacturerID() const
{
    return framework::Identity().ManufacturerID;
}

QString LNSPlugInAPI::ManufacturerName() const
{
    return framework::Identity().ManufacturerName;
}

QString LNSPlugInAPI::LcaVersion() const
{
    return QString::fromLatin1(framework::LcaVersionText);
}

QString LNSPlugInAPI::Version() const
{
    return framework::Identity().PlugInVersion;
}

QString LNSPlugInAPI::Name() const
{
    return framework::PlugInName();
}

QString LNSPlugInAPI::DevelopmentProgramId() const
{
    return m_host.developmentProgramId;
}

void LNSPlugInAPI::SetDevelopmentProgramId(const QString& programId)
{
    m_host.developmentProgramId = programId.size() == 16 ? programId : QString();
}

// ---- Configuration profiles

QString LNSPlugInAPI::Save(const QString& network, const QString& devicePath, const QString& units)
{
    std::optional<qint16> displayUnits;
    if (units == QLatin1String("metric"))
        displayUnits = 0;
    else if (units == QLatin1String("imperial"))
        displayUnits = 1;
    else if (!units.isEmpty())
        throw PlugInError(InvalidProcedureCall,
                          QStringLiteral("The units must be metric or imperial, not ") + shown::Shown(units));
    return profiles::Save(network, devicePath, displayUnits, fLog::Of(m_host.session));
}

QString LNSPlugInAPI::Compare(const QString& network, const QString& devicePath, const QString& profileJson)
{
    return profiles::Compare(network, devicePath, profileJson, fLog::Of(m_host.session));
}

QString LNSPlugInAPI::Apply(const QString& network, const QStringList& devicePaths, const QString& profileJson,
                            bool dryRun)
{
    // Refused before any work: a list too long would make a report too large for one bus message.
    if (const std::optional<QString> problem = profiles::DeviceListProblem(devicePaths))
        throw automation::InvalidArguments(*problem);
    return ApplyProfile(network, dryRun, [&](const profiles::ApplyOptions& options) {
        return profiles::Apply(network, devicePaths, profileJson, options, fLog::Of(m_host.session));
    });
}

QString LNSPlugInAPI::ApplyToModel(const QString& network, qint16 modelCode, const QString& profileJson, bool dryRun)
{
    return ApplyProfile(network, dryRun, [&](const profiles::ApplyOptions& options) {
        return profiles::ApplyToModel(network, modelCode, profileJson, options, fLog::Of(m_host.session));
    });
}

QString LNSPlugInAPI::ApplyToSubsystem(const QString& network, const QString& subsystemPath, const QString& profileJson,
                                       bool dryRun)
{
    return ApplyProfile(network, dryRun, [&](const profiles::ApplyOptions& options) {
        return profiles::ApplyToSubsystem(network, subsystemPath, profileJson, options, fLog::Of(m_host.session));
    });
}

QString LNSPlugInAPI::ApplyProfile(const QString& network, bool dryRun,
                                   const std::function<profiles::Report(const profiles::ApplyOptions&)>& apply)
{
    profiles::ApplyOptions options;
    options.dryRun = dryRun;
    options.progress = [this](quint32 done, quint32 total, const QString& path) {
        emitSignal(Profiles, QStringLiteral("Progress"), {QVariant::fromValue(done), QVariant::fromValue(total), path});
    };
    // Other directors are served between devices; a director that left (or released the object) ends
    // its apply at the next device instead of having it written on for nobody.
    options.stop = [this] {
        toolkit::DoEvents();
        return released();
    };
    profiles::Report report = apply(options);
    // The window would otherwise go on showing what the device held before.
    if (window() && window()->isVisible())
        for (const QString& path : report.WrittenPaths())
            window()->DeviceWrittenElsewhere(network, path);
    return std::move(report).ToJson();
}

QList<qint16> LNSPlugInAPI::KnownModels() const
{
    QList<qint16> codes;
    for (const device::config::Model& model : device::config::KnownModels())
        codes.append(model.code);
    return codes;
}

QStringList LNSPlugInAPI::DevicesOfModel(const QString& network, qint16 modelCode)
{
    return profiles::DevicesOfModel(network, modelCode);
}

QStringList LNSPlugInAPI::DevicesOfSubsystem(const QString& network, const QString& subsystemPath)
{
    return profiles::DevicesOfSubsystem(network, subsystemPath);
}

// ---- The members as the bus and Invoke see them: order, types and dispatch ids are what
// directors rely on.
const QList<automation::Member>& LNSPlugInAPI::members() const
{
    using automation::Member;
    static const QList<Member> table = [] {
        const auto prop = [](const char* name, qint32 dispid, const char* sig, bool writable = true) {
            Member m;
            m.kind = Member::Kind::Property;
            m.name = QString::fromLatin1(name);
            m.dispid = dispid;
            m.signature = QString::fromLatin1(sig);
            m.writable = writable;
            return m;
        };
        Member send;
        send.kind = Member::Kind::Method;
        send.name = QStringLiteral("SendCommand");
        send.dispid = 0x6003000F;
        send.arguments = {{QStringLiteral("commandId"), QStringLiteral("i")},
                          {QStringLiteral("objectClassId"), QStringLiteral("n")},
                          {QStringLiteral("objectName"), QStringLiteral("s")}};
        // The profiles' members: by name on their own interface, without dispatch ids.
        const auto method = [](const char* name, const char* result, QList<automation::Argument> arguments) {
            Member m;
            m.name = QString::fromLatin1(name);
            m.signature = QString::fromLatin1(result);
            m.arguments = std::move(arguments);
            m.interfaceName = Profiles;
            return m;
        };
        const automation::Argument network{QStringLiteral("network"), QStringLiteral("s")};
        const automation::Argument path{QStringLiteral("path"), QStringLiteral("s")};
        const automation::Argument json{QStringLiteral("json"), QStringLiteral("s")};
        Member progress = method(
            "Progress", "",
            {{QStringLiteral("done"), QStringLiteral("u")}, {QStringLiteral("total"), QStringLiteral("u")}, path});
        progress.kind = Member::Kind::Signal;
        return QList<Member>{
            send,
            prop("Visible", 0x6803000E, "b"),
            prop("networkName", 0x6803000D, "s"),
            prop("NetworkInterfaceName", 0x6803000C, "s"),
            prop("Remote", 0x6803000B, "b"),
            prop("Height", 0x6803000A, "i"),
            prop("Width", 0x68030009, "i"),
            prop("left", 0x68030008, "i"),
            prop("Minimized", 0x68030007, "b"),
            prop("ManufacturerID", 0x68030006, "s", false),
            prop("ManufacturerName", 0x68030005, "s", false),
            prop("LcaVersion", 0x68030004, "s", false),
            prop("Version", 0x68030003, "s", false),
            prop("top", 0x68030002, "i"),
            prop("Name", 0x68030001, "s", false),
            prop("DevelopmentProgramId", 0x68030000, "s"),
            method("Save", "s", {network, path}),
            method("SaveInUnits", "s", {network, path, {QStringLiteral("units"), QStringLiteral("s")}}),
            method("Compare", "s", {network, path, json}),
            method("Apply", "s",
                   {network,
                    {QStringLiteral("paths"), QStringLiteral("as")},
                    json,
                    {QStringLiteral("dryRun"), QStringLiteral("b")}}),
            method("DevicesOfModel", "as", {network, {QStringLiteral("model"), QStringLiteral("n")}}),
            method("DevicesOfSubsystem", "as", {network, {QStringLiteral("subsystem"), QStringLiteral("s")}}),
            method("ApplyToModel", "s",
                   {network,
                    {QStringLiteral("model"), QStringLiteral("n")},
                    json,
                    {QStringLiteral("dryRun"), QStringLiteral("b")}}),
            method("ApplyToSubsystem", "s",
                   {network,
                    {QStringLiteral("subsystem"), QStringLiteral("s")},
                    json,
                    {QStringLiteral("dryRun"), QStringLiteral("b")}}),
            method("KnownModels", "an", {}),
            progress,
        };
    }();
    return table;
}

QVariant LNSPlugInAPI::getProperty(const QString& name)
{
    if (name == QLatin1String("Visible"))
        return Visible();
    if (name == QLatin1String("networkName"))
        return networkName();
    if (name == QLatin1String("NetworkInterfaceName"))
        return NetworkInterfaceName();
    if (name == QLatin1String("Remote"))
        return Remote();
    if (name == QLatin1String("Height"))
        return Height();
    if (name == QLatin1String("Width"))
        return Width();
    if (name == QLatin1String("left"))
        return left();
    if (name == QLatin1String("Minimized"))
        return Minimized();
    if (name == QLatin1String("ManufacturerID"))
        return ManufacturerID();
    if (name == QLatin1String("ManufacturerName"))
        return ManufacturerName();
    if (name == QLatin1String("LcaVersion"))
        return LcaVersion();
    if (name == QLatin1String("Version"))
        return Version();
    if (name == QLatin1String("top"))
        return top();
    if (name == QLatin1String("Name"))
        return Name();
    if (name == QLatin1String("DevelopmentProgramId"))
        return DevelopmentProgramId();
    return QVariant();
}

void LNSPlugInAPI::setProperty(const QString& name, const QVariant& value)
{
    if (name == QLatin1String("Visible"))
        return SetVisible(value.toBool());
    if (name == QLatin1String("networkName"))
        return SetnetworkName(value.toString());
    if (name == QLatin1String("NetworkInterfaceName"))
        return SetNetworkInterfaceName(value.toString());
    if (name == QLatin1String("Remote"))
        return SetRemote(value.toBool());
    if (name == QLatin1String("Height"))
        return SetHeight(value.toInt());
    if (name == QLatin1String("Width"))
        return SetWidth(value.toInt());
    if (name == QLatin1String("left"))
        return Setleft(value.toInt());
    if (name == QLatin1String("Minimized"))
        return SetMinimized(value.toBool());
    if (name == QLatin1String("top"))
        return Settop(value.toInt());
    if (name == QLatin1String("DevelopmentProgramId"))
        return SetDevelopmentProgramId(value.toString());
    // ManufacturerID, ManufacturerName, LcaVersion, Version, Name
    throw PlugInError(ErrReadOnlyProperty, QStringLiteral("Attempt to write to read-only property"));
}

QVariant LNSPlugInAPI::callMethod(const QString& name, const QVariantList& arguments)
{
    if (name == QLatin1String("SendCommand") && arguments.size() == 3) {
        SendCommand(arguments[0].toInt(), static_cast<qint16>(arguments[1].toInt()), arguments[2].toString());
        return QVariant();
    }
    const auto text = [&](int i) { return arguments.value(i).toString(); };
    if (name == QLatin1String("Save"))
        return Save(text(0), text(1));
    if (name == QLatin1String("SaveInUnits"))
        return Save(text(0), text(1), text(2));
    if (name == QLatin1String("Compare"))
        return Compare(text(0), text(1), text(2));
    if (name == QLatin1String("Apply"))
        return Apply(text(0), arguments.value(1).toStringList(), text(2), arguments.value(3).toBool());
    if (name == QLatin1String("DevicesOfModel"))
        return DevicesOfModel(text(0), static_cast<qint16>(arguments.value(1).toInt()));
    if (name == QLatin1String("DevicesOfSubsystem"))
        return DevicesOfSubsystem(text(0), text(1));
    if (name == QLatin1String("ApplyToModel"))
        return ApplyToModel(text(0), static_cast<qint16>(arguments.value(1).toInt()), text(2),
                            arguments.value(3).toBool());
    if (name == QLatin1String("ApplyToSubsystem"))
        return ApplyToSubsystem(text(0), text(1), text(2), arguments.value(3).toBool());
    if (name == QLatin1String("KnownModels"))
        return QVariant::fromValue(KnownModels());
    return QVariant();
}

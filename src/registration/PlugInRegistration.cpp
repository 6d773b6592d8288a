#include "registration/PlugInRegistration.h"

#include "framework/CRegistry.h"
#include "framework/Connection.h"
#include "framework/Identity.h"
#include "framework/PlugInSession.h"
#include "platform/automation/Activation.h"
#include "platform/base/ComError.h"
#include "platform/base/Numbers.h"
#include "platform/registry/RegistryStore.h"
#include "platform/toolkit/Events.h"
#include "platform/toolkit/MessageBox.h"
#include "platform/toolkit/Process.h"
#include "registration/CommandRegistration.h"
#include "ui/progress/fProgress.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>
#include <memory>

using framework::CRegistry;
using framework::PlugInKey;
using toolkit::Buttons;
using toolkit::Icon;
using toolkit::MsgBox;

namespace registration {
namespace {

// Long enough for the program to start, write or remove its activation file and end, also on a
// machine busy enough to take seconds for that (a registration given up while it still runs could
// see its activation file written after the registration was reported failed).
constexpr int ServerRegistrationWaitMs = 30000;

// How long a registration or deregistration waits for another one of the same user to end: longer
// than a deregistration's walk over the networks normally takes.
int& registrationWaitMs()
{
    static int wait = 60000;
    return wait;
}

// The walk over all networks reports through the progress window and removes our commands from each.
class DeregistrationWalk : public framework::NetworkWalkHooks {
public:
    explicit DeregistrationWalk(framework::PlugInSession& session) : m_session(session) {}
    void DisplayStatus(const QString& text) override
    {
        try {
            fProgress::Of(m_session).DisplayStatus(text);
        } catch (const com::ComError&) {
            // Without its animation the window cannot show; the walk goes on without it.
        }
    }
    void DisplayCount(qint32 current, qint32 total) override
    {
        try {
            fProgress::Of(m_session).SetCount(current, total);
        } catch (const com::ComError&) {
        }
    }
    void UnloadProgress() override { fProgress::Unload(m_session); }
    void DeregisterCommands(bool exhaustive, bool firstNetwork) override
    {
        registration::DeregisterCommands(m_session, exhaustive, firstNetwork);
    }

private:
    framework::PlugInSession& m_session;
};

// The leading number as a 16-bit integer; one that does not fit marks the pair out of range.
qint16 leadingInt16(const QString& text, VersionPair& pair)
{
    const std::optional<qint16> number = numbers::ToInt16(numbers::Val(text));
    if (!number)
        pair.outOfRange = true;
    return number.value_or(0);
}

// The machine hive's file when it exists and cannot be read as a registry; empty otherwise. Reads
// through CRegistry answer such a hive with "missing", which would make a registration look absent.
QString UnreadableMachineHive()
{
    registry::RegistryStore store(registry::Hive::LocalMachine);
    if (!QFileInfo::exists(store.fileName()) || store.readable())
        return QString();
    return store.fileName();
}

// A message in English, for standard error, and in the user's language, for a box.
Sentence Say(const char* source, const QStringList& args = {})
{
    return Sentence("Registration", source, QList<Sentence::Part>(args.begin(), args.end()));
}

// A failure the user must learn of: a box in the window, a line on standard error on the command
// line, where a status 1 always says why (the line may say more than the box: detail).
void ReportFailure(bool interactive, const Sentence& message, const QString& title, const QString& detail = QString())
{
    if (interactive) {
        MsgBox(message.Shown(), Buttons::Ok, Icon::Critical, title);
        return;
    }
    const QString& text = message.English();
    QString line = detail.isEmpty() ? text : text + QStringLiteral(": ") + detail;
    line.replace(QLatin1Char('\r'), QLatin1String(" - "));
    std::fprintf(stderr, "%s\n", qPrintable(line));
}

// The one registration or deregistration of this user that runs; not held (and said so) when
// another one went on for the whole wait.
std::unique_ptr<automation::ActivationLock> TakeRegistrationLock(bool interactive, bool registering)
{
    auto lock = std::make_unique<automation::ActivationLock>(framework::PlugInProgId(), registrationWaitMs(),
                                                             interactive ? toolkit::DoEvents : std::function<void()>());
    if (!lock->held())
        ReportFailure(interactive,
                      registering ? Say(QT_TRANSLATE_NOOP("Registration", "Plug-in %1 could not be registered: %2"),
                                        {framework::PlugInProgId(), lock->failure()})
                                  : Say(QT_TRANSLATE_NOOP("Registration", "Plug-in %1 could not be deregistered: %2"),
                                        {framework::PlugInProgId(), lock->failure()}),
                      framework::PlugInName());
    return lock;
}

Sentence UnreadableHiveText(const QString& file, bool registering)
{
    return registering ? Say(QT_TRANSLATE_NOOP("Registration", "Plug-in %1 could not be registered: the registry file "
                                                               "%2 cannot be read as a registry"),
                             {framework::PlugInProgId(), file})
                       : Say(QT_TRANSLATE_NOOP("Registration", "Plug-in %1 could not be deregistered: the registry "
                                                               "file %2 cannot be read as a registry"),
                             {framework::PlugInProgId(), file});
}

}  // namespace

VersionPair ReadVersionPair(const QString& version)
{
    VersionPair pair;
    const qsizetype dot = version.indexOf(QLatin1Char('.'));
    pair.major = leadingInt16(dot < 0 ? version : version.left(dot), pair);
    if (dot < 0)
        return pair;
    QString minor = version.mid(dot + 1);
    const qsizetype blank = minor.indexOf(QLatin1Char(' '));
    const qsizetype nextDot = minor.indexOf(QLatin1Char('.'));
    qsizetype end = minor.size();
    if (blank >= 0)
        end = qMin(end, blank);
    if (nextDot >= 0)
        end = qMin(end, nextDot);
    minor = minor.left(end);
    if (minor.size() == 1)
        minor += QLatin1Char('0');
    pair.minor = leadingInt16(minor, pair);
    return pair;
}

bool RegisteredIsNewer(const VersionPair& registered, const VersionPair& ours)
{
    if (registered.outOfRange)
        return true;
    return ours.major < registered.major || (ours.major == registered.major && ours.minor < registered.minor);
}

bool RunServerRegistration(bool unregister, QString* reason)
{
    // The full path: a bare name is not found here, and we wait so that nobody sees the plug-in
    // registered before its server is.
    const toolkit::ProcessOutcome outcome = toolkit::StartProcess(
        QCoreApplication::applicationFilePath(),
        {unregister ? QStringLiteral("/unregserver") : QStringLiteral("/regserver")}, ServerRegistrationWaitMs);
    if (!outcome.started) {
        if (reason)
            *reason = outcome.errorText;
        return false;
    }
    if (!outcome.finished || outcome.exitCode != 0) {
        if (reason)
            *reason = outcome.finished
                          ? QStringLiteral("The server registration ended with code %1").arg(outcome.exitCode)
                          : QStringLiteral("The server registration did not end in time");
        return false;
    }
    return true;
}

void SetRegistrationWait(int ms)
{
    registrationWaitMs() = ms;
}

RegisterOutcome RegisterPlugIn(bool interactive)
{
    const framework::PlugInIdentity& id = framework::Identity();
    // A program the bus could not start is not registered, and nothing is made for it.
    if (const QString problem = automation::ThisProgramProblem(); !problem.isEmpty()) {
        ReportFailure(
            interactive,
            Say(QT_TRANSLATE_NOOP("Registration", "Plug-in %1 registration as COM server failed"), {id.PlugInProgId}),
            framework::ApplicationTitle(), problem);
        return RegisterOutcome::ServerRegistrationFailed;
    }
    // Held to the end: a deregistration between our server registration and our registry key would
    // leave a key without a server to start.
    const auto lock = TakeRegistrationLock(interactive, true);
    if (!lock->held())
        return RegisterOutcome::Busy;
    if (const QString hive = UnreadableMachineHive(); !hive.isEmpty()) {
        ReportFailure(interactive, UnreadableHiveText(hive, true), framework::PlugInName());
        return RegisterOutcome::RegistryUnreadable;
    }
    CRegistry registry;
    const QString key = PlugInKey();
    bool update = false;
    if (!registry.MachineSetting(key, QString()).isEmpty()) {
        if (RegisteredIsNewer(ReadVersionPair(registry.MachineSetting(key, QStringLiteral("Version"))),
                              ReadVersionPair(id.PlugInVersion))) {
            if (interactive)
                MsgBox(QCoreApplication::translate("Registration",
                                                   "A newer version of this plug-in is already registered"),
                       Buttons::Ok, Icon::Information, id.PlugInName);
            return RegisterOutcome::NewerRegistered;
        }
        update = true;
    }

    // A registration that fails puts back what was there before it: the server registration as it was
    // (another version's, or none), and the registry key untouched (its values go in one write).
    const std::optional<QByteArray> previousActivation = automation::ReadActivationFile(id.PlugInProgId);

    // Always register the server, from the command line and from the registration window alike:
    // nothing else on this platform would, and the plug-in could not be activated otherwise.
    QString reason;
    if (!RunServerRegistration(false, &reason)) {
        automation::RestoreActivationFile(id.PlugInProgId, previousActivation);
        ReportFailure(
            interactive,
            Say(QT_TRANSLATE_NOOP("Registration", "Plug-in %1 registration as COM server failed"), {id.PlugInProgId}),
            framework::ApplicationTitle(), reason);
        return RegisterOutcome::ServerRegistrationFailed;
    }

    const QList<std::pair<QString, QString>> values = {
        {QString(), id.PlugInProgId},
        {QStringLiteral("Name"), id.PlugInName},
        {QStringLiteral("Description"), id.PlugInDescription},
        {QStringLiteral("Scope"), QStringLiteral("2")},
        {QStringLiteral("ManufacturerName"), id.ManufacturerName},
        {QStringLiteral("Version"), id.PlugInVersion},
        {QStringLiteral("LcaVersion"), QString::fromLatin1(framework::LcaVersionText)},
        {QStringLiteral("Prelaunch"), QStringLiteral("-1")},
        {QStringLiteral("MultiObject"), QStringLiteral("-1")},
        {QStringLiteral("SingleInstance"), QStringLiteral("1")},
    };
    // Success is reported only when every value is there.
    const bool allWritten = registry.SetMachineSettings(key, values);
    if (!allWritten) {
        automation::RestoreActivationFile(id.PlugInProgId, previousActivation);
        ReportFailure(interactive,
                      Say(QT_TRANSLATE_NOOP("Registration", "Plug-in %1 could not be registered: the registry key "
                                                            "HKEY_LOCAL_MACHINE\\%2 could not be written"),
                          {id.PlugInProgId, key}),
                      id.PlugInName);
        return RegisterOutcome::RegistryWriteFailed;
    }
    if (interactive)
        MsgBox((update ? QCoreApplication::translate("Registration", "Updated version of plug-in registered as %1")
                       : QCoreApplication::translate("Registration", "Plug-in registered as %1"))
                   .arg(id.PlugInProgId),
               Buttons::Ok, Icon::Information, id.PlugInName);
    return update ? RegisterOutcome::Updated : RegisterOutcome::Registered;
}

RemovalOutcome RemovePlugInRegistration(bool interactive)
{
    const framework::PlugInIdentity& id = framework::Identity();
    QString reason;
    if (!RunServerRegistration(true, &reason)) {
        ReportFailure(interactive,
                      Say(QT_TRANSLATE_NOOP("Registration", "Plug-in %1 deregistration as COM server failed\rVerify "
                                                            "that there are not instances running\r%2"),
                          {id.PlugInProgId, reason}),
                      framework::ApplicationTitle());
        return RemovalOutcome::ServerRemovalFailed;
    }
    const bool deleted = CRegistry().DeleteMachineKey(PlugInKey());
    if (!deleted && registry::RegistryStore(registry::Hive::LocalMachine).keyExists(PlugInKey())) {
        // A key left behind with no server to start would describe a plug-in that cannot run: the
        // server registration goes back, and the plug-in stays registered as a whole.
        RunServerRegistration(false, nullptr);
        ReportFailure(interactive,
                      Say(QT_TRANSLATE_NOOP("Registration", "Plug-in %1 could not be deregistered: the registry key "
                                                            "HKEY_LOCAL_MACHINE\\%2 could not be deleted"),
                          {id.PlugInProgId, PlugInKey()}),
                      id.PlugInName);
        return RemovalOutcome::RegistryDeleteFailed;
    }
    if (interactive)
        MsgBox((deleted ? QCoreApplication::translate("Registration", "Plug-in %1 deregistered")
                        : QCoreApplication::translate("Registration",
                                                      "Plug-in %1 does not exisit in the Windows registery"))
                   .arg(id.PlugInName),
               Buttons::Ok, Icon::Information, id.PlugInName);
    return deleted ? RemovalOutcome::Removed : RemovalOutcome::NotRegistered;
}

bool DeregisterPlugIn(qint16 mode, bool interactive)
{
    const auto lock = TakeRegistrationLock(interactive, false);
    if (!lock->held())
        return false;
    if (const QString hive = UnreadableMachineHive(); !hive.isEmpty()) {
        ReportFailure(interactive, UnreadableHiveText(hive, false), framework::PlugInName());
        return false;
    }
    framework::SetShowProgress(interactive);
    if (mode == 0 || mode == 1) {
        // The walk opens every network in turn: it is a session of its own, beside any window's.
        framework::PlugInSession walk;
        DeregistrationWalk hooks(walk);
        if (const auto uncleaned = framework::ForEachNetworkDeregister(walk.Link(), mode == 1, hooks)) {
            // Commands left in a network still name the plug-in: it stays registered, server and key,
            // so that they keep working and a later deregistration can remove them.
            ReportFailure(
                interactive,
                Say(QT_TRANSLATE_NOOP("Registration", "Plug-in %1 could not be deregistered: its commands could not be "
                                                      "removed from the network %2\r%3"),
                    {framework::PlugInProgId(), uncleaned->name, uncleaned->reason}),
                framework::PlugInName());
            return false;
        }
    }
    const RemovalOutcome outcome = RemovePlugInRegistration(interactive);
    return outcome == RemovalOutcome::Removed || outcome == RemovalOutcome::NotRegistered;
}

}  // namespace registration

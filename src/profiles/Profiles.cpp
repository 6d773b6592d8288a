#include "profiles/Profiles.h"

#include "platform/objectserver/ObjectServerFactory.h"

#include "device/CNvCpTable.h"
#include "device/ConfigModel.h"
#include "device/Global.h"
#include "device/WritePlan.h"
#include "framework/Connection.h"
#include "framework/PlugInSettings.h"
#include "platform/base/Numbers.h"
#include "platform/base/ShownText.h"
#include "platform/objectserver/ValueFormats.h"
#include "profiles/DeviceSession.h"
#include "profiles/ProfileDocument.h"
#include "profiles/Report.h"

#include <QJsonValue>

#include <map>
#include <set>

namespace profiles {

namespace {

// How long an apply waits for a store that went away before it goes on with the next devices.
constexpr int StoreWaitSeconds = 30;

using device::config::Item;
using device::config::ItemKind;

[[noreturn]] void Refuse(const QString& reason)
{
    throw framework::PlugInError(ErrProfileRefused, QStringLiteral("The profile is refused: ") + reason);
}

// The variables that hold settable items, in the order of the device's access objects.
const QStringList& SettableVariables()
{
    static const QStringList variables = [] {
        QStringList all;
        for (const Item& item : device::config::Items())
            if (item.kind != ItemKind::ReadOnly && !all.contains(item.variable))
                all.append(item.variable);
        return all;
    }();
    return variables;
}

// An item's field as the device holds it, in the session's units; a number in its shortest form. Not
// rounded to the item's step as the window shows it: the profile keeps what the device has.
QString FieldText(const Item& item, const CNvCpTable& table)
{
    const QString field = table.NvAsArray->value(item.field);
    const auto number = item.kind == ItemKind::Number ? numbers::ToNumber(field) : std::nullopt;
    return number ? numbers::ShortestNumber(*number) : field;
}

// A failure's description on one line, for the report: the object server's own words where the
// program described it again.
QString OneLine(const com::ComError& e)
{
    return e.cause().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts).join(QLatin1Char(' '));
}

// One value of the profile, checked as the window checks what is typed into its field.
struct CheckedValue {
    const Item* item = nullptr;
    QString shown;   // as the profile says it (and the window would show it)
    QString stored;  // what goes into the field (a value on a limit moves inside it)
};

struct CheckedProfile {
    ProfileDocument document;
    // In data-item order.
    std::vector<CheckedValue> values;
    // The variables an apply reads, by model code: the same for every device of a model.
    mutable std::map<qint16, QStringList> variablesOfModel;
};

CheckedProfile CheckProfile(const QString& json)
{
    CheckedProfile checked;
    checked.document = ReadProfile(json);
    const ProfileDocument& profile = checked.document;
    if (!DeviceSession::IsThermostatProgramId(profile.programId))
        Refuse(QStringLiteral("it was saved from another kind of device (program ID %1)")
                   .arg(shown::Shown(profile.programId)));
    std::map<QString, QJsonValue> byName(profile.values.begin(), profile.values.end());
    for (const auto& [name, value] : byName)
        if (!device::config::FindSettable(name))
            Refuse(QStringLiteral("%1: no such settable item").arg(shown::Shown(name)));
    for (const Item& item : device::config::Items()) {
        const auto found = byName.find(item.name);
        if (found == byName.end() || item.kind == ItemKind::ReadOnly)
            continue;
        const QJsonValue& value = found->second;
        QString text;
        if (item.kind == ItemKind::Number && value.isDouble())
            text = numbers::ShortestNumber(value.toDouble());
        else if (item.kind == ItemKind::Choice && value.isString())
            text = value.toString();
        else
            Refuse(QStringLiteral("%1: the value must be %2")
                       .arg(item.name, item.kind == ItemKind::Number ? QStringLiteral("a number")
                                                                     : QStringLiteral("a name in quotes")));
        const device::config::Verdict verdict = device::config::CheckValue(item, text, profile.units);
        if (verdict.kind != device::config::Verdict::Accepted)
            Refuse(verdict.reason.English());
        checked.values.push_back({&item, text, verdict.stored});
    }
    return checked;
}

// The variables read for an apply: those of the items to apply and those the rules read, in the order
// of the device's access objects.
QStringList VariablesToRead(const CheckedProfile& profile, const QSet<QString>& disabled)
{
    QStringList needed;
    for (const CheckedValue& value : profile.values)
        if (!disabled.contains(value.item->name))
            needed.append(value.item->variable);
    for (const QString& name : device::config::CrossFieldItems())
        needed.append(device::config::FindSettable(name)->variable);
    QStringList ordered;
    for (const QString& variable : SettableVariables())
        if (needed.contains(variable))
            ordered.append(variable);
    return ordered;
}

// A variable the apply wrote, and the bytes it replaced.
struct WrittenVariable {
    const device::PlannedVariable* planned;
    QByteArray replaced;
};

// Puts the variables written before a failure back to the bytes they held just before their write, the
// last written first, and reads each back. Returns those that still hold the new bytes (or nobody knows
// what).
QStringList PutBack(DeviceSession& session, const std::vector<WrittenVariable>& written, framework::ActivityLog& log)
{
    QStringList leftNew;
    for (auto it = written.rbegin(); it != written.rend(); ++it) {
        CNvCpTable& table = session.Table(it->planned->key);
        try {
            table.WriteBytes(it->replaced);
            const QByteArray readBack = table.ReadBytes();
            if (readBack == it->replaced) {
                table.DeviceBytes = readBack;
                log.LogCommand(QStringLiteral("Putting back ") + table.Name, device::RawText(it->replaced));
                continue;
            }
            log.LogError(QStringLiteral("Putting back ") + table.Name + QStringLiteral(" failed\r\nwritten ") +
                         device::RawText(it->replaced) + QStringLiteral(", read back ") + device::RawText(readBack));
        } catch (const com::ComError& e) {
            log.LogError(e.description());
        }
        leftNew.prepend(table.Name);
    }
    return leftNew;
}

// The log's words for a variable, made once: an apply logs the same few for each of thousands of
// devices, and the log keeps every row.
const QString& Phrase(const char* words, const QString& variable)
{
    thread_local std::map<std::pair<const char*, QString>, QString> made;
    auto [phrase, isNew] = made.try_emplace({words, variable});
    if (isNew)
        phrase->second = QLatin1String(words) + variable;
    return phrase->second;
}

// Applies (or, on a dry run, compares) the checked profile on one device.
DeviceOutcome ApplyToDevice(DeviceSession& session, const QString& path, const CheckedProfile& profile, bool dryRun,
                            framework::ActivityLog& log)
{
    DeviceOutcome outcome;
    outcome.path = path;
    try {
        const lns::Ptr<lns::AppDevice> device = session.Device(path);
        if (!DeviceSession::IsThermostat(*device)) {
            outcome.status = DeviceStatus::Refused;
            outcome.message = QStringLiteral("not a KR5M-HU thermostat (program ID %1)").arg(device->DeviceProgramId());
            return outcome;
        }
        session.UseDevice(*device);
        // The reads before the writes are not logged: an apply logs what it changes and what it
        // found on reading that back.
        outcome.model = session.ReadModelCode(nullptr);
        const QSet<QString> disabled = device::config::DisabledItems(outcome.model);
        std::vector<device::HeldVariable> held;
        auto variables = profile.variablesOfModel.find(outcome.model);
        if (variables == profile.variablesOfModel.end())
            variables = profile.variablesOfModel.emplace(outcome.model, VariablesToRead(profile, disabled)).first;
        for (const QString& variable : variables->second) {
            CNvCpTable& table = session.Table(variable);
            // The plan reads the bytes itself: no fields are made here that nobody reads.
            table.GetNetworkBytes();
            held.push_back(device::HeldOf(table));
        }
        std::vector<device::Edit> edits;
        for (const CheckedValue& value : profile.values)
            if (!disabled.contains(value.item->name))
                edits.push_back({value.item->name, value.stored});
        const device::Plan plan = device::MakePlan(held, edits, profile.document.units, session.LonWorksPath());

        const QList<Sentence> broken = device::CheckPlan(plan, outcome.model);
        if (!broken.empty()) {
            outcome.status = DeviceStatus::Refused;
            outcome.message = Sentence::JoinEnglish(broken, QStringLiteral("; "));
            return outcome;
        }
        // What each item holds now and will hold: the device's values, never the profile's texts.
        for (const CheckedValue& value : profile.values) {
            ItemOutcome row{value.item->name, {}, {}, ItemState::Skipped, {}};
            if (const device::PlannedItem* planned = plan.Item(value.item->name); planned && planned->asked) {
                row.oldText = planned->oldText;
                row.newText = planned->newText;
                row.state = !planned->changes ? ItemState::Unchanged
                            : dryRun          ? ItemState::WouldChange
                                              : ItemState::NotWritten;
            } else {
                row.reason = QStringLiteral("model %1 does not have it").arg(outcome.model);
            }
            outcome.items.push_back(row);
        }
        if (!plan.Changes()) {
            outcome.status = DeviceStatus::Unchanged;
            return outcome;
        }
        if (dryRun) {
            outcome.status = DeviceStatus::WouldChange;
            return outcome;
        }

        std::vector<WrittenVariable> written;
        bool verified = true;
        for (const device::PlannedVariable* variable : device::WriteOrder(plan)) {
            CNvCpTable& table = session.Table(variable->key);
            device::Written sent;
            try {
                sent = device::WriteVariable(table, plan, *variable);
            } catch (const device::WriteConflict& conflict) {
                // Another writer changed what the profile changes since the read: its change is not
                // undone, and neither is half of the profile left on the device.
                log.LogError(conflict.description());
                outcome.leftNew = PutBack(session, written, log);
                outcome.status = outcome.leftNew.isEmpty() ? DeviceStatus::Conflict : DeviceStatus::PartlyWritten;
                outcome.message = OneLine(conflict);
                for (ItemOutcome& row : outcome.items) {
                    const auto found = std::find_if(conflict.fields.begin(), conflict.fields.end(),
                                                    [&](const device::FieldConflict& f) { return f.item == row.name; });
                    if (found != conflict.fields.end()) {
                        row.state = ItemState::Conflict;
                        row.reason = QStringLiteral("changed on the device since the read, to %1").arg(found->onDevice);
                    } else if (row.state == ItemState::NotWritten &&
                               outcome.leftNew.contains(device::config::FindSettable(row.name)->variable)) {
                        row.state = ItemState::Written;
                    }
                }
                return outcome;
            } catch (const com::ComError& e) {
                // Half a configuration is one nobody meant: what went before is put back.
                log.LogError(e.description());
                outcome.failure = e.number();
                outcome.leftNew = PutBack(session, written, log);
                outcome.status = outcome.leftNew.isEmpty() ? DeviceStatus::RolledBack : DeviceStatus::PartlyWritten;
                outcome.message =
                    OneLine(e) +
                    (outcome.leftNew.isEmpty()
                         ? (written.empty() ? QString() : QStringLiteral("; what was written before was put back"))
                         : QStringLiteral("; left with the new values: ") + outcome.leftNew.join(QStringLiteral(", ")));
                for (ItemOutcome& row : outcome.items)
                    if (row.state == ItemState::NotWritten &&
                        outcome.leftNew.contains(device::config::FindSettable(row.name)->variable))
                        row.state = ItemState::Written;
                if (written.empty())
                    outcome.status = DeviceStatus::Failed;
                return outcome;
            }
            written.push_back({variable, sent.replaced});
            if (sent.Wrote())
                log.LogCommand(Phrase("Updating ", table.Name), sent.text);
            const bool same = sent.readBack == sent.sent;
            verified = verified && same;
            outcome.verification.push_back(
                {table.Name, device::RawText(sent.sent), device::RawText(sent.readBack), same});
            if (same) {
                log.LogCommand(Phrase("Reading back ", table.Name), QStringLiteral("as written"));
            } else {
                log.LogError(QStringLiteral("Verification of ") + table.Name + QStringLiteral(" failed\r\nwritten ") +
                             device::RawText(sent.sent) + QStringLiteral(", read back ") +
                             device::RawText(sent.readBack));
            }
            for (ItemOutcome& row : outcome.items)
                if (row.state == ItemState::NotWritten &&
                    device::config::FindSettable(row.name)->variable == variable->key)
                    row.state = ItemState::Written;
        }
        outcome.status = verified ? DeviceStatus::Verified : DeviceStatus::VerifyFailed;
        if (!verified)
            outcome.message = QStringLiteral("the device holds other bytes than were written");
    } catch (const com::ComError& e) {
        outcome.status = DeviceStatus::Failed;
        outcome.message = OneLine(e);
        outcome.failure = e.number();
        log.LogError(e.description());
    }
    return outcome;
}

std::unique_ptr<lns::ObjectServer> Made(const ObjectServerMaker& objectServer)
{
    return objectServer ? objectServer() : nullptr;
}

Report Run(const QString& network, const QStringList& devicePaths, const QString& profileJson,
           const ApplyOptions& options, framework::ActivityLog& log)
{
    if (const std::optional<QString> problem = DeviceListProblem(devicePaths))
        throw framework::PlugInError(ErrTooManyDevices, *problem);
    const CheckedProfile profile = CheckProfile(profileJson);
    DeviceSession session(network, profile.document.units, Made(options.objectServer));
    // One id for every write of this apply, so that the history shows them together and a revert can
    // undo them all.
    Report report(options.dryRun, options.dryRun ? QString() : lns::NewChangeBatch(QStringLiteral("apply")),
                  devicePaths.size());
    if (!options.dryRun) {
        const QString& name = profile.document.name;
        session.Session().ObjectServer().SetChangeOrigin(
            name.isEmpty() ? QStringLiteral("profile apply") : QStringLiteral("profile apply %1").arg(name),
            report.applyId());
    }
    // Every device is read and written under the same type definitions, looked up once.
    const lns::formats::FixedDefinitions fixed;
    const quint32 total = quint32(devicePaths.size());
    for (quint32 i = 0; i < total; ++i) {
        const DeviceOutcome outcome = ApplyToDevice(session, devicePaths[int(i)], profile, options.dryRun, log);
        report.Add(outcome);
        if (options.progress)
            options.progress(i + 1, total, devicePaths[int(i)]);
        // A store that went away fails the device in flight; the next ones wait for it to be back,
        // rather than all failing in the moment it takes to come back.
        if (outcome.failure == lns::ObjectServerError(lns::ErrDatabase))
            session.WaitForStore(StoreWaitSeconds, options.stop);
        if (options.stop && options.stop())
            break;
    }
    return report;
}

}  // namespace

void Check(const QString& profileJson)
{
    CheckProfile(profileJson);
}

QString Save(const QString& network, const QString& devicePath, std::optional<qint16> units,
             framework::ActivityLog& log)
{
    ProfileDocument profile;
    profile.units = units ? qint16(*units == 0 ? 0 : 1) : qint16(framework::ReadDisplayUnitsSetting());
    DeviceSession session(network, profile.units);
    const lns::Ptr<lns::AppDevice> device = session.Device(devicePath);
    profile.programId = device->DeviceProgramId();
    if (!DeviceSession::IsThermostat(*device))
        throw framework::PlugInError(
            ErrNotAThermostat,
            QStringLiteral("%1 is not a KR5M-HU thermostat (program ID %2)").arg(devicePath, profile.programId));
    session.BuildTables(*device);
    // The same reads as the window: every access object, in order.
    for (const auto& table : session.Tables())
        session.Read(*table, &log);
    profile.model = DeviceSession::ModelCodeOf(session.Table(QStringLiteral("nciSccModelRaw")));
    const QSet<QString> disabled = device::config::DisabledItems(profile.model);
    for (const Item& item : device::config::Items()) {
        if (item.kind == ItemKind::ReadOnly || disabled.contains(item.name))
            continue;
        const QString shown = FieldText(item, session.Table(item.variable));
        if (item.kind == ItemKind::Choice)
            profile.values.emplace_back(item.name, QJsonValue(shown));
        else if (const auto number = numbers::ToNumber(shown))
            profile.values.emplace_back(item.name, QJsonValue(*number));
    }
    return WriteProfile(profile);
}

QString Compare(const QString& network, const QString& devicePath, const QString& profileJson,
                framework::ActivityLog& log)
{
    return Run(network, {devicePath}, profileJson, ApplyOptions{true}, log).ToJson();
}

std::optional<QString> DeviceListProblem(const QStringList& devicePaths)
{
    if (devicePaths.size() > MaxDevicesPerApply)
        return QStringLiteral("An apply takes at most %1 devices, not %2: apply to a subsystem or a model at a time, "
                              "or in several calls")
            .arg(MaxDevicesPerApply)
            .arg(devicePaths.size());
    for (const QString& path : devicePaths)
        if (path.size() > MaxPathLength)
            return QStringLiteral("A device path has at most %1 characters, not %2: %3")
                .arg(MaxPathLength)
                .arg(path.size())
                .arg(shown::Shown(path));
    return std::nullopt;
}

Report Apply(const QString& network, const QStringList& devicePaths, const QString& profileJson,
             const ApplyOptions& options, framework::ActivityLog& log)
{
    return Run(network, devicePaths, profileJson, options, log);
}

Report Apply(const QString& network, const QStringList& devicePaths, const QString& profileJson, bool dryRun,
             framework::ActivityLog& log, const Progress& progress)
{
    return Run(network, devicePaths, profileJson, ApplyOptions{dryRun, progress}, log);
}

Report ApplyToModel(const QString& network, qint16 modelCode, const QString& profileJson, const ApplyOptions& options,
                    framework::ActivityLog& log)
{
    // The profile is refused before a network is walked for it.
    Check(profileJson);
    return Run(network, DevicesOfModel(network, modelCode, options.objectServer), profileJson, options, log);
}

Report ApplyToSubsystem(const QString& network, const QString& subsystemPath, const QString& profileJson,
                        const ApplyOptions& options, framework::ActivityLog& log)
{
    Check(profileJson);
    return Run(network, DevicesOfSubsystem(network, subsystemPath, options.objectServer), profileJson, options, log);
}

QStringList DevicesOfModel(const QString& network, qint16 modelCode, const ObjectServerMaker& objectServer)
{
    DeviceSession session(network, 0, Made(objectServer));
    QStringList found;
    for (const QString& path : session.DevicePaths()) {
        try {
            const lns::Ptr<lns::AppDevice> device = session.Device(path);
            if (!DeviceSession::IsThermostat(*device))
                continue;
            session.UseDevice(*device);
            if (session.ReadModelCode(nullptr) == modelCode)
                found.append(path);
        } catch (const com::ComError&) {
            // A device that cannot say its model is not one of it.
        }
    }
    return found;
}

QStringList DevicesOfSubsystem(const QString& network, const QString& subsystemPath,
                               const ObjectServerMaker& objectServer)
{
    DeviceSession session(network, 0, Made(objectServer));
    framework::ConnectionState& link = session.Session().Link();
    const qsizetype count = framework::ParseObjectPath(link, subsystemPath);
    const QString subsystem = framework::PathComponent(link, count, true);
    QStringList paths = session.DevicePaths(subsystem);
    if (paths.isEmpty()) {
        // An empty subsystem is fine; one that does not exist is not.
        link.CurrentSystem->SystemSubsystems()->Item(subsystem);
    }
    return paths;
}

}  // namespace profiles

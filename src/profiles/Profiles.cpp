#include "profiles/Profiles.h"

#include "device/CNvCpTable.h"
#include "device/Collections.h"
#include "device/ConfigModel.h"
#include "device/Global.h"
#include "framework/Connection.h"
#include "framework/Numbers.h"
#include "framework/PlugInSettings.h"
#include "profiles/DeviceSession.h"
#include "profiles/ProfileDocument.h"
#include "profiles/Report.h"
#include "ui/log/fLog.h"

#include <QJsonValue>

#include <map>
#include <set>

namespace profiles {

namespace {

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
    const auto number = item.kind == ItemKind::Number ? framework::ToNumber(field) : std::nullopt;
    return number ? framework::ShortestNumber(*number) : field;
}

bool SameText(const Item& item, const QString& a, const QString& b)
{
    if (item.kind == ItemKind::Number) {
        const auto x = framework::ToNumber(a);
        const auto y = framework::ToNumber(b);
        if (x && y)
            return *x == *y;
    }
    return a == b;
}

// A failure's description on one line, for the report.
QString OneLine(const QString& description)
{
    return description.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts).join(QLatin1Char(' '));
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
};

CheckedProfile CheckProfile(const QString& json)
{
    CheckedProfile checked;
    checked.document = ReadProfile(json);
    const ProfileDocument& profile = checked.document;
    if (!DeviceSession::IsThermostatProgramId(profile.programId))
        Refuse(QStringLiteral("it was saved from another kind of device (program ID %1)").arg(profile.programId));
    std::map<QString, QJsonValue> byName(profile.values.begin(), profile.values.end());
    for (const auto& [name, value] : byName)
        if (!device::config::FindSettable(name))
            Refuse(QStringLiteral("%1: no such settable item").arg(name));
    for (const Item& item : device::config::Items()) {
        const auto found = byName.find(item.name);
        if (found == byName.end() || item.kind == ItemKind::ReadOnly)
            continue;
        const QJsonValue& value = found->second;
        QString text;
        if (item.kind == ItemKind::Number && value.isDouble())
            text = framework::ShortestNumber(value.toDouble());
        else if (item.kind == ItemKind::Choice && value.isString())
            text = value.toString();
        else
            Refuse(QStringLiteral("%1: the value must be %2")
                       .arg(item.name, item.kind == ItemKind::Number ? QStringLiteral("a number")
                                                                     : QStringLiteral("a name in quotes")));
        const device::config::Verdict verdict = device::config::CheckValue(item, text, profile.units);
        if (verdict.kind != device::config::Verdict::Accepted)
            Refuse(verdict.reason);
        checked.values.push_back({&item, text, verdict.stored});
    }
    return checked;
}

// Applies (or, on a dry run, compares) the checked profile on one device.
DeviceOutcome ApplyToDevice(DeviceSession& session, const QString& path, const CheckedProfile& profile, bool dryRun,
                            fLog& log)
{
    DeviceOutcome outcome;
    outcome.path = path;
    try {
        const lns::Ptr<lns::AppDevice> device = session.Device(path);
        if (!DeviceSession::IsThermostat(*device)) {
            outcome.status = QStringLiteral("refused");
            outcome.message = QStringLiteral("not a KR5M-HU thermostat (program ID %1)").arg(device->DeviceProgramId());
            return outcome;
        }
        session.UseDevice(*device);
        // The reads before the writes are not logged: an apply logs what it changes and what it
        // found on reading that back.
        outcome.model = session.ReadModelCode(nullptr);
        const QSet<QString> disabled = device::config::DisabledItems(outcome.model);

        // The variables of the items to apply, and those the cross-field rules read: as the device holds them.
        QStringList needed;
        for (const CheckedValue& value : profile.values)
            if (!disabled.contains(value.item->name) && !needed.contains(value.item->variable))
                needed.append(value.item->variable);
        for (const QString& name : device::config::CrossFieldItems())
            if (const Item* item = device::config::FindSettable(name); item && !needed.contains(item->variable))
                needed.append(item->variable);
        std::map<QString, QStringList> asRead;
        QStringList variables;
        for (const QString& variable : SettableVariables()) {
            if (!needed.contains(variable))
                continue;
            CNvCpTable& table = session.Table(variable);
            session.Read(table, nullptr);
            asRead[variable] = *table.NvAsArray;
            variables.append(variable);
        }

        // The values after the apply, for the rules between items.
        outcome.items.reserve(profile.values.size());
        std::map<QString, QString> after;
        for (const QString& name : device::config::CrossFieldItems())
            if (const Item* item = device::config::FindSettable(name); item && !disabled.contains(name))
                after[name] = FieldText(*item, session.Table(item->variable));
        for (const CheckedValue& value : profile.values) {
            ItemOutcome row{value.item->name, {}, value.shown, {}, {}};
            if (disabled.contains(value.item->name)) {
                row.state = QStringLiteral("skipped");
                row.reason = QStringLiteral("model %1 does not have it").arg(outcome.model);
            } else {
                row.oldText = FieldText(*value.item, session.Table(value.item->variable));
                after[value.item->name] = value.shown;
            }
            outcome.items.push_back(row);
        }
        const std::vector<QString> broken = device::config::CrossFieldViolations(after);
        if (!broken.empty()) {
            outcome.status = QStringLiteral("refused");
            outcome.message = QStringList(broken.begin(), broken.end()).join(QStringLiteral("; "));
            outcome.items.clear();
            return outcome;
        }

        // The new fields; then each variable whose raw bytes change, written whole, in order.
        for (std::size_t i = 0; i < profile.values.size(); ++i) {
            const CheckedValue& value = profile.values[i];
            if (disabled.contains(value.item->name))
                continue;
            CNvCpTable& table = session.Table(value.item->variable);
            QStringList& fields = *table.NvAsArray;
            if (value.item->field >= fields.size())
                throw com::ComError(Global::ErrSubscriptOutOfRange, path,
                                    QStringLiteral("%1 has no field for %2").arg(table.Name, value.item->name));
            fields[value.item->field] = value.stored;
            ItemOutcome& row = outcome.items[i];
            const bool same = SameText(*value.item, row.oldText, row.newText);
            row.state = same     ? QStringLiteral("unchanged")
                        : dryRun ? QStringLiteral("would-change")
                                 : QStringLiteral("written");
        }
        bool changed = false;
        bool verified = true;
        for (const QString& variable : variables) {
            CNvCpTable& table = session.Table(variable);
            // Fields as the device formatted them stand for its bytes; only a changed text can
            // change them, and it changes them only when its bytes differ from the device's.
            if (*table.NvAsArray == asRead[variable])
                continue;
            const QString before = session.ReadRaw(table);
            const QString wanted =
                session.RawOfFields(table, before.isEmpty() ? 0 : before.count(QLatin1Char(' ')) + 1);
            if (wanted == before)
                continue;
            changed = true;
            if (dryRun)
                continue;
            table.SendNetworkValue();
            log.LogCommand(QStringLiteral("Updating ") + table.Name, table.NvAsString());
            const QString readBack = session.ReadRaw(table);
            const bool same = readBack == wanted;
            verified = verified && same;
            outcome.verification.push_back({table.Name, wanted, readBack, same});
            if (same) {
                log.LogCommand(QStringLiteral("Reading back ") + table.Name, QStringLiteral("as written"));
            } else {
                log.LogError(QStringLiteral("Verification of ") + table.Name + QStringLiteral(" failed\r\nwritten ") +
                             wanted + QStringLiteral(", read back ") + readBack);
            }
        }
        if (dryRun)
            outcome.status = changed ? QStringLiteral("would-change") : QStringLiteral("unchanged");
        else if (!changed)
            outcome.status = QStringLiteral("unchanged");
        else
            outcome.status = verified ? QStringLiteral("verified") : QStringLiteral("verify-failed");
        if (!verified)
            outcome.message = QStringLiteral("the device holds other bytes than were written");
    } catch (const com::ComError& e) {
        outcome.status = QStringLiteral("failed");
        outcome.message = OneLine(e.description());
        log.LogError(e.description());
    }
    return outcome;
}

Report Run(const QString& network, const QStringList& devicePaths, const QString& profileJson, bool dryRun, fLog& log,
           const Progress& progress)
{
    const CheckedProfile profile = CheckProfile(profileJson);
    DeviceSession session(network, profile.document.units);
    Report report;
    report.dryRun = dryRun;
    const quint32 total = quint32(devicePaths.size());
    for (quint32 i = 0; i < total; ++i) {
        report.devices.push_back(ApplyToDevice(session, devicePaths[int(i)], profile, dryRun, log));
        if (progress)
            progress(i + 1, total, devicePaths[int(i)]);
    }
    return report;
}

}  // namespace

void Check(const QString& profileJson)
{
    CheckProfile(profileJson);
}

QString Save(const QString& network, const QString& devicePath, std::optional<qint16> units, fLog& log)
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
    for (const auto& table : device::Tables(session.Session()).NvTables)
        session.Read(*table, &log);
    profile.model = DeviceSession::ModelCodeOf(session.Table(QStringLiteral("nciSccModelRaw")));
    const QSet<QString> disabled = device::config::DisabledItems(profile.model);
    for (const Item& item : device::config::Items()) {
        if (item.kind == ItemKind::ReadOnly || disabled.contains(item.name))
            continue;
        const QString shown = FieldText(item, session.Table(item.variable));
        if (item.kind == ItemKind::Choice)
            profile.values.emplace_back(item.name, QJsonValue(shown));
        else if (const auto number = framework::ToNumber(shown))
            profile.values.emplace_back(item.name, QJsonValue(*number));
    }
    return WriteProfile(profile);
}

QString Compare(const QString& network, const QString& devicePath, const QString& profileJson, fLog& log)
{
    return Run(network, {devicePath}, profileJson, true, log, {}).ToJson();
}

QString Apply(const QString& network, const QStringList& devicePaths, const QString& profileJson, bool dryRun,
              fLog& log, const Progress& progress)
{
    return Run(network, devicePaths, profileJson, dryRun, log, progress).ToJson();
}

QStringList DevicesOfModel(const QString& network, qint16 modelCode)
{
    DeviceSession session(network, 0);
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

QStringList DevicesOfSubsystem(const QString& network, const QString& subsystemPath)
{
    DeviceSession session(network, 0);
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

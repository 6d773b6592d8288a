#include "device/WritePlan.h"

#include "device/CNvCpTable.h"
#include "device/Global.h"
#include "device/Units.h"
#include "platform/base/Numbers.h"
#include "platform/objectserver/ValueFormats.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <string>
#include <tuple>

namespace device {

namespace {

const QString Source = QStringLiteral("MakePlan");
// Writes that found the device changed again between their read and their write, before giving up.
constexpr int ChangedAttempts = 5;

// Equal to the precision the device's values have (nine decimals at most); the rest is binary noise.
bool Same(double a, double b)
{
    return std::fabs(a - b) <= 1e-9 * std::max(1.0, std::fabs(a));
}

// A view, not a copy: a plan compares every field of every variable it holds.
QByteArrayView FieldBytes(const QByteArray& bytes, const lns::formats::FieldReading& field)
{
    const qsizetype end = std::min(bytes.size(), qsizetype(field.offset) + field.bytes);
    return field.offset < end ? QByteArrayView(bytes).sliced(field.offset, end - field.offset) : QByteArrayView();
}

QString ConflictText(const std::vector<FieldConflict>& fields)
{
    QStringList texts;
    for (const FieldConflict& f : fields)
        texts << QStringLiteral("%1 (yours %2, on the device now %3)").arg(f.item, f.yours, f.onDevice);
    return texts.join(QStringLiteral(", "));
}

}  // namespace

const PlannedItem* Plan::Item(const QString& name) const
{
    // The items are in item order, which is the order of their addresses.
    const config::Item* item = config::FindSettable(name);
    const auto found =
        std::lower_bound(items.begin(), items.end(), item,
                         [](const PlannedItem& p, const config::Item* i) { return std::less<>()(p.item, i); });
    return item && found != items.end() && found->item == item ? &*found : nullptr;
}

const PlannedVariable* Plan::Variable(const QString& key) const
{
    const auto found =
        std::find_if(variables.begin(), variables.end(), [&](const PlannedVariable& v) { return v.key == key; });
    return found == variables.end() ? nullptr : &*found;
}

bool Plan::Changes() const
{
    return std::any_of(variables.begin(), variables.end(), [](const PlannedVariable& v) { return v.Changes(); });
}

std::map<QString, double> Plan::RuleNumbers(const std::function<bool(const QString& key)>& written) const
{
    std::map<QString, double> values;
    for (const QString& name : config::CrossFieldItems()) {
        const PlannedItem* planned = Item(name);
        if (!planned)
            continue;
        const std::optional<double>& number =
            written(planned->item->variable) ? planned->newNumber : planned->oldNumber;
        if (number)
            values.emplace(name, *number);
    }
    return values;
}

std::map<QString, QString> Plan::RuleValues(const std::function<bool(const QString& key)>& written) const
{
    std::map<QString, QString> texts;
    for (const auto& [name, number] : RuleNumbers(written))
        texts.emplace(name, numbers::ShortestNumber(number));
    return texts;
}

QString FormatInUnits(const QString& format, qint16 units)
{
    const qsizetype suffix = format.indexOf(QLatin1Char('#'));
    const QString wanted = UnitSuffix(units);
    if (suffix < 0 || QStringView(format).sliced(suffix) == wanted)
        return format;
    return format.left(suffix) + wanted;
}

namespace {

// The items of each variable that a plan may set, in item order: looked up for every variable of every
// plan, where a walk through all the items costs an apply more than its reads.
const std::vector<const config::Item*>& SettableItemsOf(const QString& key)
{
    static const std::map<QString, std::vector<const config::Item*>> byVariable = [] {
        std::map<QString, std::vector<const config::Item*>> items;
        for (const config::Item& item : config::Items())
            if (item.kind != config::ItemKind::ReadOnly)
                items[item.variable].push_back(&item);
        return items;
    }();
    static const std::vector<const config::Item*> none;
    const auto found = byVariable.find(key);
    return found == byVariable.end() ? none : found->second;
}

}  // namespace

Plan MakePlan(const std::vector<HeldVariable>& held, const std::vector<Edit>& edits, qint16 units,
              const QString& lonWorksPath)
{
    Plan plan;
    plan.units = units;
    // The edit of each item, by the item's place in the model's table (the last edit of an item counts).
    const config::Item* const firstItem = config::Items().data();
    std::vector<const QString*> asked(config::Items().size(), nullptr);
    for (const Edit& edit : edits) {
        const config::Item* item = config::FindSettable(edit.item);
        const bool heldHere = item && std::any_of(held.begin(), held.end(),
                                                  [&](const HeldVariable& h) { return h.key == item->variable; });
        if (!heldHere)
            throw com::ComError(Global::ErrInvalidArgument, Source,
                                QStringLiteral("%1 is no settable item of the variables read").arg(edit.item));
        asked[std::size_t(item - firstItem)] = &edit.text;
    }
    const auto askedOf = [&](const config::Item& item) { return asked[std::size_t(&item - firstItem)]; };

    for (const HeldVariable& h : held) {
        PlannedVariable v;
        v.key = h.key;
        v.format = FormatInUnits(h.format, units);
        v.separator = h.separator;
        v.before = h.bytes;
        const QVector<lns::formats::FieldReading> before = lns::formats::Read(v.format, h.bytes, lonWorksPath);
        v.fields.reserve(before.size());
        for (const lns::formats::FieldReading& field : before)
            v.fields.append(field.text);
        std::vector<bool> edited(std::size_t(before.size()), false);
        bool anyEdited = false;
        const std::vector<const config::Item*>& settable = SettableItemsOf(h.key);
        for (const config::Item* settableItem : settable) {
            const config::Item& item = *settableItem;
            const QString* edit = askedOf(item);
            if (!edit)
                continue;
            if (item.field >= v.fields.size())
                throw com::ComError(Global::ErrSubscriptOutOfRange, Source,
                                    QStringLiteral("%1 has no field for %2").arg(h.key, item.name));
            // The text the device's own bytes read as asks for no change: those bytes stay, unparsed.
            if (*edit == v.fields[item.field])
                continue;
            v.fields[item.field] = *edit;
            edited[std::size_t(item.field)] = anyEdited = true;
        }
        v.after = !anyEdited ? h.bytes : lns::formats::Parse(v.format, v.Text(), qint32(h.bytes.size()), lonWorksPath);
        for (int i = 0; anyEdited && i < before.size(); ++i) {
            // A field nobody edited must go back as the device holds it; a format that cannot say it
            // exactly would change a value nobody meant to change.
            if (!edited[std::size_t(i)] && FieldBytes(v.after, before[i]) != FieldBytes(h.bytes, before[i]))
                throw com::ComError(
                    lns::ObjectServerError(lns::ErrFormatFailed), Source,
                    Sentence(
                        "Rules",
                        QT_TRANSLATE_NOOP("Rules", "Field %1 of %2 cannot be written back as the device holds it."),
                        {QString::number(i), h.key}));
        }
        // Edits that come to the bytes held (a profile's value the device has already) read as before.
        const QVector<lns::formats::FieldReading> after =
            v.after == h.bytes ? before : lns::formats::Read(v.format, v.after, lonWorksPath);
        for (const config::Item* settableItem : settable) {
            const config::Item& item = *settableItem;
            if (item.field >= before.size())
                continue;
            PlannedItem& p = plan.items.emplace_back();
            p.item = &item;
            p.oldText = before[item.field].text;
            p.newText = after[item.field].text;
            p.oldNumber = before[item.field].number;
            p.newNumber = after[item.field].number;
            p.step = before[item.field].step;
            if (const QString* edit = askedOf(item))
                p.asked = *edit;
            p.changes = FieldBytes(v.before, before[item.field]) != FieldBytes(v.after, before[item.field]);
            if (p.changes)
                v.changedItems.append(item.name);
        }
        plan.variables.push_back(std::move(v));
    }
    // In item order: the items live in one table, so their addresses are in its order. Variables
    // held in that order already need no sort, which would take a buffer of its own.
    const auto before = [](const PlannedItem& a, const PlannedItem& b) { return std::less<>()(a.item, b.item); };
    if (!std::is_sorted(plan.items.begin(), plan.items.end(), before))
        std::stable_sort(plan.items.begin(), plan.items.end(), before);
    return plan;
}

namespace {

// An apply asks the same values of every device: each is judged once, not once per device.
const config::Verdict& Judged(const config::Item& item, const QString& text, qint16 units)
{
    thread_local std::map<std::tuple<const config::Item*, qint16, QString>, config::Verdict> judged;
    if (judged.size() >= 1024)
        judged.clear();
    const auto [found, added] = judged.try_emplace({&item, units, text});
    if (added)
        found->second = config::CheckValue(item, text, units);
    return found->second;
}

}  // namespace

QList<Sentence> CheckPlan(const Plan& plan, qint16 modelCode, Naming naming)
{
    const auto label = naming == Naming::Descriptions ? &config::ItemLabel : &config::ItemName;
    const auto rule = [](const char* source, const QList<Sentence::Part>& parts) {
        return Sentence("Rules", source, parts);
    };
    QList<Sentence> broken;
    const QSet<QString> disabled = config::DisabledItems(modelCode);
    const int u = plan.units == 0 ? 0 : 1;
    for (const PlannedItem& p : plan.items) {
        if (!p.asked)
            continue;
        const config::Item& item = *p.item;
        if (disabled.contains(item.name)) {
            broken.push_back(rule(QT_TRANSLATE_NOOP("Rules", "%1: model %2 does not have it"),
                                  {label(item.name), QString::number(modelCode)}));
            continue;
        }
        const config::Verdict& verdict = Judged(item, *p.asked, plan.units);
        if (verdict.kind == config::Verdict::Refused) {
            broken.push_back(verdict.reason);
            continue;
        }
        if (item.kind != config::ItemKind::Number || !p.newNumber)
            continue;
        const double asked = *numbers::ToNumber(*p.asked);
        const double stored = *p.newNumber;
        if (p.step > 0 && !Same(asked, stored))
            broken.push_back(rule(QT_TRANSLATE_NOOP("Rules", "%1: %2 is finer than the device holds (steps of %3)"),
                                  {label(item.name), *p.asked, numbers::ShortestNumber(p.step)}));
        else if (item.limited && stored > item.max[u] && !Same(stored, item.max[u]))
            broken.push_back(rule(QT_TRANSLATE_NOOP("Rules", "%1: the device would hold %2, above the maximum %3"),
                                  {label(item.name), p.newText, numbers::ShortestNumber(item.max[u])}));
        else if (item.limited && stored < item.min[u] && !Same(stored, item.min[u]))
            broken.push_back(rule(QT_TRANSLATE_NOOP("Rules", "%1: the device would hold %2, below the minimum %3"),
                                  {label(item.name), p.newText, numbers::ShortestNumber(item.min[u])}));
    }
    broken += config::CrossFieldViolations(plan.RuleNumbersAfter(), label);
    return broken;
}

std::vector<const PlannedVariable*> WriteOrder(const Plan& plan)
{
    std::vector<const PlannedVariable*> remaining;
    for (const PlannedVariable& v : plan.variables)
        if (v.Changes())
            remaining.push_back(&v);
    std::vector<const PlannedVariable*> order;
    std::set<QString> written;
    while (!remaining.empty()) {
        // The first variable whose write leaves the device keeping the rules; the first of all when
        // none does (a device that broke them before, or two that must change together).
        // The last one goes last whatever the rules say: judging them would change nothing.
        auto next = remaining.size() == 1
                        ? remaining.begin()
                        : std::find_if(remaining.begin(), remaining.end(), [&](const PlannedVariable* v) {
                              const auto values = plan.RuleNumbers(
                                  [&](const QString& key) { return key == v->key || written.count(key); });
                              return config::CrossFieldViolations(values).empty();
                          });
        if (next == remaining.end())
            next = remaining.begin();
        written.insert((*next)->key);
        order.push_back(*next);
        remaining.erase(next);
    }
    return order;
}

QString RawText(const QByteArray& bytes)
{
    // Written straight into one buffer: every verified write of an apply shows its bytes twice.
    std::string text;
    text.reserve(std::size_t(bytes.size()) * 4);
    for (const char byte : bytes) {
        if (!text.empty())
            text += ' ';
        text += std::to_string(quint8(byte));
    }
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

HeldVariable HeldOf(const CNvCpTable& table)
{
    return HeldVariable{table.Key, table.LastReadFormat(), table.Separator, table.DeviceBytes};
}

WriteConflict::WriteConflict(const QString& name, std::vector<FieldConflict> conflicting, QList<Sentence> brokenRules,
                             QByteArray bytes)
    : com::ComError(Global::ErrInvalidArgument, QStringLiteral("SendNetworkValue"),
                    conflicting.empty()
                        ? QStringLiteral("%1 was changed on the device since it was read; with this write's changes "
                                         "it would break: %2")
                              .arg(name, Sentence::JoinEnglish(brokenRules, QStringLiteral("; ")))
                        : QStringLiteral("%1 was changed on the device since it was read, in fields this write "
                                         "changes too: %2")
                              .arg(name, ConflictText(conflicting))),
      variable(name),
      fields(std::move(conflicting)),
      broken(std::move(brokenRules)),
      onDevice(std::move(bytes))
{
}

Merge MergeOnto(const PlannedVariable& planned, const QByteArray& onDevice, const QString& lonWorksPath)
{
    const lns::formats::FieldMerge fields =
        lns::formats::MergeFields(planned.format, planned.before, planned.after, onDevice, lonWorksPath);
    Merge merge{fields.bytes, fields.keepingCurrent, {}};
    for (const int i : fields.conflicts) {
        QString item = planned.key + QLatin1Char('.') + QString::number(i);
        for (const config::Item& candidate : config::Items())
            if (candidate.variable == planned.key && candidate.field == i &&
                candidate.kind != config::ItemKind::ReadOnly)
                item = candidate.name;
        merge.conflicts.push_back({item, lns::formats::Read(planned.format, planned.after, lonWorksPath)[i].text,
                                   lns::formats::Read(planned.format, onDevice, lonWorksPath)[i].text});
    }
    return merge;
}

// The rules between the set points with one variable holding other bytes than planned.
QList<Sentence> RulesWith(const Plan& plan, const PlannedVariable& variable, const QByteArray& bytes,
                          const QString& lonWorksPath)
{
    std::map<QString, double> values = plan.RuleNumbersAfter();
    const QVector<lns::formats::FieldReading> fields = lns::formats::Read(variable.format, bytes, lonWorksPath);
    for (const QString& name : config::CrossFieldItems()) {
        const config::Item* item = config::FindSettable(name);
        if (item && item->variable == variable.key && item->field < fields.size() && fields[item->field].number)
            values[name] = *fields[item->field].number;
    }
    return config::CrossFieldViolations(values);
}

Written WriteVariable(CNvCpTable& table, const Plan& plan, const PlannedVariable& planned, OnConflict onConflict)
{
    if (planned.format != table.LastReadFormat())
        throw com::ComError(Global::ErrInvalidArgument, QStringLiteral("SendNetworkValue"),
                            QStringLiteral("%1 was planned in %2 but read in %3")
                                .arg(table.Name, planned.format, table.LastReadFormat()));
    Written written;
    const std::optional<QStringList> fieldsBefore = table.NvAsArray;
    // Another writer may come between the read and the write: the object server writes only while the
    // device holds what was read, and the merge is made again on what it holds then.
    for (int attempt = 1;; ++attempt) {
        written = {};
        written.sent = planned.after;
        written.text = planned.Text();
        // What the device holds just before: another writer may have changed it since the read.
        const QByteArray onDevice = table.ReadBytes();
        written.replaced = onDevice;
        written.merged = onDevice != planned.before;
        if (written.merged) {
            Merge merge = MergeOnto(planned, onDevice, table.InstallationPath());
            if (!merge.conflicts.empty() && onConflict == OnConflict::Refuse)
                throw WriteConflict(table.Name, std::move(merge.conflicts), {}, onDevice);
            written.sent = onConflict == OnConflict::KeepTheirs ? merge.keepingTheirs : merge.bytes;
            // Two changes each right on its own can break a rule together (heating raised here, cooling
            // lowered there): judged on what the device would hold.
            if (written.sent != onDevice)
                if (QList<Sentence> broken = RulesWith(plan, planned, written.sent, table.InstallationPath());
                    !broken.empty())
                    throw WriteConflict(table.Name, {}, std::move(broken), onDevice);
            written.text = lns::formats::Format(planned.format, written.sent, table.InstallationPath());
        }
        table.NvAsArray = planned.fields;
        table.ValueAsChanges = true;
        try {
            if (!written.Wrote())
                break;
            table.ExpectBytes(onDevice);
            if (!written.merged)
                table.SendNetworkValue();
            else
                table.WriteBytes(written.sent);
            break;
        } catch (const com::ComError& e) {
            table.NvAsArray = fieldsBefore;
            table.ValueAsChanges = true;
            if (e.number() != lns::ObjectServerError(lns::ErrChangedSinceRead) || attempt == ChangedAttempts)
                throw;
        } catch (...) {
            table.NvAsArray = fieldsBefore;
            table.ValueAsChanges = true;
            throw;
        }
    }
    try {
        written.readBack = table.ReadBytes();
    } catch (...) {
        // Written, but nobody knows what the device holds: still a change to make.
        table.ValueAsChanges = true;
        throw;
    }
    // What the device holds now, as a read would show it: a value converted from °F, or moved inside a
    // limit, shows as stored, not as typed.
    table.DeviceBytes = written.readBack;
    if (fieldsBefore)
        table.NvAsArray = lns::formats::Format(planned.format, written.readBack, table.InstallationPath())
                              .split(table.Separator, Qt::KeepEmptyParts, Qt::CaseSensitive);
    else
        table.NvAsArray.reset();  // read for its bytes alone: no fields to keep up to date
    table.ValueAsChanges = written.readBack != written.sent;
    return written;
}

}  // namespace device

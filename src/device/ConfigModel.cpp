#include "device/ConfigModel.h"

#include "device/Global.h"
#include "platform/base/Numbers.h"
#include "platform/base/ShownText.h"

#include <QCoreApplication>
#include <QHash>
#include <QMutex>
#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <map>

namespace device::config {

namespace {

// A rule's message: English for reports and the log, the user's language in a box.
Sentence Rule(const char* source, const QList<Sentence::Part>& parts)
{
    return Sentence("Rules", source, parts);
}

// An item by its description (the window's words, translated where shown), by its name without one.
Sentence::Part LabelOf(const Item& item)
{
    if (item.description.isEmpty())
        return item.name;
    return {item.description, QCoreApplication::translate("fMain", item.description.toUtf8().constData())};
}

struct Limits {
    double min0, max0, min1, max1;
    bool wholeNumbers;  // the device's field holds no fraction
};

const Limits HeatLimits{4.5, 32, 40, 90, false};
const Limits CoolLimits{12, 37.5, 54, 100, false};
const Limits DeadBandLimits{1, 2.5, 2, 5, false};
const Limits DriveTimeLimits{0.5, 9, 0.5, 9, false};
const Limits CalibLimits{-2.5, 2.5, -5, 5, false};
const Limits RhSetpointLimits{30, 100, 30, 100, true};
const Limits HystLimits{2, 20, 2, 20, true};
const Limits DehumCoolLimits{20, 100, 20, 100, true};
const Limits RhCalibLimits{-15, 15, -15, 15, true};
const Limits TOccLimits{0, 24, 0, 24, true};
const Limits DoorLimits{1, 10, 1, 10, true};
const Limits TimeLimits{0, 6553.4, 0, 6553.4, false};

const QStringList OffOn{"OFF", "ON"};

struct Row {
    const char* name;
    const char* description;
    const char* variable;
    int field;
    Binding binding;
    int index;
    double step;
    bool offset;
    const Limits* limits;
    QStringList choices;
};

constexpr Binding Txt = Binding::TextBox;
constexpr Binding Cb = Binding::ComboBox;

// Position in the list = position among the data items. The descriptions are marked for translation:
// the window's fields are known to assistive technology by them, in the user's language.
// One item a line: the formatter leaves the table alone.
// clang-format off
const Row Rows[] = {
    {"nciSetPts.occ_heat", QT_TRANSLATE_NOOP("fMain", "Occupied heating setpoint"), "nciSetPts", 3, Txt, 0, 0.5, true, &HeatLimits, {}},
    {"nciSetPts.unocc_heat", QT_TRANSLATE_NOOP("fMain", "Unoccupied heating setpoint"), "nciSetPts", 5, Txt, 1, 0.5, true, &HeatLimits, {}},
    {"nciSetPts.occ_cool", QT_TRANSLATE_NOOP("fMain", "Occupied cooling setpoint"), "nciSetPts", 0, Txt, 3, 0.5, true, &CoolLimits, {}},
    {"nciSetPts.unocc_cool", QT_TRANSLATE_NOOP("fMain", "Unoccupied cooling setpoint"), "nciSetPts", 2, Txt, 4, 0.5, true, &CoolLimits, {}},
    {"HeatMax", QT_TRANSLATE_NOOP("fMain", "Maximum heating setpoint limit"), "nciGenOpts", 13, Txt, 2, 0.5, true, &HeatLimits, {}},
    {"CoolMin", QT_TRANSLATE_NOOP("fMain", "Minimum cooling setpoint limit"), "nciGenOpts", 14, Txt, 5, 0.5, true, &CoolLimits, {}},
    {"SetpointType", "", "nciGenOpts", 15, Cb, 0, 0, false, nullptr, {"PERMANENT", "TEMPORARY"}},
    {"CyclePerHour", "", "nciGenOpts", 2, Cb, 1, 0, false, nullptr, {"3", "4", "5", "6", "7", "8"}},
    {"DeadBand", QT_TRANSLATE_NOOP("fMain", "Dead Band"), "nciGenOpts", 18, Txt, 16, 0.5, true, &DeadBandLimits, {}},
    {"DigitalInput1", "", "nciGenOpts", 4, Cb, 2, 0, false, nullptr, {"NONE", "REM_NSB", "MOTION_NO", "MOTION_NC", "WINDOW"}},
    {"DigitalInput2", "", "nciGenOpts", 5, Cb, 3, 0, false, nullptr, {"NONE", "DOOR_DRY", "OVERRIDE", "SERVICE", "FILTER"}},
    {"DigitalInput3", "", "nciGenOpts", 6, Cb, 4, 0, false, nullptr, {"NONE", "COC_NH", "COC_NC", "COS", "SS"}},
    {"ControlType", "", "nciGenOpts", 0, Cb, 5, 0, false, nullptr, {"ON_OFF", "FLOATING"}},
    {"DriveTime", QT_TRANSLATE_NOOP("fMain", "Floating actuator timing"), "nciGenOpts", 1, Txt, 14, 0, false, &DriveTimeLimits, {}},
    {"ReverseAOut", "", "nciGenOpts", 3, Cb, 6, 0, false, nullptr, OffOn},
    {"AuxCont", "", "nciGenOpts", 20, Cb, 7, 0, false, nullptr, {"USED_FOR_REHEAT", "NO_WITH_OCCUPANCY", "NC_WITH_OCCUPANCY", "NO_WITH_OCC_FAN_ON", "NC_WITH_OCC_FAN_ON", "REMOTE_CONTROL"}},
    {"Reheat", "", "nciGenOpts", 21, Cb, 8, 0, false, nullptr, {"RTB_15_MINUTES", "RTB_10_SECONDS"}},
    {"CalibRS", QT_TRANSLATE_NOOP("fMain", "Room sensor offset"), "nciGenOpts", 19, Txt, 6, 0.5, true, &CalibLimits, {}},
    {"RHdisplay", "", "nciRHmodel", 0, Cb, 9, 0, false, nullptr, OffOn},
    {"RHsetpoint", QT_TRANSLATE_NOOP("fMain", "RH Setpoints"), "nciRHmodel", 1, Txt, 7, 0, false, &RhSetpointLimits, {}},
    {"DehumHyst", QT_TRANSLATE_NOOP("fMain", "Dehumidifiacation hysteresis"), "nciRHmodel", 2, Txt, 8, 0, false, &HystLimits, {}},
    {"DehumCool", QT_TRANSLATE_NOOP("fMain", "Dehumidifiacation maximum cooling output"), "nciRHmodel", 3, Txt, 9, 0, false, &DehumCoolLimits, {}},
    {"RHcalib", QT_TRANSLATE_NOOP("fMain", "RH sensor calibration offset"), "nciRHmodel", 4, Txt, 10, 0, false, &RhCalibLimits, {}},
    {"thermostat_model", "", "nciSccModel", 0, Txt, 11, 0, false, nullptr, {}},
    {"software_version", "", "nciSccModel", 1, Txt, 12, 0, false, nullptr, {}},
    {"MajorVersion", "", "nciMajVer", 0, Txt, 13, 0, false, nullptr, {}},
    {"MinorVersion", "", "nciMinVer", 0, Txt, 15, 0, false, nullptr, {}},
    {"nciHvacType", "", "nciHvacType", 0, Binding::HvacTypeLabel, 0, 0, false, nullptr, {}},
    {"FanMenu", "", "nciGenOpts", 12, Cb, 10, 0, false, nullptr, {"LOW_MED_HIGH", "LOW_HIGH", "LOW_MED_HIGH_AUTO", "LOW_HIGH_AUTO", "ON_AUTO"}},
    {"TOccTime", QT_TRANSLATE_NOOP("fMain", "Temporary occupied time"), "nciGenOpts", 16, Txt, 17, 0, false, &TOccLimits, {}},
    {"TempScale", "", "nciGenOpts", 9, Cb, 12, 0, false, nullptr, {"CELSIUS", "FAHRENHEIT"}},
    {"MenuScroll", "", "nciGenOpts", 7, Cb, 13, 0, false, nullptr, {"NO_SCROLL", "SCROLL_ACTIVE"}},
    {"AutoMode", "", "nciGenOpts", 8, Cb, 14, 0, false, nullptr, OffOn},
    {"Pipes", "", "nciGenOpts", 10, Cb, 11, 0, false, nullptr, {"TWO_PIPE", "FOUR_PIPE"}},
    {"DoorTime", QT_TRANSLATE_NOOP("fMain", "Door Time"), "nciGenOpts", 17, Txt, 18, 1, false, &DoorLimits, {}},
    {"SeqOpera", "", "nciGenOpts", 11, Cb, 15, 0, false, nullptr, {"COOLING_ONLY", "HEATING_ONLY", "COOLING_W_REHEAT", "HEATING_W_REHEAT", "HEAT_COOL", "HEAT_COOL_W_REHEAT"}},
    {"thermostat_model", "", "nciSccModel", 0, Binding::ModelLabel, 0, 0, false, nullptr, {}},
    {"nciSndHrtBt", QT_TRANSLATE_NOOP("fMain", "Output heartbeat"), "nciSndHrtBt", 0, Txt, 39, 0, false, &TimeLimits, {}},
    {"nciMinOutTm", QT_TRANSLATE_NOOP("fMain", "Output trottle"), "nciMinOutTm", 0, Txt, 40, 0, false, &TimeLimits, {}},
    {"nciRcvHrtBt", QT_TRANSLATE_NOOP("fMain", "Input heartbeat"), "nciRcvHrtBt", 0, Txt, 41, 0, false, &TimeLimits, {}},
    // The model code once more, read raw.
    {"thermostat_model", "", "nciSccModelRaw", 0, Binding::None, 0, 0, false, nullptr, {}},
};
// clang-format on

// The text boxes that show what the device is, not how it is set.
bool DescriptiveBox(int index)
{
    return index == 11 || index == 12 || index == 13 || index == 15;
}

Item ItemOf(const Row& row)
{
    Item item;
    item.name = QString::fromLatin1(row.name);
    item.description = QString::fromLatin1(row.description);
    item.variable = QString::fromLatin1(row.variable);
    item.field = row.field;
    item.binding = row.binding;
    item.controlIndex = row.index;
    if (row.binding == Binding::ComboBox)
        item.kind = ItemKind::Choice;
    else if (row.binding == Binding::TextBox && !DescriptiveBox(row.index))
        item.kind = ItemKind::Number;
    item.step = row.step;
    item.offset = row.offset;
    if (row.limits) {
        item.limited = true;
        item.min[0] = row.limits->min0;
        item.max[0] = row.limits->max0;
        item.min[1] = row.limits->min1;
        item.max[1] = row.limits->max1;
        item.wholeNumbers = row.limits->wholeNumbers;
        // Only temperatures have limits that differ between the unit systems.
        item.temperature = row.limits->min0 != row.limits->min1 || row.limits->max0 != row.limits->max1;
    }
    item.choices = row.choices;
    return item;
}

using namespace names;

double ValueOf(const std::map<QString, QString>& values, const QString& name)
{
    const auto found = values.find(name);
    return found == values.end() ? 0 : numbers::Val(found->second);
}

// An arithmetic result of a rule; out of range is an overflow, as the rules' numbers are finite.
double Checked(double value)
{
    if (!std::isfinite(value))
        Global::Raise(Global::ErrOverflow, QStringLiteral("RulesOnLeaving"));
    return value;
}

// The gap between a cooling and a heating set point (their difference) to the precision the texts have (no value has
// more than a few decimals): in binary, 74.3 - 70.7 is 3.5999999999999943, which would break a dead
// band of 3.6 that the two texts keep exactly.
double Gap(double difference)
{
    return std::round(difference * 1e9) / 1e9;
}

}  // namespace

const std::vector<Item>& Items()
{
    static const std::vector<Item> items = [] {
        std::vector<Item> all;
        for (const Row& row : Rows)
            all.push_back(ItemOf(row));
        return all;
    }();
    return items;
}

const Item* FindSettable(const QString& name)
{
    // Asked for every value of a profile on every device: looked up, not searched.
    static const QHash<QString, const Item*> settable = [] {
        QHash<QString, const Item*> byName;
        for (const Item& item : Items())
            if (item.kind != ItemKind::ReadOnly && !byName.contains(item.name))
                byName.insert(item.name, &item);
        return byName;
    }();
    return settable.value(name, nullptr);
}

const Item* ItemOfControl(Binding binding, int index)
{
    for (const Item& item : Items())
        if (item.binding == binding && item.controlIndex == index)
            return &item;
    return nullptr;
}

QStringList ChoicesOfComboBox(int index)
{
    const Item* item = ItemOfControl(Binding::ComboBox, index);
    return item ? item->choices : QStringList();
}

bool AcceptsText(const QString& text, bool wholeNumbers)
{
    const std::optional<double> number = numbers::ToNumber(text);
    if (!number)
        return false;
    return !wholeNumbers || (std::trunc(*number) == *number && !text.contains(QLatin1Char('.')));
}

std::optional<QString> Stepped(const QString& text, bool wholeNumbers, double requested, bool up)
{
    if (!AcceptsText(text, wholeNumbers))
        return std::nullopt;
    const double size = wholeNumbers && requested != 0 ? std::max(1.0, std::round(requested)) : requested;
    const double value = *numbers::ToNumber(text) + (up ? size : -size);
    return numbers::ShortestNumber(numbers::RoundHalfEven(value * 10) / 10);
}

double InwardOffset(qint16 units)
{
    return units == 0 ? 0.05 : 0.025;
}

Verdict CheckValue(const Item& item, const QString& text, qint16 units)
{
    Verdict v;
    v.shown = text;
    v.stored = text;
    if (item.kind == ItemKind::ReadOnly) {
        v.kind = Verdict::Refused;
        v.reason = Rule(QT_TRANSLATE_NOOP("Rules", "%1 cannot be set"), {item.name});
        return v;
    }
    if (item.kind == ItemKind::Choice) {
        if (!item.choices.contains(text)) {
            v.kind = Verdict::Refused;
            v.reason = Rule(QT_TRANSLATE_NOOP("Rules", "%1: \"%2\" is not one of %3"),
                            {item.name, shown::Shown(text), item.choices.join(QStringLiteral(", "))});
        }
        return v;
    }
    const int u = units == 0 ? 0 : 1;
    const QString maxText = numbers::ShortestNumber(item.max[u]);
    const QString minText = numbers::ShortestNumber(item.min[u]);
    if (item.limited && numbers::Val(v.shown) > item.max[u]) {
        v.bound = Verdict::Maximum;
        v.limit = item.max[u];
        v.shown = maxText;
    } else if (item.limited && numbers::Val(v.shown) < item.min[u]) {
        v.bound = Verdict::Minimum;
        v.limit = item.min[u];
        v.shown = minText;
    }
    // The field keeps the limit's text; only the stored value moves inside the range.
    if (item.limited && item.offset && v.shown == maxText)
        v.stored = numbers::ShortestNumber(item.max[u] - InwardOffset(qint16(u)));
    else if (item.limited && item.offset && v.shown == minText)
        v.stored = numbers::ShortestNumber(item.min[u] + InwardOffset(qint16(u)));
    else if (const auto value = numbers::ToNumber(v.shown); value && v.shown != numbers::ShortestNumber(*value))
        // "21.", ".5", " 22", "+16" or "2e1" are numbers here but not all of them at the device,
        // which would refuse the whole variable: the same number goes, written as the device writes it.
        v.shown = v.stored = numbers::ShortestNumber(*value);
    else
        v.stored = v.shown;

    if (!AcceptsText(text, item.wholeNumbers)) {
        const Sentence::Part label = LabelOf(item);
        v.kind = Verdict::Refused;
        v.reason =
            numbers::ToNumber(text)
                ? Rule(QT_TRANSLATE_NOOP("Rules", "%1: \"%2\" is not a whole number"), {label, shown::Shown(text)})
                : Rule(QT_TRANSLATE_NOOP("Rules", "%1: \"%2\" is not a number"), {label, shown::Shown(text)});
    } else if (v.bound != Verdict::NoBound) {
        v.kind = Verdict::Adjusted;
        const QList<Sentence::Part> parts{LabelOf(item), shown::Shown(text), numbers::ShortestNumber(v.limit)};
        v.reason =
            v.bound == Verdict::Maximum
                ? Rule(QT_TRANSLATE_NOOP("Rules", "%1: %2 is out of range, the maximum allowed value is %3"), parts)
                : Rule(QT_TRANSLATE_NOOP("Rules", "%1: %2 is out of range, the minimum allowed value is %3"), parts);
    }
    return v;
}

const QStringList& CrossFieldItems()
{
    static const QStringList names{OccHeat, UnoccHeat, HeatMax, OccCool, UnoccCool, CoolMin, DeadBand};
    return names;
}

const std::vector<SetpointPair>& SetpointPairs()
{
    static const std::vector<SetpointPair> pairs{{OccHeat, OccCool, true}, {UnoccHeat, UnoccCool, false}};
    return pairs;
}

std::vector<Adjustment> RulesOnLeaving(const QString& leftItem, std::map<QString, QString>& values,
                                       const std::function<void(const Adjustment&)>& each)
{
    std::vector<Adjustment> made;
    const auto V = [&](const QString& name) { return ValueOf(values, name); };
    const auto adjust = [&](const QString& name, const QString& text, Adjustment::Notice notice) {
        values[name] = text;
        made.push_back(Adjustment{name, text, notice});
        if (each)
            each(made.back());
    };
    // Heating below cooling by at least the dead band: the side that was not left moves.
    const auto pushCoolingUp = [&](const QString& heat, const QString& cool) {
        if (V(DeadBand) > Gap(Checked(V(cool) - V(heat))))
            adjust(cool, numbers::ShortestNumber(Checked(V(heat) + V(DeadBand))), Adjustment::DeadBand);
    };
    const auto pushHeatingDown = [&](const QString& heat, const QString& cool) {
        if (V(DeadBand) > Gap(Checked(V(cool) - V(heat))))
            adjust(heat, numbers::ShortestNumber(Checked(V(cool) - V(DeadBand))), Adjustment::DeadBand);
    };
    const auto keepBelowHeatMax = [&](const QString& heat) {
        if (V(heat) > V(HeatMax))
            adjust(heat, values[HeatMax], Adjustment::HeatingLimit);
    };
    const auto keepAboveCoolMin = [&](const QString& cool) {
        if (V(cool) < V(CoolMin))
            adjust(cool, values[CoolMin], Adjustment::CoolingLimit);
    };

    for (const SetpointPair& pair : SetpointPairs()) {
        if (leftItem == pair.heat)
            pushCoolingUp(pair.heat, pair.cool);
        else if (leftItem == pair.cool || leftItem == DeadBand)
            pushHeatingDown(pair.heat, pair.cool);
        else if (leftItem == HeatMax)
            keepBelowHeatMax(pair.heat);
        else if (leftItem == CoolMin)
            keepAboveCoolMin(pair.cool);
    }
    return made;
}

Sentence::Part ItemName(const QString& name)
{
    return name;
}

Sentence::Part ItemLabel(const QString& name)
{
    const Item* item = FindSettable(name);
    return item ? LabelOf(*item) : Sentence::Part(name);
}

namespace {

// The rules on numbers present by item name; textOf gives the text a message shows for one.
QList<Sentence> Violations(const std::map<QString, double>& numbers,
                           const std::function<QString(const QString& item)>& textOf,
                           const std::function<Sentence::Part(const QString& item)>& label)
{
    QList<Sentence> broken;
    const auto named = [&](const QString& name) { return label ? label(name) : ItemName(name); };
    const auto has = [&](std::initializer_list<QString> names) {
        return std::all_of(names.begin(), names.end(), [&](const QString& n) { return numbers.count(n) != 0; });
    };
    const auto V = [&](const QString& name) { return numbers.at(name); };
    // An item and its value, "Occupied heating setpoint (30)".
    const auto with = [&](const QString& name) {
        return Sentence::Part(Rule(QT_TRANSLATE_NOOP("Rules", "%1 (%2)"), {named(name), textOf(name)}));
    };
    for (const SetpointPair& pair : SetpointPairs())
        if (has({pair.heat, pair.cool, DeadBand}) && V(DeadBand) > Gap(V(pair.cool) - V(pair.heat)))
            broken.push_back(Rule(QT_TRANSLATE_NOOP("Rules", "%1 must be at least %2 above %3"),
                                  {with(pair.cool), with(DeadBand), with(pair.heat)}));
    for (const SetpointPair& pair : SetpointPairs())
        if (has({pair.heat, HeatMax}) && V(pair.heat) > V(HeatMax))
            broken.push_back(Rule(QT_TRANSLATE_NOOP("Rules", "%1 is above %2"), {with(pair.heat), with(HeatMax)}));
    for (const SetpointPair& pair : SetpointPairs())
        if (has({pair.cool, CoolMin}) && V(pair.cool) < V(CoolMin))
            broken.push_back(Rule(QT_TRANSLATE_NOOP("Rules", "%1 is below %2"), {with(pair.cool), with(CoolMin)}));
    return broken;
}

}  // namespace

QList<Sentence> CrossFieldViolations(const std::map<QString, QString>& values,
                                     const std::function<Sentence::Part(const QString& item)>& label)
{
    // Each text read as a number once.
    std::map<QString, double> numbers;
    for (const QString& name : CrossFieldItems())
        if (const auto found = values.find(name); found != values.end())
            numbers.emplace(name, numbers::Val(found->second));
    return Violations(
        numbers, [&](const QString& name) { return values.at(name); }, label);
}

QList<Sentence> CrossFieldViolations(const std::map<QString, double>& numbers,
                                     const std::function<Sentence::Part(const QString& item)>& label)
{
    // A text is made only for a message: a profile apply checks these on every device.
    return Violations(
        numbers, [&](const QString& name) { return numbers::ShortestNumber(numbers.at(name)); }, label);
}

const std::vector<Model>& KnownModels()
{
    // Each model with what it has: RH options, floating actuator, on/off cycling, analog output,
    // auto function, fan menu, choice of sequence.
    // One model a line: the formatter leaves the table alone.
    // clang-format off
    static const std::vector<Model> models{
        {30, {true,  true,  true,  true,  true,  true,  true}},
        {41, {false, false, true,  false, true,  true,  true}},
        {42, {false, false, true,  false, true,  true,  true}},
        {43, {true,  true,  true,  false, true,  true,  true}},
        {44, {false, true,  true,  false, true,  true,  true}},
        {45, {true,  true,  true,  false, true,  true,  true}},
        {46, {false, true,  true,  false, true,  true,  true}},
        {47, {true,  false, false, true,  true,  true,  true}},
        {48, {false, false, false, true,  true,  true,  true}},
        {49, {true,  false, false, true,  true,  true,  true}},
        {50, {false, false, false, true,  true,  true,  true}},
        {51, {false, false, false, true,  false, false, false}},
        {60, {false, true,  true,  false, true,  false, true}},
        {61, {false, false, false, true,  true,  false, true}},
    };
    // clang-format on
    return models;
}

bool IsKnownModel(qint16 modelCode)
{
    const auto& models = KnownModels();
    return std::any_of(models.begin(), models.end(), [&](const Model& m) { return m.code == modelCode; });
}

ModelOptions OptionsOf(qint16 modelCode)
{
    // A model code not known has everything.
    for (const Model& model : KnownModels())
        if (model.code == modelCode)
            return model.options;
    return ModelOptions{};
}

namespace {

QSet<QString> DisabledItemsOf(qint16 modelCode)
{
    const ModelOptions o = OptionsOf(modelCode);
    QSet<QString> off;
    if (!o.rhOptions)
        off.unite({"RHdisplay", "RHsetpoint", "DehumHyst", "DehumCool", "RHcalib"});
    if (!o.floatingActuator)
        off.unite({"ControlType", "DriveTime"});
    if (!o.onOffCycling)
        off.insert(QStringLiteral("CyclePerHour"));
    if (!o.analogOutput)
        off.insert(QStringLiteral("ReverseAOut"));
    // The auto function is chosen on the fan menu: without either there is none to set.
    if (!o.autoFunction || !o.fanMenu)
        off.insert(QStringLiteral("AutoMode"));
    if (!o.fanMenu)
        off.insert(QStringLiteral("FanMenu"));
    if (!o.sequenceChoice)
        off.insert(QStringLiteral("SeqOpera"));
    return off;
}

}  // namespace

QSet<QString> DisabledItems(qint16 modelCode)
{
    // Asked twice for every device of an apply; a set shared, not made again.
    static QMutex mutex;
    static std::map<qint16, QSet<QString>> known;
    const QMutexLocker lock(&mutex);
    const auto found = known.find(modelCode);
    return found != known.end() ? found->second : known.emplace(modelCode, DisabledItemsOf(modelCode)).first->second;
}

bool RhOptionsEnabled(qint16 modelCode)
{
    return OptionsOf(modelCode).rhOptions;
}

}  // namespace device::config

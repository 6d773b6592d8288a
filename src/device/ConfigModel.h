#pragma once
// The thermostat's configuration as values: the data items with their limits, steps, choices and
// whole-number rule, the check a value passes before it is stored, the rules between the set points,
// their limits and the dead band, and which items each model switches off. No widget here: the
// window and the profiles ask the same rules.
#include "platform/base/Sentence.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace device::config {

enum class ItemKind { Number, Choice, ReadOnly };

// The window control an item is shown in.
enum class Binding { TextBox, ComboBox, ModelLabel, HvacTypeLabel, None };

struct Item {
    QString name;         // the item's name ("nciSetPts.occ_heat", "HeatMax", ...)
    QString description;  // empty: none
    QString variable;     // key of the access object ("nciSetPts", "nciGenOpts", ...)
    int field = 0;        // field index in the variable's formatted text
    ItemKind kind = ItemKind::ReadOnly;
    double step = 0;  // 0: not rounded
    bool offset = false;
    bool wholeNumbers = false;
    bool limited = false;
    double min[2]{};  // [0] metric, [1] imperial
    double max[2]{};
    bool temperature = false;  // its text is in the display units
    QStringList choices;       // Choice items: the enumeration names the object server writes
    Binding binding = Binding::None;
    int controlIndex = 0;  // index of the text box or combo box
};

// The data items, in data-item order.
const std::vector<Item>& Items();
// A Number or Choice item by name; nullptr for a read-only or unknown name.
const Item* FindSettable(const QString& name);
// The item a text box or combo box of the window shows; nullptr when none.
const Item* ItemOfControl(Binding binding, int index);
// The choice list of the combo box with that index; empty when no item is bound to it.
QStringList ChoicesOfComboBox(int index);

// True when the text is a value a Number item can take: a number, and for a whole-number item a
// whole one written without a decimal point ("20.0" and "2.5" are not).
bool AcceptsText(const QString& text, bool wholeNumbers);

// Page Up / Page Down: the text stepped up or down by the step the keys ask for and rounded to a
// tenth. A whole-number item steps by whole numbers (0.5 becomes 1; no step stays none). Nothing for
// a text the item would refuse. No limit here: Apply enforces the limits.
std::optional<QString> Stepped(const QString& text, bool wholeNumbers, double requested, bool up);

// A value entered exactly on a limit is stored this far inside it: the device's own conversion must
// not carry it past the limit.
double InwardOffset(qint16 units);

struct Verdict {
    enum Kind { Accepted, Adjusted, Refused };
    enum Bound { NoBound, Maximum, Minimum };
    Kind kind = Accepted;
    QString stored;         // what goes into the field: the inward offset applied when exactly on a limit
    QString shown;          // what the field shows afterwards: the limit's text when adjusted to it
    Sentence reason;        // Adjusted or Refused: why
    Bound bound = NoBound;  // the limit the value was brought back to
    double limit = 0;
};
// The rule Apply follows for a value typed into a Number item. Out of range: Adjusted to the limit
// (stored with the inward offset where the item has one). A text that is not a value of the item, or a Choice outside
// its list, or a read-only item: Refused; stored and shown still say what the window makes of it.
Verdict CheckValue(const Item& item, const QString& text, qint16 units);

// The rules between the set points, their limits and the dead band, on texts by item name.
struct Adjustment {
    enum Notice { DeadBand, HeatingLimit, CoolingLimit };
    QString item;
    QString text;
    Notice notice;
};
// The names of the items the rules read.
const QStringList& CrossFieldItems();
// The set points as pairs of a heating and a cooling one that the dead band keeps apart, the occupied
// pair first. The heating maximum bounds every heating set point, the cooling minimum every cooling one.
struct SetpointPair {
    QString heat;
    QString cool;
    bool occupied = false;
};
const std::vector<SetpointPair>& SetpointPairs();
// Each by its name, for the rules' callers.
namespace names {
inline const QString OccHeat = QStringLiteral("nciSetPts.occ_heat");
inline const QString UnoccHeat = QStringLiteral("nciSetPts.unocc_heat");
inline const QString OccCool = QStringLiteral("nciSetPts.occ_cool");
inline const QString UnoccCool = QStringLiteral("nciSetPts.unocc_cool");
inline const QString HeatMax = QStringLiteral("HeatMax");
inline const QString CoolMin = QStringLiteral("CoolMin");
inline const QString DeadBand = QStringLiteral("DeadBand");
}  // namespace names
// The rules the window applies when leftItem is left, in order, each on the values as the rules
// before it left them: an adjusted item's text is changed in values and reported to each (when
// given) as it is made. A rule whose arithmetic overflows raises ErrOverflow; the adjustments made
// before it stay.
std::vector<Adjustment> RulesOnLeaving(const QString& leftItem, std::map<QString, QString>& values,
                                       const std::function<void(const Adjustment&)>& each = {});
// How a message names an item: its name, or (Label) its description, translated where shown.
Sentence::Part ItemName(const QString& name);
Sentence::Part ItemLabel(const QString& name);
// Every rule the values break, as a message naming the items (by label, when given) and the reason;
// empty when all hold. Rules on items missing from values are not checked.
QList<Sentence> CrossFieldViolations(const std::map<QString, QString>& values,
                                     const std::function<Sentence::Part(const QString& item)>& label = {});
// The same on numbers at full precision, as a plan holds them; a message shows each as its shortest
// exact text.
QList<Sentence> CrossFieldViolations(const std::map<QString, double>& numbers,
                                     const std::function<Sentence::Part(const QString& item)>& label = {});

// What the thermostat model has; a model code not known has everything.
struct ModelOptions {
    bool rhOptions = true;
    bool floatingActuator = true;
    bool onOffCycling = true;
    bool analogOutput = true;
    bool autoFunction = true;
    bool fanMenu = true;
    bool sequenceChoice = true;
};
// The thermostat models this program knows, each with what it has, in code order.
struct Model {
    qint16 code;
    ModelOptions options;
};
const std::vector<Model>& KnownModels();
bool IsKnownModel(qint16 modelCode);
ModelOptions OptionsOf(qint16 modelCode);
// The settable items the model switches off.
QSet<QString> DisabledItems(qint16 modelCode);
bool RhOptionsEnabled(qint16 modelCode);

}  // namespace device::config

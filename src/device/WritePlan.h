#pragma once
// One way from an edit to the device, for the window's Apply and the profiles alike. The plan works out,
// from the bytes the device's variables held when last read and the edits, the bytes each variable will
// hold (the edits parsed in their units, at the field's resolution; every other field keeps its bytes)
// and what every item will then hold. The check judges the rules on those values, never on a text shown
// or typed. The write order keeps the rules true between two writes where such an order exists.
#include "device/ConfigModel.h"
#include "platform/base/ComError.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <optional>
#include <vector>

class CNvCpTable;

namespace device {

// A variable as the device held it at its last read.
struct HeldVariable {
    QString key;     // the access object's key ("nciSetPts")
    QString format;  // the format of that read, unit suffix included
    QString separator;
    QByteArray bytes;
};

// A value asked for: an item's text in the plan's units, as it is to be stored (a value entered on a
// limit already moved inside it).
struct Edit {
    QString item;
    QString text;
};

struct PlannedVariable {
    QString key;
    QString format;  // of the texts below: the plan's units
    QString separator;
    QByteArray before;
    QByteArray after;
    // What a write sends: the fields nobody edited as the device shows them, the edits as asked.
    QStringList fields;
    // The edited items whose field bytes change.
    QStringList changedItems;

    bool Changes() const { return before != after; }
    QString Text() const { return fields.join(separator); }
};

struct PlannedItem {
    const config::Item* item = nullptr;
    // As the device shows the value in the plan's units, before and after.
    QString oldText;
    QString newText;
    // At full precision; none for a choice.
    std::optional<double> oldNumber;
    std::optional<double> newNumber;
    // Between two values the field holds in the plan's units; 0 where they are converted from the
    // device's own units, which have no fixed step in the other system.
    double step = 0;
    std::optional<QString> asked;  // the edit's text, when the plan has one for the item
    bool changes = false;          // its bytes change

    const QString& name() const { return item->name; }
};

class Plan {
public:
    qint16 units = 0;
    std::vector<PlannedVariable> variables;  // in the order held
    std::vector<PlannedItem> items;          // the settable items of those variables, in item order

    const PlannedItem* Item(const QString& name) const;
    const PlannedVariable* Variable(const QString& key) const;
    bool Changes() const;
    // The values the rules between the set points read, at full precision, by item name: as planned
    // for the items whose variable is written, as held for the others.
    std::map<QString, double> RuleNumbers(const std::function<bool(const QString& key)>& written) const;
    std::map<QString, double> RuleNumbersAfter() const
    {
        return RuleNumbers([](const QString&) { return true; });
    }
    // The same as the texts a field shows.
    std::map<QString, QString> RuleValues(const std::function<bool(const QString& key)>& written) const;
    std::map<QString, QString> RuleValuesHeld() const
    {
        return RuleValues([](const QString&) { return false; });
    }
};

// A variable's format name in the given units: the unit suffix replaced, a format without one kept.
QString FormatInUnits(const QString& format, qint16 units);

// Raises com::ComError when an edit names no settable item of the variables held, when its text does
// not fit the field (the object server's own words), or when a field nobody edited would not be written
// back as the device holds it.
Plan MakePlan(const std::vector<HeldVariable>& held, const std::vector<Edit>& edits, qint16 units,
              const QString& lonWorksPath);

// How a violation names an item: by its name (reports, logs) or its description (the window).
enum class Naming { ItemNames, Descriptions };

// Every rule the plan breaks, one text each, naming the items, the rule and the values: for an edited
// item its choices, whole numbers, limits in the plan's units, the step its field holds (a value finer
// than the device keeps in its own units is refused, not rounded), and whether the model has it; for all
// items the rules between the set points, their limits and the dead band. Empty: the plan may be
// written.
QList<Sentence> CheckPlan(const Plan& plan, qint16 modelCode, Naming naming = Naming::ItemNames);

// The variables that change, in the order to write them: where one exists, an order after each write
// of which the device still keeps the rules between its set points.
std::vector<const PlannedVariable*> WriteOrder(const Plan& plan);

// Bytes as the reports and the log show them: in decimal, one blank between bytes.
QString RawText(const QByteArray& bytes);

// What the access object holds of its device variable, for a plan.
HeldVariable HeldOf(const CNvCpTable& table);

// A field this write changes that the device changed too, since the bytes the write was planned from,
// to another value: texts in the plan's units.
struct FieldConflict {
    QString item;
    QString yours;
    QString onDevice;
};

// Raised by WriteVariable, before anything is written, when another writer changed the variable since
// the read: in fields this write changes too, or so that with this write's changes it would break a
// rule between the set points. onDevice: the variable's bytes on the device now.
class WriteConflict : public com::ComError {
public:
    WriteConflict(const QString& variable, std::vector<FieldConflict> fields, QList<Sentence> broken,
                  QByteArray onDevice);
    QString variable;
    std::vector<FieldConflict> fields;
    QList<Sentence> broken;
    QByteArray onDevice;
};

// What a write does where the device changed since the read.
enum class OnConflict {
    Refuse,      // a field changed on both sides raises WriteConflict
    Overwrite,   // the write's fields win; fields only the device changed still keep the device's value
    KeepTheirs,  // the device's fields win; the write's other changes still go
};

struct Written {
    QByteArray replaced;  // what the device held just before: what putting the variable back writes
    QByteArray sent;      // the planned bytes, or those merged onto what the device held just before
    QByteArray readBack;  // what the device holds after
    bool merged = false;  // another writer had changed the variable since the read
    QString text;         // the fields sent, as the log shows them
    // Something went to the device: not so where the device already held what a merge left.
    bool Wrote() const { return sent != replaced; }
};

// The change of a planned variable put on other bytes (what the device holds now): the fields the plan
// changes take its values, every other field keeps the bytes given. Conflicts: the fields the plan
// changes that these bytes hold with another value than the plan was made from, and than it writes.
struct Merge {
    QByteArray bytes;          // the plan's value in every field it changes
    QByteArray keepingTheirs;  // the same, but the given bytes' value in a field in conflict
    std::vector<FieldConflict> conflicts;
};
Merge MergeOnto(const PlannedVariable& planned, const QByteArray& onDevice, const QString& lonWorksPath);

// Writes a planned variable through its access object, then reads its bytes back. Just before, the
// device's bytes are read: where they are still those the plan was made from, the fields go as planned,
// in the plan's format; where another writer changed them since, the plan's changes are merged onto them
// field by field and written raw, so that no field only the other writer changed is undone. The access
// object then holds what the device holds: the bytes read back and their fields, as a read would give
// them; it stays marked changed unless they are the ones sent. A failed write raises the object
// server's failure ("Error updating ...") and leaves the access object as it was.
// The rules between the set points are judged again on the merged bytes, with the plan's values for the
// other variables.
Written WriteVariable(CNvCpTable& table, const Plan& plan, const PlannedVariable& planned,
                      OnConflict onConflict = OnConflict::Refuse);

}  // namespace device

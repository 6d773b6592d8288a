#pragma once
// Formats a network variable's raw bytes as text and parses text back, under a format name: a type
// name, optionally followed by "#SI" (metric) or "#US" (imperial, temperatures in °F), or "RAW"
// (the bytes in decimal, tab-separated). Standard types are built in; user types ("UNVT_...") are
// defined in the resource files of the installation's catalog and can be formatted only when their
// file set is indexed there.
//
// An enumerated field shows its member's name; a value that no member has shows "#" and its number
// ("#42"; "#6" also where "6" names the value 3), so that writing the text back keeps the value. A
// plain number is taken only where a member has that value: any other is refused like a wrong name.
//
// Failures raise com::ComError with ObjectServerError(ErrFormatFailed): unknown format, raw size that
// does not fit the type, text that does not fit (wrong field count, not a number, out of range,
// unknown enumeration name, stray separators, non-ASCII).
#include "platform/base/ComError.h"

#include <QByteArray>
#include <QString>
#include <QVector>

#include <optional>

namespace lns::formats {

// While one lives, this thread takes each user type as it was first read under it, without asking the
// resource files again whether they changed: every device of one apply is read and written under the
// same definitions, and a change of the files made meanwhile is seen once the last one has gone. Read
// and Parse answer a question they answered under it as they did then.
class FixedDefinitions {
public:
    FixedDefinitions();
    ~FixedDefinitions();
    FixedDefinitions(const FixedDefinitions&) = delete;
    FixedDefinitions& operator=(const FixedDefinitions&) = delete;
};

QString Format(const QString& formatName, const QByteArray& raw, const QString& lonWorksPath);
QByteArray Parse(const QString& formatName, const QString& text, qint32 byteSize, const QString& lonWorksPath);

// One field of a value as a format reads it: where its bytes lie, the text Format shows, the number it
// stands for in the format's unit system at full precision (none for an enumeration member or the
// invalid value), and the step between the values the field can hold in those units (0 where the value
// is converted into other units, which have no fixed step).
struct FieldReading {
    QString name;
    int offset = 0;
    int bytes = 0;
    QString text;
    std::optional<double> number;
    double step = 0;
};
QVector<FieldReading> Read(const QString& formatName, const QByteArray& raw, const QString& lonWorksPath);

// The fields in which after differs from before, "name before -> after" joined by "; " (a field
// without a name is "byte N"); values of two sizes, or of a type that cannot be shown, by their bytes.
QString ChangedFields(const QString& formatName, const QByteArray& before, const QByteArray& after,
                      const QString& lonWorksPath);

// A change from base to mine put on current (what another writer left since base was read), field by
// field: a field mine changes takes mine's bytes, every other field keeps current's. A conflict is a
// field both changed, to different values; keepingCurrent is the merge with current's bytes in those.
// Values of another size than base cannot be merged: mine as it stands.
struct FieldMerge {
    QByteArray bytes;
    QByteArray keepingCurrent;
    QVector<int> conflicts;  // field indexes
};
FieldMerge MergeFields(const QString& formatName, const QByteArray& base, const QByteArray& mine,
                       const QByteArray& current, const QString& lonWorksPath);

}  // namespace lns::formats

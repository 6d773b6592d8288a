#pragma once
// An automation object as the bus serves it: a table of members (methods and properties) with their
// dispatch ids and D-Bus types, and three entry points by member name. Failures are com::ComError;
// the server turns them into D-Bus errors.
#include "platform/base/ComError.h"

#include <QList>
#include <QString>
#include <QVariant>

namespace automation {

struct Argument {
    QString name;
    QString signature;  // D-Bus type: "i", "n", "s", "b"
};

struct Member {
    enum class Kind { Method, Property };
    Kind kind = Kind::Method;
    QString name;
    qint32 dispid = 0;
    QString signature;          // property type
    bool writable = true;       // property: a write reaches the object (which may refuse it)
    QList<Argument> arguments;  // method arguments
};

// Kinds of Invoke, as IDispatch numbers them.
inline constexpr qint32 DispatchMethod = 1;
inline constexpr qint32 DispatchPropertyGet = 2;
inline constexpr qint32 DispatchPropertyPut = 4;

class Dispatchable {
public:
    virtual ~Dispatchable() = default;
    virtual const QList<Member>& members() const = 0;
    virtual QVariant getProperty(const QString& name) = 0;
    virtual void setProperty(const QString& name, const QVariant& value) = 0;
    // Arguments already converted to the member's types.
    virtual QVariant callMethod(const QString& name, const QVariantList& arguments) = 0;
};

const Member* FindMember(const QList<Member>& members, const QString& name);
const Member* FindMember(const QList<Member>& members, qint32 dispid);

// Converts a value received from the bus to a D-Bus basic type; false when it does not fit.
bool ConvertToSignature(const QVariant& in, const QString& signature, QVariant& out);

// The D-Bus error name of a failure number: prefix + "E" + the number as unsigned decimal.
QString ErrorName(const QString& prefix, qint32 number);

}  // namespace automation

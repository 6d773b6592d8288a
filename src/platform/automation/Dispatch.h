#pragma once
// An automation object as the bus serves it: a table of members (methods and properties) with their
// dispatch ids and D-Bus types, and three entry points by member name. Failures are com::ComError;
// the server turns them into D-Bus errors.
#include "platform/base/ComError.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>

namespace automation {

struct Argument {
    QString name;
    QString signature;  // D-Bus type: "i", "n", "s", "b"
};

struct Member {
    enum class Kind { Method, Property, Signal };
    Kind kind = Kind::Method;
    QString name;
    qint32 dispid = 0;
    QString signature;          // property type; a method's result type (empty: no result)
    bool writable = true;       // property: a write reaches the object (which may refuse it)
    QList<Argument> arguments;  // method or signal arguments
    // Empty: the object's own interface. A further interface is reached by name only: its members
    // have no dispatch id, so Invoke and the property calls keep serving the own interface alone.
    QString interfaceName = QString();
};

// A call whose arguments the object will not take as they are (too many, too long): answered with the
// bus's own InvalidArgs error, whose message names the limit.
class InvalidArguments : public com::ComError {
public:
    explicit InvalidArguments(const QString& description) : com::ComError(5, QString(), description) {}
};

// Kinds of Invoke, as IDispatch numbers them.
inline constexpr qint32 DispatchMethod = 1;
inline constexpr qint32 DispatchPropertyGet = 2;
inline constexpr qint32 DispatchPropertyPut = 4;

class Dispatchable {
public:
    // Sends one of the object's signals (interface, member, arguments) to the client that owns it.
    using SignalSink = std::function<void(const QString&, const QString&, const QVariantList&)>;

    virtual ~Dispatchable() = default;
    virtual const QList<Member>& members() const = 0;
    virtual QVariant getProperty(const QString& name) = 0;
    virtual void setProperty(const QString& name, const QVariant& value) = 0;
    // Arguments already converted to the member's types.
    virtual QVariant callMethod(const QString& name, const QVariantList& arguments) = 0;

    // The server connects the object to its owner once it has made it.
    void setSignalSink(SignalSink sink) { m_signalSink = std::move(sink); }
    // The server says so when the object is released (its client released it, or left the bus) while a
    // call of it may still be under way: a long call can stop at its next step.
    void markReleased() { m_released = true; }
    bool released() const { return m_released; }

protected:
    void emitSignal(const QString& interfaceName, const QString& name, const QVariantList& arguments) const
    {
        if (m_signalSink)
            m_signalSink(interfaceName, name, arguments);
    }

private:
    SignalSink m_signalSink;
    bool m_released = false;
};

// By name in any interface, the object's own first.
const Member* FindMember(const QList<Member>& members, const QString& name);
// By name in one interface (empty: the object's own).
const Member* FindMember(const QList<Member>& members, const QString& interfaceName, const QString& name);
// By dispatch id, in the object's own interface.
const Member* FindMember(const QList<Member>& members, qint32 dispid);
// The further interfaces the members name, in the order they first appear.
QStringList FurtherInterfaces(const QList<Member>& members);

// Converts a value received from the bus to a D-Bus basic type or a string array ("as"); false when
// it does not fit.
bool ConvertToSignature(const QVariant& in, const QString& signature, QVariant& out);

// The D-Bus error name of a failure number: prefix + "E" + the number as unsigned decimal.
QString ErrorName(const QString& prefix, qint32 number);

}  // namespace automation

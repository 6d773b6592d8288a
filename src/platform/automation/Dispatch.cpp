#include "platform/automation/Dispatch.h"

#include <QDBusVariant>
#include <limits>

namespace automation {

const Member* FindMember(const QList<Member>& members, const QString& name)
{
    if (const Member* own = FindMember(members, QString(), name))
        return own;
    for (const Member& m : members)
        if (m.name == name)
            return &m;
    return nullptr;
}

const Member* FindMember(const QList<Member>& members, const QString& interfaceName, const QString& name)
{
    for (const Member& m : members)
        if (m.name == name && m.interfaceName == interfaceName)
            return &m;
    return nullptr;
}

const Member* FindMember(const QList<Member>& members, qint32 dispid)
{
    for (const Member& m : members)
        if (m.dispid == dispid && m.interfaceName.isEmpty())
            return &m;
    return nullptr;
}

QStringList FurtherInterfaces(const QList<Member>& members)
{
    QStringList names;
    for (const Member& m : members)
        if (!m.interfaceName.isEmpty() && !names.contains(m.interfaceName))
            names << m.interfaceName;
    return names;
}

bool ConvertToSignature(const QVariant& input, const QString& signature, QVariant& out)
{
    QVariant in = input;
    if (in.metaType() == QMetaType::fromType<QDBusVariant>())
        in = in.value<QDBusVariant>().variant();
    const int type = in.metaType().id();
    const bool integral = type == QMetaType::Int || type == QMetaType::UInt || type == QMetaType::Short ||
                          type == QMetaType::UShort || type == QMetaType::LongLong || type == QMetaType::ULongLong ||
                          type == QMetaType::UChar;
    if (signature == QLatin1String("as")) {
        if (type != QMetaType::QStringList)
            return false;
        out = in;
        return true;
    }
    if (signature == QLatin1String("s")) {
        if (type != QMetaType::QString)
            return false;
        out = in;
        return true;
    }
    if (signature == QLatin1String("b")) {
        if (type == QMetaType::Bool) {
            out = in;
            return true;
        }
        if (integral) {  // a director that passes VARIANT_BOOL as a number
            out = QVariant(in.toLongLong() != 0);
            return true;
        }
        return false;
    }
    if (signature == QLatin1String("i") || signature == QLatin1String("n")) {
        if (!integral)
            return false;
        bool ok = false;
        const qlonglong v = in.toLongLong(&ok);
        if (type == QMetaType::ULongLong && in.toULongLong() > quint64(std::numeric_limits<qlonglong>::max()))
            return false;
        const qlonglong lo =
            signature == QLatin1String("n") ? std::numeric_limits<qint16>::min() : std::numeric_limits<qint32>::min();
        const qlonglong hi =
            signature == QLatin1String("n") ? std::numeric_limits<qint16>::max() : std::numeric_limits<qint32>::max();
        if (!ok || v < lo || v > hi)
            return false;
        out = signature == QLatin1String("n") ? QVariant::fromValue<qint16>(qint16(v))
                                              : QVariant::fromValue<qint32>(qint32(v));
        return true;
    }
    return false;
}

QString ErrorName(const QString& prefix, qint32 number)
{
    return prefix + QLatin1Char('E') + QString::number(static_cast<quint32>(number));
}

}  // namespace automation

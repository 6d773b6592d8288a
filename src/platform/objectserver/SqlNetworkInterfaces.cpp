// Network interfaces, and the one the network service device of a system uses.
#include "platform/objectserver/SqlHandles.h"

namespace lns::sql {

namespace {

class SqlNetworkInterface final : public NetworkInterface {
public:
    SqlNetworkInterface(State s, qint64 id, QString name) : m_s(std::move(s)), m_id(id), m_name(std::move(name)) {}

    QString InterfaceName() override { return m_name; }
    qint64 id() const { return m_id; }
    const QString& name() const { return m_name; }

private:
    State m_s;
    qint64 m_id;
    QString m_name;
};

class SqlNetworkInterfaces final : public NetworkInterfaces {
public:
    explicit SqlNetworkInterfaces(State s) : m_s(std::move(s)) {}

    qint32 Count() override { return db().row("SELECT COUNT(*) FROM network_interfaces")->value(0).toInt(); }
    Ptr<NetworkInterface> Item(qint32 index) override
    {
        Database& d = db();
        const auto row = d.row("SELECT id, name FROM network_interfaces ORDER BY id LIMIT 1 OFFSET ?",
                               {offsetOf(index, NetworkInterfacesSource, QStringLiteral("the network interfaces"))});
        if (!row)
            notFound(NetworkInterfacesSource, QStringLiteral("network interface at position %1").arg(index));
        return std::make_shared<SqlNetworkInterface>(m_s, row->value(0).toLongLong(), row->value(1).toString());
    }
    Ptr<NetworkInterface> Item(const QString& name) override
    {
        const auto row = db().row("SELECT id, name FROM network_interfaces WHERE name = ?", {name});
        if (!row)
            notFound(NetworkInterfacesSource, QStringLiteral("network interface named '%1'").arg(Shown(name)));
        return std::make_shared<SqlNetworkInterface>(m_s, row->value(0).toLongLong(), row->value(1).toString());
    }

private:
    Database& db() { return m_s->database(NetworkInterfacesSource); }

    State m_s;
};

class SqlNetworkServiceDevice final : public NetworkServiceDevice {
public:
    SqlNetworkServiceDevice(State s, qint64 systemId, qint64 networkId)
        : m_s(std::move(s)), m_systemId(systemId), m_networkId(networkId)
    {
    }

    Ptr<NetworkInterface> NsdNetworkInterface() override
    {
        const auto row = db().row("SELECT i.id, i.name FROM systems s JOIN network_interfaces i"
                                  " ON i.id = s.nsd_interface_id WHERE s.id = ?",
                                  {m_systemId});
        if (!row)
            return nullptr;
        return std::make_shared<SqlNetworkInterface>(m_s, row->value(0).toLongLong(), row->value(1).toString());
    }
    void SetNsdNetworkInterface(const Ptr<NetworkInterface>& networkInterface) override
    {
        Database& d = db();
        const qint64 id = NetworkInterfaceId(networkInterface, NsdSource);
        if (d.exec("UPDATE systems SET nsd_interface_id = ? WHERE id = ?",
                   {id ? QVariant(id) : nullId(), m_systemId}) == 0)
            notFound(NsdSource, QStringLiteral("system any more"));
    }

private:
    Database& db() { return m_s->networkDatabase(m_networkId, NsdSource); }

    State m_s;
    qint64 m_systemId;
    qint64 m_networkId;
};

}  // namespace

Ptr<NetworkInterfaces> MakeNetworkInterfaces(const State& state)
{
    return std::make_shared<SqlNetworkInterfaces>(state);
}

Ptr<lns::NetworkServiceDevice> makeNetworkServiceDevice(const State& s, qint64 systemId, qint64 networkId)
{
    return std::make_shared<SqlNetworkServiceDevice>(s, systemId, networkId);
}

qint64 NetworkInterfaceId(const Ptr<NetworkInterface>& networkInterface, const QString& source)
{
    if (!networkInterface)
        return 0;
    const auto* ours = dynamic_cast<const SqlNetworkInterface*>(networkInterface.get());
    if (!ours)
        Raise(ErrInvalidArgument, source,
              QStringLiteral("The network interface does not belong to this object server."));
    return ours->id();
}

QString NetworkInterfaceNameOf(const Ptr<NetworkInterface>& networkInterface)
{
    const auto* ours = dynamic_cast<const SqlNetworkInterface*>(networkInterface.get());
    return ours ? ours->name() : QString();
}

}  // namespace lns::sql

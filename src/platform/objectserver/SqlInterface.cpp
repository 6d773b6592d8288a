// The interface of a template or of a device made from it.
#include "platform/objectserver/SqlHandles.h"

namespace lns::sql {

namespace {

class SqlInterface final : public Interface {
public:
    SqlInterface(State s, const InterfaceOwner& owner) : m_s(std::move(s)), m_owner(owner) {}

    Ptr<LonMarkObjects> InterfaceLonMarkObjects() override
    {
        db();
        return makeLonMarkObjects(m_s, m_owner);
    }
    Ptr<NetworkVariables> InterfaceNetworkVariables() override
    {
        db();
        return makeNetworkVariables(m_s, m_owner);
    }
    Ptr<AppDevice> InterfaceDevice() override
    {
        Database& d = db();
        if (!m_owner.deviceId)
            notFound(InterfaceSource, QStringLiteral("device: the interface belongs to a device template"));
        const auto row = d.row("SELECT id, name, template_id FROM devices WHERE id = ?", {m_owner.deviceId});
        if (!row)
            notFound(InterfaceSource, QStringLiteral("device %1 any more").arg(m_owner.deviceName));
        return makeDevice(m_s, m_owner.systemId, m_owner.networkId, *row);
    }

private:
    Database& db() { return m_s->systemDatabase(m_owner.systemId, InterfaceSource); }

    State m_s;
    InterfaceOwner m_owner;
};

}  // namespace

Ptr<lns::Interface> makeInterface(const State& s, const InterfaceOwner& owner)
{
    return std::make_shared<SqlInterface>(s, owner);
}

}  // namespace lns::sql

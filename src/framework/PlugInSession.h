#pragma once
// One configuration session: the object server it works through, the connection to a network and
// system, the display units and debug switch, and the parts the upper layers keep per session (the
// access objects and data items of the device shown, the log and progress windows). The program
// entry makes one and hands it to the window and the plug-in objects; a profile or a test can make
// another beside it, and the two share nothing.
#include "framework/Connection.h"
#include "platform/objectserver/ObjectServer.h"

#include <memory>
#include <optional>
#include <typeindex>
#include <utility>
#include <vector>

namespace framework {

class PlugInSession {
public:
    // A session on its own object server (made for the LonWorks installation when none is given).
    explicit PlugInSession(std::unique_ptr<lns::ObjectServer> server = nullptr);
    ~PlugInSession();
    PlugInSession(const PlugInSession&) = delete;
    PlugInSession& operator=(const PlugInSession&) = delete;

    lns::ObjectServer& ObjectServer() { return *m_objectServer; }
    // The link to the object server and the network and system open on it.
    ConnectionState& Link() { return m_connection; }
    const ConnectionState& Link() const { return m_connection; }

    // The LonWorks installation folder, read from the registry when first asked: the device's own
    // types are those of its catalog.
    const QString& LonWorksPath();

    // 0 metric, 1 imperial.
    qint16 DisplayUnits = 0;
    // 1 on, 0 off.
    qint16 DebugMode = 0;

    // The session's one Part of a type, made on first use from the session (or default-made) and
    // destroyed with it, the last made first. The folders above keep their per-session state here
    // without this one knowing their types.
    template <class Part>
    Part& Get()
    {
        for (const auto& [type, part] : m_parts)
            if (type == std::type_index(typeid(Part)))
                return *static_cast<Part*>(part.get());
        std::shared_ptr<Part> made;
        if constexpr (std::is_constructible_v<Part, PlugInSession&>)
            made = std::make_shared<Part>(*this);
        else
            made = std::make_shared<Part>();
        m_parts.emplace_back(std::type_index(typeid(Part)), made);
        return *made;
    }

    // The Part if it has been made, without making it.
    template <class Part>
    Part* Find() const
    {
        for (const auto& [type, part] : m_parts)
            if (type == std::type_index(typeid(Part)))
                return static_cast<Part*>(part.get());
        return nullptr;
    }

    // Destroys the Part if it has been made; the next Get makes a fresh one.
    template <class Part>
    void Drop()
    {
        for (auto it = m_parts.begin(); it != m_parts.end(); ++it)
            if (it->first == std::type_index(typeid(Part))) {
                const std::shared_ptr<void> part = std::move(it->second);
                m_parts.erase(it);
                return;
            }
    }

private:
    std::unique_ptr<lns::ObjectServer> m_objectServer;
    ConnectionState m_connection;
    std::optional<QString> m_lonWorksPath;
    std::vector<std::pair<std::type_index, std::shared_ptr<void>>> m_parts;
};

}  // namespace framework

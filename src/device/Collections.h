#pragma once
// The collections of the data model: NvTables (access objects by key, in creation order) and
// DataItems (data items by 1-based position), kept per session (Tables); Specific empties them
// before a device's tables are built again (Specific::ResetTables).
#include "device/Global.h"
#include "framework/PlugInSession.h"

#include <QHash>
#include <QString>
#include <memory>
#include <set>
#include <vector>

class QWidget;

class CNvCpTable;
class CNvCtrlTable;

namespace device {

// An ordered collection of shared objects, addressed by 1-based position and, when added with one,
// by a key (compared case-insensitively, as a Basic collection compares its keys).
template <class T>
class Collection {
public:
    using Element = std::shared_ptr<T>;

    explicit Collection(QString name) : m_name(std::move(name)) {}

    int Count() const { return int(m_items.size()); }

    // Appends; a key already present raises ErrKeyInUse and adds nothing.
    void Add(Element item, const QString& key = QString())
    {
        if (!key.isEmpty()) {
            const QString folded = key.toCaseFolded();
            if (m_keys.contains(folded))
                Global::Raise(Global::ErrKeyInUse, m_name);
            m_keys.insert(folded, int(m_items.size()));
        }
        m_items.push_back(std::move(item));
    }

    // Position 1 to Count; anything else raises ErrSubscriptOutOfRange.
    const Element& Item(int position) const
    {
        if (position < 1 || position > Count())
            Global::Raise(Global::ErrSubscriptOutOfRange, m_name);
        return m_items[std::size_t(position - 1)];
    }

    // An unknown key raises ErrSubscriptOutOfRange.
    const Element& Item(const QString& key) const
    {
        const auto found = m_keys.constFind(key.toCaseFolded());
        if (found == m_keys.constEnd())
            Global::Raise(Global::ErrSubscriptOutOfRange, m_name);
        return m_items[std::size_t(*found)];
    }

    bool Contains(const QString& key) const { return m_keys.contains(key.toCaseFolded()); }

    void Clear()
    {
        m_items.clear();
        m_keys.clear();
    }

    // Creation order.
    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

private:
    QString m_name;
    std::vector<Element> m_items;
    QHash<QString, int> m_keys;
};

// The access objects and data items of the device a session shows.
struct DeviceTables {
    // The access objects of the configured device, keyed by their key name.
    Collection<CNvCpTable> NvTables{QStringLiteral("NvTables")};
    // The data items of the configured device, by position.
    Collection<CNvCtrlTable> DataItems{QStringLiteral("DataItems")};
    // The fields holding an edit not yet written to the device. The window paints them; it never
    // reads the record back from a colour. Kept across a rebuild of the tables: a Refresh All of
    // the same device keeps its edits.
    std::set<const QWidget*> EditedFields;
};

inline DeviceTables& Tables(framework::PlugInSession& session)
{
    return session.Get<DeviceTables>();
}

}  // namespace device

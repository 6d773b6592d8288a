#pragma once
// An ordered collection of shared objects, as a Basic collection holds them: by 1-based position and,
// when added with one, by a key compared case-insensitively.
#include "device/Global.h"

#include <QHash>
#include <QString>
#include <memory>
#include <vector>

class CNvCpTable;

namespace device {

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

// Access objects by their key, in creation order.
using NvTableSet = Collection<CNvCpTable>;

}  // namespace device

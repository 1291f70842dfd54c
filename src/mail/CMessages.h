// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mail/CMessage.h"

#include <QString>
#include <memory>
#include <vector>

namespace kvorn {

/// Why a collection operation failed (number and description as the user would see them).
struct CollectionError
{
    int number = 0;
    QString description;
};

/// An ordered collection of messages, each optionally under a unique key.
class CMessages
{
public:
    /// Drops every message.
    void Clear() { m_items.clear(); }
    /// Appends a message, under `sKey` when it is not empty. A key already present adds
    /// nothing and reports an error.
    bool Add(std::unique_ptr<CMessage> oMessage, const QString &sKey,
             CollectionError *error = nullptr);
    /// The message at a 1-based position, or nullptr (error set) when out of range.
    CMessage *Item(int position, CollectionError *error = nullptr) const;
    /// The message under a key, or nullptr (error set) when not present.
    CMessage *Item(const QString &key, CollectionError *error = nullptr) const;
    int Count() const { return static_cast<int>(m_items.size()); }
    /// Removes the message at a 1-based position; false (error set) when out of range.
    bool Remove(int position, CollectionError *error = nullptr);
    /// Removes the message under a key; false (error set) when not present.
    bool Remove(const QString &key, CollectionError *error = nullptr);

    struct Entry
    {
        QString key;
        std::unique_ptr<CMessage> message;
    };
    /// Iteration in insertion order (`NewEnum`).
    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

private:
    int indexOf(const QString &key) const;

    std::vector<Entry> m_items;
};

} // namespace kvorn

// SPDX-License-Identifier: GPL-3.0-or-later
#include "mail/CMessages.h"

namespace kvorn {

namespace {
void fail(CollectionError *error, int number, const char *description)
{
    if (error)
        *error = CollectionError{number, QString::fromLatin1(description)};
}
} // namespace

int CMessages::indexOf(const QString &key) const
{
    if (key.isEmpty())
        return -1;
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        if (m_items[i].key == key)
            return static_cast<int>(i);
    }
    return -1;
}

bool CMessages::Add(std::unique_ptr<CMessage> oMessage, const QString &sKey, CollectionError *error)
{
    if (!oMessage) {
        fail(error, 91, "Object variable not set");
        return false;
    }
    if (indexOf(sKey) >= 0) {
        fail(error, 457, "This key is already associated with an element of this collection");
        return false;
    }
    m_items.push_back(Entry{sKey, std::move(oMessage)});
    return true;
}

CMessage *CMessages::Item(int position, CollectionError *error) const
{
    if (position < 1 || position > Count()) {
        fail(error, 9, "Subscript out of range");
        return nullptr;
    }
    return m_items[std::size_t(position - 1)].message.get();
}

CMessage *CMessages::Item(const QString &key, CollectionError *error) const
{
    const int i = indexOf(key);
    if (i < 0) {
        fail(error, 5, "Invalid procedure call or argument");
        return nullptr;
    }
    return m_items[std::size_t(i)].message.get();
}

bool CMessages::Remove(int position, CollectionError *error)
{
    if (position < 1 || position > Count()) {
        fail(error, 9, "Subscript out of range");
        return false;
    }
    m_items.erase(m_items.begin() + (position - 1));
    return true;
}

bool CMessages::Remove(const QString &key, CollectionError *error)
{
    const int i = indexOf(key);
    if (i < 0) {
        fail(error, 5, "Invalid procedure call or argument");
        return false;
    }
    m_items.erase(m_items.begin() + i);
    return true;
}

} // namespace kvorn

// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/CachingResolver.h"

namespace kvorn {

CachingResolver::CachingResolver(Resolver &inner, QObject *parent)
    : Resolver(parent), m_inner(inner)
{
}

void CachingResolver::lookUp(const QString &domain, QObject *context, Callback done)
{
    ++m_pending;
    Waiter waiter{domain, context, context != nullptr, std::move(done)};
    const QString key = domain.trimmed().toLower();
    auto it = m_entries.find(key);
    if (it != m_entries.end()) {
        if (it->answered) {
            const DomainAnswer answer = it->answer;
            // Always later, as the other resolver would answer.
            QMetaObject::invokeMethod(
                this, [this, waiter, answer] { deliver(waiter, answer); }, Qt::QueuedConnection);
        } else {
            it->waiters.push_back(std::move(waiter));
        }
        return;
    }
    Entry &entry = m_entries[key];
    entry.waiters.push_back(std::move(waiter));
    ++m_forwarded;
    m_inner.lookUp(domain, this, [this, key](const DomainAnswer &answer) {
        Entry &e = m_entries[key];
        e.answered = true;
        e.answer = answer;
        std::vector<Waiter> waiters;
        waiters.swap(e.waiters);
        for (Waiter &w : waiters)
            deliver(std::move(w), answer);
    });
}

void CachingResolver::clear()
{
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (it->answered)
            it = m_entries.erase(it);
        else
            ++it;
    }
}

void CachingResolver::deliver(Waiter waiter, DomainAnswer answer)
{
    --m_pending;
    answer.domain = waiter.domain;
    if (waiter.hasContext && !waiter.context)
        return;
    if (waiter.done)
        waiter.done(answer);
    Q_EMIT answered(answer);
}

} // namespace kvorn

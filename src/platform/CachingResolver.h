// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Resolver.h"

#include <QHash>
#include <QPointer>
#include <vector>

namespace kvorn {

/// Asks another resolver each domain once and answers repeated questions from memory, so
/// that a mail check looks each sender domain up only once. Questions for a domain whose
/// answer is still awaited wait for that one answer. `clear()` at the start of a check.
class CachingResolver final : public Resolver
{
    Q_OBJECT

public:
    explicit CachingResolver(Resolver &inner, QObject *parent = nullptr);

    void lookUp(const QString &domain, QObject *context, Callback done) override;
    int pendingCount() const override { return m_pending; }

    /// Forgets the answers kept so far; questions under way still get theirs.
    void clear();
    /// How many questions went on to the other resolver.
    int forwardedCount() const { return m_forwarded; }

private:
    struct Waiter
    {
        QString domain; // as asked: the answer names it so
        QPointer<QObject> context;
        bool hasContext = false;
        Callback done;
    };
    struct Entry
    {
        bool answered = false;
        DomainAnswer answer;
        std::vector<Waiter> waiters;
    };

    void deliver(Waiter waiter, DomainAnswer answer);

    Resolver &m_inner;
    QHash<QString, Entry> m_entries; // by lower-case domain
    int m_pending = 0;
    int m_forwarded = 0;
};

} // namespace kvorn

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Resolver.h"

#include <QHash>
#include <QPointer>
#include <QStringList>
#include <vector>

namespace kvorn::test {

/// Answers look-ups from a table (by lower-case domain), later from the event loop as the
/// real one does, and records every domain asked. With `hold` set the answers wait until
/// `release()`, so a test can see what happens while a look-up is under way.
class FakeResolver final : public Resolver
{
    Q_OBJECT

public:
    void lookUp(const QString &domain, QObject *context, Callback done) override
    {
        asked.append(domain);
        const auto it = states.constFind(domain.trimmed().toLower());
        const DomainState state = it == states.constEnd() ? otherwise : *it;
        m_waiting.push_back({DomainAnswer{domain, state, QStringLiteral("fake")}, context,
                             context != nullptr, std::move(done)});
        if (!hold)
            QMetaObject::invokeMethod(this, &FakeResolver::release, Qt::QueuedConnection);
    }
    int pendingCount() const override { return int(m_waiting.size()); }

    /// Answers every look-up waiting so far.
    void release()
    {
        std::vector<Waiting> now;
        now.swap(m_waiting);
        for (Waiting &w : now) {
            if (w.hasContext && !w.context)
                continue;
            if (w.done)
                w.done(w.answer);
            Q_EMIT answered(w.answer);
        }
    }

    /// The answer per lower-case domain; others get `otherwise`.
    QHash<QString, DomainState> states;
    DomainState otherwise = DomainState::Exists;
    bool hold = false;
    QStringList asked;

private:
    struct Waiting
    {
        DomainAnswer answer;
        QPointer<QObject> context;
        bool hasContext = false;
        Callback done;
    };
    std::vector<Waiting> m_waiting;
};

} // namespace kvorn::test

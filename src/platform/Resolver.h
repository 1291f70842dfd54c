// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <functional>

namespace kvorn {

/// What the Domain Name System says about a domain.
enum class DomainState
{
    /// It has an address (A or AAAA) or a mail exchanger (MX) record.
    Exists,
    /// The servers said so: no such domain, or neither an address nor a mail exchanger.
    DoesNotExist,
    /// No conclusive answer (time-out, server failure, refusal, resolver error). Never
    /// treat this as "does not exist": that would delete real mail.
    Unknown,
};

/// The answer for one domain.
struct DomainAnswer
{
    QString domain;
    DomainState state = DomainState::Unknown;
    /// Why, in a few words ("no such domain", "time-out" …), for debug output.
    QString detail;
};

/// Looks domains up without blocking: the answer arrives later from the event loop.
class Resolver : public QObject
{
    Q_OBJECT

public:
    using Callback = std::function<void(const DomainAnswer &)>;

    using QObject::QObject;
    ~Resolver() override = default;

    /// Starts looking `domain` up and returns at once. `done` runs later from the event
    /// loop (never inside this call) exactly once, unless `context` is gone by then.
    virtual void lookUp(const QString &domain, QObject *context, Callback done) = 0;
    /// The number of look-ups started whose answer has not been delivered yet.
    virtual int pendingCount() const = 0;

Q_SIGNALS:
    /// Every answer, right after its callback ran.
    void answered(const kvorn::DomainAnswer &answer);
};

/// A readable name of a state, for debug output and tests.
inline QString domainStateName(DomainState state)
{
    switch (state) {
    case DomainState::Exists:
        return QStringLiteral("exists");
    case DomainState::DoesNotExist:
        return QStringLiteral("does not exist");
    case DomainState::Unknown:
        break;
    }
    return QStringLiteral("unknown");
}

} // namespace kvorn

// SPDX-License-Identifier: GPL-3.0-or-later
#include "mail/SpamClassifier.h"

#include "mail/MailCheck.h"
#include "mail/MailListText.h"
#include "mail/MailLists.h"
#include "mail/MailSettings.h"
#include "mail/MessageListModel.h"
#include "platform/DomainName.h"

#include <QPointer>
#include <QTimer>

namespace kvorn {

namespace {
const QString kFalse = QStringLiteral("False");
} // namespace

SpamClassifier::SpamClassifier(MailLists &lists, MessageListModel &list,
                               const MailSettings &settings, Resolver &resolver, QObject *parent)
    : QObject(parent), m_lists(lists), m_list(list), m_settings(settings), m_cache(resolver)
{
}

void SpamClassifier::attachTo(MailCheck &check)
{
    check.setClassifier(this);
    connect(&check, &MailCheck::checkStarted, this, &SpamClassifier::newCheck);
    connect(this, &SpamClassifier::domainUnanswered, &check,
            [&check](const QString &domain, const QString &detail) {
                check.appendStatus(
                    QStringLiteral("No DNS answer for %1 (%2): not marked").arg(domain, detail));
            });
    connect(this, &SpamClassifier::senderNotJudged, &check,
            [&check](const QString &number, const QString &sender) {
                check.appendStatus(
                    sender.trimmed().isEmpty()
                        ? QStringLiteral("Message %1 has no sender: not marked").arg(number)
                        : QStringLiteral("Message %1: no domain name in the sender %2: not marked")
                              .arg(number, sender));
            });
    connect(this, &SpamClassifier::denialsDistrusted, &check, &MailCheck::appendStatus);
    setKnownNames([&check] {
        QStringList names;
        for (const MailAccount &account : check.runAccounts()) {
            if (check.MailDefaultOnly && !account.AcctDefault)
                continue;
            names.append(senderDomain(account.MailName));
            names.append(accountHostPort(account).host);
        }
        return names;
    });
}

void SpamClassifier::newCheck()
{
    ++m_generation;
    m_waits.clear();
    m_gaveUp.clear();
    m_settledWaiters.clear();
    m_cache.clear();
    m_unansweredTold.clear();
    m_trust = Trust::Open;
    m_probesStarted = false;
    m_probing.clear();
    m_anyExists = false;
    m_checkOver = false;
    m_held.clear();
    if (m_serverSwitch && m_settings.DnsServers != m_serversInUse) {
        m_serversInUse = m_settings.DnsServers;
        m_serverSwitch(m_serversInUse);
    }
}

void SpamClassifier::classify(quint64 rowKey, std::function<void(bool rowHidden)> done)
{
    const int row = m_list.rowOfKey(rowKey);
    if (row < 0) {
        done(false);
        return;
    }
    const QString from = m_list.text(row, ColFrom);
    // The check parks the message's last "received" line in this column for us.
    const QString received = m_list.text(row, ColBlacklist);

    if (from.trimmed().isEmpty()) {
        // Nothing tells who sent it, so nothing can say it is spam: never marked.
        m_list.setText(row, ColBlacklist, kFalse);
        Q_EMIT senderNotJudged(m_list.text(row, ColTo), from);
        done(false);
        return;
    }

    if (m_lists.IsInMailList(MailListKind::Friends, from, QString())) {
        m_list.setChecked(row, false);
        m_list.setText(row, ColBlacklist, kFalse);
        m_list.setText(row, ColStatus, QStringLiteral("Friend"));
        if (m_settings.HideFriend) {
            m_list.removeRowAt(row);
            done(true);
            return;
        }
        done(false);
        return;
    }
    if (m_lists.IsInMailList(MailListKind::Blacklist, from, received)) {
        m_list.setChecked(row, true);
        m_list.setText(row, ColBlacklist, m_lists.KillEntry());
        m_list.setText(row, ColStatus, QStringLiteral("Blacklist"));
        done(false);
        return;
    }
    if (!dnsQuestionName(senderDomain(from))) {
        // A display name or a mangled address is no domain the Domain Name System could
        // deny; asking would only get a real message marked.
        m_list.setText(row, ColBlacklist, kFalse);
        Q_EMIT senderNotJudged(m_list.text(row, ColTo), from);
        done(false);
        return;
    }
    // "False" whatever the answer; the received value has served its purpose.
    m_list.setText(row, ColBlacklist, kFalse);
    waitForDomain(senderDomain(from), rowKey);
    // The next message is fetched meanwhile: waiting here for each domain in turn made a
    // silent name server cost its whole time-out once per domain.
    done(false);
}

void SpamClassifier::whenSettled(std::function<void()> done)
{
    m_checkOver = true;
    m_settledWaiters.push_back(std::move(done));
    notifySettled();
}

void SpamClassifier::notifySettled()
{
    if (!m_checkOver || !m_waits.isEmpty() || !m_probing.isEmpty())
        return;
    if (m_trust == Trust::Open && !m_held.empty())
        distrust(QStringLiteral("The name server confirmed no name of this check and denied "
                                "the rest: no message was marked \"No DNS\""));
    std::vector<std::function<void()>> waiters;
    waiters.swap(m_settledWaiters);
    for (auto &w : waiters)
        w();
}

int SpamClassifier::answerWaitMs() const
{
    // As the mail check's own time limit: a stored zero must not give up at once.
    return qMax(m_settings.ServerTO, 1000);
}

void SpamClassifier::waitForDomain(const QString &domain, quint64 rowKey)
{
    const QString key = domain.trimmed().toLower();
    if (m_gaveUp.contains(key))
        return; // told already; not marked
    auto it = m_waits.find(key);
    if (it != m_waits.end()) {
        it->push_back(rowKey);
        return;
    }
    m_waits.insert(key, {rowKey});
    const quint64 generation = m_generation;
    SenderDomainResolves(domain, [this, key, generation](DomainState state) {
        if (generation == m_generation)
            domainDone(key, state);
    });
    const int waitMs = answerWaitMs();
    QTimer::singleShot(waitMs, this, [this, key, domain, generation, waitMs] {
        if (generation != m_generation || !m_waits.contains(key))
            return;
        m_gaveUp.insert(key);
        tellUnanswered(domain,
                       QStringLiteral("no answer within %1 s").arg(double(waitMs) / 1000.0));
        domainDone(key, DomainState::Unknown);
    });
}

void SpamClassifier::domainDone(const QString &key, DomainState state)
{
    auto it = m_waits.find(key);
    if (it == m_waits.end())
        return; // given up on already
    const std::vector<quint64> rows = std::move(*it);
    m_waits.erase(it);
    if (state == DomainState::Exists) {
        m_anyExists = true;
        decideTrust();
    } else if (state == DomainState::DoesNotExist) {
        denied(rows);
    }
    notifySettled();
}

void SpamClassifier::denied(const std::vector<quint64> &rows)
{
    switch (m_trust) {
    case Trust::Trusted:
        markNoDns(rows);
        return;
    case Trust::Distrusted:
        return;
    case Trust::Open:
        m_held.insert(m_held.end(), rows.begin(), rows.end());
        if (!m_probesStarted)
            startProbes();
        return;
    }
}

void SpamClassifier::markNoDns(const std::vector<quint64> &rows)
{
    for (quint64 rowKey : rows) {
        const int r = m_list.rowOfKey(rowKey);
        // A row whose message cannot be told apart on the server keeps saying so.
        if (r >= 0 && m_list.unprocessable(r).isEmpty()) {
            m_list.setChecked(r, true);
            m_list.setText(r, ColStatus, QStringLiteral("No DNS"));
        }
    }
}

void SpamClassifier::startProbes()
{
    m_probesStarted = true;
    const QStringList names = m_knownNames ? m_knownNames() : QStringList();
    for (const QString &name : names) {
        // An address literal or a name that is no domain tells nothing.
        if (!dnsQuestionName(name))
            continue;
        const QString key = name.trimmed().toLower();
        if (m_probing.contains(key))
            continue;
        m_probing.insert(key, name.trimmed());
    }
    const quint64 generation = m_generation;
    const int waitMs = answerWaitMs();
    for (auto it = m_probing.cbegin(); it != m_probing.cend(); ++it) {
        const QString key = it.key();
        m_cache.lookUp(it.value(), this, [this, key, generation](const DomainAnswer &answer) {
            if (generation == m_generation)
                probeDone(key, answer.state);
        });
        QTimer::singleShot(waitMs, this, [this, key, generation] {
            if (generation == m_generation)
                probeDone(key, DomainState::Unknown);
        });
    }
    decideTrust();
}

void SpamClassifier::probeDone(const QString &key, DomainState state)
{
    const auto it = m_probing.find(key);
    if (it == m_probing.end())
        return;
    const QString name = *it;
    m_probing.erase(it);
    if (state == DomainState::DoesNotExist) {
        distrust(QStringLiteral("The name server denied %1, a domain known to exist: no "
                                "message was marked \"No DNS\"")
                     .arg(name));
    } else if (state == DomainState::Exists) {
        m_anyExists = true;
    }
    decideTrust();
    notifySettled();
}

void SpamClassifier::decideTrust()
{
    // Trust needs the known names answered without a denial, and one name of the check
    // confirmed: a server that denies everything confirms none.
    if (m_trust != Trust::Open || !m_probesStarted || !m_probing.isEmpty() || !m_anyExists)
        return;
    m_trust = Trust::Trusted;
    std::vector<quint64> held;
    held.swap(m_held);
    markNoDns(held);
}

void SpamClassifier::distrust(const QString &why)
{
    if (m_trust == Trust::Distrusted)
        return;
    m_trust = Trust::Distrusted;
    m_held.clear();
    Q_EMIT denialsDistrusted(why);
}

void SpamClassifier::tellUnanswered(const QString &domain, const QString &detail)
{
    const QString key = domain.trimmed().toLower();
    if (m_unansweredTold.contains(key))
        return;
    m_unansweredTold.insert(key);
    Q_EMIT domainUnanswered(domain, detail);
}

void SpamClassifier::SenderDomainResolves(const QString &sender,
                                          std::function<void(DomainState)> done)
{
    const QString domain = senderDomain(sender);
    if (!dnsQuestionName(domain)) {
        QMetaObject::invokeMethod(
            this, [done = std::move(done)] { done(DomainState::Unknown); }, Qt::QueuedConnection);
        return;
    }
    m_cache.lookUp(domain, this,
                   [self = QPointer<SpamClassifier>(this),
                    done = std::move(done)](const DomainAnswer &answer) {
                       if (self && answer.state == DomainState::Unknown)
                           self->tellUnanswered(answer.domain, answer.detail);
                       done(answer.state);
                   });
}

} // namespace kvorn

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mail/MailClassifier.h"
#include "platform/CachingResolver.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <functional>
#include <vector>

namespace kvorn {

class MailCheck;
class MailLists;
class MessageListModel;
struct MailSettings;

/// Classifies each new row of the mail list: a friend stays unmarked (or leaves the list
/// with "HideFriend"), a blacklisted sender or last "received" line is marked with the
/// matching entry, and a sender domain the Domain Name System says does not exist is
/// marked "No DNS". Each domain is asked once per check, and the check does not wait for
/// the answer before it fetches the next message: all the domains of a check are asked at
/// once, and a domain without an answer within the server time-out ("ServerTO") is not
/// marked. Answers come from the event loop, so the window never waits on a name server.
///
/// A name server's "no such domain" is believed only when it knows the names that must
/// exist: before the first denial of a check marks anything, the domains of the accounts'
/// own addresses and their servers' names are asked. If it denies one of them, or denies
/// every name of the check, no row of that check is marked "No DNS" (captive portals,
/// filtering networks and resolvers without an upstream deny everything).
class SpamClassifier : public QObject, public MailClassifier
{
    Q_OBJECT

public:
    SpamClassifier(MailLists &lists, MessageListModel &list, const MailSettings &settings,
                   Resolver &resolver, QObject *parent = nullptr);

    /// Hands itself to the check as its classifier, forgets the domain answers at the
    /// start of every check, and tells in the check's status box which domains got no
    /// answer (and were therefore not marked).
    void attachTo(MailCheck &check);

    /// Points the name look-ups at other servers; called with the "DnsServers" setting at
    /// the start of a check whenever it differs from what the resolver was last given.
    using ServerSwitch = std::function<void(const QString &servers)>;
    void setServerSwitch(ServerSwitch serverSwitch, const QString &serversInUse)
    {
        m_serverSwitch = std::move(serverSwitch);
        m_serversInUse = serversInUse;
    }

    /// The names known to exist at the start of a check (accounts' mail domains, their
    /// servers' names); `attachTo` sets them from the check's accounts.
    using KnownNames = std::function<QStringList()>;
    void setKnownNames(KnownNames names) { m_knownNames = std::move(names); }

    void classify(quint64 rowKey, std::function<void(bool rowHidden)> done) override;
    void whenSettled(std::function<void()> done) override;

    /// The DNS test of a sender text: `done` gets the state of the sender's domain (the
    /// text after the first "@" of the address, the whole address without one). Only
    /// `DomainState::DoesNotExist` counts as "does not resolve"; a name server that does
    /// not answer proves nothing, and a text that is no domain name is never asked
    /// (`DomainState::Unknown`).
    void SenderDomainResolves(const QString &sender, std::function<void(DomainState)> done);

    /// Forgets the domain answers of the last check and follows a changed "DnsServers".
    void newCheck();
    CachingResolver &cache() { return m_cache; }

Q_SIGNALS:
    /// A sender domain got no conclusive answer, so its rows are not marked "No DNS"; told
    /// once per domain and check.
    void domainUnanswered(const QString &domain, const QString &detail);
    /// The sender of message `number` is empty or holds no domain name, so the message was
    /// left unmarked.
    void senderNotJudged(const QString &number, const QString &sender);
    /// The name server's denials are not believed in this check; `why` says what it did.
    void denialsDistrusted(const QString &why);

private:
    void waitForDomain(const QString &domain, quint64 rowKey);
    void domainDone(const QString &key, DomainState state);
    void tellUnanswered(const QString &domain, const QString &detail);
    int answerWaitMs() const;
    void denied(const std::vector<quint64> &rows);
    void markNoDns(const std::vector<quint64> &rows);
    void startProbes();
    void probeDone(const QString &key, DomainState state);
    void decideTrust();
    void distrust(const QString &why);
    void notifySettled();

    enum class Trust
    {
        Open,
        Trusted,
        Distrusted,
    };

    MailLists &m_lists;
    MessageListModel &m_list;
    const MailSettings &m_settings;
    CachingResolver m_cache;
    ServerSwitch m_serverSwitch;
    QString m_serversInUse;
    QSet<QString> m_unansweredTold;
    /// The rows waiting for each domain's answer, by lower-case domain.
    QHash<QString, std::vector<quint64>> m_waits;
    /// Domains of this check whose answer did not come in time.
    QSet<QString> m_gaveUp;
    std::vector<std::function<void()>> m_settledWaiters;
    KnownNames m_knownNames;
    Trust m_trust = Trust::Open;
    bool m_probesStarted = false;
    /// The known names whose answer is awaited, by lower-case name.
    QHash<QString, QString> m_probing;
    /// Some name of this check was answered as existing.
    bool m_anyExists = false;
    /// The check is over: a decision still open falls now.
    bool m_checkOver = false;
    /// Rows whose sender domain was denied, waiting for the name server to earn trust.
    std::vector<quint64> m_held;
    /// Counts checks, so that answers for an earlier one are not applied.
    quint64 m_generation = 0;
};

} // namespace kvorn

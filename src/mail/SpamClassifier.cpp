#include "mail/SpamClassifier.h"

#include "mail/MailCheck.h"
#include "mail/MailListText.h"
#include "mail/MailLists.h"
#include "mail/MailSettings.h"
#include "mail/MessageListModel.h"
#include "platform/DomainName.h"

#include <QPointer>

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
}

void SpamClassifier::newCheck()
{
    m_cache.clear();
    m_unansweredTold.clear();
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
    SenderDomainResolves(from, [this, rowKey, done = std::move(done)](DomainState state) {
        const int r = m_list.rowOfKey(rowKey);
        if (r >= 0) {
            if (state == DomainState::DoesNotExist) {
                m_list.setChecked(r, true);
                m_list.setText(r, ColStatus, QStringLiteral("No DNS"));
            }
            m_list.setText(r, ColBlacklist, kFalse);
        }
        done(false);
    });
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
                       if (self && answer.state == DomainState::Unknown) {
                           const QString key = answer.domain.trimmed().toLower();
                           if (!self->m_unansweredTold.contains(key)) {
                               self->m_unansweredTold.insert(key);
                               Q_EMIT self->domainUnanswered(answer.domain, answer.detail);
                           }
                       }
                       done(answer.state);
                   });
}

} // namespace kvorn

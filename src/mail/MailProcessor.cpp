// SPDX-License-Identifier: GPL-3.0-or-later
#include "mail/MailProcessor.h"

#include "core/MainController.h"
#include "core/Prompt.h"
#include "log/KillLog.h"
#include "mail/MailCheck.h"
#include "mail/MessageListModel.h"
#include "mail/ReplyWord.h"
#include "mail/UniqueId.h"

#include <QPointer>
#include <exception>
#include <utility>

namespace kvorn {

namespace {
const QString kGet = QStringLiteral("Get");
const QString kDel = QStringLiteral("DEL");
} // namespace

MailProcessor::MailProcessor(Services services, QObject *parent)
    : QObject(parent), m_check(services.check), m_list(services.list),
      m_settings(services.settings), m_accounts(services.accounts), m_prompt(services.prompt),
      m_killLog(services.killLog)
{
    m_check.setAutoDeleteRunner([this](std::function<void()> then) {
        if (!ProcessMail(then) && then)
            then();
    });
    if (services.controller)
        connect(services.controller, &MainController::exitStarted, this, &MailProcessor::stop);
    connect(&m_check, &MailCheck::checkFinished, this, [this] {
        if (!m_waitingForCheck)
            return;
        // After the check's other listeners, as a command the user gives then would.
        QTimer::singleShot(0, this, [this] {
            if (!std::exchange(m_waitingForCheck, false))
                return;
            if (!ProcessMail(std::exchange(m_waitingThen, {})))
                m_check.appendStatus(QStringLiteral("Processing could not start"));
        });
    });
}

int MailProcessor::serverTimeout() const
{
    return qMax(m_settings.ServerTO, 1000);
}

// --- the run -------------------------------------------------------------------------------

bool MailProcessor::ProcessMail(std::function<void()> then)
{
    if (m_running || m_check.MailMode == kDel)
        return false;
    if (m_check.isChecking()) {
        // The check owns the list until its last answers are in; the command is not lost
        // but kept for the check's end.
        if (!m_waitingForCheck) {
            m_waitingForCheck = true;
            m_waitingThen = std::move(then);
            m_check.appendStatus(QStringLiteral("Processing starts when the check has ended"));
            Q_EMIT processingQueued();
        }
        return true;
    }
    m_check.setMailMode(kDel);
    m_then = std::move(then);
    Q_EMIT processingStarted();
    if (m_list.rowCount() == 0) {
        m_check.setMailMode(kGet);
        Q_EMIT processingFinished();
        if (auto t = std::exchange(m_then, {}))
            t();
        return true;
    }
    m_running = true;
    m_settled.clear();
    m_accountNames = mailAccountNames(m_settings);
    m_runAccounts.assign(m_accounts.begin(), m_accounts.begin() + m_accountNames.size());
    m_accountIndex = -1;
    nextAccount();
    return true;
}

void MailProcessor::nextAccount()
{
    if (++m_accountIndex >= m_accountNames.size()) {
        endRun();
        return;
    }
    const MailAccount &account = m_runAccounts[std::size_t(m_accountIndex)];
    m_confirmed.clear();
    m_session.close();
    m_check.appendStatus(QStringLiteral("Process Spam Mail"));
    m_session.setTimeLimit(serverTimeout());
    m_session.begin(account, this);
    beginWait(Phase::LogOn);
    m_check.setStatusText(QStringLiteral("Open ") + account.MailName + QStringLiteral("\r\n"));
    m_check.restartWatch();
}

void MailProcessor::beginWait(Phase phase)
{
    m_phase = phase;
    m_waitEnd = WaitEnd::None;
    m_failure.clear();
    m_errorReply.clear();
    ++m_waitSerial;
    m_session.restartTimeLimit();
}

void MailProcessor::endWait(WaitEnd how, const QString &why)
{
    if (!m_running || m_phase == Phase::Idle || m_waitEnd != WaitEnd::None)
        return;
    m_waitEnd = how;
    m_failure = why;
    m_session.stopTimeLimit();
    // Carries on once the reply handler has returned, as a yield would.
    QTimer::singleShot(0, this, [this, serial = m_waitSerial] {
        if (m_running && serial == m_waitSerial)
            resume();
    });
}

// --- the session's events --------------------------------------------------------------------

MailProcessor::LineResult MailProcessor::sessionLine(const QString &line)
{
    // Only the answer to the command sent last counts; anything else is noise.
    if (!m_running || m_phase == Phase::Idle || m_waitEnd != WaitEnd::None)
        return LineResult::Ignored;
    if (!line.startsWith(QLatin1Char('+'))) {
        if (!Pop3Session::isErrorReply(line))
            return LineResult::Ignored;
        m_check.appendStatus(line);
        m_errorReply = line;
        endWait(WaitEnd::Reply);
        return LineResult::Handled;
    }
    switch (m_phase) {
    case Phase::Idle:
        return LineResult::Ignored;
    case Phase::LogOn:
        return statReply(line);
    case Phase::Search:
        return uidlReply(line);
    case Phase::Dele:
        m_deleConfirmed = true;
        endWait(WaitEnd::Reply);
        return LineResult::Handled;
    case Phase::Quit:
        m_session.close();
        m_check.appendStatus(QStringLiteral("Close"));
        endWait(WaitEnd::Reply);
        return LineResult::Stop;
    }
    return LineResult::Ignored;
}

void MailProcessor::sessionFailed(const Pop3Session::Failure &failure)
{
    using Kind = Pop3Session::Failure::Kind;
    switch (failure.kind) {
    case Kind::Refused:
        m_check.appendStatus(failure.text);
        m_errorReply = failure.text;
        endWait(WaitEnd::Reply);
        return;
    case Kind::TimedOut:
        if (!m_running || m_waitEnd != WaitEnd::None)
            return;
        m_check.appendStatus(QStringLiteral("No answer from %1 for %2 seconds")
                                 .arg(m_session.account().AcctPOP3)
                                 .arg(serverTimeout() / 1000));
        endWait(WaitEnd::Failed, QStringLiteral("no answer from the server"));
        return;
    case Kind::Connection:
        m_check.appendStatus(failure.text);
        endWait(WaitEnd::Failed, QStringLiteral("connection lost"));
        return;
    case Kind::LineBreak:
    case Kind::LongLine:
    case Kind::Unexpected:
        m_check.appendStatus(failure.text);
        endWait(WaitEnd::Failed, m_phase == Phase::LogOn ? QStringLiteral("log-on failed")
                                                         : QStringLiteral("connection lost"));
        return;
    }
}

bool MailProcessor::sessionDataKeepsAlive() const
{
    // Any data is a sign of life while an answer is awaited.
    return m_running && m_waitEnd == WaitEnd::None;
}

void MailProcessor::sessionProgress(const QString &text)
{
    m_check.appendStatus(text);
}

void MailProcessor::sessionAnswered()
{
    m_check.restartWatch();
}

void MailProcessor::resume()
{
    try {
        step();
    } catch (const std::exception &e) {
        m_prompt.message(errorText(5, QString::fromLocal8Bit(e.what()),
                                   QStringLiteral("ProcessMail"), QStringLiteral("frmKmain"), true),
                         Prompt::Buttons::Ok, Prompt::Icon::Critical);
        stoppedRun();
    }
}

void MailProcessor::step()
{
    if (m_phase == Phase::Idle)
        return;
    // Silence or a lost connection ends the account in every phase.
    if (m_waitEnd == WaitEnd::Failed) {
        failAccount(m_failure);
        return;
    }
    const bool refused = !m_errorReply.isEmpty();
    switch (m_phase) {
    case Phase::Idle:
        return;
    case Phase::LogOn:
        if (refused || !m_session.isOpen()) {
            failAccount(QStringLiteral("log-on failed"));
            return;
        }
        nextRow();
        return;
    case Phase::Search:
        // A mismatching ID, or an error reply (no message of that number any more): the
        // message can only have moved to a lower number.
        if (--m_number > 0) {
            sendUidl();
            return;
        }
        // Gone from the server: nothing to delete, nothing to count. The row stays and says
        // so; no other message is deleted in its place.
        m_settled.insert(m_rowKey);
        if (const int row = m_list.rowOfKey(m_rowKey); row >= 0)
            m_list.setText(row, ColStatus, notDeletedStatus(QStringLiteral("not on the server")));
        nextRow();
        return;
    case Phase::Dele:
        m_settled.insert(m_rowKey);
        if (m_deleConfirmed) {
            m_confirmed.append(m_rowKey);
        } else if (const int row = m_list.rowOfKey(m_rowKey); row >= 0) {
            m_list.setText(row, ColStatus, notDeletedStatus(m_errorReply.trimmed()));
        }
        nextRow();
        return;
    case Phase::Quit:
        if (refused) {
            failAccount(QStringLiteral("the server did not confirm QUIT"));
            return;
        }
        commitAccount();
        nextAccount();
        return;
    }
}

void MailProcessor::nextRow()
{
    const QString account = m_session.account().MailName;
    for (int r = 0; r < m_list.rowCount(); ++r) {
        const MailListRow &row = m_list.row(r);
        if (!row.checked || row.text[ColAccount] != account || m_settled.contains(row.key))
            continue;
        m_rowKey = row.key;
        m_number = row.tag;
        MailDelConfirm = false;
        m_list.setSelectedRow(r);
        if (!row.unprocessable.isEmpty()) {
            // Its "Status" says why already.
            m_settled.insert(m_rowKey);
            continue;
        }
        if (m_number <= 0) {
            // No number to start from: the message cannot be found.
            m_settled.insert(m_rowKey);
            m_list.setText(r, ColStatus, notDeletedStatus(QStringLiteral("no message number")));
            continue;
        }
        if (!uniqueIdFault(row.text[ColUniqueId]).isEmpty()) {
            // Without its own ID any message could pass for it.
            m_settled.insert(m_rowKey);
            m_list.setText(r, ColStatus, notDeletedStatus(QStringLiteral("no unique ID")));
            continue;
        }
        sendUidl();
        return;
    }
    sendQuit();
}

void MailProcessor::sendUidl()
{
    beginWait(Phase::Search);
    if (!m_session.send(QStringLiteral("UIDL %1").arg(m_number)))
        endWait(WaitEnd::Failed, QStringLiteral("connection lost"));
}

void MailProcessor::sendQuit()
{
    beginWait(Phase::Quit);
    const bool sent = m_session.send(QStringLiteral("QUIT"));
    m_check.appendStatus(QStringLiteral("QUIT"));
    if (!sent)
        endWait(WaitEnd::Failed, QStringLiteral("connection lost"));
}

MailProcessor::LineResult MailProcessor::statReply(const QString &reply)
{
    bool countOk = false;
    ReplyWord(reply, 1, QStringLiteral(" ")).toInt(&countOk);
    if (!countOk) {
        // Not a count: say so and log off; the account fails as its log-on did.
        m_check.appendStatus(reply);
        m_session.send(QStringLiteral("QUIT"));
        m_session.close();
    }
    endWait(WaitEnd::Reply);
    return countOk ? LineResult::Handled : LineResult::Stop;
}

MailProcessor::LineResult MailProcessor::uidlReply(const QString &reply)
{
    // Only the message asked about may be deleted, and only when its whole ID is the
    // row's: a server that answers for another number, or an ID that merely begins
    // alike, is a mismatch like any other.
    const UidlReply answer = parseUidlReply(reply);
    const std::int32_t number = m_number;
    const int row = m_list.rowOfKey(m_rowKey);
    if (row < 0 || answer.number != number || !uniqueIdFault(answer.uniqueId).isEmpty() ||
        !m_list.unprocessable(row).isEmpty() || answer.uniqueId != m_list.text(row, ColUniqueId)) {
        endWait(WaitEnd::Reply);
        return LineResult::Handled;
    }
    MailDelConfirm = true;
    m_phase = Phase::Dele;
    m_deleConfirmed = false;
    m_session.send(QStringLiteral("DELE %1").arg(number));
    m_check.appendStatus(QStringLiteral("DELE %1").arg(number));
    // The same wait goes on until the reply to the delete command.
    return LineResult::Handled;
}

void MailProcessor::commitAccount()
{
    for (const quint64 key : std::as_const(m_confirmed)) {
        const int row = m_list.rowOfKey(key);
        if (row < 0)
            continue;
        const QString sender = m_list.text(row, ColFrom);
        const QString filter = m_list.text(row, ColBlacklist);
        m_list.removeRowAt(row);
        m_check.messageDeleted();
        if (m_killLog)
            m_killLog->countMailDeletion(sender, filter);
        Q_EMIT mailDeleted(sender, filter);
    }
    m_confirmed.clear();
}

void MailProcessor::keepMarkedRows(const QString &why)
{
    const QString account = m_session.account().MailName;
    for (int r = 0; r < m_list.rowCount(); ++r) {
        const MailListRow &row = m_list.row(r);
        if (!row.checked || row.text[ColAccount] != account)
            continue;
        // Rows kept for their own reason (a refused delete) say that instead.
        if (m_settled.contains(row.key) && !m_confirmed.contains(row.key))
            continue;
        m_settled.insert(row.key);
        m_list.setText(r, ColStatus, notDeletedStatus(why));
    }
    m_confirmed.clear();
}

void MailProcessor::failAccount(const QString &why)
{
    // Without a confirmed "QUIT" the server keeps every message of this session.
    keepMarkedRows(why);
    m_check.appendStatus(
        QStringLiteral("Nothing deleted on %1: %2").arg(m_session.account().MailName, why));
    m_session.close();
    m_phase = Phase::Idle;
    nextAccount();
}

void MailProcessor::endRun()
{
    finishRun(QStringLiteral("Finished Processing"));
}

void MailProcessor::stop()
{
    if (std::exchange(m_waitingForCheck, false)) {
        m_waitingThen = {};
        m_check.appendStatus(QStringLiteral("Processing cancelled"));
    }
    if (m_running)
        stoppedRun();
}

void MailProcessor::stoppedRun()
{
    if (!m_running)
        return;
    keepMarkedRows(QStringLiteral("stopped"));
    finishRun({});
}

void MailProcessor::finishRun(const QString &finalStatus)
{
    m_phase = Phase::Idle;
    m_running = false;
    // A resume still queued belongs to the run that ended.
    ++m_waitSerial;
    m_check.mailWatchTimer().stop();
    m_session.close();
    if (!finalStatus.isEmpty())
        m_check.appendStatus(finalStatus);
    m_check.setMailMode(kGet);
    Q_EMIT processingFinished();
    if (auto t = std::exchange(m_then, {}))
        t();
}

} // namespace kvorn

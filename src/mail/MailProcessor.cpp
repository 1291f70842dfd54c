#include "mail/MailProcessor.h"

#include "core/MainController.h"
#include "core/Prompt.h"
#include "log/KillLog.h"
#include "mail/MailCheck.h"
#include "mail/MessageListModel.h"
#include "mail/ReplyWord.h"

#include <QPointer>
#include <exception>
#include <utility>

namespace kvorn {

namespace {
const QString kGet = QStringLiteral("Get");
const QString kDel = QStringLiteral("DEL");
const QString kBlank = QStringLiteral(" ");
} // namespace

MailProcessor::MailProcessor(Services services, QObject *parent)
    : QObject(parent), m_check(services.check), m_list(services.list),
      m_settings(services.settings), m_accounts(services.accounts), m_prompt(services.prompt),
      m_killLog(services.killLog)
{
    m_check.setProcessingStates(this);
    m_check.setAutoDeleteRunner([this](std::function<void()> then) {
        if (!ProcessMail(then) && then)
            then();
    });

    m_silence.setSingleShot(true);
    connect(&m_silence, &QTimer::timeout, this, &MailProcessor::onSilence);
    connect(&m_check, &MailCheck::mailBusyChanged, this, [this](bool busy) {
        if (!busy)
            endWait(WaitEnd::Reply);
    });
    connect(&m_check, &MailCheck::errorReplyReceived, this, [this](const QString &reply) {
        if (m_running && m_waitEnd == WaitEnd::None)
            m_errorReply = reply;
    });
    // Any data is a sign of life: the time limit counts from the last of it.
    connect(&m_check.socket(), &TcpClientSocket::DataArrival, this, [this] {
        if (m_running && m_waitEnd == WaitEnd::None && m_silence.isActive())
            m_silence.start();
    });
    // The check has shown the error and closed the socket; the wait cannot end otherwise.
    connect(&m_check.socket(), &TcpClientSocket::Error, this,
            [this] { endWait(WaitEnd::Failed, QStringLiteral("connection lost")); });
    if (services.controller)
        connect(services.controller, &MainController::exitStarted, this, &MailProcessor::stop);
}

int MailProcessor::serverTimeout() const
{
    return qMax(m_settings.ServerTO, 1000);
}

// --- the run -------------------------------------------------------------------------------

bool MailProcessor::ProcessMail(std::function<void()> then)
{
    if (m_running || m_check.isChecking() || m_check.MailMode == kDel)
        return false;
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
    m_check.ResetMail = false;
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
    m_check.closeSocket();
    m_check.appendStatus(QStringLiteral("Process Spam Mail"));
    beginWait(Phase::LogOn);
    m_check.beginDialogue(account);
    m_check.setStatusText(QStringLiteral("Open ") + m_check.MailAcctName + QStringLiteral("\r\n"));
    m_check.restartWatch();
}

void MailProcessor::beginWait(Phase phase)
{
    m_phase = phase;
    m_waitEnd = WaitEnd::None;
    m_failure.clear();
    m_errorReply.clear();
    ++m_waitSerial;
    m_silence.start(serverTimeout());
}

void MailProcessor::endWait(WaitEnd how, const QString &why)
{
    if (!m_running || m_phase == Phase::Idle || m_waitEnd != WaitEnd::None)
        return;
    m_waitEnd = how;
    m_failure = why;
    m_silence.stop();
    // Carries on once the reply handler has returned, as a yield would.
    QTimer::singleShot(0, this, [this, serial = m_waitSerial] {
        if (m_running && serial == m_waitSerial)
            resume();
    });
}

void MailProcessor::onSilence()
{
    m_check.appendStatus(QStringLiteral("No answer from %1 for %2 seconds")
                             .arg(m_check.MailServer)
                             .arg(serverTimeout() / 1000));
    endWait(WaitEnd::Failed, QStringLiteral("no answer from the server"));
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
    if (m_check.ResetMail) {
        stoppedRun();
        return;
    }
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
        if (refused || !m_check.socket().isOpen()) {
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
        // Gone from the server: nothing to delete, nothing to count.
        if (const int row = m_list.rowOfKey(m_rowKey); row >= 0)
            m_list.removeRowAt(row);
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
    const QString account = m_check.MailAcctName;
    for (int r = 0; r < m_list.rowCount(); ++r) {
        const MailListRow &row = m_list.row(r);
        if (!row.checked || row.text[ColAccount] != account || m_settled.contains(row.key))
            continue;
        m_rowKey = row.key;
        m_number = row.tag;
        MailDelConfirm = false;
        m_list.setSelectedRow(r);
        if (m_number <= 0) {
            // No number to start from: the message cannot be found.
            m_settled.insert(m_rowKey);
            m_list.setText(r, ColStatus, notDeletedStatus(QStringLiteral("no message number")));
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
    m_check.setMailStep(MailStep::AwaitUidlForDelete);
    m_check.setMailBusy(true);
    if (!m_check.sendCommand(QStringLiteral("UIDL %1").arg(m_number)))
        endWait(WaitEnd::Failed, QStringLiteral("connection lost"));
}

void MailProcessor::sendQuit()
{
    beginWait(Phase::Quit);
    m_check.setMailStep(MailStep::AwaitQuitReply);
    m_check.setMailBusy(true);
    const bool sent = m_check.sendCommand(QStringLiteral("QUIT"));
    m_check.appendStatus(QStringLiteral("QUIT"));
    if (!sent)
        endWait(WaitEnd::Failed, QStringLiteral("connection lost"));
}

void MailProcessor::AwaitUidlForDelete(const QString &reply)
{
    if (!m_running || m_phase != Phase::Search)
        return;
    m_check.MailCheckState.DeleteNumber = ReplyWord(reply, 1, kBlank);
    const QString id = ReplyWord(reply, 2, kBlank);
    const int row = m_list.rowOfKey(m_rowKey);
    bool numberOk = false;
    const int number = m_check.MailCheckState.DeleteNumber.toInt(&numberOk);
    if (row < 0 || !numberOk || number <= 0 || id.isEmpty() ||
        id != m_list.text(row, ColUniqueId)) {
        m_check.setMailBusy(false);
        return;
    }
    MailDelConfirm = true;
    m_phase = Phase::Dele;
    m_deleConfirmed = false;
    m_check.setMailStep(MailStep::AwaitDeleReply);
    m_check.sendCommand(QStringLiteral("DELE %1").arg(number));
    m_check.appendStatus(QStringLiteral("DELE %1").arg(number));
    // The same wait goes on until the reply to the delete command.
}

void MailProcessor::AwaitDeleReply(const QString &reply)
{
    Q_UNUSED(reply);
    if (!m_running || m_phase != Phase::Dele)
        return;
    m_deleConfirmed = true;
    m_check.setMailStep(MailStep::AwaitUidlForDelete);
    m_check.setMailBusy(false);
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
        if (m_check.MessageTotal > 0)
            --m_check.MessageTotal;
        m_check.showMessageTotal();
        if (m_killLog)
            m_killLog->countMailDeletion(sender, filter);
        Q_EMIT mailDeleted(sender, filter);
    }
    m_confirmed.clear();
}

void MailProcessor::keepMarkedRows(const QString &why)
{
    const QString account = m_check.MailAcctName;
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
        QStringLiteral("Nothing deleted on %1: %2").arg(m_check.MailAcctName, why));
    m_check.closeSocket();
    m_check.setMailBusy(false);
    m_phase = Phase::Idle;
    nextAccount();
}

void MailProcessor::endRun()
{
    finishRun(QStringLiteral("Finished Processing"));
}

void MailProcessor::stop()
{
    if (m_running)
        stoppedRun();
}

void MailProcessor::stoppedRun()
{
    if (!m_running)
        return;
    keepMarkedRows(QStringLiteral("stopped"));
    m_check.ResetMail = false;
    finishRun({});
}

void MailProcessor::finishRun(const QString &finalStatus)
{
    m_silence.stop();
    m_phase = Phase::Idle;
    m_running = false;
    // A resume still queued belongs to the run that ended.
    ++m_waitSerial;
    m_check.mailWatchTimer().stop();
    m_check.closeSocket();
    m_check.setMailBusy(false);
    if (!finalStatus.isEmpty())
        m_check.appendStatus(finalStatus);
    m_check.setMailMode(kGet);
    Q_EMIT processingFinished();
    if (auto t = std::exchange(m_then, {}))
        t();
}

} // namespace kvorn

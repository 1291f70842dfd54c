// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mail/MailSettings.h"
#include "mail/Pop3Session.h"

#include <QObject>
#include <QSet>
#include <QStringList>
#include <functional>
#include <vector>

namespace kvorn {

class KillLog;
class MailCheck;
class MainController;
class MessageListModel;
class Prompt;

/// Deletes the marked messages of the mail list on their servers, account by account.
/// Each message is found again by its unique ID, searching down from the number it had at
/// check time, since another mail program may have deleted messages meanwhile.
///
/// A POP3 server applies deletions only when the session ends with a successful "QUIT";
/// so a row is counted, logged and taken off the list only after the "+OK" to its "DELE"
/// and to the "QUIT". Rows whose deletion was not confirmed keep their mark and say why in
/// "Status". Every wait ends after "ServerTO" of silence.
///
/// Has a POP3 session of its own and is driven by its events: nothing blocks. The check
/// waits meanwhile ("DEL" mode) and shows the run's progress in its status box.
class MailProcessor : public QObject, private Pop3Session::Client
{
    Q_OBJECT

public:
    struct Services
    {
        MailCheck &check;
        MessageListModel &list;
        const MailSettings &settings;
        const MailAccounts &accounts;
        Prompt &prompt;
        /// Counts and logs each deletion; may be null.
        KillLog *killLog = nullptr;
        /// The program's end stops a run; may be null.
        MainController *controller = nullptr;
    };

    explicit MailProcessor(Services services, QObject *parent = nullptr);

    /// Starts processing and returns at once; `processingFinished` tells the end, and
    /// `then` (when given) runs after it. While a check runs, the processing is kept for
    /// the check's end (the status box says so). False, and nothing starts, while another
    /// processing run is going on.
    bool ProcessMail(std::function<void()> then = {});
    /// The stop command: the run ends at once; rows not yet processed keep their marks. A
    /// processing kept for the end of a check is dropped.
    void stop();
    bool isProcessing() const { return m_running; }
    bool isWaitingForCheck() const { return m_waitingForCheck; }

    /// Set when the searched message was found and its delete command sent.
    bool MailDelConfirm = false;

    Pop3Session &session() { return m_session; }

    /// The "Status" texts of rows whose deletion was not confirmed.
    static QString notDeletedStatus(const QString &why)
    {
        return QStringLiteral("Not Deleted: ") + why;
    }

Q_SIGNALS:
    /// Processing was asked for during a check and starts when the check has ended.
    void processingQueued();
    void processingStarted();
    void processingFinished();
    /// One message was deleted on the server (after the "QUIT" was confirmed).
    void mailDeleted(const QString &sender, const QString &blacklistText);

private:
    enum class Phase
    {
        Idle,
        LogOn,
        Search,
        Dele,
        Quit
    };
    enum class WaitEnd
    {
        None,
        Reply,
        Failed
    };

    using LineResult = Pop3Session::LineResult;

    LineResult sessionLine(const QString &line) override;
    void sessionFailed(const Pop3Session::Failure &failure) override;
    void sessionProgress(const QString &text) override;
    void sessionAnswered() override;
    bool sessionDataKeepsAlive() const override;

    LineResult statReply(const QString &reply);
    LineResult uidlReply(const QString &reply);
    int serverTimeout() const;
    void nextAccount();
    void nextRow();
    void sendUidl();
    void sendQuit();
    void beginWait(Phase phase);
    void endWait(WaitEnd how, const QString &why = {});
    void resume();
    void step();
    void commitAccount();
    void failAccount(const QString &why);
    void keepMarkedRows(const QString &why);
    void endRun();
    void stoppedRun();
    /// Ends the run however it ended: timers, socket and mode back, then the next step
    /// the run was started with.
    void finishRun(const QString &finalStatus);

    MailCheck &m_check;
    MessageListModel &m_list;
    const MailSettings &m_settings;
    const MailAccounts &m_accounts;
    Prompt &m_prompt;
    KillLog *m_killLog;

    Pop3Session m_session;
    bool m_running = false;
    Phase m_phase = Phase::Idle;
    WaitEnd m_waitEnd = WaitEnd::None;
    QString m_failure;
    QString m_errorReply;
    quint64 m_waitSerial = 0;
    bool m_deleConfirmed = false;

    QStringList m_accountNames;
    /// The accounts as they were when the run started: the account dialogs may remove or
    /// reorder entries meanwhile, and the run must not log on to a neighbour's mailbox.
    std::vector<MailAccount> m_runAccounts;
    int m_accountIndex = -1;
    quint64 m_rowKey = 0;
    std::int32_t m_number = 0;
    /// Rows settled in this run (deleted pending "QUIT", or kept with a reason).
    QSet<quint64> m_settled;
    /// Rows whose "DELE" the server confirmed in the current session.
    QList<quint64> m_confirmed;
    std::function<void()> m_then;
    bool m_waitingForCheck = false;
    std::function<void()> m_waitingThen;
};

} // namespace kvorn

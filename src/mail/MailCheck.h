// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mail/CMessages.h"
#include "mail/MailSettings.h"
#include "mail/Pop3Session.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <vector>

namespace kvorn {

class MailClassifier;
class MessageListModel;
class MainController;
class Prompt;
struct Options;

/// Where the check's reply handler stands once the session has logged on.
enum class MailStep : int
{
    AwaitStat,
    AwaitMessage,
    AwaitUidl,
    AwaitQuitReply,
    /// The capability list (RFC 2449), asked for before a mailbox of several messages is
    /// listed: a server that offers PIPELINING gets its requests in batches.
    AwaitCapa,
};

/// The counters and buffers of one account's dialogue.
struct MailCheckState
{
    std::int32_t TimerMinutes = 0;
    std::int32_t MessageCount = 0;
    std::int32_t CurrentMessage = 0;
    /// The lines of the multi-line reply collected so far, its status line first.
    QStringList ReceiveBuffer;
    qint64 MailboxSize = 0;
    bool RowHidden = false;
};

/// The POP3 mail check: logs on to each selected account in turn, lists every waiting
/// message with its headers and unique ID in the mail list, and hands each new row to the
/// classifier. It is driven by its POP3 session's events and two timers, so the window
/// stays responsive throughout. While marked mail is processed ("DEL" mode) it waits, and
/// lends the processing its status box.
class MailCheck : public QObject, private Pop3Session::Client
{
    Q_OBJECT

public:
    struct Services
    {
        MailSettings &settings;
        MailAccounts &accounts;
        MessageListModel &list;
        Prompt &prompt;
        /// The status bar, the periodic check timer and the program's end; may be null
        /// (the check then keeps a periodic timer of its own).
        MainController *controller = nullptr;
        /// "AutoColumn"; may be null.
        const Options *options = nullptr;
    };

    explicit MailCheck(Services services, QObject *parent = nullptr);
    ~MailCheck() override;

    // --- commands -------------------------------------------------------------------------
    /// Starts a check of the selected accounts and returns at once; `checkFinished` tells
    /// its end. A request while a check runs is ignored (false); one while marked mail is
    /// processed waits and starts when the processing ends.
    bool GetNewMail();
    /// The stop command ("&Stop Mail "): reset and log off, close, abort the running check.
    void stopMail();
    /// Sets the abort flag (the program is ending or the user stops).
    void requestReset();
    /// Sets the periodic check timer to a minute and starts it when "TimerOn" is on.
    void startPeriodicTimerIfOn();
    bool isChecking() const { return m_running; }
    /// The accounts of the current (or last) check, as they were when it started.
    const std::vector<MailAccount> &runAccounts() const { return m_runAccounts; }

    // --- run state -----------------------------------------------------------------------------
    QString MailMode = QStringLiteral("Get");
    bool MailBusy() const { return m_busy; }
    bool ResetMail = false;
    bool MailDefaultOnly = false;
    QString MailUser;
    QString MailAcctName;
    /// Summed in 64 bits: a few accounts can each claim 2^31 - 1 messages.
    qint64 MessageTotal = 0;
    kvorn::MailCheckState MailCheckState;
    /// Sets the mode; back to "Get" starts a check that waited for the processing run, and
    /// spends a stop request that was meant for the processing.
    void setMailMode(const QString &mode);

    /// Restarts the reply watch timer, as after every handled reply.
    void restartWatch();
    /// Shows "Messages: " and `MessageTotal` on the mail screen's status bar.
    void showMessageTotal();
    /// A listed message was deleted on its server: one message fewer waits.
    void messageDeleted();

    // --- the status box `txtMStatus` ------------------------------------------------------
    const QString &statusText() const { return m_status; }
    /// Adds a line (text and CR LF) at the end.
    void appendStatus(const QString &text);
    void setStatusText(const QString &text);

    // --- timer handlers, public so that tests can drive them ------------------------------
    void tmrMailWatch_Timer();
    void tmrMailLoopCheck_Timer();

    Pop3Session &session() { return m_session; }
    QTimer &mailWatchTimer() { return m_watch; }
    QTimer &mailLoopTimer() { return *m_loop; }

    // --- the next steps' hooks ------------------------------------------------------------
    void setClassifier(MailClassifier *classifier) { m_classifier = classifier; }
    /// Runs the processing of marked mail before a periodic check when "AutoDelete" is on;
    /// the runner calls its argument when the processing is over.
    void setAutoDeleteRunner(std::function<void(std::function<void()>)> runner)
    {
        m_autoDelete = std::move(runner);
    }

    /// The most one line may hold before the account is ended (a server sending an endless
    /// line), and the most bytes and lines one message may hold before it is skipped (a
    /// gigantic message, or one of countless tiny lines, each of which costs memory too).
    void setReplyLimits(qint64 lineBytes, qint64 replyBytes,
                        qsizetype replyLines = kDefaultReplyLines);
    /// The most messages listed per account and check; the rest of a larger mailbox is
    /// left for later, with a word in the status box.
    void setRowLimit(std::int32_t rows) { m_rowLimit = rows; }

    static constexpr qsizetype kDefaultReplyLines = 1 << 20;
    static constexpr std::int32_t kDefaultRowLimit = 100000;
    /// How many messages' requests may be on their way at once when the server pipelines.
    static constexpr std::int32_t kPipelineWindow = 100;

Q_SIGNALS:
    void statusTextChanged(const QString &text);
    void checkStarted();
    void checkFinished();
    /// "AutoColumn" is on and the list's texts changed: fit the columns.
    void columnsFitRequested();

private:
    using LineResult = Pop3Session::LineResult;

    LineResult sessionLine(const QString &line) override;
    void sessionFailed(const Pop3Session::Failure &failure) override;
    void sessionProgress(const QString &text) override { appendStatus(text); }
    void sessionAnswered() override;
    bool sessionDataKeepsAlive() const override;

    void setMailBusy(bool busy);
    void beginDialogue(const MailAccount &account);
    bool sendCommand(const QString &command) { return m_session.send(command); }
    int serverTimeout() const;
    void nextAccount();
    void accountEnded();
    void queueAccountEnded();
    void endRun();
    void finishRun();
    void abortAccount();
    void onLimit();
    void onResetRequested();
    LineResult handleReply(const QString &line);
    void completeMessage();
    void sendUidl();
    void startListing();
    LineResult handleCapaLine(const QString &line);
    void nextMessageOrQuit();
    /// Files the answer to the unique-ID request of the current message; `listed`: its row
    /// is the one added last.
    void takeUniqueId(const QString &line, bool listed);
    void markUnprocessable(int row, const QString &why);
    void sendAhead();
    void endAccountWith(const QString &text);
    void skipMessage(const QString &text);
    void reportUnexpected(int number, const QString &description);

    MailSettings &m_settings;
    MailAccounts &m_accounts;
    MessageListModel &m_list;
    Prompt &m_prompt;
    MainController *m_controller;
    const Options *m_options;

    Pop3Session m_session;
    QTimer m_watch;
    QTimer m_ownLoop;
    QTimer *m_loop = nullptr;
    QString m_status;

    MailStep m_step = MailStep::AwaitStat;
    bool m_busy = false;
    bool m_running = false;
    bool m_pendingCheck = false;
    bool m_periodic = false;
    bool m_aborted = false;
    bool m_lastAccount = false;
    bool m_accountEndQueued = false;
    bool m_classifying = false;
    /// The dialogues are over; the classifier's last answers are awaited.
    bool m_settling = false;
    int m_accountIndex = -1;
    QStringList m_accountNames;
    /// The accounts as they were when the run started: the account dialogs may remove or
    /// reorder entries meanwhile, and the run must not log on to a neighbour's mailbox.
    std::vector<MailAccount> m_runAccounts;
    quint64 m_lastRowKey = 0;
    quint64 m_runSerial = 0;

    qint64 m_replyBytes = 0;
    qint64 m_replyLimit = 64 * 1024 * 1024;
    qsizetype m_replyLineLimit = kDefaultReplyLines;
    std::int32_t m_rowLimit = kDefaultRowLimit;
    /// After a skipped message: the dialogue starts again and goes on after this message.
    std::int32_t m_resumeAfter = 0;

    /// Asked once per account: its server's answer holds for a reconnection as well.
    bool m_capaAsked = false;
    bool m_capaListing = false;
    bool m_pipelining = false;
    /// The last message whose requests were sent on this connection.
    std::int32_t m_sentUpTo = 0;
    /// The message's header request failed; the answer to its unique-ID request, sent
    /// with it, is still to come and belongs to no row.
    bool m_uidlOrphan = false;

    /// The unique IDs of the current account so far, each with its row's key (0: no row).
    QHash<QString, quint64> m_seenIds;

    CMessages m_messages;
    MailClassifier *m_classifier = nullptr;
    std::function<void(std::function<void()>)> m_autoDelete;
};

} // namespace kvorn

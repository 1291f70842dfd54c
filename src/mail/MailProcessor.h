#pragma once

#include "mail/MailProcessingStates.h"
#include "mail/MailSettings.h"

#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTimer>
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
/// Runs on the mail check's socket and reply handler ("DEL" mode), driven by their events:
/// nothing blocks.
class MailProcessor : public QObject, public MailProcessingStates
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
    /// `then` (when given) runs after it. False, and nothing starts, while a check or
    /// another processing run is going on.
    bool ProcessMail(std::function<void()> then = {});
    /// The stop command: the run ends at once; rows not yet processed keep their marks.
    void stop();
    bool isProcessing() const { return m_running; }

    /// Set when the searched message was found and its delete command sent.
    bool MailDelConfirm = false;

    void AwaitUidlForDelete(const QString &reply) override;
    void AwaitDeleReply(const QString &reply) override;

    /// The "Status" texts of rows whose deletion was not confirmed.
    static QString notDeletedStatus(const QString &why)
    {
        return QStringLiteral("Not Deleted: ") + why;
    }

Q_SIGNALS:
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
    void onSilence();

    MailCheck &m_check;
    MessageListModel &m_list;
    const MailSettings &m_settings;
    const MailAccounts &m_accounts;
    Prompt &m_prompt;
    KillLog *m_killLog;

    QTimer m_silence;
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
};

} // namespace kvorn

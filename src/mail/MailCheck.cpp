// SPDX-License-Identifier: GPL-3.0-or-later
#include "mail/MailCheck.h"

#include "core/MainController.h"
#include "core/Options.h"
#include "core/Prompt.h"
#include "core/StatusTexts.h"
#include "core/TextFile.h"
#include "mail/MailClassifier.h"
#include "mail/MessageListModel.h"
#include "mail/ReplyWord.h"
#include "mail/UniqueId.h"

#include <utility>

namespace kvorn {

namespace {
const QString kGet = QStringLiteral("Get");
const QString kDel = QStringLiteral("DEL");
constexpr int kMinuteMs = 60000;

/// The first message is fetched whole, the others by their headers and 20 lines.
QString messageRequest(std::int32_t n)
{
    // Without the historic trailing blank: strict servers answer "TOP n 20 " with an error
    // ("Noise after size").
    return n == 1 ? QStringLiteral("RETR 1") : QStringLiteral("TOP %1 20").arg(n);
}

QString uniqueIdRequest(std::int32_t n)
{
    return QStringLiteral("UIDL %1").arg(n);
}
} // namespace

MailCheck::MailCheck(Services services, QObject *parent)
    : QObject(parent), m_settings(services.settings), m_accounts(services.accounts),
      m_list(services.list), m_prompt(services.prompt), m_controller(services.controller),
      m_options(services.options)
{
    m_watch.setObjectName(QStringLiteral("tmrMailWatch"));
    m_watch.setInterval(serverTimeout());
    connect(&m_watch, &QTimer::timeout, this, &MailCheck::tmrMailWatch_Timer);

    if (m_controller) {
        m_loop = &m_controller->mailLoopTimer();
        connect(m_controller, &MainController::mailLoopTicked, this,
                &MailCheck::tmrMailLoopCheck_Timer);
        connect(m_controller, &MainController::exitStarted, this, &MailCheck::requestReset);
    } else {
        m_ownLoop.setObjectName(QStringLiteral("tmrMailLoopCheck"));
        m_loop = &m_ownLoop;
        connect(&m_ownLoop, &QTimer::timeout, this, &MailCheck::tmrMailLoopCheck_Timer);
    }
}

MailCheck::~MailCheck() = default;

int MailCheck::serverTimeout() const
{
    // A zero or negative stored time-out would make both timers fire without pause.
    return qMax(m_settings.ServerTO, 1000);
}

void MailCheck::setReplyLimits(qint64 lineBytes, qint64 replyBytes, qsizetype replyLines)
{
    m_session.setLineLimit(lineBytes);
    m_replyLimit = replyBytes;
    m_replyLineLimit = replyLines;
}

// --- status box ----------------------------------------------------------------------------

void MailCheck::appendStatus(const QString &text)
{
    m_status += text;
    m_status += QLatin1String("\r\n");
    Q_EMIT statusTextChanged(m_status);
}

void MailCheck::setStatusText(const QString &text)
{
    m_status = text;
    Q_EMIT statusTextChanged(m_status);
}

void MailCheck::showMessageTotal()
{
    if (m_controller)
        m_controller->UpdateStatusBar(MailScreen, 2,
                                      QStringLiteral("Messages: %1").arg(MessageTotal));
}

void MailCheck::messageDeleted()
{
    if (MessageTotal > 0)
        --MessageTotal;
    showMessageTotal();
}

// --- run state -----------------------------------------------------------------------------

void MailCheck::setMailBusy(bool busy)
{
    if (m_busy == busy)
        return;
    m_busy = busy;
    if (!busy && m_running)
        queueAccountEnded();
}

void MailCheck::setMailMode(const QString &mode)
{
    if (mode == kGet && MailMode == kDel && !m_running)
        ResetMail = false;
    MailMode = mode;
    if (mode == kGet && m_pendingCheck) {
        m_pendingCheck = false;
        QTimer::singleShot(0, this, [this] { GetNewMail(); });
    }
}

void MailCheck::restartWatch()
{
    m_watch.stop();
    m_watch.start();
}

void MailCheck::beginDialogue(const MailAccount &account)
{
    MailUser = account.AcctUser;
    MailAcctName = account.MailName;
    m_step = MailStep::AwaitStat;
    MailCheckState.MessageCount = 0;
    MailCheckState.CurrentMessage = 0;
    MailCheckState.ReceiveBuffer.clear();
    MailCheckState.RowHidden = false;
    m_replyBytes = 0;
    m_sentUpTo = 0;
    m_uidlOrphan = false;
    m_capaListing = false;
    m_classifying = false;
    m_busy = true;
    m_session.setTimeLimit(serverTimeout());
    m_session.begin(account, this);
}

// --- the run -------------------------------------------------------------------------------

bool MailCheck::GetNewMail()
{
    if (m_running)
        return false;
    if (MailMode == kDel) {
        // Processing owns the socket; the check follows as soon as it is done.
        m_pendingCheck = true;
        return true;
    }
    m_loop->stop();
    MessageTotal = 0;
    setStatusText(QString());
    m_list.clear();
    // A stop pressed while nothing ran must not abort this check.
    ResetMail = false;

    m_accountNames = mailAccountNames(m_settings);
    m_runAccounts.assign(m_accounts.begin(), m_accounts.begin() + m_accountNames.size());
    if (m_accountNames.isEmpty()) {
        Q_EMIT checkStarted();
        Q_EMIT checkFinished();
        if (m_periodic) {
            m_periodic = false;
            MailCheckState.TimerMinutes = 0;
            m_loop->start();
        }
        return true;
    }
    m_running = true;
    m_aborted = false;
    m_lastAccount = false;
    m_accountIndex = -1;
    ++m_runSerial;
    Q_EMIT checkStarted();
    nextAccount();
    return true;
}

void MailCheck::nextAccount()
{
    while (++m_accountIndex < m_accountNames.size()) {
        const MailAccount &account = m_runAccounts[std::size_t(m_accountIndex)];
        if (MailDefaultOnly && !account.AcctDefault)
            continue;
        m_messages.Clear();
        MailMode = kGet;
        m_resumeAfter = 0;
        m_seenIds.clear();
        m_capaAsked = false;
        m_pipelining = false;
        m_session.close();
        appendStatus(QStringLiteral("close"));
        beginDialogue(account);
        appendStatus(QStringLiteral("Checking ") + MailUser);
        return;
    }
    endRun();
}

void MailCheck::queueAccountEnded()
{
    if (m_accountEndQueued)
        return;
    m_accountEndQueued = true;
    // Ends the account after the current handler has returned, so that the next account
    // never starts inside the previous one's reply handler.
    QTimer::singleShot(0, this, [this, serial = m_runSerial] {
        m_accountEndQueued = false;
        if (serial == m_runSerial && m_running)
            accountEnded();
    });
}

void MailCheck::accountEnded()
{
    if (m_busy)
        return;
    m_session.stopTimeLimit();
    m_watch.stop();
    m_watch.setInterval(serverTimeout());
    m_classifying = false;
    if (ResetMail && !m_aborted) {
        abortAccount();
        return;
    }
    if (m_lastAccount)
        endRun();
    else
        nextAccount();
}

void MailCheck::endRun()
{
    // An aborted check ends at once; the rows keep what their answers bring later.
    if (!m_classifier || ResetMail) {
        finishRun();
        return;
    }
    if (m_settling)
        return;
    m_settling = true;
    m_classifier->whenSettled([self = QPointer<MailCheck>(this), serial = m_runSerial] {
        if (!self || serial != self->m_runSerial || !self->m_settling)
            return;
        self->finishRun();
    });
}

void MailCheck::finishRun()
{
    m_settling = false;
    if (ResetMail)
        ResetMail = false;
    else
        appendStatus(QStringLiteral("Finished Checking"));
    if (m_settings.TimerOn) {
        m_loop->setInterval(kMinuteMs);
        m_loop->start();
    }
    m_running = false;
    ++m_runSerial;
    if (m_periodic) {
        m_periodic = false;
        MailCheckState.TimerMinutes = 0;
        m_loop->start();
    }
    Q_EMIT checkFinished();
}

void MailCheck::abortAccount()
{
    m_aborted = true;
    ResetMail = true;
    appendStatus(QStringLiteral("Mail Aborted"));
    m_watch.stop();
    m_watch.setInterval(serverTimeout());
    m_session.close();
    m_lastAccount = true;
    if (m_busy) {
        setMailBusy(false); // queues the account's end, which finishes the run
    } else {
        queueAccountEnded();
    }
}

void MailCheck::onLimit()
{
    if (!m_running || !m_busy || m_aborted)
        return;
    ResetMail = true;
    abortAccount();
}

void MailCheck::requestReset()
{
    ResetMail = true;
    QTimer::singleShot(0, this, &MailCheck::onResetRequested);
}

void MailCheck::onResetRequested()
{
    if (!ResetMail)
        return;
    if (m_running) {
        if (!m_aborted)
            abortAccount();
    } else if (MailMode != kDel) {
        // Nothing runs that could take note of it: do not let it abort the next check.
        ResetMail = false;
    }
}

void MailCheck::stopMail()
{
    // Errors of these sends (no connection open) do not matter.
    m_session.sendLines("RSET\r\nQUIT\r\n");
    ResetMail = true;
    m_session.close();
    QTimer::singleShot(0, this, &MailCheck::onResetRequested);
}

void MailCheck::startPeriodicTimerIfOn()
{
    if (m_settings.TimerOn) {
        m_loop->setInterval(kMinuteMs);
        m_loop->start();
    }
}

// --- timers --------------------------------------------------------------------------------

void MailCheck::tmrMailWatch_Timer()
{
    setStatusText(QStringLiteral("Mail Timed out"));
}

void MailCheck::tmrMailLoopCheck_Timer()
{
    m_loop->stop();
    ++MailCheckState.TimerMinutes;
    const bool due = m_settings.TimerOn && MailCheckState.TimerMinutes >= m_settings.TimerCount;
    if (!due || m_running || MailMode == kDel || m_periodic) {
        // A check or processing run is going on: the due check comes at a later tick.
        m_loop->start();
        return;
    }
    m_periodic = true;
    const auto check = [self = QPointer<MailCheck>(this)] {
        if (!self)
            return;
        if (!self->GetNewMail()) {
            self->m_periodic = false;
            self->m_loop->start();
        }
    };
    if (m_settings.AutoDelete && m_autoDelete)
        m_autoDelete(check);
    else
        check();
}

// --- session events ------------------------------------------------------------------------

void MailCheck::sessionFailed(const Pop3Session::Failure &failure)
{
    using Kind = Pop3Session::Failure::Kind;
    switch (failure.kind) {
    case Kind::TimedOut:
        onLimit();
        return;
    case Kind::Unexpected:
        reportUnexpected(failure.number, failure.text);
        return;
    case Kind::LongLine:
        endAccountWith(QStringLiteral("The server sent a line longer than %1 bytes; the check "
                                      "of %2 was ended.")
                           .arg(m_session.lineLimit())
                           .arg(MailUser));
        return;
    case Kind::Refused:
    case Kind::LineBreak:
    case Kind::Connection:
        appendStatus(failure.text);
        // Waiting out the time limit would only abort the later accounts as well.
        if (m_running && m_busy) {
            m_classifying = false;
            setMailBusy(false);
        }
        return;
    }
}

bool MailCheck::sessionDataKeepsAlive() const
{
    // A long message is a reply in progress as long as its data keeps coming.
    return m_running && m_busy && !m_classifying && m_step == MailStep::AwaitMessage;
}

void MailCheck::reportUnexpected(int number, const QString &description)
{
    MailCheckState.ReceiveBuffer.clear();
    m_prompt.message(errorText(number, description, QStringLiteral("GetNewMail"),
                               QStringLiteral("frmKmain"), true),
                     Prompt::Buttons::Ok, Prompt::Icon::Critical);
    if (m_running) {
        ResetMail = true;
        if (!m_aborted)
            abortAccount();
    }
}

MailCheck::LineResult MailCheck::sessionLine(const QString &line)
{
    if (!m_running)
        return LineResult::Ignored;
    const LineResult r = handleReply(line);
    // The account is over: what else came waits for nobody.
    if (r == LineResult::Handled && !m_busy)
        return LineResult::Done;
    return r;
}

void MailCheck::sessionAnswered()
{
    if (m_options && m_options->AutoColumn)
        Q_EMIT columnsFitRequested();
    restartWatch();
}

void MailCheck::skipMessage(const QString &text)
{
    // A POP3 reply cannot be broken off, and reading it through would take as long as the
    // message (or for ever, from a server that never ends it). A new connection to the same
    // account goes on after the message instead; nothing was changed on the server.
    appendStatus(text);
    m_resumeAfter = MailCheckState.CurrentMessage;
    beginDialogue(m_runAccounts[std::size_t(m_accountIndex)]);
    appendStatus(QStringLiteral("Checking ") + MailUser);
    restartWatch();
}

void MailCheck::endAccountWith(const QString &text)
{
    MailCheckState.ReceiveBuffer.clear();
    m_replyBytes = 0;
    appendStatus(text);
    m_session.close();
    setMailBusy(false);
}

MailCheck::LineResult MailCheck::handleReply(const QString &line)
{
    if (ResetMail) {
        setMailBusy(false);
        return LineResult::Stop;
    }
    if (m_step == MailStep::AwaitCapa)
        return handleCapaLine(line);
    if (m_uidlOrphan && m_step == MailStep::AwaitUidl) {
        // Either answer will do: the message it concerns was not listed.
        if (!line.startsWith(QLatin1Char('+')) && !Pop3Session::isErrorReply(line))
            return LineResult::Ignored;
        m_uidlOrphan = false;
        if (line.startsWith(QLatin1Char('+')))
            takeUniqueId(line, false);
        nextMessageOrQuit();
        return LineResult::Handled;
    }
    if (m_step != MailStep::AwaitMessage && !line.startsWith(QLatin1Char('+'))) {
        if (!Pop3Session::isErrorReply(line))
            return LineResult::Ignored;
        appendStatus(line);
        setMailBusy(false);
        return LineResult::Handled;
    }

    kvorn::MailCheckState &st = MailCheckState;
    switch (m_step) {
    case MailStep::AwaitStat: {
        bool countOk = false;
        bool sizeOk = false;
        const std::int32_t count = ReplyWord(line, 1, QStringLiteral(" ")).toInt(&countOk);
        const qint64 size = ReplyWord(line, 2, QStringLiteral(" ")).trimmed().toLongLong(&sizeOk);
        if (!countOk) {
            // Not a count: say so and log off instead of stalling until the time limit.
            appendStatus(line);
            sendCommand(QStringLiteral("QUIT"));
            m_session.close();
            setMailBusy(false);
            return LineResult::Stop;
        }
        st.MessageCount = count;
        st.MailboxSize = sizeOk ? size : 0;
        if (m_resumeAfter > 0) {
            // Back after a skipped message: its mailbox was counted already.
            st.CurrentMessage = m_resumeAfter;
            m_resumeAfter = 0;
            startListing();
            return LineResult::Handled;
        }
        MessageTotal += count;
        showMessageTotal();
        if (count == 0) {
            sendCommand(QStringLiteral("QUIT"));
            appendStatus(QStringLiteral("QUIT No Messages"));
            m_session.close();
            setMailBusy(false);
            return LineResult::Stop;
        }
        if (count > 0) {
            appendStatus(QStringLiteral("Scanning Mail..."));
            startListing();
        } else {
            m_step = MailStep::AwaitQuitReply;
            sendCommand(QStringLiteral("QUIT"));
            appendStatus(QStringLiteral("QUIT"));
            m_session.close();
            setMailBusy(false);
            m_prompt.message(QStringLiteral("no mail."), Prompt::Buttons::Ok,
                             Prompt::Icon::Information);
            return LineResult::Stop;
        }
        break;
    }
    case MailStep::AwaitMessage:
        if (st.ReceiveBuffer.isEmpty()) {
            // The status line of the answer to RETR or TOP.
            if (!line.startsWith(QLatin1Char('+'))) {
                if (Pop3Session::isErrorReply(line)) {
                    // The server will not give this message: show why and go on with the
                    // next one instead of waiting for data that never comes.
                    appendStatus(line);
                    if (m_pipelining) {
                        m_step = MailStep::AwaitUidl;
                        m_uidlOrphan = true;
                    } else {
                        nextMessageOrQuit();
                    }
                }
                return LineResult::Handled;
            }
            st.ReceiveBuffer.append(line);
            m_replyBytes = line.size();
            return LineResult::Handled;
        }
        if (line == QLatin1String(".")) {
            completeMessage();
            return LineResult::Handled;
        }
        m_replyBytes += line.size() + 2;
        if (m_replyBytes > m_replyLimit) {
            skipMessage(QStringLiteral("Message %1 is larger than %2 bytes; it was skipped.")
                            .arg(st.CurrentMessage)
                            .arg(m_replyLimit));
            return LineResult::Stop;
        }
        if (st.ReceiveBuffer.size() > m_replyLineLimit) {
            skipMessage(QStringLiteral("Message %1 has more than %2 lines; it was skipped.")
                            .arg(st.CurrentMessage)
                            .arg(m_replyLineLimit));
            return LineResult::Stop;
        }
        st.ReceiveBuffer.append(line);
        return LineResult::Handled;
    case MailStep::AwaitUidl:
        takeUniqueId(line, !std::exchange(st.RowHidden, false));
        nextMessageOrQuit();
        break;
    case MailStep::AwaitQuitReply:
        m_session.close();
        appendStatus(QStringLiteral("Close"));
        setMailBusy(false);
        break;
    case MailStep::AwaitCapa: // answered above
        break;
    }
    return LineResult::Handled;
}

void MailCheck::takeUniqueId(const QString &line, bool listed)
{
    // Processing finds a message again by its unique ID alone, so an ID that could belong to
    // another message as well is no ID: its row is never processed.
    const std::int32_t n = MailCheckState.CurrentMessage;
    const int row = listed ? m_list.rowOfKey(m_lastRowKey) : -1;
    const UidlReply reply = parseUidlReply(line);
    QString fault = reply.number == n ? uniqueIdFault(reply.uniqueId)
                                      : QStringLiteral("the server named message %1 when asked "
                                                       "for message %2")
                                            .arg(reply.number)
                                            .arg(n);
    if (fault.isEmpty()) {
        const auto seen = m_seenIds.constFind(reply.uniqueId);
        if (seen == m_seenIds.constEnd()) {
            // Unlisted messages count as well: processing must not find one of them instead.
            m_seenIds.insert(reply.uniqueId, row >= 0 ? m_lastRowKey : 0);
        } else {
            fault = QStringLiteral("another message has the same unique ID");
            if (const int other = m_list.rowOfKey(*seen); *seen != 0 && other >= 0)
                markUnprocessable(other, fault);
        }
    }
    if (row < 0)
        return;
    if (fault.isEmpty())
        m_list.setText(row, ColUniqueId, reply.uniqueId);
    else
        markUnprocessable(row, fault);
}

void MailCheck::markUnprocessable(int row, const QString &why)
{
    if (!m_list.unprocessable(row).isEmpty())
        return;
    m_list.setUnprocessable(row, why);
    appendStatus(QStringLiteral("Message %1 of %2 will not be processed: %3")
                     .arg(m_list.tag(row))
                     .arg(MailAcctName, why));
}

void MailCheck::nextMessageOrQuit()
{
    kvorn::MailCheckState &st = MailCheckState;
    st.ReceiveBuffer.clear();
    m_replyBytes = 0;
    if (st.CurrentMessage < st.MessageCount && st.CurrentMessage >= m_rowLimit) {
        // Every row costs memory: a mailbox that claims billions of messages must not
        // take it all.
        appendStatus(QStringLiteral("Only the first %1 of %2 messages of %3 were listed.")
                         .arg(m_rowLimit)
                         .arg(st.MessageCount)
                         .arg(MailUser));
        st.CurrentMessage = st.MessageCount;
    }
    if (st.CurrentMessage >= st.MessageCount) {
        m_step = MailStep::AwaitQuitReply;
        sendCommand(QStringLiteral("QUIT"));
        appendStatus(QStringLiteral("QUIT"));
    } else {
        ++st.CurrentMessage;
        m_step = MailStep::AwaitMessage;
        if (m_pipelining)
            sendAhead();
        else
            sendCommand(messageRequest(st.CurrentMessage));
    }
}

void MailCheck::startListing()
{
    const kvorn::MailCheckState &st = MailCheckState;
    // One message gains nothing from batches; the question would cost a round trip.
    if (m_capaAsked || st.MessageCount - st.CurrentMessage < 2) {
        nextMessageOrQuit();
        return;
    }
    m_capaAsked = true;
    m_capaListing = false;
    m_step = MailStep::AwaitCapa;
    sendCommand(QStringLiteral("CAPA"));
}

MailCheck::LineResult MailCheck::handleCapaLine(const QString &line)
{
    if (!m_capaListing) {
        if (line.startsWith(QLatin1Char('+'))) {
            m_capaListing = true;
            return LineResult::Handled;
        }
        if (!Pop3Session::isErrorReply(line))
            return LineResult::Ignored;
        // A server from before capabilities: one request at a time, as ever.
        nextMessageOrQuit();
        return LineResult::Handled;
    }
    if (line == QLatin1String(".")) {
        m_capaListing = false;
        nextMessageOrQuit();
        return LineResult::Handled;
    }
    if (line.section(QLatin1Char(' '), 0, 0)
            .compare(QLatin1String("PIPELINING"), Qt::CaseInsensitive) == 0)
        m_pipelining = true;
    // A list that never ends must not hold the time limit off.
    return LineResult::Ignored;
}

void MailCheck::sendAhead()
{
    // The server answers in order, so the replies keep to the dialogue of one request at a
    // time; only the waits for each round trip go. The window bounds what may wait unread.
    const kvorn::MailCheckState &st = MailCheckState;
    const std::int32_t last = qMin(st.MessageCount, m_rowLimit);
    m_sentUpTo = qMax(m_sentUpTo, st.CurrentMessage - 1);
    if (m_sentUpTo - st.CurrentMessage + 1 > kPipelineWindow / 2)
        return;
    QString batch;
    while (m_sentUpTo < last && m_sentUpTo - st.CurrentMessage + 1 < kPipelineWindow) {
        ++m_sentUpTo;
        batch += messageRequest(m_sentUpTo);
        batch += QLatin1String("\r\n");
        batch += uniqueIdRequest(m_sentUpTo);
        batch += QLatin1String("\r\n");
    }
    if (!batch.isEmpty())
        m_session.sendLines(batch.toLatin1());
}

void MailCheck::completeMessage()
{
    kvorn::MailCheckState &st = MailCheckState;
    // The status line goes; the data lines each keep their CR LF; doubled dots stay.
    QString text;
    if (st.ReceiveBuffer.size() > 1) {
        text.reserve(m_replyBytes);
        for (qsizetype i = 1; i < st.ReceiveBuffer.size(); ++i) {
            text += st.ReceiveBuffer.at(i);
            text += QLatin1String("\r\n");
        }
    }
    st.ReceiveBuffer.clear();
    m_replyBytes = 0;

    const QString key = QString::number(st.CurrentMessage);
    auto message = std::make_unique<CMessage>();
    message->CreateFromText(text);
    m_messages.Clear();
    m_messages.Add(std::move(message), key);
    const CMessage &m = *m_messages.Item(key);

    MailListRow row;
    row.tag = st.CurrentMessage;
    row.text[ColFrom] = m.From;
    row.text[ColSubject] = m.Subject;
    row.text[ColDate] = m.SendDate;
    row.text[ColSize] = QString::number(m.MessSize());
    row.text[ColAccount] = MailAcctName;
    row.text[ColBounce] = QStringLiteral("False");
    row.text[ColStatus] = key;
    row.text[ColBlacklist] = m.Received;
    row.text[ColPriority] = m.Priority;
    row.text[ColTo] = key;
    m_lastRowKey = m_list.addRow(std::move(row));
    m_list.setSelectedRow(m_list.rowOfKey(m_lastRowKey));
    m_messages.Clear();
    st.RowHidden = false;

    if (!m_classifier) {
        sendUidl();
        return;
    }
    // The server waits for our next command, so its time limit does not run meanwhile;
    // lines that come meanwhile wait in the session.
    m_classifying = true;
    m_session.setPaused(true);
    const quint64 connection = m_session.connectionSerial();
    m_classifier->classify(
        m_lastRowKey, [self = QPointer<MailCheck>(this), connection](bool hidden) {
            if (!self || !self->m_classifying || connection != self->m_session.connectionSerial())
                return;
            self->m_classifying = false;
            self->MailCheckState.RowHidden = hidden;
            self->sendUidl();
            self->m_session.setPaused(false);
        });
}

void MailCheck::sendUidl()
{
    m_step = MailStep::AwaitUidl;
    // Pipelined, it went out with the message's own request.
    if (!m_pipelining)
        sendCommand(uniqueIdRequest(MailCheckState.CurrentMessage));
}

} // namespace kvorn

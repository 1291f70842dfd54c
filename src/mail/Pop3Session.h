// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mail/MailSettings.h"
#include "mail/TcpClientSocket.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

namespace kvorn {

/// One POP3 connection as the mail check, the processing of marked mail and the preview
/// each use it: connect (plain, TLS from the start, or "STLS"), log on with "USER" and
/// "PASS", ask "STAT", then hand every reply line to the client that began the session.
/// It assembles the lines, bounds them, and keeps the time limit; what the lines mean is
/// the client's business.
class Pop3Session : public QObject
{
    Q_OBJECT

public:
    /// What the client made of a reply line.
    enum class LineResult
    {
        Handled, ///< an answer: the time limit starts again, the next line follows
        Ignored, ///< noise or a line the client did not wait for: it does not count as life
        Done,    ///< an answer after which the client waits: the rest stays unread for now
        Stop     ///< taken, but no answer: the rest stays unread for now
    };

    struct Failure
    {
        enum class Kind
        {
            Refused,    ///< the server answered the log-on with an error; `text` is its line
            LineBreak,  ///< the user name or password holds a line break; nothing was sent
            Connection, ///< the socket failed; `text` is "number : description"
            LongLine,   ///< the server sent a line longer than the line limit
            TimedOut,   ///< nothing came within the time limit; the connection stays open
            Unexpected  ///< handling a line threw; `number` is the classic error number
        };
        Kind kind;
        QString text;
        int number = 0;
    };

    class Client
    {
    public:
        virtual ~Client() = default;
        /// A reply line, without its line end, from the answer to "STAT" on.
        virtual LineResult sessionLine(const QString &line) = 0;
        /// The session ended for the reason given (closed, except after a time-out).
        virtual void sessionFailed(const Failure &failure) = 0;
        /// A log-on step the user may see: "STLS", "USER name", "STAT".
        virtual void sessionProgress(const QString &text) { Q_UNUSED(text); }
        /// An arrival held answers (or the TLS handshake ended).
        virtual void sessionAnswered() {}
        /// Whether data that completes no line yet is a sign of life (a long reply coming).
        virtual bool sessionDataKeepsAlive() const { return true; }
    };

    explicit Pop3Session(QObject *parent = nullptr);
    ~Pop3Session() override;

    /// Closes any connection, then connects to the account's server ("host" or
    /// "host:port", port 110 by default) for `client`, and starts the time limit.
    void begin(const MailAccount &account, Client *client);
    /// Sends a command; CR LF is added. False when no connection is open, or when the
    /// command holds CR or LF (it is then not sent at all).
    bool send(const QString &command);
    /// Sends several command lines at once, each already ending in CR LF.
    bool sendLines(const QByteArray &lines);
    /// Ends the connection; lines not yet handed over are dropped, and so is anything
    /// arriving later on it.
    void close();
    bool isOpen() const { return m_socket.isOpen(); }
    /// Counts connections, so that an answer awaited elsewhere can tell it still belongs
    /// to the current one.
    quint64 connectionSerial() const { return m_serial; }
    const MailAccount &account() const { return m_account; }

    /// While paused, complete lines wait unread and the time limit does not run: the
    /// client is busy elsewhere, and the server waits for its next command. Resuming hands
    /// the waiting lines over after the current handler has returned.
    void setPaused(bool paused);
    bool isPaused() const { return m_paused; }

    void setTimeLimit(int ms) { m_timeLimit.setInterval(ms); }
    void restartTimeLimit();
    void stopTimeLimit() { m_timeLimit.stop(); }
    /// The longest line that may arrive before the session ends.
    void setLineLimit(qint64 bytes) { m_lineLimit = bytes; }
    qint64 lineLimit() const { return m_lineLimit; }

    /// A negative answer ("-ERR ..."); a server's noise is neither this nor positive.
    static bool isErrorReply(const QString &line);
    /// The text a refused line break gives.
    static QString lineBreakRefusedText();

    TcpClientSocket &socket() { return m_socket; }

private:
    enum class State
    {
        Idle,
        Greeting,
        Stls,
        User,
        Pass,
        Open
    };

    void onData();
    void onError(int number, const QString &description);
    void onEncrypted();
    void deliver();
    LineResult logOnLine(const QString &line);
    bool sendUser();
    void fail(Failure failure, bool closeFirst = true);

    TcpClientSocket m_socket;
    QTimer m_timeLimit;
    MailAccount m_account;
    Client *m_client = nullptr;
    State m_state = State::Idle;
    QByteArray m_buffer;
    qint64 m_lineLimit = 8 * 1024 * 1024;
    quint64 m_serial = 0;
    bool m_paused = false;
    bool m_delivering = false;
    bool m_deliveryQueued = false;
};

} // namespace kvorn

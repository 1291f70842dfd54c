// SPDX-License-Identifier: GPL-3.0-or-later
#include "mail/Pop3Session.h"

#include "core/TextFile.h"

#include <exception>
#include <new>

namespace kvorn {

Pop3Session::Pop3Session(QObject *parent) : QObject(parent)
{
    m_timeLimit.setSingleShot(true);
    m_timeLimit.setInterval(60000);
    connect(&m_timeLimit, &QTimer::timeout, this, [this] {
        if (m_client && m_state != State::Idle)
            fail({Failure::Kind::TimedOut, QString()}, false);
    });
    connect(&m_socket, &TcpClientSocket::DataArrival, this, &Pop3Session::onData);
    connect(&m_socket, &TcpClientSocket::Error, this, &Pop3Session::onError);
    connect(&m_socket, &TcpClientSocket::Encrypted, this, &Pop3Session::onEncrypted);
}

Pop3Session::~Pop3Session() = default;

bool Pop3Session::isErrorReply(const QString &line)
{
    return line.startsWith(QLatin1Char('-')) || line.contains(QLatin1String("-ERR"));
}

QString Pop3Session::lineBreakRefusedText()
{
    return QStringLiteral(
        "The account's user name or password holds a line break; it was not sent.");
}

void Pop3Session::begin(const MailAccount &account, Client *client)
{
    close();
    m_account = account;
    m_client = client;
    m_state = State::Greeting;
    restartTimeLimit();
    const HostPort hp = accountHostPort(account);
    if (account.AcctTLS == MailTls::Implicit)
        m_socket.ConnectEncrypted(hp.host, hp.port);
    else
        m_socket.Connect(hp.host, hp.port);
}

bool Pop3Session::send(const QString &command)
{
    return m_socket.SendCommand(command);
}

bool Pop3Session::sendLines(const QByteArray &lines)
{
    return m_socket.SendData(lines);
}

void Pop3Session::close()
{
    m_socket.Close();
    m_buffer.clear();
    ++m_serial;
    m_state = State::Idle;
    m_paused = false;
    m_timeLimit.stop();
}

void Pop3Session::restartTimeLimit()
{
    m_timeLimit.start();
}

void Pop3Session::setPaused(bool paused)
{
    m_paused = paused;
    if (paused) {
        m_timeLimit.stop();
        return;
    }
    if (m_state == State::Idle)
        return;
    restartTimeLimit();
    // Lines that came while the client was busy; handed over from the event loop, so that
    // the client's own handler ends first.
    if (m_delivering || m_deliveryQueued || !m_buffer.contains('\n'))
        return;
    m_deliveryQueued = true;
    QTimer::singleShot(0, this, [this, serial = m_serial] {
        m_deliveryQueued = false;
        if (serial == m_serial && !m_paused && m_state != State::Idle)
            deliver();
    });
}

void Pop3Session::onData()
{
    const QByteArray data = m_socket.GetData();
    if (data.isEmpty() || m_state == State::Idle || !m_client)
        return;
    if (!m_paused && m_client->sessionDataKeepsAlive())
        restartTimeLimit();
    m_buffer.append(data);
    deliver();
}

void Pop3Session::deliver()
{
    const quint64 connection = m_serial;
    bool answered = false;
    qsizetype start = 0;
    m_delivering = true;
    try {
        while (!m_paused) {
            const qsizetype lf = m_buffer.indexOf('\n', start);
            if (lf < 0)
                break;
            qsizetype end = lf;
            if (end > start && m_buffer.at(end - 1) == '\r')
                --end;
            const QString line = decodeLine(QByteArrayView(m_buffer).sliced(start, end - start));
            start = lf + 1;
            const LineResult r =
                m_state == State::Open ? m_client->sessionLine(line) : logOnLine(line);
            if (connection != m_serial) {
                // Closed, or moved on to a new connection: the rest is stale.
                m_delivering = false;
                return;
            }
            if (r == LineResult::Handled || r == LineResult::Done) {
                answered = true;
                // The time limit counts from the last answer; noise a server keeps sending
                // does not hold it off.
                if (!m_paused)
                    restartTimeLimit();
            }
            if (r == LineResult::Done || r == LineResult::Stop)
                break;
        }
    } catch (const std::bad_alloc &) {
        m_delivering = false;
        fail({Failure::Kind::Unexpected, QStringLiteral("Out of memory"), 7});
        return;
    } catch (const std::exception &e) {
        m_delivering = false;
        fail({Failure::Kind::Unexpected, QString::fromLocal8Bit(e.what()), 5});
        return;
    }
    m_delivering = false;
    m_buffer.remove(0, start);

    // Only the unfinished line counts: while the client is busy, the answers to requests
    // sent ahead wait here as whole lines.
    const qsizetype partialLine = m_buffer.size() - (m_buffer.lastIndexOf('\n') + 1);
    if (partialLine > m_lineLimit) {
        fail({Failure::Kind::LongLine,
              QStringLiteral("The server sent a line longer than %1 bytes.").arg(m_lineLimit)});
        return;
    }
    if (answered)
        m_client->sessionAnswered();
}

Pop3Session::LineResult Pop3Session::logOnLine(const QString &line)
{
    if (!line.startsWith(QLatin1Char('+'))) {
        if (!isErrorReply(line))
            return LineResult::Ignored;
        fail({Failure::Kind::Refused, line});
        return LineResult::Stop;
    }
    switch (m_state) {
    case State::Idle:
    case State::Open:
        return LineResult::Ignored;
    case State::Greeting:
        if (m_account.AcctTLS == MailTls::Stls && !m_socket.isEncrypted()) {
            m_state = State::Stls;
            send(QStringLiteral("STLS"));
            m_client->sessionProgress(QStringLiteral("STLS"));
            return LineResult::Handled;
        }
        return sendUser() ? LineResult::Handled : LineResult::Stop;
    case State::Stls:
        // Anything after the consent came in plain text and may be forged; the dialogue
        // goes on only with what arrives through the verified channel.
        m_buffer.clear();
        m_socket.StartTls();
        return LineResult::Stop;
    case State::User:
        m_state = State::Pass;
        if (TcpClientSocket::hasLineBreak(m_account.AcctPass)) {
            // The socket would refuse it anyway; end at once instead of at the time limit.
            fail({Failure::Kind::LineBreak, lineBreakRefusedText()});
            return LineResult::Stop;
        }
        send(QStringLiteral("PASS ") + m_account.AcctPass);
        return LineResult::Handled;
    case State::Pass:
        m_state = State::Open;
        send(QStringLiteral("STAT  "));
        m_client->sessionProgress(QStringLiteral("STAT"));
        return LineResult::Handled;
    }
    return LineResult::Ignored;
}

bool Pop3Session::sendUser()
{
    m_state = State::User;
    if (TcpClientSocket::hasLineBreak(m_account.AcctUser)) {
        fail({Failure::Kind::LineBreak, lineBreakRefusedText()});
        return false;
    }
    send(QStringLiteral("USER ") + m_account.AcctUser);
    m_client->sessionProgress(QStringLiteral("USER ") + m_account.AcctUser);
    return true;
}

void Pop3Session::onEncrypted()
{
    if (m_state != State::Stls || !m_client)
        return;
    if (!sendUser())
        return;
    // The handshake was the server's answer; the time limit counts from here.
    if (!m_paused)
        restartTimeLimit();
    m_client->sessionAnswered();
}

void Pop3Session::onError(int number, const QString &description)
{
    if (m_state == State::Idle || !m_client) {
        close();
        return;
    }
    fail({Failure::Kind::Connection, QStringLiteral("%1 : %2").arg(number).arg(description),
          number});
}

void Pop3Session::fail(Failure failure, bool closeFirst)
{
    Client *client = m_client;
    if (closeFirst)
        close();
    if (client)
        client->sessionFailed(failure);
}

} // namespace kvorn

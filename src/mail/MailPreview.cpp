#include "mail/MailPreview.h"

#include "mail/MailAccountEdit.h"
#include "mail/ReplyWord.h"

#include <algorithm>

namespace kvorn {

namespace {
const QString kBlank = QStringLiteral(" ");
const QString kGone = QStringLiteral("This message is no longer on the server.");
} // namespace

MailPreview::MailPreview(const MailSettings &settings, const MailAccounts &accounts,
                         QObject *parent)
    : QObject(parent), m_settings(settings), m_accounts(accounts)
{
    m_silence.setSingleShot(true);
    connect(&m_silence, &QTimer::timeout, this,
            [this] { fail(QStringLiteral("The mail server did not answer.")); });
    connect(&m_socket, &TcpClientSocket::DataArrival, this, [this](qint64) { onData(); });
    connect(&m_socket, &TcpClientSocket::Error, this, [this](int number, const QString &text) {
        if (m_state != State::Idle)
            fail(QStringLiteral("%1 : %2").arg(number).arg(text));
    });
    connect(&m_socket, &TcpClientSocket::Encrypted, this, [this] {
        if (m_state == State::Stls)
            sendUser();
    });
}

MailPreview::~MailPreview()
{
    m_socket.Close();
}

void MailPreview::start(const QString &accountAddress, std::int32_t number,
                        const QString &uniqueId)
{
    cancel();
    m_source.clear();
    m_sourceBytes = 0;
    m_message = CMessage{};
    m_error.clear();
    m_buffer.clear();
    m_number = number;
    m_uniqueId = uniqueId.trimmed();

    // The first account with the row's address; no other account's mailbox is asked.
    const int count = mailAccountCount(m_settings);
    int found = -1;
    for (int n = 0; n < count; ++n) {
        if (m_accounts[std::size_t(n)].MailName == accountAddress) {
            found = n;
            break;
        }
    }
    if (found < 0) {
        m_state = State::Greeting; // so that fail() reports
        fail(QStringLiteral("No mail account has the address %1.").arg(accountAddress));
        return;
    }
    m_account = m_accounts[std::size_t(found)];
    m_state = State::Greeting;
    m_silence.start(std::max<int>(1000, m_settings.ServerTO));
    const HostPort hp = accountHostPort(m_account);
    if (m_account.AcctTLS == MailTls::Implicit)
        m_socket.ConnectEncrypted(hp.host, hp.port);
    else
        m_socket.Connect(hp.host, hp.port);
}

void MailPreview::cancel()
{
    m_silence.stop();
    m_state = State::Idle;
    m_socket.Close();
}

bool MailPreview::send(const QString &command)
{
    if (m_socket.SendCommand(command))
        return true;
    fail(TcpClientSocket::hasLineBreak(command)
             ? QStringLiteral("The account's user name or password holds a line break; it "
                              "was not sent.")
             : QStringLiteral("The connection to the mail server was lost."));
    return false;
}

void MailPreview::sendUser()
{
    m_state = State::User;
    send(QStringLiteral("USER ") + m_account.AcctUser);
}

void MailPreview::onData()
{
    m_buffer.append(m_socket.GetData());
    if (m_state == State::Idle)
        return;
    m_silence.start(std::max<int>(1000, m_settings.ServerTO));
    qsizetype from = 0;
    for (;;) {
        const qsizetype lf = m_buffer.indexOf('\n', from);
        if (lf < 0)
            break;
        QByteArray raw = m_buffer.mid(from, lf - from);
        from = lf + 1;
        if (raw.endsWith('\r'))
            raw.chop(1);
        const State before = m_state;
        onLine(QString::fromUtf8(raw));
        if (m_state == State::Idle)
            return;
        if (before == State::Stls && m_state == State::Stls) {
            // Whatever follows the consent came in plain text; it is not from the server
            // the handshake will verify.
            m_buffer.clear();
            return;
        }
    }
    m_buffer.remove(0, from);
    if (m_state == State::Data && m_sourceBytes + m_buffer.size() > m_sizeLimit)
        fail(QStringLiteral("The message is larger than %1 MB; it is not shown.")
                 .arg(m_sizeLimit / (1024 * 1024)));
}

void MailPreview::onLine(const QString &line)
{
    if (m_state == State::Data) {
        if (line == QLatin1String(".")) {
            complete();
            return;
        }
        // The server doubles a leading dot so that no text line reads as the end marker.
        const QString text = line.startsWith(QLatin1Char('.')) ? line.mid(1) : line;
        m_source += text;
        m_source += QLatin1String("\r\n");
        m_sourceBytes += text.size() + 2;
        if (m_sourceBytes > m_sizeLimit)
            fail(QStringLiteral("The message is larger than %1 MB; it is not shown.")
                     .arg(m_sizeLimit / (1024 * 1024)));
        return;
    }
    if (!line.startsWith(QLatin1Char('+'))) {
        if (!line.startsWith(QLatin1Char('-')))
            return;
        if (m_state == State::Uidl) {
            // No message of that number any more: it can only have moved lower.
            if (--m_candidate > 0)
                send(QStringLiteral("UIDL %1").arg(m_candidate));
            else
                fail(kGone);
            return;
        }
        fail(line);
        return;
    }
    switch (m_state) {
    case State::Idle:
    case State::Data:
        return;
    case State::Greeting:
        if (m_account.AcctTLS == MailTls::Stls && !m_socket.isEncrypted()) {
            m_state = State::Stls;
            send(QStringLiteral("STLS"));
            return;
        }
        sendUser();
        return;
    case State::Stls:
        m_socket.StartTls();
        return;
    case State::User:
        m_state = State::Pass;
        send(QStringLiteral("PASS ") + m_account.AcctPass);
        return;
    case State::Pass:
        m_state = State::Stat;
        send(QStringLiteral("STAT  "));
        return;
    case State::Stat: {
        bool ok = false;
        const std::int32_t count = ReplyWord(line, 1, kBlank).toInt(&ok);
        if (!ok || count <= 0 || m_number <= 0) {
            fail(kGone);
            return;
        }
        if (m_uniqueId.isEmpty()) {
            if (m_number > count) {
                fail(kGone);
                return;
            }
            m_state = State::Retr;
            send(QStringLiteral("RETR %1").arg(m_number));
            return;
        }
        m_candidate = std::min(m_number, count);
        m_state = State::Uidl;
        send(QStringLiteral("UIDL %1").arg(m_candidate));
        return;
    }
    case State::Uidl: {
        const QString id = ReplyWord(line, 2, kBlank).trimmed();
        if (id == m_uniqueId) {
            m_state = State::Retr;
            send(QStringLiteral("RETR %1").arg(m_candidate));
            return;
        }
        if (--m_candidate > 0)
            send(QStringLiteral("UIDL %1").arg(m_candidate));
        else
            fail(kGone);
        return;
    }
    case State::Retr:
        m_state = State::Data;
        return;
    }
}

void MailPreview::complete()
{
    m_message.CreateFromText(m_source);
    end();
}

void MailPreview::fail(const QString &why)
{
    if (m_state == State::Idle)
        return;
    m_error = why;
    m_source.clear();
    end();
}

void MailPreview::end()
{
    m_silence.stop();
    if (m_socket.isOpen())
        m_socket.SendCommand(QStringLiteral("QUIT"));
    m_state = State::Idle;
    m_socket.Close();
    Q_EMIT finished();
}

} // namespace kvorn

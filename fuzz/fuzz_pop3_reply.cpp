// SPDX-License-Identifier: GPL-3.0-or-later
// The mail check's handling of what a POP3 server sends: the input is everything the
// server says on one connection, sent at once after the connection is made; then the server
// stops sending (the check sees the end of the data), while it still takes the commands.
// Replies of any shape walk the whole dialogue: log-on, STAT, RETR/TOP with the message
// text, UIDL, QUIT, error replies, noise, and the line and reply size limits.
#include "FuzzSupport.h"

#include "core/TextFile.h"
#include "mail/MailCheck.h"
#include "mail/MessageListModel.h"
#include "mail/ReplyWord.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <sys/socket.h>

using namespace kvorn;

namespace {

/// Sends the current input to each connection, then shuts its sending side.
class OneShotServer : public QObject
{
public:
    OneShotServer()
    {
        if (!m_server.listen(QHostAddress::LocalHost, 0))
            qFatal("cannot listen on the loopback");
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] { accept(); });
    }
    QString hostPort() const { return QStringLiteral("127.0.0.1:%1").arg(m_server.serverPort()); }
    QByteArray script;

private:
    void accept()
    {
        while (QTcpSocket *s = m_server.nextPendingConnection()) {
            s->setParent(this);
            // The commands are taken and dropped; the script does not depend on them.
            QObject::connect(s, &QTcpSocket::readyRead, s, [s] { s->readAll(); });
            QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            s->write(script);
            endSending(s);
        }
    }
    static void endSending(QTcpSocket *s)
    {
        if (s->bytesToWrite() > 0) {
            s->flush();
            if (s->bytesToWrite() > 0) {
                QObject::connect(s, &QTcpSocket::bytesWritten, s, [s] {
                    if (s->bytesToWrite() == 0)
                        ::shutdown(int(s->socketDescriptor()), SHUT_WR);
                });
                return;
            }
        }
        ::shutdown(int(s->socketDescriptor()), SHUT_WR);
    }

    QTcpServer m_server;
};

OneShotServer *g_server = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    fuzz::startApplication(argc, argv);
    g_server = new OneShotServer;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes = fuzz::bytesOf(data, size);
    g_server->script = QByteArray(bytes.constData(), bytes.size());

    // The word splitting every reply goes through.
    for (const QByteArrayView line : splitLines(bytes)) {
        const QString text = QString::fromLatin1(line);
        for (int n = 0; n < 3; ++n) {
            (void)ReplyWord(text, n, QStringLiteral(" "));
            (void)ReplyWord(text, n, text.left(1));
        }
    }

    MailSettings settings;
    auto accounts = std::make_unique<MailAccounts>();
    MessageListModel list;
    fuzz::QuietPrompt prompt;
    MailAccount &account = (*accounts)[0];
    account.AcctUser = QStringLiteral("user0");
    account.AcctPass = QStringLiteral("pass0");
    account.AcctPOP3 = g_server->hostPort();
    account.MailName = QStringLiteral("user0@example.test");
    account.AcctDefault = true;
    settings.Accounts = QStringLiteral("Acct-0");

    MailCheck check({settings, *accounts, list, prompt});
    // Small limits, so that inputs of a fuzzer's size reach them.
    check.setReplyLimits(512, 4096);
    QEventLoop loop;
    QObject::connect(&check, &MailCheck::checkFinished, &loop, &QEventLoop::quit);
    // The end of the server's data always ends the account: a check still running after
    // this long hangs.
    QTimer::singleShot(8000, &loop, [] { qFatal("the mail check did not end"); });
    if (!check.GetNewMail())
        qFatal("the mail check did not start");
    if (check.isChecking())
        loop.exec();

    for (int row = 0; row < list.rowCount(); ++row)
        (void)list.text(row, ColFrom);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}

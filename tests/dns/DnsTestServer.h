// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A throwaway dnsmasq on a free loopback port with a few test domains; unknown names get
// "no such domain". Header-only so that the benchmarks can use it too.

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

namespace kvorn::test {

class DnsTestServer
{
public:
    /// The records of the test zone, in dnsmasq's configuration syntax.
    static QStringList defaultRecords()
    {
        return {
            QStringLiteral("host-record=known.test,127.0.0.5"),
            QStringLiteral("host-record=mail.known.test,127.0.0.10"),
            QStringLiteral("mx-host=known.test,mail.known.test,10"),
            QStringLiteral("mx-host=only-mx.test,mail.known.test,10"),
            QStringLiteral("host-record=v6only.test,::5"),
            QStringLiteral("txt-record=txt-only.test,\"nothing else\""),
            // The mail domain of the tests' accounts: a check asks it before it believes a
            // "no such domain".
            QStringLiteral("mx-host=example.test,mail.known.test,10"),
        };
    }

    explicit DnsTestServer(QStringList records = defaultRecords()) : m_records(std::move(records))
    {
    }
    ~DnsTestServer() { stop(); }
    DnsTestServer(const DnsTestServer &) = delete;
    DnsTestServer &operator=(const DnsTestServer &) = delete;

    /// Starts the server and waits until it answers; false with `error` set when it cannot.
    bool start(QString *error = nullptr)
    {
        auto fail = [error](const QString &why) {
            if (error)
                *error = why;
            return false;
        };
        const QString program = QStandardPaths::findExecutable(
            QStringLiteral("dnsmasq"), {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
        if (program.isEmpty())
            return fail(QStringLiteral("dnsmasq is not installed"));
        if (m_port == 0)
            m_port = freePort();
        if (m_port == 0)
            return fail(QStringLiteral("no free loopback port"));
        const QString config = m_dir.filePath(QStringLiteral("dnsmasq.conf"));
        QStringList lines = {
            QStringLiteral("port=%1").arg(m_port),
            QStringLiteral("listen-address=127.0.0.1"),
            QStringLiteral("bind-interfaces"),
            QStringLiteral("no-resolv"),
            QStringLiteral("no-poll"),
            QStringLiteral("no-hosts"),
            QStringLiteral("local=/#/"),
            QStringLiteral("pid-file=") + m_dir.filePath(QStringLiteral("dnsmasq.pid")),
        };
        lines += m_records;
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly))
            return fail(QStringLiteral("cannot write %1").arg(config));
        file.write(lines.join(QLatin1Char('\n')).toUtf8() + '\n');
        file.close();

        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(program, {QStringLiteral("-k"), QStringLiteral("-C"), config});
        if (!m_process.waitForStarted(5000))
            return fail(QStringLiteral("dnsmasq did not start: %1").arg(m_process.errorString()));
        const QDeadlineTimer deadline(5000);
        while (!deadline.hasExpired()) {
            if (m_process.state() != QProcess::Running)
                return fail(QStringLiteral("dnsmasq ended: %1")
                                .arg(QString::fromLocal8Bit(m_process.readAll())));
            if (answers())
                return true;
            QTest::qWait(50);
        }
        return fail(QStringLiteral("dnsmasq does not answer on port %1").arg(m_port));
    }

    /// Stops the server; its port stays reserved for a restart.
    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(2000);
        }
    }

    quint16 port() const { return m_port; }
    /// The server as a name server list entry ("127.0.0.1:port").
    QString server() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }

    /// A loopback port free for both UDP and TCP just now.
    static quint16 freePort()
    {
        for (int attempt = 0; attempt < 20; ++attempt) {
            QTcpServer tcp;
            if (!tcp.listen(QHostAddress::LocalHost, 0))
                continue;
            QUdpSocket udp;
            if (udp.bind(QHostAddress::LocalHost, tcp.serverPort()))
                return tcp.serverPort();
        }
        return 0;
    }

private:
    // One A question for known.test; true when any reply comes back.
    bool answers()
    {
        QUdpSocket socket;
        const QByteArray query = QByteArray::fromHex("4b560100000100000000000005"
                                                     "6b6e6f776e0474657374000001"
                                                     "0001");
        socket.writeDatagram(query, QHostAddress::LocalHost, m_port);
        return socket.waitForReadyRead(200) && socket.hasPendingDatagrams();
    }

    QStringList m_records;
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
};

/// A UDP port on loopback that takes questions and never answers.
class SilentDnsServer
{
public:
    SilentDnsServer() { m_socket.bind(QHostAddress::LocalHost, 0); }
    QString server() const { return QStringLiteral("127.0.0.1:%1").arg(m_socket.localPort()); }

private:
    QUdpSocket m_socket;
};

/// A UDP name server on loopback that answers every question with no records and a reply
/// code chosen per record type (0 no error, 2 server failure, 3 no such domain, 5 refused).
class ScriptedDnsServer
{
public:
    explicit ScriptedDnsServer(QHash<int, int> rcodeByType, int otherwise = 0)
        : m_rcodes(std::move(rcodeByType)), m_otherwise(otherwise)
    {
        m_socket.bind(QHostAddress::LocalHost, 0);
        QObject::connect(&m_socket, &QUdpSocket::readyRead, &m_socket, [this] { answer(); });
    }
    QString server() const { return QStringLiteral("127.0.0.1:%1").arg(m_socket.localPort()); }
    int questions() const { return m_questions; }

private:
    void answer()
    {
        while (m_socket.hasPendingDatagrams()) {
            QHostAddress from;
            quint16 port = 0;
            QByteArray packet(int(m_socket.pendingDatagramSize()), '\0');
            m_socket.readDatagram(packet.data(), packet.size(), &from, &port);
            if (packet.size() < 12)
                continue;
            ++m_questions;
            // Skip the name to read the type.
            int at = 12;
            while (at < packet.size() && packet.at(at) != 0)
                at += 1 + quint8(packet.at(at));
            const int type = at + 2 < packet.size()
                                 ? (quint8(packet.at(at + 1)) << 8) | quint8(packet.at(at + 2))
                                 : 0;
            packet[2] = char(quint8(packet.at(2)) | 0x84);              // a reply, authoritative
            packet[3] = char(0x80 | m_rcodes.value(type, m_otherwise)); // recursion available
            m_socket.writeDatagram(packet, from, port);
        }
    }

    QUdpSocket m_socket;
    QHash<int, int> m_rcodes;
    int m_otherwise = 0;
    int m_questions = 0;
};

} // namespace kvorn::test

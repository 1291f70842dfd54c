// SPDX-License-Identifier: GPL-3.0-or-later
// The error texts and the status texts of the update dialog, as tables.

#include "update/InternetTexts.h"

#include <QSignalSpy>
#include <QTest>

using namespace kvorn;
using Kind = FtpStatusEvent::Kind;

Q_DECLARE_METATYPE(Kind)

class TestInternetTexts : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void errorText_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("text");
        QTest::newRow("12002") << 12002 << "" << "The request has timed out.";
        QTest::newRow("12007") << 12007 << "" << "Server name could not be resolved.";
        QTest::newRow("12011 ends with a blank")
            << 12011 << "" << "The request option can not be set, only queried. ";
        QTest::newRow("12013 keeps notbe")
            << 12013 << ""
            << "Request to connect and login to an FTP server could notbe completed because "
               "the supplied user name is incorrect.";
        QTest::newRow("12014 ends with a blank")
            << 12014 << ""
            << "Request to connect and login to an FTP server could not be completed because "
               "the supplied password is incorrect. ";
        QTest::newRow("12016") << 12016 << "" << "Requested operation is invalid. ";
        QTest::newRow("12021") << 12021 << "" << "A required registry value could not be located. ";
        QTest::newRow("12023") << 12023 << "" << "Direct network access cannot be made at this time. ";
        QTest::newRow("12029") << 12029 << "" << "The attempt to connect to the server failed.";
        QTest::newRow("12036") << 12036 << ""
                               << "The request failed because the handle already exists.";
        QTest::newRow("12032 is not in the table") << 12032 << "" << "Error details not available.";
        QTest::newRow("12035 is not in the table") << 12035 << "" << "Error details not available.";
        QTest::newRow("a certificate code") << 12045 << "" << "Error details not available.";
        QTest::newRow("0") << 0 << "" << "Error details not available.";
        QTest::newRow("12003 is the server's reply")
            << 12003 << "550 No such file or directory." << "550 No such file or directory.";
        QTest::newRow("12003 cut at a NUL") << 12003 << QStringLiteral("550 gone") + QChar(0) + "junk"
                                            << "550 gone";
        QTest::newRow("12003 without a reply") << 12003 << ""
                                               << "Extended error returned from server.";
        QTest::newRow("a reply means nothing to other codes")
            << 12002 << "550 x" << "The request has timed out.";
    }
    void errorText()
    {
        QFETCH(int, code);
        QFETCH(QString, reply);
        QFETCH(QString, text);
        QCOMPARE(InternetErrorText(code, reply), text);
    }

    void errorReport()
    {
        QCOMPARE(internetErrorReport(QStringLiteral("File not transfered"), 12003,
                                     QStringLiteral("Upload failed")),
                 QStringLiteral("File not transfered error code: 12003 Message: Upload failed"));
    }

    void statusEvent_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("info");
        QTest::addColumn<quint64>("n");
        QTest::addColumn<int>("transferKind");
        QTest::addColumn<bool>("progress");
        QTest::addColumn<QString>("strip"); // "-" for none
        QTest::addColumn<QString>("line");  // "-" for none
        QTest::addColumn<int>("transferKindAfter");
        QTest::addColumn<double>("bytesAfter");

        const QString none = QStringLiteral("-");
        QTest::newRow("resolving") << Kind::ResolvingName << "ftp.example.test" << quint64(0) << 0
                                   << false << "Looking up the IP address for ftp.example.test"
                                   << none << 0 << 100.0;
        QTest::newRow("resolved") << Kind::NameResolved << "127.0.0.1" << quint64(0) << 0 << false
                                  << "Name resolved 127.0.0.1" << none << 0 << 100.0;
        QTest::newRow("redirect") << Kind::Redirect << "x" << quint64(0) << 0 << false
                                  << "HTTP request redirected to x" << none << 0 << 100.0;
        QTest::newRow("connecting") << Kind::ConnectingToServer << "127.0.0.1" << quint64(0) << 0
                                    << false << "Connecting to server...127.0.0.1" << none << 0
                                    << 100.0;
        QTest::newRow("connected") << Kind::ConnectedToServer << "127.0.0.1" << quint64(0) << 0
                                   << false << "Connected to 127.0.0.1" << none << 0 << 100.0;
        QTest::newRow("sending") << Kind::SendingRequest << "" << quint64(12) << 0 << false << none
                                 << "Sending request: 12 bytes" << 0 << 100.0;
        QTest::newRow("sent") << Kind::RequestSent << "" << quint64(12) << 0 << false << none
                              << none << 0 << 100.0;
        QTest::newRow("response") << Kind::ResponseReceived << "" << quint64(30) << 0 << false
                                  << none << "Response received: 30 bytes" << 0 << 130.0;
        QTest::newRow("response while fetching")
            << Kind::ResponseReceived << "" << quint64(30) << 3 << true << none
            << "Downloading   130 of 1000" << 3 << 130.0;
        QTest::newRow("closing") << Kind::ClosingConnection << "" << quint64(0) << 0 << false
                                 << "Closing connection" << none << 0 << 100.0;
        QTest::newRow("closed") << Kind::ConnectionClosed << "" << quint64(0) << 0 << false
                                << "Connection closed" << none << 0 << 100.0;
        QTest::newRow("handle created clears the strip")
            << Kind::HandleCreated << "" << quint64(0) << 0 << false << "" << none << 0 << 100.0;
        QTest::newRow("handle closing after a fetch")
            << Kind::HandleClosing << "" << quint64(0) << 3 << false << none
            << "Download complete. " << 0 << 100.0;
        QTest::newRow("handle closing otherwise")
            << Kind::HandleClosing << "" << quint64(0) << 0 << false << none << "" << 0 << 100.0;
        QTest::newRow("detecting proxy") << Kind::DetectingProxy << "" << quint64(0) << 0 << false
                                         << "Detecting proxy" << none << 0 << 100.0;
        QTest::newRow("state 1") << Kind::StateChange << "" << quint64(1) << 0 << false << none
                                 << "Connected state moved between secure and nonsecure site" << 0
                                 << 100.0;
        QTest::newRow("state 2") << Kind::StateChange << "" << quint64(2) << 0 << false
                                 << "Disconnected from network."
                                 << "Disconnected from network." << 0 << 100.0;
        QTest::newRow("state 4 adds an empty line")
            << Kind::StateChange << "" << quint64(4) << 0 << false << none << "" << 0 << 100.0;
        QTest::newRow("state 16") << Kind::StateChange << "" << quint64(16) << 0 << false
                                  << "Disconnected by user request."
                                  << "Disconnected by user request." << 0 << 100.0;
        QTest::newRow("state 40") << Kind::StateChange << "" << quint64(40) << 0 << false << none
                                  << "The request requires user input to complete." << 0 << 100.0;
        QTest::newRow("state 256") << Kind::StateChange << "" << quint64(256) << 0 << false << none
                                   << "No network requests are being made (by Wininet)." << 0
                                   << 100.0;
        QTest::newRow("state 512") << Kind::StateChange << "" << quint64(512) << 0 << false << none
                                   << "Network requests are being made (by Wininet)." << 0 << 100.0;
    }
    void statusEvent()
    {
        QFETCH(Kind, kind);
        QFETCH(QString, info);
        QFETCH(quint64, n);
        QFETCH(int, transferKind);
        QFETCH(bool, progress);
        QFETCH(QString, strip);
        QFETCH(QString, line);
        QFETCH(int, transferKindAfter);
        QFETCH(double, bytesAfter);
        FtpTransferState state{transferKind, 1000, 100};
        const InternetStatusAction a = OnInternetStatus(FtpStatusEvent{kind, info, n}, state);
        QCOMPARE(a.progress, progress);
        QCOMPARE(a.strip.value_or(QStringLiteral("-")), strip);
        QCOMPARE(a.line.value_or(QStringLiteral("-")), line);
        QCOMPARE(state.TransferKind, transferKindAfter);
        QCOMPARE(state.BytesReceived, bytesAfter);
        QCOMPARE(state.TransferTotal, 1000.0);
    }

    void statusLinesOnlyWhileStatusDetail()
    {
        UpdateStatusLog log;
        QSignalSpy added(&log, &UpdateStatusLog::lineAdded);
        log.AddStatusLine(QStringLiteral("Sending request: 6 bytes"));
        QVERIFY(log.lines().isEmpty());
        QVERIFY(log.statusLine().isEmpty());
        QCOMPARE(added.count(), 0);

        log.StatusDetail = true;
        log.AddStatusLine(QStringLiteral("Sending request: 6 bytes"));
        log.AddStatusLine(QString());
        QCOMPARE(log.lines(), (QStringList{QStringLiteral("Sending request: 6 bytes"), QString()}));
        QCOMPARE(log.statusLine(), QString());
        QCOMPARE(added.count(), 2);
    }
};

QTEST_GUILESS_MAIN(TestInternetTexts)
#include "test_internet_texts.moc"

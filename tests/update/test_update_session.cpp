// SPDX-License-Identifier: GPL-3.0-or-later
// The update session end to end against a real FTP server on 127.0.0.1.

#include "CoreRig.h"
#include "FtpTestServers.h"
#include "SigningKey.h"
#include "core/DateText.h"
#include "mail/MailLists.h"
#include "mail/MessageListModel.h"
#include "platform/CurlFtpClient.h"
#include "popups/PopupLists.h"
#include "update/DownloadMerge.h"
#include "update/UpdateSession.h"
#include "update/UpdateSignature.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace kvorn;
using namespace kvorn::test;

namespace {

constexpr int kWaitMs = 90000;

struct Started
{
    QString path;
    QString folder;
};

struct Rig
{
    CoreRig core;
    PopupLists popups{{core.controller, core.tray, core.clock}, core.env.programFolder()};
    MailLists mail{core.env.programFolder(), core.clock};
    MessageListModel messages;
    PyFtpServer server;
    QByteArray publicKey;
    QList<Started> started;
    QList<int> pictures[UpdateSession::kStepCount];

    Rig()
    {
        server.putFile(QStringLiteral("pub/kvorn/blacklistadds/.keep"), {});
        server.putFile(QStringLiteral("pub/kvorn/mailadds/.keep"), {});
    }

    bool start()
    {
        QString error;
        const bool ok = server.start(&error);
        if (!ok)
            qWarning("%s", qPrintable(error));
        return ok;
    }

    bool put(const QString &name, const QByteArray &bytes)
    {
        return server.putFile(QStringLiteral("pub/kvorn/") + name, bytes);
    }

    std::unique_ptr<UpdateSession> session(const QString &password = {})
    {
        UpdateSession::Config config;
        config.programFolder = core.env.programFolder();
        config.server.Host = QStringLiteral("127.0.0.1");
        config.server.Port = server.port();
        config.server.User = server.user();
        config.server.Password = password.isEmpty() ? server.password() : password;
        config.server.Security = FtpSecurity::Plain;
        config.server.Folder = QStringLiteral("pub/kvorn");
        config.server.Timeout = 20;
        config.programVersion = QStringLiteral("1.4.83");
        config.publicKey = publicKey;
        config.installId = QStringLiteral("123456789012345678");
        config.makeClient = [] { return std::make_unique<CurlFtpClient>(); };
        config.startProgram = [this](const QString &path, const QString &folder) {
            started.append({path, folder});
            return true;
        };
        auto s = std::make_unique<UpdateSession>(
            UpdateSession::Services{core.options, core.controller, popups, mail, messages,
                                    core.prompt, core.clock},
            std::move(config));
        QObject::connect(s.get(), &UpdateSession::stepPictureChanged, s.get(),
                         [this](int step, StepPicture p) { pictures[step].append(int(p)); });
        return s;
    }

    /// Runs a session to its end.
    bool run(UpdateSession &s)
    {
        QSignalSpy ended(&s, &UpdateSession::ended);
        s.start();
        return ended.wait(kWaitMs);
    }

    QString file(const QString &name) const { return core.env.file(name); }
    /// Where a fetched file lands.
    QString downloaded(const QString &name) const
    {
        return core.env.file(kUpdateDownloadFolder + QLatin1Char('/') + name);
    }
    /// Whether the server was asked to send the file.
    bool retrieved(const QString &name) const
    {
        for (const QString &c : server.commands())
            if (c.startsWith(QLatin1String("RETR")) && c.endsWith(name))
                return true;
        return false;
    }
    /// The status log's line that begins with `start`, empty when none.
    static QString logLine(UpdateSession &s, const QString &start)
    {
        for (const QString &line : s.statusLog().lines())
            if (line.startsWith(start))
                return line;
        return {};
    }
    /// Whether the server was asked for the size of the file (under any path).
    bool probed(const QString &name) const
    {
        for (const QString &c : server.commands())
            if (c.startsWith(QLatin1String("SIZE")) &&
                (c.endsWith(QLatin1Char(' ') + name) || c.endsWith(QLatin1Char('/') + name)))
                return true;
        return false;
    }
    QStringList blacklist()
    {
        QStringList out;
        for (const MailListEntry &e : mail.blacklist().entries())
            out.append(e.Address);
        return out;
    }
};

} // namespace

class TestUpdateSession : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        if (!PyFtpServer::available())
            QSKIP("pyftpdlib is not installed");
    }

    void everyStepWithTheSameVersion()
    {
        Rig rig;
        rig.put(QStringLiteral("version.txt"), " 1.4.83 , \"kvornupdate.bin\"\r\n");
        rig.put(QStringLiteral("message.txt"), "Servers move on 1 January.\r\n");
        rig.put(QStringLiteral("spamnew.pbl"), "New Popup\r\nAnother Popup\r\n");
        rig.put(QStringLiteral("mbl649.txt"), "*@Spam-Sender.test\r\nbad@junk.test\r\n");
        rig.put(QStringLiteral("mbl650.txt"), "this@week.test\r\n");
        QVERIFY(rig.start());
        rig.core.env.writeFile(QStringLiteral("mblacklist.txt"), "mine\r\n");
        auto session = rig.session();
        QVERIFY(rig.run(*session));

        QCOMPARE(session->state(), UpdateSession::State::Finished);
        QVERIFY(session->transfersOk());
        QCOMPARE(rig.core.options.LastUpdate, shortDateText(rig.core.clock.now().date()));
        QCOMPARE(session->statusLog().statusLine(), QStringLiteral("Update Complete..."));
        // The version file and the message are read and deleted; the message is shown.
        QVERIFY(!QFile::exists(rig.file(QStringLiteral("version.txt"))));
        QVERIFY(!QFile::exists(rig.file(QStringLiteral("message.txt"))));
        QCOMPARE(rig.core.prompt.messages, QStringList{"Servers move on 1 January."});
        QVERIFY(!session->updateFetched());
        QVERIFY(rig.started.isEmpty());
        // The popup list was fetched and merged, as unsaved changes.
        QVERIFY(!QFile::exists(rig.file(QStringLiteral("spamnew.pbl"))));
        QCOMPARE(rig.popups.blackList().count(), 2);
        QVERIFY(rig.popups.blackListChanged());
        // Last week's mail list is merged; this week's is fetched, not merged, and both go.
        QCOMPARE(rig.blacklist(), (QStringList{"*spam-sender.test", "*bad@junk.test"}));
        QVERIFY(!QFile::exists(rig.file(QStringLiteral("mbl649.txt"))));
        QVERIFY(!QFile::exists(rig.file(QStringLiteral("mbl650.txt"))));
        QVERIFY(QFile::exists(rig.file(QStringLiteral("mblacklist.txt"))));
        // Nothing of the user's was sent.
        for (const QString &c : rig.server.commands())
            QVERIFY2(!c.startsWith(QLatin1String("STOR")), qPrintable(c));
        // Upload steps show the skipped picture; the others end done.
        for (int step = 0; step < UpdateSession::kStepCount; ++step) {
            const int want = step == 2 || step == 4 ? int(StepPicture::Skipped)
                                                    : int(StepPicture::Done);
            QCOMPARE(rig.pictures[step], (QList<int>{int(StepPicture::InProgress), want}));
        }
        // The timers run again.
        QVERIFY(!rig.core.controller.debugChecked());
    }

    void programUpdate_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("signature"); // good, tampered, stranger, none, nokey
        QTest::addColumn<bool>("install");      // the answer to "Install Software Update"
        QTest::addColumn<bool>("offered");

        QTest::newRow("signed, installed") << "1.4.84" << "good" << true << true;
        QTest::newRow("signed, installed later") << "1.4.84" << "good" << false << true;
        QTest::newRow("an older version counts too") << "1.4.82" << "good" << false << true;
        QTest::newRow("tampered") << "1.4.84" << "tampered" << true << false;
        QTest::newRow("signed by another key") << "1.4.84" << "stranger" << true << false;
        QTest::newRow("no signature") << "1.4.84" << "none" << true << false;
        QTest::newRow("no key built in") << "1.4.84" << "nokey" << true << false;
        QTest::newRow("update file missing on the server") << "1.4.84" << "nofile" << true
                                                            << false;
    }

    void programUpdate()
    {
        QFETCH(QString, version);
        QFETCH(QString, signature);
        QFETCH(bool, install);
        QFETCH(bool, offered);
        QTemporaryDir keys;
        const SigningKey key = SigningKey::make(keys.path(), QStringLiteral("maker"));
        QCOMPARE(key.publicKey.size(), 32);

        Rig rig;
        const QByteArray program = "#!/bin/sh\necho installed > \"$PWD/marker\"\n";
        rig.put(QStringLiteral("version.txt"), version.toLatin1() + ",kvorn-update.run\r\n");
        if (signature != QLatin1String("nofile"))
            rig.put(QStringLiteral("kvorn-update.run"),
                    signature == QLatin1String("tampered") ? program + "rm -rf ~\n" : program);
        if (signature == QLatin1String("stranger")) {
            const SigningKey stranger = SigningKey::make(keys.path(), QStringLiteral("stranger"));
            rig.put(QStringLiteral("kvorn-update.run.sig"), stranger.sign(keys.path(), program));
        } else if (signature != QLatin1String("none")) {
            rig.put(QStringLiteral("kvorn-update.run.sig"), key.sign(keys.path(), program));
        }
        rig.publicKey = signature == QLatin1String("nokey") ? QByteArray() : key.publicKey;
        QVERIFY(rig.start());
        rig.core.prompt.answers = {install ? Prompt::Answer::Ok : Prompt::Answer::Cancel};
        auto session = rig.session();
        QVERIFY(rig.run(*session));

        const QString path = rig.downloaded(QStringLiteral("kvorn-update.run"));
        QCOMPARE(session->state(), UpdateSession::State::Finished);
        QCOMPARE(session->updateFetched(), offered);
        QVERIFY(!QFile::exists(path + QStringLiteral(".sig")));
        if (offered) {
            QVERIFY(QFileInfo(path).isExecutable());
            QCOMPARE(rig.core.prompt.titles.first(), QStringLiteral("Install Software Update"));
            if (install) {
                QCOMPARE(rig.started.size(), 1);
                QCOMPARE(rig.started.first().path, path);
                // The program ends the normal way, everything saved, before it runs.
                QVERIFY(rig.core.controller.isShuttingDown());
            } else {
                QVERIFY(rig.started.isEmpty());
                QCOMPARE(rig.core.prompt.messages.last(),
                         QStringLiteral("To install Update run ") + path);
                QCOMPARE(rig.core.prompt.titles.last(), QStringLiteral("Manual Update"));
            }
        } else {
            QVERIFY(rig.started.isEmpty());
            QVERIFY(!QFile::exists(path));
            QVERIFY(!rig.core.prompt.titles.contains(QStringLiteral("Install Software Update")));
            if (signature == QLatin1String("nofile"))
                QVERIFY(rig.core.prompt.messages.isEmpty());
            else
                QCOMPARE(rig.core.prompt.messages.size(), 1);
            // Without a key nothing could vouch for the file: it is not even fetched.
            if (signature == QLatin1String("nokey"))
                QVERIFY(!rig.retrieved(QStringLiteral("kvorn-update.run")));
        }
    }

    void refusedFileNames_data()
    {
        QTest::addColumn<QByteArray>("version");
        QTest::newRow("parent folder") << QByteArray("1.4.84,../escape.run");
        QTest::newRow("own black list") << QByteArray("1.4.84,spamlist.kbl");
        QTest::newRow("weekly list") << QByteArray("1.4.84,mbl650.txt");
    }

    void refusedFileNames()
    {
        QFETCH(QByteArray, version);
        Rig rig;
        rig.put(QStringLiteral("version.txt"), version);
        QVERIFY(rig.start());
        auto session = rig.session();
        QVERIFY(rig.run(*session));
        QCOMPARE(session->state(), UpdateSession::State::Finished);
        QVERIFY(!session->updateFetched());
        QCOMPARE(rig.core.prompt.messages.size(), 1);
        for (const QString &c : rig.server.commands())
            QVERIFY2(!c.startsWith(QLatin1String("RETR")) || c.contains(QLatin1String("version")) ||
                         c.contains(QLatin1String("message")),
                     qPrintable(c));
    }

    void noVersionInformation_data()
    {
        QTest::addColumn<QByteArray>("version"); // "-" for no file at all
        QTest::newRow("missing") << QByteArray("-");
        QTest::newRow("one field") << QByteArray("1.4.84\r\n");
        QTest::newRow("empty") << QByteArray("");
    }

    void noVersionInformation()
    {
        QFETCH(QByteArray, version);
        Rig rig;
        if (version != "-")
            rig.put(QStringLiteral("version.txt"), version);
        rig.put(QStringLiteral("spamnew.pbl"), "New Popup\r\n");
        QVERIFY(rig.start());
        const QString before = rig.core.options.LastUpdate;
        auto session = rig.session();
        QVERIFY(rig.run(*session));
        QCOMPARE(session->state(), UpdateSession::State::Stopped);
        QCOMPARE(rig.core.prompt.messages,
                 QStringList{"The update server sent no version information."});
        QCOMPARE(rig.core.options.LastUpdate, before);
        QCOMPARE(rig.popups.blackList().count(), 0);
        QVERIFY(!rig.core.controller.debugChecked());
    }

    void refusedLogOn()
    {
        Rig rig;
        QVERIFY(rig.start());
        const QString before = rig.core.options.LastUpdate;
        auto session = rig.session(QStringLiteral("wrong"));
        session->start();
        QTRY_VERIFY_WITH_TIMEOUT(session->state() != UpdateSession::State::Connecting, kWaitMs);
        QCOMPARE(session->state(), UpdateSession::State::ConnectionRefused);
        QVERIFY(!session->canStart());
        QCOMPARE(rig.core.prompt.titles, QStringList{"K-Vorn Web Update Failed"});
        QVERIFY(rig.core.prompt.messages.first().endsWith(QLatin1String("\r\nPlease try again Later")));
        QCOMPARE(rig.core.options.LastUpdate, before);
        QVERIFY(!rig.core.controller.debugChecked());
    }

    void uploadsUnderTheOldSwitchAndEveryWeekSince()
    {
        Rig rig;
        rig.core.clock.current = QDateTime(QDate(2004, 12, 8), QTime(12, 0));
        rig.core.options.LastUpdate = QStringLiteral("01/01/03");
        rig.put(QStringLiteral("version.txt"), "1.4.83,kvornupdate.bin\r\n");
        rig.put(QStringLiteral("mbl353.txt"), "week53.test.example\r\n");
        rig.put(QStringLiteral("mbl449.txt"), "");
        QVERIFY(rig.start());
        rig.popups.blackList().append({QStringLiteral("Recent Popup"), true,
                                       QStringLiteral("12/01/2004"), {}});
        rig.popups.blackList().append({QStringLiteral("Old Popup"), true,
                                       QStringLiteral("01/01/01"), {}});
        rig.mail.blacklist().append({true, QStringLiteral("*recent.test"),
                                     QStringLiteral("11/30/2004"), QStringLiteral("11/30/2004")});
        auto session = rig.session();
        QVERIFY(rig.run(*session));
        QCOMPARE(session->state(), UpdateSession::State::Finished);
        QVERIFY(session->transfersOk());

        QCOMPARE(rig.server.fileBytes(QStringLiteral("pub/kvorn/blacklistadds/123456789012345678")),
                 QByteArray("Recent Popup\r\n"));
        QCOMPARE(rig.server.fileBytes(QStringLiteral("pub/kvorn/mailadds/123456789012345678")),
                 QByteArray("*recent.test\r\n"));
        QVERIFY(!QFile::exists(rig.file(QStringLiteral("Popups.dmp"))));
        QVERIFY(!QFile::exists(rig.file(QStringLiteral("mail.dmp"))));
        // Week 53 is asked for, and the walk goes on into the new year up to this week.
        for (const char *name : {"mbl301.txt", "mbl352.txt", "mbl353.txt", "mbl401.txt",
                                 "mbl450.txt"})
            QVERIFY2(rig.probed(QLatin1String(name)), name);
        QVERIFY(!rig.probed(QStringLiteral("mbl451.txt")));
        QVERIFY(rig.blacklist().contains(QStringLiteral("*week53.test.example")));
        for (int step : {2, 4})
            QCOMPARE(rig.pictures[step].last(), int(StepPicture::Done));
    }

    void abortDuringAFetch()
    {
        Rig rig;
        rig.put(QStringLiteral("version.txt"), "1.4.84,kvorn-update.run\r\n");
        rig.put(QStringLiteral("kvorn-update.run"), QByteArray(400000, 'x'));
        rig.server.setSendLimit(8000);
        rig.publicKey = QByteArray(32, '\x01');
        QVERIFY(rig.start());
        const QString before = rig.core.options.LastUpdate;
        auto session = rig.session();
        QSignalSpy fetching(session.get(), &UpdateSession::fetchStarted);
        QSignalSpy ended(session.get(), &UpdateSession::ended);
        session->start();
        QTRY_VERIFY_WITH_TIMEOUT(!fetching.isEmpty() &&
                                     fetching.last().at(1).toString().contains(
                                         QLatin1String("kvorn-update.run")),
                                 kWaitMs);
        session->abort();
        QCOMPARE(ended.size(), 1);
        QCOMPARE(session->state(), UpdateSession::State::Stopped);
        QCOMPARE(rig.core.options.LastUpdate, before);
        QVERIFY(!rig.core.controller.debugChecked());
        // The session object goes away at once although its worker was busy.
        QElapsedTimer timer;
        timer.start();
        session.reset();
        QVERIFY(timer.elapsed() < 20000);
        QVERIFY(!QFile::exists(rig.downloaded(QStringLiteral("kvorn-update.run"))));
    }

    void weeklyListLines_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("stored");    // empty: not in the blacklist
        QTest::addColumn<QString>("refusedAs"); // empty: not refused
        const QString broad = QStringLiteral("too broad");
        const QString bad = QStringLiteral("malformed");
        QTest::newRow("domain after star and at") << QByteArray("*@Spam.Example") << "*spam.example" << "";
        QTest::newRow("full address") << QByteArray("king@spam.example") << "*king@spam.example" << "";
        QTest::newRow("domain after star") << QByteArray("*spam.example") << "*spam.example" << "";
        QTest::newRow("short domain") << QByteArray("ab.cd") << "ab.cd" << "";
        QTest::newRow("star at") << QByteArray("*@") << "" << broad;
        QTest::newRow("two stars, at") << QByteArray("**@") << "" << broad;
        QTest::newRow("star dot") << QByteArray("*.") << "" << broad;
        QTest::newRow("star bracket") << QByteArray("*)") << "" << broad;
        QTest::newRow("every .com sender") << QByteArray("*@*.com") << "" << broad;
        QTest::newRow("dot com") << QByteArray("*.com") << "" << broad;
        QTest::newRow("at alone") << QByteArray("@") << "" << broad;
        QTest::newRow("bare top-level domain") << QByteArray("com") << "" << broad;
        QTest::newRow("host without a domain") << QByteArray("*@localhost") << "" << broad;
        QTest::newRow("tab") << QByteArray("spam\texample.test") << "" << bad;
        QTest::newRow("NUL") << QByteArray("spam\0@junk.test", 15) << "" << bad;
        QTest::newRow("bell") << QByteArray("spam\a@junk.test") << "" << bad;
        QTest::newRow("over-long") << QByteArray(300, 'a') + "@junk.test" << "" << bad;
    }

    void weeklyListLines()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, stored);
        QFETCH(QString, refusedAs);
        Rig rig;
        rig.core.options.LastUpdate = shortDateText(QDate(2026, 12, 2));
        rig.put(QStringLiteral("mbl649.txt"), line + "\r\n");
        QVERIFY(rig.start());
        auto session = rig.session();
        for (const int step : {0, 1, 2, 5})
            session->setStepTicked(step, false);
        QVERIFY(rig.run(*session));
        QCOMPARE(session->state(), UpdateSession::State::Finished);
        QVERIFY(rig.retrieved(QStringLiteral("mbl649.txt")));
        QCOMPARE(rig.blacklist(), stored.isEmpty() ? QStringList{} : QStringList{stored});
        const QString summary = Rig::logLine(*session, QStringLiteral("Mail update lists: "));
        QVERIFY(!summary.isEmpty());
        if (refusedAs.isEmpty())
            QVERIFY2(!summary.contains(QLatin1String("refused")), qPrintable(summary));
        else
            QVERIFY2(summary.endsWith(QStringLiteral(", 1 refused as ") + refusedAs),
                     qPrintable(summary));
    }

    void updateFileNamedAfterAProgramFile_data()
    {
        QTest::addColumn<QString>("name");
        QStringList names = programOwnFileNames();
        names.append(QStringLiteral("spamlist.bak"));
        for (const QString &name : std::as_const(names))
            QTest::newRow(qPrintable(name)) << name;
    }

    void updateFileNamedAfterAProgramFile()
    {
        QFETCH(QString, name);
        Rig rig;
        rig.publicKey = QByteArray(32, '\x01');
        rig.put(QStringLiteral("version.txt"), "1.4.84," + name.toUtf8() + "\r\n");
        if (name != QLatin1String("version.txt"))
            rig.put(name, "from the server\r\n");
        QVERIFY(rig.start());
        rig.core.env.writeFile(name, "the user's own\r\n");
        auto session = rig.session();
        for (int step = 1; step < UpdateSession::kStepCount; ++step)
            session->setStepTicked(step, false);
        QVERIFY(rig.run(*session));
        QCOMPARE(session->state(), UpdateSession::State::Finished);
        QVERIFY(!session->updateFetched());
        QCOMPARE(rig.core.env.readFile(name), QByteArray("the user's own\r\n"));
        QVERIFY(!QFile::exists(rig.downloaded(name)));
    }

    void listOverTheSizeLimit()
    {
        Rig rig;
        const qint64 limit = UpdateSession::maxBytesOf(kPopupUpdateFile);
        const QByteArray line = "Popup Window Title\r\n";
        rig.put(kPopupUpdateFile, line.repeated(limit / line.size() + 1));
        QVERIFY(rig.start());
        // A copy left by an earlier session is not merged in its place.
        QVERIFY(QDir().mkpath(rig.downloaded(QString())));
        rig.core.env.writeFile(kUpdateDownloadFolder + QStringLiteral("/spamnew.pbl"),
                               "Stale Popup\r\n");
        const QString before = rig.core.options.LastUpdate;
        auto session = rig.session();
        for (const int step : {0, 3, 6})
            session->setStepTicked(step, false);
        QVERIFY(rig.run(*session));
        QCOMPARE(session->state(), UpdateSession::State::Finished);
        QVERIFY(!session->transfersOk());
        QCOMPARE(rig.core.options.LastUpdate, before);
        QCOMPARE(rig.popups.blackList().count(), 0);
        QVERIFY(!QFile::exists(rig.downloaded(kPopupUpdateFile)));
        QVERIFY(!Rig::logLine(*session, QStringLiteral("spamnew.pbl is larger than the %1 bytes")
                                            .arg(limit))
                     .isEmpty());
    }

    void failedVersionTransferIsToldAsSuch()
    {
        Rig rig;
        rig.put(QStringLiteral("version.txt"), QByteArray(70000, '1'));
        QVERIFY(rig.start());
        const QString before = rig.core.options.LastUpdate;
        auto session = rig.session();
        QVERIFY(rig.run(*session));
        QCOMPARE(session->state(), UpdateSession::State::Stopped);
        QCOMPARE(rig.core.prompt.messages.size(), 1);
        QVERIFY2(rig.core.prompt.messages.first().startsWith(QLatin1String("version.txt is larger")),
                 qPrintable(rig.core.prompt.messages.first()));
        QCOMPARE(rig.core.options.LastUpdate, before);
    }

    void bigPopupListKeepsTheWindowAnswering()
    {
        Rig rig;
        constexpr int kTitles = 200000;
        QByteArray list;
        list.reserve(kTitles * 32);
        for (int i = 0; i < kTitles; ++i)
            list += "Popup Window Title " + QByteArray::number(i) + "\r\n";
        rig.put(kPopupUpdateFile, list);
        QVERIFY(rig.start());
        auto session = rig.session();
        for (const int step : {0, 3, 6})
            session->setStepTicked(step, false);

        // The longest the event loop waits between two turns while the merge runs.
        bool merging = false;
        double longestMs = 0;
        QElapsedTimer sinceTurn;
        sinceTurn.start();
        const auto turn = [&] {
            if (merging)
                longestMs = std::max(longestMs, double(sinceTurn.nsecsElapsed()) / 1e6);
            sinceTurn.restart();
        };
        QTimer ticker;
        ticker.setInterval(1);
        connect(&ticker, &QTimer::timeout, this, turn);
        connect(session.get(), &UpdateSession::popupMergeStarting, this, [&] {
            sinceTurn.restart();
            merging = true;
        });
        connect(session.get(), &UpdateSession::popupMergeEnded, this, [&] {
            turn();
            merging = false;
        });
        ticker.start();
        QVERIFY(rig.run(*session));
        QCOMPARE(session->state(), UpdateSession::State::Finished);
        QCOMPARE(rig.popups.blackList().count(), kTitles);
        QVERIFY(rig.popups.blackListChanged());
        qInfo("longest event loop block during the merge: %.1f ms", longestMs);
        QVERIFY2(longestMs < 100, qPrintable(QString::number(longestMs)));
    }

    void versionFields_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("fields");
        QTest::newRow("plain") << "1.4.84,update.bin" << QStringList{"1.4.84", "update.bin"};
        QTest::newRow("quoted, blanks") << " 1.4.84 , \"a, b.bin\" \r\nmore"
                                        << QStringList{"1.4.84", "a, b.bin", "more"};
        QTest::newRow("line ends separate") << "1.4.84\r\nupdate.bin\r\n"
                                            << QStringList{"1.4.84", "update.bin"};
        QTest::newRow("one field") << "1.4.84" << QStringList{"1.4.84"};
        QTest::newRow("empty") << "" << QStringList{};
    }

    void versionFields()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, fields);
        QCOMPARE(versionFileFields(text), fields);
    }
};

QTEST_GUILESS_MAIN(TestUpdateSession)
#include "test_update_session.moc"

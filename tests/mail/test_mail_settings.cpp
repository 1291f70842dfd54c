// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/SettingsStore.h"
#include "fakes/CoreRig.h"
#include "fakes/Fakes.h"
#include "log/KillCounters.h"
#include "mail/MailAccountEdit.h"
#include "mail/MailExitSave.h"
#include "mail/MailLists.h"
#include "mail/MailSettings.h"

#include <QDir>
#include <QSettings>
#include <QTest>

using namespace kvorn;
using namespace kvorn::test;

class TestMailSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void defaults();
    void roundTrip();
    void exitSaveKeepsTheCountsAndTheLists();
    void storedTextForms();
    void unreadableValueKeepsLaterOnes();
    void accounts();
    void accountsBeyondTheTable();
    void encodeAcctPass_data();
    void encodeAcctPass();
    void decodeHistoricForms_data();
    void decodeHistoricForms();
    void passwordsRoundTrip_data();
    void passwordsRoundTrip();
    void passwordsInTheKeyring_data();
    void passwordsInTheKeyring();
    void keyringSilentAtStartKeepsItsPassword();
    void removedAccountLeavesTheKeyring();
    void splitHostPort_data();
    void splitHostPort();
    void connectionSecurity_data();
    void connectionSecurity();
};

Q_DECLARE_METATYPE(kvorn::MailTls)

void TestMailSettings::defaults()
{
    CoreRig rig;
    MailSettings s;
    s.ServerTO = 0; // to see that loading sets it
    LoadMailSettings(rig.store, s, rig.prompt, QDate(2026, 7, 3));
    QCOMPARE(s.Accounts, QString());
    QCOMPARE(s.ColumnOrder, QStringLiteral("1`2`3`4`5`6`7`8`9`10`11"));
    QCOMPARE(s.ColumnUse, QStringLiteral("1`2'3'4'5'6'7'8'9'10'11"));
    QCOMPARE(s.DetectStrength, 1);
    QVERIFY(s.LaunchEmail && s.SoundNewMail && !s.DefaultOnStart && !s.TimerOn);
    QCOMPARE(s.TimerCount, 10);
    QVERIFY(!s.Forward && s.ForwardAccount.isEmpty() && !s.AutoDelete && !s.AutoBounce);
    QVERIFY(s.BounceBlacklist && s.ExpireBlackList && !s.ExpireFriends && !s.HideFriend);
    QCOMPARE(s.ExpireBLCount, 200);
    QCOMPARE(s.ExpireFriendCount, 200);
    QCOMPARE(s.ServerTO, 20000);
    QCOMPARE(s.LogDate, 7);
    QCOMPARE(s.LogMonth, 0);
    QCOMPARE(s.LogYear, 0);
    QCOMPARE(s.LogForever, 0);
    QCOMPARE(s.DnsServers, QString());
    QVERIFY(rig.prompt.messages.isEmpty());
}

void TestMailSettings::roundTrip()
{
    CoreRig rig;
    MailSettings s;
    s.Accounts = QStringLiteral("Acct-Home~Acct-Work");
    s.DetectStrength = 2;
    s.TimerOn = true;
    s.TimerCount = 25;
    s.ForwardAccount = QStringLiteral("fwd@example.test");
    s.Filters = QStringLiteral("opaque|filter text");
    s.ServerTO = 70000; // above the dialogue's cap: used as stored
    s.LogDate = 11;
    s.LogMonth = 4;
    s.LogYear = 40;
    s.LogForever = 400;
    s.HideFriend = true;
    s.DnsServers = QStringLiteral("127.0.0.1:5353,127.0.0.2:53");
    MailAccounts accounts;
    accounts[0] = {QStringLiteral("me@home.test"),
                   QStringLiteral("Home"),
                   QStringLiteral("me"),
                   QStringLiteral("smtp.home.test"),
                   QStringLiteral("pop.home.test:1110"),
                   QStringLiteral("s3cret"),
                   true,
                   true};
    accounts[1] = {QStringLiteral("me@work.test"),
                   QStringLiteral("Work"),
                   QStringLiteral("m.e"),
                   QString(),
                   QStringLiteral("pop.work.test"),
                   QString(),
                   false,
                   false};
    QCOMPARE(SaveMailSettings(rig.store, s, accounts), QString());

    SettingsStore reread(rig.env.settingsFile());
    MailSettings t;
    LoadMailSettings(reread, t, rig.prompt, QDate(2026, 1, 1));
    MailAccounts back;
    LoadMailAccounts(reread, t, back);
    QCOMPARE(t.Accounts, s.Accounts);
    QCOMPARE(t.DetectStrength, 2);
    QVERIFY(t.TimerOn && t.HideFriend);
    QCOMPARE(t.TimerCount, 25);
    QCOMPARE(t.ForwardAccount, s.ForwardAccount);
    QCOMPARE(t.Filters, s.Filters);
    QCOMPARE(t.ServerTO, 70000);
    QCOMPARE(t.LogDate, 11);
    QCOMPARE(t.LogMonth, 4);
    QCOMPARE(t.LogYear, 40);
    QCOMPARE(t.LogForever, 400);
    QCOMPARE(t.DnsServers, s.DnsServers);
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(back[i].MailName, accounts[i].MailName);
        QCOMPARE(back[i].AcctName, accounts[i].AcctName);
        QCOMPARE(back[i].AcctUser, accounts[i].AcctUser);
        QCOMPARE(back[i].AcctSMTP, accounts[i].AcctSMTP);
        QCOMPARE(back[i].AcctPOP3, accounts[i].AcctPOP3);
        QCOMPARE(back[i].AcctPass, accounts[i].AcctPass);
        QCOMPARE(back[i].AcctDefault, accounts[i].AcctDefault);
    }
    QVERIFY(!back[0].AcctSecure); // lives in memory only
    QVERIFY(rig.prompt.messages.isEmpty());
}

void TestMailSettings::exitSaveKeepsTheCountsAndTheLists()
{
    // The counts of the run live in the kill log; the record loaded at start still holds
    // the old ones and must not write them over the new.
    CoreRig rig;
    MailSettings s;
    LoadMailSettings(rig.store, s, rig.prompt, QDate(2026, 7, 3));
    MailAccounts accounts;
    const KillCounters counts{7, 5, 9, 11};
    MailLists lists(rig.env.programFolder(), rig.clock);
    lists.blacklist().append({true, QStringLiteral("spam@x.test"), "01/01/01", "1/1/25"});
    lists.friends().append({true, QStringLiteral("me@home.test"), "01/01/01", "1/1/25"});

    QCOMPARE(saveMailAtExit(rig.store, s, accounts, counts, lists), QString());

    SettingsStore reread(rig.env.settingsFile());
    MailSettings loaded;
    LoadMailSettings(reread, loaded, rig.prompt, QDate(2026, 7, 3));
    QCOMPARE(loaded.LogMonth, 5);
    QCOMPARE(loaded.LogYear, 9);
    QCOMPARE(loaded.LogForever, 11);
    MailLists again(rig.env.programFolder(), rig.clock);
    QCOMPARE(again.LoadMailLists(), QString());
    QCOMPARE(again.blacklist().entries(), lists.blacklist().entries());
    QCOMPARE(again.friends().entries(), lists.friends().entries());

    // A list that cannot be written is reported; the settings are saved all the same.
    QVERIFY(QFile::remove(rig.env.file(QStringLiteral("mail.mfl"))));
    QVERIFY(QDir().mkpath(rig.env.file(QStringLiteral("mail.mfl"))));
    const KillCounters more{7, 6, 10, 12};
    QVERIFY(!saveMailAtExit(rig.store, s, accounts, more, lists).isEmpty());
    SettingsStore third(rig.env.settingsFile());
    LoadMailSettings(third, loaded, rig.prompt, QDate(2026, 7, 3));
    QCOMPARE(loaded.LogForever, 12);
}

void TestMailSettings::storedTextForms()
{
    CoreRig rig;
    MailSettings s;
    s.Accounts = QStringLiteral("Acct-A");
    MailAccounts accounts;
    accounts[0].AcctPass = QStringLiteral("abc");
    accounts[0].AcctDefault = true;
    QCOMPARE(SaveMailSettings(rig.store, s, accounts), QString());

    QSettings ini(rig.env.settingsFile(), QSettings::IniFormat);
    QCOMPARE(ini.value(QStringLiteral("Options/MailSettings/Accounts/Acct-A/AcctPass")).toString(),
             QStringLiteral("68696A"));
    QCOMPARE(
        ini.value(QStringLiteral("Options/MailSettings/Accounts/Acct-A/AcctDefault")).toString(),
        QStringLiteral("True"));
    QCOMPARE(ini.value(QStringLiteral("Options/MailSettings/DetectStrength ")).toString(),
             QStringLiteral("1"));
    QCOMPARE(ini.value(QStringLiteral("Options/MailSettings/TimerOn")).toString(),
             QStringLiteral("False"));
    QCOMPARE(ini.value(QStringLiteral("Options/MailSettings/ServerTO")).toString(),
             QStringLiteral("20000"));

    // The key without its trailing blank is not the option.
    rig.store.write(kMailSettingsSection, QStringLiteral("DetectStrength"), QStringLiteral("0"));
    rig.store.write(kMailSettingsSection, QStringLiteral("DetectStrength "), QStringLiteral("2"));
    // An account section without "AcctDefault" is a default account; numbers read as yes/no.
    rig.store.remove(kMailAccountSectionPrefix + QStringLiteral("Acct-A"),
                     QStringLiteral("AcctDefault"));
    rig.store.write(kMailSettingsSection, QStringLiteral("TimerOn"), QStringLiteral("-1"));
    MailSettings t;
    LoadMailSettings(rig.store, t, rig.prompt, QDate(2026, 1, 1));
    QCOMPARE(t.DetectStrength, 2);
    QVERIFY(t.TimerOn);
    MailAccounts back;
    LoadMailAccounts(rig.store, t, back);
    QVERIFY(back[0].AcctDefault);
    QCOMPARE(back[0].AcctPass, QStringLiteral("abc"));
}

void TestMailSettings::unreadableValueKeepsLaterOnes()
{
    CoreRig rig;
    rig.store.write(kMailSettingsSection, QStringLiteral("TimerCount"), QStringLiteral("ten"));
    rig.store.write(kMailSettingsSection, QStringLiteral("ServerTO"), QStringLiteral("30000"));
    MailSettings s;
    LoadMailSettings(rig.store, s, rig.prompt, QDate(2026, 1, 1));
    QCOMPARE(rig.prompt.messages,
             QStringList{QStringLiteral(
                 "Error 13 (Type mismatch) in procedure LoadMailSettings of Module KvornMain")});
    QCOMPARE(s.TimerCount, 10);
    QCOMPARE(s.ServerTO, 30000);
}

void TestMailSettings::accounts()
{
    CoreRig rig;
    MailSettings s;
    MailAccounts table;
    LoadMailAccounts(rig.store, s, table); // no "Accounts": the table stays empty
    QVERIFY(mailAccountNames(s).isEmpty());
    QCOMPARE(table[0].AcctUser, QString());

    rig.store.write(kMailSettingsSection, QStringLiteral("Accounts"),
                    QStringLiteral("Acct-First~Acct-Second"));
    for (const char *name : {"First", "Second"}) {
        const QString section =
            kMailAccountSectionPrefix + QStringLiteral("Acct-") + QLatin1String(name);
        rig.store.write(section, QStringLiteral("AcctUser"), QLatin1String(name).toString());
        rig.store.write(section, QStringLiteral("AcctDefault"), QStringLiteral("False"));
    }
    LoadMailSettings(rig.store, s, rig.prompt, QDate(2026, 1, 1));
    LoadMailAccounts(rig.store, s, table);
    QCOMPARE(table[0].AcctUser, QStringLiteral("First"));
    QCOMPARE(table[1].AcctUser, QStringLiteral("Second"));
    QVERIFY(!table[0].AcctDefault);
}

void TestMailSettings::accountsBeyondTheTable()
{
    CoreRig rig;
    MailSettings s;
    QStringList names;
    for (int i = 0; i < 130; ++i)
        names.append(QStringLiteral("Acct-%1").arg(i));
    s.Accounts = names.join(QLatin1Char('~'));
    QCOMPARE(mailAccountNames(s).size(), kMaxMailAccounts);
    rig.store.write(kMailAccountSectionPrefix + QStringLiteral("Acct-120"),
                    QStringLiteral("AcctUser"), QStringLiteral("kept"));
    MailAccounts table;
    for (int i = 0; i < kMaxMailAccounts; ++i)
        table[std::size_t(i)].AcctUser = QStringLiteral("u%1").arg(i);
    QCOMPARE(SaveMailSettings(rig.store, s, table), QString());
    LoadMailAccounts(rig.store, s, table);
    QCOMPARE(table[100].AcctUser, QStringLiteral("u100"));
    // The list itself is kept whole; the sections beyond the table are left alone.
    QCOMPARE(rig.store.read(kMailSettingsSection, QStringLiteral("Accounts"), {}), s.Accounts);
    QCOMPARE(rig.store.read(kMailAccountSectionPrefix + QStringLiteral("Acct-120"),
                            QStringLiteral("AcctUser"), {}),
             QStringLiteral("kept"));
}

void TestMailSettings::encodeAcctPass_data()
{
    QTest::addColumn<QString>("plain");
    QTest::addColumn<QString>("stored");
    QTest::newRow("example") << QStringLiteral("abc") << QStringLiteral("68696A");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("digits and signs")
        << QStringLiteral("P@ss 1!") << QStringLiteral("57477A7A273828");
    QTest::newRow("control code below 9 gets two digits")
        << QString(QChar(char16_t(1))) + QStringLiteral("a") << QStringLiteral("0868");
}

void TestMailSettings::encodeAcctPass()
{
    QFETCH(QString, plain);
    QFETCH(QString, stored);
    QCOMPARE(EncodeAcctPass(plain), stored);
    QCOMPARE(DecodeAcctPass(EncodeAcctPass(plain)), plain);
}

void TestMailSettings::decodeHistoricForms_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("plain");
    // Written from the Windows code page: é is 0xE9 (+7 = F0), ù is 0xF9 (+7 wraps to 00).
    QTest::newRow("windows letter") << QStringLiteral("F0") << QStringLiteral("é");
    QTest::newRow("wrapped code") << QStringLiteral("00") << QStringLiteral("ù");
    QTest::newRow("euro sign") << QStringLiteral("87") << QStringLiteral("€");
    QTest::newRow("lower case hex") << QStringLiteral("68696a") << QStringLiteral("abc");
}

void TestMailSettings::decodeHistoricForms()
{
    QFETCH(QString, stored);
    QFETCH(QString, plain);
    QCOMPARE(DecodeAcctPass(stored), plain);
}

void TestMailSettings::passwordsRoundTrip_data()
{
    QTest::addColumn<QString>("plain");
    QString low;
    for (char16_t c = 1; c < 9; ++c)
        low.append(QChar(c));
    QTest::newRow("codes below 9") << low + QStringLiteral("x");
    QTest::newRow("codes 249 to 255") << QStringLiteral("ùúûüýþÿ");
    QTest::newRow("accented") << QStringLiteral("Grüße-€");
    QTest::newRow("outside the Windows code page") << QStringLiteral("пароль密码");
    QTest::newRow("plain ascii") << QStringLiteral("Tr0ub4dor&3");
}

void TestMailSettings::passwordsRoundTrip()
{
    QFETCH(QString, plain);
    CoreRig rig;
    MailSettings s;
    s.Accounts = QStringLiteral("Acct-X");
    MailAccounts table;
    table[0].AcctPass = plain;
    QCOMPARE(SaveMailSettings(rig.store, s, table), QString());
    const QString stored = rig.store.read(kMailAccountSectionPrefix + QStringLiteral("Acct-X"),
                                          QStringLiteral("AcctPass"), {});
    QVERIFY(!stored.contains(plain));
    QCOMPARE(stored.size() % 2, 0);
    MailAccounts back;
    LoadMailAccounts(rig.store, s, back);
    QCOMPARE(back[0].AcctPass, plain);
}

namespace {
QString storedPass(SettingsStore &store, const QString &account)
{
    return store.read(kMailAccountSectionPrefix + account, QStringLiteral("AcctPass"), {});
}
} // namespace

void TestMailSettings::passwordsInTheKeyring_data()
{
    QTest::addColumn<bool>("oldForm");   // the file holds the password from an older save
    QTest::addColumn<bool>("answering"); // the keyring answers at the save
    QTest::newRow("new account, keyring answers") << false << true;
    QTest::newRow("old form moved into the keyring") << true << true;
    QTest::newRow("no keyring: kept in the file, user told") << false << false;
    QTest::newRow("old form, no keyring") << true << false;
}

void TestMailSettings::passwordsInTheKeyring()
{
    QFETCH(bool, oldForm);
    QFETCH(bool, answering);
    CoreRig rig;
    MailSettings s;
    s.Accounts = QStringLiteral("Home~Work");
    MailAccounts table;
    table[0].AcctPass = QStringLiteral("s3cret");
    table[1].AcctPass = QStringLiteral("other");
    if (oldForm) {
        QCOMPARE(SaveMailSettings(rig.store, s, table), QString());
        table = {};
        LoadMailAccounts(rig.store, s, table);
    }
    FakeSecretStore keyring;
    keyring.answering = answering;
    MailPasswordStore passwords{&keyring};
    QCOMPARE(SaveMailSettings(rig.store, s, table, &passwords), QString());
    QCOMPARE(passwords.storedUnprotected, !answering);

    SettingsStore reread(rig.env.settingsFile());
    if (answering) {
        QCOMPARE(storedPass(reread, QStringLiteral("Home")), QString());
        QCOMPARE(keyring.entries.value(mailPasswordKey(QStringLiteral("Home"))),
                 QStringLiteral("s3cret"));
    } else {
        QCOMPARE(storedPass(reread, QStringLiteral("Home")), EncodeAcctPass(QStringLiteral("s3cret")));
        QVERIFY(keyring.entries.isEmpty());
    }
    keyring.answering = true;
    MailAccounts back;
    LoadMailAccounts(reread, s, back, &keyring);
    QCOMPARE(back[0].AcctPass, QStringLiteral("s3cret"));
    QCOMPARE(back[1].AcctPass, QStringLiteral("other"));
}

void TestMailSettings::keyringSilentAtStartKeepsItsPassword()
{
    // The keyring is locked or slow when the program starts and answers again later: the
    // save must not replace the kept password with the empty one read.
    CoreRig rig;
    MailSettings s;
    s.Accounts = QStringLiteral("Home");
    MailAccounts table;
    table[0].AcctPass = QStringLiteral("s3cret");
    FakeSecretStore keyring;
    MailPasswordStore passwords{&keyring};
    QCOMPARE(SaveMailSettings(rig.store, s, table, &passwords), QString());

    keyring.answering = false;
    MailAccounts back;
    LoadMailAccounts(rig.store, s, back, &keyring);
    QCOMPARE(back[0].AcctPass, QString());
    keyring.answering = true;
    QCOMPARE(SaveMailSettings(rig.store, s, back, &passwords), QString());
    QCOMPARE(keyring.entries.value(mailPasswordKey(QStringLiteral("Home"))),
             QStringLiteral("s3cret"));
    QVERIFY(!passwords.storedUnprotected);
}

void TestMailSettings::removedAccountLeavesTheKeyring()
{
    CoreRig rig;
    MailSettings s;
    s.Accounts = QStringLiteral("Home~Work");
    MailAccounts table;
    table[0].AcctPass = QStringLiteral("s3cret");
    table[1].AcctPass = QStringLiteral("other");
    FakeSecretStore keyring;
    MailPasswordStore passwords{&keyring};
    QCOMPARE(SaveMailSettings(rig.store, s, table, &passwords), QString());
    const QStringList before = mailAccountNames(s);
    s.Accounts = QStringLiteral("Work");
    removeDroppedAccountSections(rig.store, before, s, &keyring);
    QVERIFY(!keyring.entries.contains(mailPasswordKey(QStringLiteral("Home"))));
    QVERIFY(keyring.entries.contains(mailPasswordKey(QStringLiteral("Work"))));
}

void TestMailSettings::splitHostPort_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::newRow("name") << QStringLiteral("pop.example.test")
                          << QStringLiteral("pop.example.test") << 110;
    QTest::newRow("name and port")
        << QStringLiteral("127.0.0.1:2110") << QStringLiteral("127.0.0.1") << 2110;
    QTest::newRow("blanks") << QStringLiteral(" pop.x.test ") << QStringLiteral("pop.x.test")
                            << 110;
    QTest::newRow("bad port") << QStringLiteral("pop.x.test:pop") << QStringLiteral("pop.x.test")
                              << 110;
    QTest::newRow("port too big") << QStringLiteral("pop.x.test:70000")
                                  << QStringLiteral("pop.x.test") << 110;
    QTest::newRow("bare ipv6") << QStringLiteral("::1") << QStringLiteral("::1") << 110;
    QTest::newRow("bracketed ipv6 and port")
        << QStringLiteral("[::1]:995") << QStringLiteral("::1") << 995;
}

void TestMailSettings::splitHostPort()
{
    QFETCH(QString, server);
    QFETCH(QString, host);
    QFETCH(int, port);
    const HostPort hp = kvorn::splitHostPort(server);
    QCOMPARE(hp.host, host);
    QCOMPARE(int(hp.port), port);
}

void TestMailSettings::connectionSecurity_data()
{
    QTest::addColumn<QString>("storedTls"); // null: a file written before the key existed
    QTest::addColumn<QString>("server");
    QTest::addColumn<MailTls>("tls");
    QTest::addColumn<int>("port");
    const QString host = QStringLiteral("pop.example.test");
    QTest::newRow("older file") << QString() << host << MailTls::None << 110;
    QTest::newRow("older file, port 995")
        << QString() << host + QStringLiteral(":995") << MailTls::Implicit << 995;
    QTest::newRow("older file, other port")
        << QString() << host + QStringLiteral(":1110") << MailTls::None << 1110;
    QTest::newRow("none on 995 as chosen")
        << QStringLiteral("0") << host + QStringLiteral(":995") << MailTls::None << 995;
    QTest::newRow("stls") << QStringLiteral("1") << host << MailTls::Stls << 110;
    QTest::newRow("implicit") << QStringLiteral("2") << host << MailTls::Implicit << 995;
    QTest::newRow("implicit, own port")
        << QStringLiteral("2") << QStringLiteral("[::1]:9995") << MailTls::Implicit << 9995;
    // A value this version does not know must not mean sending the password in clear.
    QTest::newRow("unknown value") << QStringLiteral("7") << host << MailTls::Implicit << 995;
    QTest::newRow("not a number") << QStringLiteral("yes") << host << MailTls::Implicit << 995;
}

void TestMailSettings::connectionSecurity()
{
    QFETCH(QString, storedTls);
    QFETCH(QString, server);
    QFETCH(MailTls, tls);
    QFETCH(int, port);
    CoreRig rig;
    const QString section = kMailAccountSectionPrefix + QStringLiteral("Acct-A");
    rig.store.write(section, QStringLiteral("AcctPOP3"), server);
    rig.store.write(section, QStringLiteral("AcctUser"), QStringLiteral("u"));
    if (!storedTls.isNull())
        rig.store.write(section, QStringLiteral("AcctTLS"), storedTls);
    MailSettings s;
    s.Accounts = QStringLiteral("Acct-A");
    MailAccounts accounts;
    LoadMailAccounts(rig.store, s, accounts);
    QCOMPARE(accounts[0].AcctTLS, tls);
    QCOMPARE(int(accountHostPort(accounts[0]).port), port);

    // Saved, the choice is kept as a number after the older keys, which stay as they were.
    QCOMPARE(SaveMailSettings(rig.store, s, accounts), QString());
    QSettings ini(rig.env.settingsFile(), QSettings::IniFormat);
    const QString key = QStringLiteral("Options/MailSettings/Accounts/Acct-A/");
    QCOMPARE(ini.value(key + QStringLiteral("AcctTLS")).toString(),
             QString::number(static_cast<int>(tls)));
    QCOMPARE(ini.value(key + QStringLiteral("AcctPOP3")).toString(), server);
    MailAccounts back;
    LoadMailAccounts(rig.store, s, back);
    QCOMPARE(back[0].AcctTLS, tls);
}

QTEST_GUILESS_MAIN(TestMailSettings)
#include "test_mail_settings.moc"

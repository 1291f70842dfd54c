// SPDX-License-Identifier: GPL-3.0-or-later
// The mail dialogs as a user meets them, offscreen: the account manager, wizard and
// detail dialog with what they store; the mail options; the list commands and keys; the
// advanced selection and the blacklist import.
#include "MailDialogsRig.h"
#include "Pop3Fakes.h"
#include "TabOrder.h"
#include "WindowTexts.h"
#include "core/TextFile.h"
#include "mail/MailAccountEdit.h"
#include "mail/MailBlacklistImport.h"
#include "mail/MessageSelection.h"
#include "shell/MailAccountDialogs.h"
#include "shell/MailListsWindow.h"
#include "shell/MailOptionsDialogs.h"
#include "shell/MailSelectionDialogs.h"
#include "shell/WidgetPrompt.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QTreeWidget>

#include <algorithm>

using namespace kvorn;
using namespace kvorn::test;

namespace {

template <class T> T *child(QWidget *w, const char *name)
{
    T *c = w->findChild<T *>(QLatin1String(name));
    if (!c)
        qFatal("no child %s", name);
    return c;
}

void setText(QWidget *w, const char *name, const QString &text)
{
    child<QLineEdit>(w, name)->setText(text);
}

/// Fills and confirms the detail dialog for a new account.
bool addByDetail(MailDialogsRig &rig, const QString &nick, const QString &server,
                 const QString &password = QStringLiteral("pw"))
{
    MailAccountDetail detail({rig.settings, rig.accounts, rig.core.store, rig.core.prompt, {}}, -1);
    setText(&detail, "txtAcctName", nick);
    setText(&detail, "txtMailName", nick.toLower() + QStringLiteral("@example.test"));
    setText(&detail, "txtPOP3", server);
    setText(&detail, "txtSMTP", QStringLiteral("smtp.example.test"));
    setText(&detail, "txtUser", QStringLiteral("u-") + nick);
    setText(&detail, "txtPass", password);
    detail.accept();
    return detail.result() == QDialog::Accepted;
}

QString storedValue(const QString &iniPath, const QString &section, const QString &key)
{
    SettingsStore store(iniPath);
    return store.read(section, key).value_or(QStringLiteral("<absent>"));
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<absent>");
}

void keyPress(QWidget *w, Qt::Key key, Qt::KeyboardModifiers mods = {}, bool autoRepeat = false)
{
    QKeyEvent press(QEvent::KeyPress, key, mods, QString(QChar(QTest::keyToAscii(key))),
                    autoRepeat);
    QApplication::sendEvent(w, &press);
}

} // namespace

class TestMailDialogs : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // accounts
    void managerCaptions();
    void wizardPagesAndFinish();
    void nicknamesRefused_data();
    void nicknamesRefused();
    void wizardWithoutNameRefused();
    void lineBreaksStrippedFromEveryField();
    void removeSecondOfThreeThenCloseBox();
    void removeAsksWithCancelAsDefault();
    void renamedAccountLeavesNoStaleSection();
    void optionsSaveWhileManagerOpenKeepsPairs();
    void trayAccountsKeepsTheTrayIcon();
    void fullTableDisablesAdd();
    void detailKeepsSecurityChoice();
    void accountRemovedDuringACheck();
    // options
    void minutesBoxClamps_data();
    void minutesBoxClamps();
    void timeoutText_data();
    void timeoutText();
    void optionsOkStoresAndStartsTheMinuteTimer();
    void optionsCancelShowsStoredValuesAgain();
    void bnfAutoDeleteIsOneOption();
    void filterDeleteDefaultsToNo();
    void messageBoxTakesTheDefaultButton();
    void optionsCaptions();
    // list commands
    void keysAandB();
    void findBlacklistItemIgnoresCase();
    void markForDeleteAndBounce();
    void toolbarFollowsTheRun();
    void defaultAccountsChoiceStays();
    void accountDialogsTabInReadingOrder();
    void listColumnsFitTheirRows();
    void textsAreMended_data();
    void textsAreMended();
    void listsSavedWhenOptionsClosedWithOk();
    // advanced selection
    void advancedText_data();
    void advancedText();
    void advancedRange_data();
    void advancedRange();
    void advancedAllAndNone();
    // import
    void importLines_data();
    void importLines();
    void importReplacesAppendsAndKeepsUnsavedEntries();
    void importWithoutFileLeavesTheList();
    void importOwnListFile();
};

// --- accounts -------------------------------------------------------------------------------

void TestMailDialogs::managerCaptions()
{
    MailDialogsRig rig;
    rig.window.action(QStringLiteral("mnuMailAccounts"))->trigger();
    MailAccountManager *m = rig.commands->accountManager();
    QVERIFY(m->isVisible());
    QCOMPARE(m->objectName(), QStringLiteral("frmMailAddAccount"));
    QCOMPARE(m->windowTitle(), QStringLiteral("Manage Mail Accounts"));
    QTreeWidget *list = m->list();
    QCOMPARE(list->headerItem()->text(0), QStringLiteral("Account Name"));
    QCOMPARE(list->headerItem()->text(1), QStringLiteral("Server"));
    QCOMPARE(list->headerItem()->text(2), QStringLiteral("Username"));
    QCOMPARE(list->selectionMode(), QAbstractItemView::SingleSelection);
    for (const auto &[name, caption] :
         {std::pair{"cmdAdd", "&Add..."}, std::pair{"cmdProperties", "&Properties"},
          std::pair{"cmdRemove", "&Remove"}, std::pair{"cmdClose", "&Close"}})
        QCOMPARE(child<QPushButton>(m, name)->text(), QString::fromLatin1(caption));

    MailAccountDetail detail({rig.settings, rig.accounts, rig.core.store, rig.core.prompt, {}}, -1);
    QCOMPARE(detail.windowTitle(), QStringLiteral("Account Detail"));
    QCOMPARE(child<QCheckBox>(&detail, "chkSecure")->text(),
             QStringLiteral("Use Secure Authentication"));
    QCOMPARE(child<QCheckBox>(&detail, "chkDefault")->text(),
             QStringLiteral("Include this account in DEFAULT mail check"));
    QCOMPARE(child<QLineEdit>(&detail, "txtPass")->echoMode(), QLineEdit::Password);
    QVERIFY(!child<QRadioButton>(&detail, "optAPOP")->isEnabled());
    child<QCheckBox>(&detail, "chkSecure")->setChecked(true);
    QVERIFY(child<QRadioButton>(&detail, "optAPOP")->isEnabled());
    QCOMPARE(child<QComboBox>(&detail, "cboSecurity")->count(), 3);
}

void TestMailDialogs::wizardPagesAndFinish()
{
    MailDialogsRig rig;
    MailAccountManager *m = rig.commands->accountManager();
    m->addAccount();
    MailAccountWizard *w = m->wizard();
    QVERIFY(w);
    QCOMPARE(w->windowTitle(), QStringLiteral("Add Mail Account"));
    auto *back = child<QPushButton>(w, "cmdBack");
    auto *next = child<QPushButton>(w, "cmdNext");
    QVERIFY(!back->isEnabled());
    const QStringList titles = {QStringLiteral("Account Name"), QStringLiteral("Your e-mail Address"),
                                QStringLiteral("E-mail Servers"), QStringLiteral("Mail Logon "),
                                QStringLiteral("Congratulations")};
    auto *pages = w->findChild<QStackedWidget *>();
    QCOMPARE(pages->count(), 5);
    for (int i = 0; i < 5; ++i)
        QCOMPARE(pages->widget(i)->findChild<QLabel *>(QStringLiteral("lblPageTitle"))->text(),
                 titles.at(i));
    setText(w, "txtDisplayName", QStringLiteral("Home"));
    setText(w, "txtEmailAddress", QStringLiteral("me@example.test"));
    setText(w, "txtIncoming", QStringLiteral("127.0.0.1:1110"));
    setText(w, "txtOutgoing", QStringLiteral("smtp.example.test"));
    setText(w, "txtAccountName", QStringLiteral("me"));
    setText(w, "txtPassword", QStringLiteral("secret"));
    child<QCheckBox>(w, "chkDefault")->setChecked(true);
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(next->text(), QStringLiteral("Next >"));
        next->click();
    }
    QCOMPARE(w->page(), 4);
    QCOMPARE(next->text(), QStringLiteral("Finish"));
    back->click();
    QCOMPARE(next->text(), QStringLiteral("Next >"));
    next->click();
    next->click(); // Finish
    QCOMPARE(rig.settings.Accounts, QStringLiteral("Acct-Home"));
    QCOMPARE(m->list()->topLevelItemCount(), 1);
    QCOMPARE(m->list()->topLevelItem(0)->text(1), QStringLiteral("127.0.0.1:1110"));
    child<QPushButton>(m, "cmdClose")->click();
    const QString ini = rig.core.env.settingsFile();
    const QString section = kMailAccountSectionPrefix + QStringLiteral("Acct-Home");
    QCOMPARE(storedValue(ini, kMailSettingsSection, QStringLiteral("Accounts")),
             QStringLiteral("Acct-Home"));
    QCOMPARE(storedValue(ini, section, QStringLiteral("MailName")), QStringLiteral("me@example.test"));
    QCOMPARE(storedValue(ini, section, QStringLiteral("AcctUser")), QStringLiteral("me"));
    QCOMPARE(storedValue(ini, section, QStringLiteral("AcctPass")), EncodeAcctPass(QStringLiteral("secret")));
    QCOMPARE(storedValue(ini, section, QStringLiteral("AcctDefault")), QStringLiteral("True"));
    QCOMPARE(storedValue(ini, section, QStringLiteral("AcctTLS")), QStringLiteral("0"));
}

void TestMailDialogs::nicknamesRefused_data()
{
    QTest::addColumn<QString>("nick");
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty, even with no server") << QString() << QString()
                                                << QStringLiteral("You must Specify an Account Name");
    QTest::newRow("no incoming server") << QStringLiteral("X") << QString()
                                        << QStringLiteral("You must Specify an Incoming Mail Server");
    QTest::newRow("tilde") << QStringLiteral("Work~Home") << QStringLiteral("pop.test")
                           << QStringLiteral("An account name must not contain \"~\".");
    QTest::newRow("same name, other case") << QStringLiteral("WORK") << QStringLiteral("pop.test")
                                           << QStringLiteral("There is already an account named \"Work\".");
}

void TestMailDialogs::nicknamesRefused()
{
    QFETCH(QString, nick);
    QFETCH(QString, server);
    QFETCH(QString, message);
    MailDialogsRig rig;
    QVERIFY(addByDetail(rig, QStringLiteral("Work"), QStringLiteral("pop.work.test")));
    QVERIFY(!addByDetail(rig, nick, server));
    QCOMPARE(rig.core.prompt.messages.last(), message);
    QCOMPARE(rig.core.prompt.titles.last(), QStringLiteral("Account Name"));
    QCOMPARE(rig.settings.Accounts, QStringLiteral("Acct-Work"));
    QCOMPARE(rig.accounts[0].AcctPOP3, QStringLiteral("pop.work.test"));
}

void TestMailDialogs::wizardWithoutNameRefused()
{
    MailDialogsRig rig;
    QVERIFY(addByDetail(rig, QStringLiteral("A"), QStringLiteral("pop.a")));
    MailAccountWizard w({rig.settings, rig.accounts, rig.core.store, rig.core.prompt, {}});
    setText(&w, "txtIncoming", QStringLiteral("pop.x"));
    setText(&w, "txtPassword", QStringLiteral("pwX"));
    for (int i = 0; i < 5; ++i)
        w.next();
    QCOMPARE(rig.core.prompt.messages.last(), QStringLiteral("You must Specify an Account Name"));
    QCOMPARE(w.page(), 0);
    QCOMPARE(rig.settings.Accounts, QStringLiteral("Acct-A"));
    QVERIFY(addByDetail(rig, QStringLiteral("D"), QStringLiteral("pop.d")));
    QCOMPARE(rig.accounts[1].AcctPOP3, QStringLiteral("pop.d"));
}

void TestMailDialogs::lineBreaksStrippedFromEveryField()
{
    MailDialogsRig rig;
    MailAccountDetail detail({rig.settings, rig.accounts, rig.core.store, rig.core.prompt, {}}, -1);
    setText(&detail, "txtAcctName", QStringLiteral("Ho\r\nme"));
    setText(&detail, "txtMailName", QStringLiteral("a@b.test\n"));
    setText(&detail, "txtPOP3", QStringLiteral("pop.test\r\n"));
    setText(&detail, "txtSMTP", QStringLiteral("smtp\r.test"));
    setText(&detail, "txtUser", QStringLiteral("user\r\nDELE 1"));
    setText(&detail, "txtPass", QStringLiteral("secret\r\nDELE 1"));
    detail.accept();
    const MailAccount &a = rig.accounts[0];
    QCOMPARE(a.AcctName, QStringLiteral("Home"));
    QCOMPARE(a.MailName, QStringLiteral("a@b.test"));
    QCOMPARE(a.AcctPOP3, QStringLiteral("pop.test"));
    QCOMPARE(a.AcctSMTP, QStringLiteral("smtp.test"));
    QCOMPARE(a.AcctUser, QStringLiteral("userDELE 1"));
    QCOMPARE(a.AcctPass, QStringLiteral("secretDELE 1"));
}

void TestMailDialogs::removeSecondOfThreeThenCloseBox()
{
    MailDialogsRig rig;
    for (const char *n : {"A", "B", "C"})
        QVERIFY(addByDetail(rig, QLatin1String(n), QStringLiteral("pop.") + QLatin1String(n),
                            QStringLiteral("pw") + QLatin1String(n)));
    MailAccountManager *m = rig.commands->accountManager();
    m->show();
    m->close(); // close box: saves like "&Close"
    const QString ini = rig.core.env.settingsFile();
    QCOMPARE(storedValue(ini, kMailSettingsSection, QStringLiteral("Accounts")),
             QStringLiteral("Acct-A~Acct-B~Acct-C"));
    m->show();
    m->list()->setCurrentItem(m->list()->topLevelItem(1));
    m->removeAccount();
    m->close();
    QCOMPARE(storedValue(ini, kMailSettingsSection, QStringLiteral("Accounts")),
             QStringLiteral("Acct-A~Acct-C"));
    const QString c = kMailAccountSectionPrefix + QStringLiteral("Acct-C");
    QCOMPARE(storedValue(ini, c, QStringLiteral("AcctPOP3")), QStringLiteral("pop.C"));
    QCOMPARE(storedValue(ini, c, QStringLiteral("AcctPass")), EncodeAcctPass(QStringLiteral("pwC")));
    // The removed account's password does not stay behind.
    QCOMPARE(storedValue(ini, kMailAccountSectionPrefix + QStringLiteral("Acct-B"),
                         QStringLiteral("AcctPass")),
             QStringLiteral("<absent>"));
    // What the program loads next time is what the window showed.
    MailSettings loaded;
    MailAccounts accounts;
    SettingsStore store(ini);
    LoadMailSettings(store, loaded, rig.core.prompt, QDate(2026, 12, 10));
    LoadMailAccounts(store, loaded, accounts);
    QCOMPARE(accounts[0].AcctPOP3, QStringLiteral("pop.A"));
    QCOMPARE(accounts[1].AcctPOP3, QStringLiteral("pop.C"));
    QCOMPARE(accounts[1].AcctPass, QStringLiteral("pwC"));
}

void TestMailDialogs::removeAsksWithCancelAsDefault()
{
    MailDialogsRig rig;
    QVERIFY(addByDetail(rig, QStringLiteral("Work"), QStringLiteral("pop.w")));
    MailAccountManager *m = rig.commands->accountManager();
    m->show();
    m->list()->setCurrentItem(m->list()->topLevelItem(0));
    rig.core.prompt.answers.push_back(Prompt::Answer::Cancel);
    m->removeAccount();
    QCOMPARE(rig.core.prompt.messages.last(),
             QStringLiteral("Are you sure you want to delete Work email account ?"));
    QCOMPARE(rig.core.prompt.titles.last(), QStringLiteral("Confirm Account Delete"));
    QCOMPARE(rig.core.prompt.defaults.back(), std::optional(Prompt::Answer::Cancel));
    QCOMPARE(rig.settings.Accounts, QStringLiteral("Acct-Work"));
}

void TestMailDialogs::renamedAccountLeavesNoStaleSection()
{
    MailDialogsRig rig;
    QVERIFY(addByDetail(rig, QStringLiteral("Old"), QStringLiteral("pop.o")));
    MailAccountManager *m = rig.commands->accountManager();
    m->show();
    m->closeManager();
    m->show();
    MailAccountDetail detail({rig.settings, rig.accounts, rig.core.store, rig.core.prompt, {}}, 0);
    setText(&detail, "txtAcctName", QStringLiteral("New"));
    detail.accept();
    m->closeManager();
    const QString ini = rig.core.env.settingsFile();
    QCOMPARE(storedValue(ini, kMailSettingsSection, QStringLiteral("Accounts")), QStringLiteral("Acct-New"));
    QCOMPARE(storedValue(ini, kMailAccountSectionPrefix + QStringLiteral("Acct-New"),
                         QStringLiteral("AcctPOP3")),
             QStringLiteral("pop.o"));
    QCOMPARE(storedValue(ini, kMailAccountSectionPrefix + QStringLiteral("Acct-Old"),
                         QStringLiteral("AcctPOP3")),
             QStringLiteral("<absent>"));
}

void TestMailDialogs::optionsSaveWhileManagerOpenKeepsPairs()
{
    MailDialogsRig rig;
    for (const char *n : {"A", "B", "C"})
        QVERIFY(addByDetail(rig, QLatin1String(n), QStringLiteral("pop.") + QLatin1String(n)));
    MailAccountManager *m = rig.commands->accountManager();
    m->show();
    m->list()->setCurrentItem(m->list()->topLevelItem(0));
    m->removeAccount();
    // Another dialog saves while the manager is still open.
    rig.commands->openOptions(0);
    rig.commands->optionsDialog()->accept();
    const QString ini = rig.core.env.settingsFile();
    QCOMPARE(storedValue(ini, kMailSettingsSection, QStringLiteral("Accounts")),
             QStringLiteral("Acct-B~Acct-C"));
    QCOMPARE(storedValue(ini, kMailAccountSectionPrefix + QStringLiteral("Acct-B"),
                         QStringLiteral("AcctPOP3")),
             QStringLiteral("pop.B"));
    QCOMPARE(storedValue(ini, kMailAccountSectionPrefix + QStringLiteral("Acct-C"),
                         QStringLiteral("AcctPOP3")),
             QStringLiteral("pop.C"));
}

void TestMailDialogs::trayAccountsKeepsTheTrayIcon()
{
    MailDialogsRig rig;
    rig.core.tray.setPresent(true);
    for (const char *name : {"mnuSbMailAccounts", "mnuMailAccounts"}) {
        rig.window.action(QLatin1String(name))->trigger();
        QVERIFY(rig.core.tray.isPresent());
    }
    child<QPushButton>(rig.screen, "cmdMailAccounts")->click();
    QVERIFY(rig.core.tray.isPresent());
    QVERIFY(rig.commands->accountManager()->isVisible());
}

void TestMailDialogs::fullTableDisablesAdd()
{
    MailDialogsRig rig;
    for (int i = 0; i < kMaxMailAccounts; ++i) {
        MailAccount a;
        a.AcctName = QStringLiteral("N%1").arg(i);
        QCOMPARE(addMailAccount(rig.settings, rig.accounts, a), i);
    }
    MailAccount extra;
    extra.AcctName = QStringLiteral("Extra");
    QCOMPARE(addMailAccount(rig.settings, rig.accounts, extra), -1);
    MailAccountManager *m = rig.commands->accountManager();
    m->show();
    QVERIFY(!child<QPushButton>(m, "cmdAdd")->isEnabled());
}

void TestMailDialogs::detailKeepsSecurityChoice()
{
    MailDialogsRig rig;
    MailAccountDetail detail({rig.settings, rig.accounts, rig.core.store, rig.core.prompt, {}}, -1);
    setText(&detail, "txtAcctName", QStringLiteral("S"));
    setText(&detail, "txtPOP3", QStringLiteral("pop.s"));
    setText(&detail, "txtSMTP", QStringLiteral("smtp.s"));
    child<QComboBox>(&detail, "cboSecurity")->setCurrentIndex(2);
    detail.accept();
    QCOMPARE(rig.accounts[0].AcctTLS, MailTls::Implicit);
    MailAccountDetail again({rig.settings, rig.accounts, rig.core.store, rig.core.prompt, {}}, 0);
    QCOMPARE(child<QComboBox>(&again, "cboSecurity")->currentText(), QStringLiteral("SSL/TLS"));
}

void TestMailDialogs::accountRemovedDuringACheck()
{
    MailDialogsRig rig;
    ScriptedPop3Server first;
    first.greetingChunk = 1; // a slow greeting keeps the first account's dialogue open
    first.greetingChunkDelayMs = 30;
    ScriptedPop3Server second;
    QVERIFY(first.listen() && second.listen());
    rig.setAccounts({first.hostPort(), second.hostPort()});
    QSignalSpy finished(&rig.check, &MailCheck::checkFinished);
    QVERIFY(rig.check.GetNewMail());
    // The manager removes the first account while the check talks to it: the entries
    // move up, but the check goes on with the accounts it started with.
    removeMailAccount(rig.settings, rig.accounts, 0);
    QVERIFY(finished.wait(20000));
    QCOMPARE(first.connections, 1);
    QCOMPARE(second.connections, 1);
    QVERIFY(second.commands.contains("USER user1"));
}

// --- options --------------------------------------------------------------------------------

void TestMailDialogs::minutesBoxClamps_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("above") << QStringLiteral("250") << QStringLiteral("200");
    QTest::newRow("zero") << QStringLiteral("0") << QStringLiteral("1");
    QTest::newRow("letter") << QStringLiteral("a") << QStringLiteral("1");
    QTest::newRow("inside") << QStringLiteral("15") << QStringLiteral("15");
}

void TestMailDialogs::minutesBoxClamps()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    ClampedNumberBox box(1, 200);
    box.edit()->selectAll();
    QTest::keyClicks(box.edit(), typed);
    QCOMPARE(box.edit()->text(), shown);
    box.setValue(200);
    box.stepBy(1);
    QCOMPARE(box.value(), 200);
}

void TestMailDialogs::timeoutText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("stored"); // -1: the stored value stays
    QTest::newRow("64") << QStringLiteral("64") << 64000;
    QTest::newRow("64.5") << QStringLiteral("64.5") << 64000;
    QTest::newRow("2.5") << QStringLiteral("2.5") << 2500;
    QTest::newRow("zero") << QStringLiteral("0") << 1000;
    QTest::newRow("negative") << QStringLiteral("-5") << 1000;
    QTest::newRow("text") << QStringLiteral("x") << -1;
    QTest::newRow("empty") << QString() << -1;
}

void TestMailDialogs::timeoutText()
{
    QFETCH(QString, text);
    QFETCH(int, stored);
    MailDialogsRig rig;
    rig.settings.ServerTO = 20000;
    rig.commands->openOptions(0);
    MailOptionsDialog *d = rig.commands->optionsDialog();
    setText(d, "txtServerTO", text);
    d->accept();
    QCOMPARE(rig.settings.ServerTO, stored < 0 ? 20000 : stored);
    QCOMPARE(storedValue(rig.core.env.settingsFile(), kMailSettingsSection,
                         QStringLiteral("ServerTO")),
             QString::number(rig.settings.ServerTO));
}

void TestMailDialogs::optionsOkStoresAndStartsTheMinuteTimer()
{
    MailDialogsRig rig;
    rig.settings.ServerTO = 20000;
    rig.window.action(QStringLiteral("mnuMailOptions"))->trigger();
    MailOptionsDialog *d = rig.commands->optionsDialog();
    QVERIFY(d->isVisible());
    child<QCheckBox>(d, "chkTimerOn")->setChecked(true);
    child<ClampedNumberBox>(d, "txtTimerCount")->setValue(10);
    child<QRadioButton>(d, "optStrong")->setChecked(true);
    child<QCheckBox>(d, "chkLaunchEmail")->setChecked(false);
    d->accept();
    QVERIFY(!d->isVisible());
    QVERIFY(rig.check.mailLoopTimer().isActive());
    QCOMPARE(rig.check.mailLoopTimer().interval(), 60000);
    const QString ini = rig.core.env.settingsFile();
    QCOMPARE(storedValue(ini, kMailSettingsSection, QStringLiteral("TimerOn")), QStringLiteral("True"));
    QCOMPARE(storedValue(ini, kMailSettingsSection, QStringLiteral("TimerCount")), QStringLiteral("10"));
    QCOMPARE(storedValue(ini, kMailSettingsSection, QStringLiteral("DetectStrength ")), QStringLiteral("2"));
    QCOMPARE(storedValue(ini, kMailSettingsSection, QStringLiteral("LaunchEmail")), QStringLiteral("False"));
}

void TestMailDialogs::optionsCancelShowsStoredValuesAgain()
{
    MailDialogsRig rig;
    rig.settings.ForwardAccount = QStringLiteral("keep@example.test");
    rig.commands->openOptions(0);
    MailOptionsDialog *d = rig.commands->optionsDialog();
    setText(d, "txtForwardAccount", QStringLiteral("typed@example.test"));
    setText(d, "txtServerTO", QStringLiteral("5"));
    d->reject();
    QCOMPARE(rig.settings.ForwardAccount, QStringLiteral("keep@example.test"));
    QCOMPARE(rig.saves, 0);
    rig.commands->openOptions(-1);
    QCOMPARE(child<QLineEdit>(d, "txtForwardAccount")->text(), QStringLiteral("keep@example.test"));
    QCOMPARE(child<QLineEdit>(d, "txtServerTO")->text(), QStringLiteral("20"));
    // An OK pressed later (say, for a list edit) stores nothing cancelled.
    d->accept();
    QCOMPARE(rig.settings.ServerTO, 20000);
}

void TestMailDialogs::bnfAutoDeleteIsOneOption()
{
    MailDialogsRig rig;
    rig.commands->openOptions(1);
    MailOptionsDialog *d = rig.commands->optionsDialog();
    QCOMPARE(d->tabs()->currentIndex(), 1);
    child<QPushButton>(d, "cmdBlOptions")->click();
    auto *bnf = d->findChild<MailBnFOptionsDialog *>();
    QVERIFY(bnf);
    QCOMPARE(bnf->windowTitle(), QStringLiteral("BlackList & Friends Options"));
    child<QCheckBox>(bnf, "chkAutoDelete")->setChecked(true);
    bnf->accept();
    QVERIFY(rig.settings.AutoDelete);
    d->accept();
    QVERIFY(rig.settings.AutoDelete);
    QCOMPARE(storedValue(rig.core.env.settingsFile(), kMailSettingsSection,
                         QStringLiteral("AutoDelete")),
             QStringLiteral("True"));
}

void TestMailDialogs::filterDeleteDefaultsToNo()
{
    MailDialogsRig rig;
    rig.window.action(QStringLiteral("mnuMailFilters"))->trigger();
    MailOptionsDialog *d = rig.commands->optionsDialog();
    QCOMPARE(d->tabs()->currentIndex(), 2);
    child<QPushButton>(d, "cmdFilterDelete")->click();
    QCOMPARE(rig.core.prompt.messages.last(),
             QStringLiteral("Are you sure you want to delete this filter ?"));
    QCOMPARE(rig.core.prompt.titles.last(), QStringLiteral("Delete Filter"));
    QCOMPARE(rig.core.prompt.defaults.back(), std::optional(Prompt::Answer::No));
}

void TestMailDialogs::messageBoxTakesTheDefaultButton()
{
    // Enter in the real box presses the default: the safe answer of these questions.
    WidgetPrompt prompt;
    const struct
    {
        Prompt::Buttons buttons;
        Prompt::Answer safe;
    } cases[] = {{Prompt::Buttons::OkCancel, Prompt::Answer::Cancel},
                 {Prompt::Buttons::YesNo, Prompt::Answer::No}};
    for (const auto &c : cases) {
        QTimer::singleShot(50, [] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
                QTest::keyClick(box, Qt::Key_Return);
        });
        QCOMPARE(prompt.ask(QStringLiteral("Sure?"), c.buttons, Prompt::Icon::Question,
                            QStringLiteral("T"), c.safe),
                 c.safe);
    }
}

void TestMailDialogs::optionsCaptions()
{
    MailDialogsRig rig;
    rig.commands->openOptions(0);
    MailOptionsDialog *d = rig.commands->optionsDialog();
    QCOMPARE(d->windowTitle(), QStringLiteral("Mail Options"));
    const QStringList tabs = {QStringLiteral("General"), QStringLiteral("Blacklist And Friends"),
                              QStringLiteral("Filters")};
    const QStringList tips = {QStringLiteral("Set General Options"),
                              QStringLiteral("Modify Blacklist and Friends lists"),
                              QStringLiteral("Set Options for Group 3")};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(d->tabs()->tabText(i), tabs.at(i));
        QCOMPARE(d->tabs()->tabToolTip(i), tips.at(i));
    }
    QCOMPARE(child<QCheckBox>(d, "chkTimerOn")->text(), QStringLiteral("Mail Check every "));
    QCOMPARE(child<QRadioButton>(d, "optCareful")->text(), QStringLiteral("&Careful"));
    d->openFilterEditor();
    auto *editor = d->findChild<MailFilterEditor *>();
    QVERIFY(editor);
    QCOMPARE(editor->windowTitle(), QStringLiteral("Edit Filter"));
    QCOMPARE(child<QComboBox>(editor, "cboRulePart")->itemText(6), QStringLiteral("the entire Header"));
    QCOMPARE(child<QComboBox>(editor, "cboRuleTest")->itemText(2), QStringLiteral("is"));
}

// --- list commands --------------------------------------------------------------------------

void TestMailDialogs::keysAandB()
{
    MailDialogsRig rig;
    rig.addRow(QStringLiteral("Ann <ann@one.test>"));
    rig.addRow(QStringLiteral("Bea <bea@two.test>"));
    rig.addRow(QStringLiteral("Ben <ben@three.test>"));
    QTreeView *view = rig.screen->view();
    rig.list.setSelectedRow(0);
    // Ctrl+A and Alt+B are other commands.
    keyPress(view, Qt::Key_A, Qt::ControlModifier);
    keyPress(view, Qt::Key_B, Qt::AltModifier);
    QCOMPARE(rig.lists.friends().count(), 0);
    QCOMPARE(rig.lists.blacklist().count(), 0);
    // A adds the selected row's sender, and the selection stays where it was.
    keyPress(view, Qt::Key_A);
    QCOMPARE(rig.lists.friends().count(), 1);
    QCOMPARE(rig.lists.friends().entry(0).Address, QStringLiteral("ann@one.test"));
    QCOMPARE(rig.list.selectedRow(), 0);
    // B held down: one entry, not one per repeat; no jump to the next "B" sender.
    rig.list.setSelectedRow(1);
    keyPress(view, Qt::Key_B);
    keyPress(view, Qt::Key_B, {}, true);
    keyPress(view, Qt::Key_B, {}, true);
    QCOMPARE(rig.lists.blacklist().count(), 1);
    QCOMPARE(rig.lists.blacklist().entry(0).Address, QStringLiteral("*two.test"));
    QCOMPARE(rig.list.selectedRow(), 1);
}

void TestMailDialogs::findBlacklistItemIgnoresCase()
{
    MailDialogsRig rig;
    rig.lists.blacklist().addTyped(QStringLiteral("*other.test"), rig.lists.todayText());
    const int row = rig.addRow(QStringLiteral("X <y@Example.COM>"));
    rig.list.setSelectedRow(row);
    keyPress(rig.screen->view(), Qt::Key_B);
    const int r = rig.list.selectedRow();
    QCOMPARE(rig.list.text(r, ColBlacklist), QStringLiteral("*Example.COM"));
    rig.lists.blacklist().setSelectedRows({});
    auto *menu = rig.screen->view()->findChild<QMenu *>(QStringLiteral("mnuMailListPopup"));
    QStringList captions;
    for (QAction *a : menu->actions())
        captions.append(a->isSeparator() ? QStringLiteral("-") : a->text());
    QCOMPARE(captions.join(QLatin1Char('|')),
             QStringLiteral("Add Address to Friends (A)|Add Entire Domain to Friends|-|"
                            "Find Blacklist Item|Add Address to Blacklist|"
                            "Add Entire Domain to Blacklist (B)|-|Mark For Delete|"
                            "Mark For Bounce|-|Preview Message"));
    menu->findChild<QAction *>(QStringLiteral("mnuFindBlacklistItem"))->trigger();
    QCOMPARE(rig.lists.blacklist().selectedRows(), QList<int>{1});
    MailOptionsDialog *d = rig.commands->optionsDialog();
    QVERIFY(d->isVisible());
    QCOMPARE(d->tabs()->currentIndex(), 1);
}

void TestMailDialogs::markForDeleteAndBounce()
{
    MailDialogsRig rig;
    const int row = rig.addRow(QStringLiteral("Ann <ann@one.test>"));
    rig.list.setSelectedRow(row);
    rig.commands->markForDelete();
    QVERIFY(rig.list.isChecked(row));
    rig.commands->markForDelete();
    QVERIFY(!rig.list.isChecked(row));
    rig.commands->markForBounce();
    QCOMPARE(rig.list.text(row, ColBounce), QStringLiteral("True"));
}

void TestMailDialogs::toolbarFollowsTheRun()
{
    MailDialogsRig rig;
    QToolBar *bar = rig.commands->toolbar();
    QCOMPARE(bar->objectName(), QStringLiteral("Toolbar1"));
    QStringList captions;
    for (QAction *a : bar->actions())
        captions.append(a->objectName() + QLatin1Char('=') + a->text());
    QCOMPARE(captions, (QStringList{QStringLiteral("Mailbox=Check Mail"),
                                    QStringLiteral("Mailarrow=Process Mail"),
                                    QStringLiteral("MailFind=Mail Program"),
                                    QStringLiteral("MailStop=Stop")}));
    const auto states = [bar] {
        QString s;
        for (QAction *a : bar->actions())
            s += a->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
        return s;
    };
    QCOMPARE(states(), QStringLiteral("1100"));
    // A run started from the menu, against a server that never greets.
    ScriptedPop3Server server;
    server.greeting.clear();
    QVERIFY(server.listen());
    rig.setAccounts({server.hostPort()});
    rig.window.action(QStringLiteral("mnuMailCheck"))->trigger();
    QCOMPARE(states(), QStringLiteral("0001"));
    QSignalSpy finished(&rig.check, &MailCheck::checkFinished);
    bar->actions().at(3)->trigger();
    QVERIFY(finished.size() > 0 || finished.wait(10000));
    QCOMPARE(states(), QStringLiteral("1100"));
}

void TestMailDialogs::defaultAccountsChoiceStays()
{
    MailDialogsRig rig;
    QToolBar *bar = rig.commands->toolbar();
    QMenu *choice = bar->actions().at(0)->menu();
    QVERIFY(choice);
    QSignalSpy finished(&rig.check, &MailCheck::checkFinished);
    for (QAction *a : choice->actions()) {
        if (a->objectName() == QLatin1String("btnDefaultOnly"))
            a->trigger();
    }
    QVERIFY(rig.check.MailDefaultOnly);
    rig.window.action(QStringLiteral("mnuMailCheck"))->trigger();
    QVERIFY(rig.check.MailDefaultOnly);
    for (QAction *a : choice->actions()) {
        if (a->objectName() == QLatin1String("btnCheckAll"))
            a->trigger();
    }
    QVERIFY(!rig.check.MailDefaultOnly);
    // The drop-down ticks the accounts the button checks.
    const auto ticked = [choice] {
        QStringList names;
        for (QAction *a : choice->actions()) {
            if (a->isChecked())
                names << a->objectName();
        }
        return names;
    };
    QCOMPARE(ticked(), QStringList{"btnCheckAll"});
    rig.check.MailDefaultOnly = true;
    Q_EMIT choice->aboutToShow();
    QCOMPARE(ticked(), QStringList{"btnDefaultOnly"});
}

void TestMailDialogs::accountDialogsTabInReadingOrder()
{
    MailDialogsRig rig;
    MailAccountManager *m = rig.commands->accountManager();
    m->show();
    QVERIFY(QTest::qWaitForWindowExposed(m));
    QCOMPARE(tabOrderProblem(m), QString());
    m->addAccount();
    MailAccountWizard *w = m->wizard();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    for (int page = 0; page < 5; ++page) {
        QCOMPARE(w->page(), page);
        QCOMPARE(tabOrderProblem(w), QString());
        if (page < 4)
            child<QPushButton>(w, "cmdNext")->click();
    }
    MailAccountDetail detail({rig.settings, rig.accounts, rig.core.store, rig.core.prompt, {}}, -1);
    detail.show();
    QVERIFY(QTest::qWaitForWindowExposed(&detail));
    QCOMPARE(tabOrderProblem(&detail), QString());
}

void TestMailDialogs::listColumnsFitTheirRows()
{
    MailDialogsRig rig;
    const QString server = QStringLiteral("127.0.0.1:11100");
    MailAccountManager *m = rig.commands->accountManager();
    m->resize(1200, 400);
    m->show();
    QVERIFY(QTest::qWaitForWindowExposed(m));
    m->addAccount();
    MailAccountWizard *w = m->wizard();
    setText(w, "txtDisplayName", QStringLiteral("Home"));
    setText(w, "txtIncoming", server);
    setText(w, "txtOutgoing", QStringLiteral("smtp.example.test"));
    for (int i = 0; i < 5; ++i)
        child<QPushButton>(w, "cmdNext")->click();
    auto *accounts = child<QTreeWidget>(m, "lvMail");
    QCOMPARE(accounts->topLevelItemCount(), 1);
    QVERIFY(accounts->header()->sectionSize(1) > accounts->fontMetrics().horizontalAdvance(server));

    MailListsWindow lists(rig.lists, rig.core.prompt);
    lists.resize(1200, 600);
    lists.show();
    QVERIFY(QTest::qWaitForWindowExposed(&lists));
    const QString address = QStringLiteral("*@spam.example.test.very-long-domain.example");
    rig.lists.list(MailListKind::Blacklist).addTyped(address, QStringLiteral("12/9/26"));
    auto *black = child<QTreeView>(&lists, "lvBlacklist");
    QTRY_VERIFY(black->header()->sectionSize(0) > black->fontMetrics().horizontalAdvance(address));
}

void TestMailDialogs::textsAreMended_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    for (const char *before : {"legiitimate", "Frinds", "referance", "Visable",
                               "Authentification", "Outgoing Mail SMTP)"}) {
        for (const TextMend &mend : kTextMends) {
            if (qstrcmp(mend.before, before) == 0)
                QTest::newRow(before) << QString::fromLatin1(mend.before)
                                      << QString::fromLatin1(mend.after);
        }
    }
}

void TestMailDialogs::textsAreMended()
{
    QFETCH(QString, before);
    QFETCH(QString, after);
    MailDialogsRig rig;
    MailAccountManager *m = rig.commands->accountManager();
    m->addAccount();
    MailAccountDetail detail({rig.settings, rig.accounts, rig.core.store, rig.core.prompt, {}}, -1);
    MailListsWindow lists(rig.lists, rig.core.prompt);
    QStringList shown = windowTexts(&rig.window) + windowTexts(m) + windowTexts(m->wizard()) +
                        windowTexts(&detail) + windowTexts(&lists);
    // Every option dialog the Mail menu opens.
    for (const char *item : {"mnuMailOptions", "mnuMailBlacklist", "mnuMailFilters"}) {
        QTimer::singleShot(0, [&shown] {
            for (QWidget *top : QApplication::topLevelWidgets()) {
                if (auto *dialog = qobject_cast<QDialog *>(top); dialog && dialog->isVisible()) {
                    shown += windowTexts(dialog);
                    dialog->reject();
                }
            }
        });
        rig.window.action(QString::fromLatin1(item))->trigger();
        QCoreApplication::processEvents(); // a dialog shown without waiting
    }
    QCOMPARE(misspeltTexts(shown), QStringList());
    const bool found = std::any_of(shown.cbegin(), shown.cend(),
                                   [&](const QString &t) { return t.contains(after); });
    QVERIFY2(found, qPrintable(after));
}

void TestMailDialogs::listsSavedWhenOptionsClosedWithOk()
{
    MailDialogsRig rig;
    const int row = rig.addRow(QStringLiteral("Ann <ann@one.test>"));
    rig.list.setSelectedRow(row);
    keyPress(rig.screen->view(), Qt::Key_A);
    rig.commands->openOptions(1);
    rig.commands->optionsDialog()->accept();
    const QByteArray friends = fileBytes(rig.core.env.file(QStringLiteral("mail.mfl")));
    QVERIFY2(friends.startsWith("1\xFF" "ann@one.test\xFF"), friends.constData());
    QVERIFY(friends.endsWith("\r\n"));
    QVERIFY(QFile::exists(rig.core.env.file(QStringLiteral("mail.mbl"))));
}

// --- advanced selection ---------------------------------------------------------------------

void TestMailDialogs::advancedText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<int>>("ticked");
    // Rows in list order: Ann (subject "Offer"), Bob ("Meeting"), Carl ("offer inside").
    QTest::newRow("empty selects nothing") << QString() << QList<int>{};
    QTest::newRow("F is not the Bounce column") << QStringLiteral("F") << QList<int>{};
    QTest::newRow("0 is not the unique ID") << QStringLiteral("0") << QList<int>{};
    QTest::newRow("1 is not the size") << QStringLiteral("1") << QList<int>{};
    QTest::newRow("subject word, case ignored") << QStringLiteral("OFFER") << QList<int>{1, 3};
    QTest::newRow("sender prefix") << QStringLiteral("bob") << QList<int>{2};
    QTest::newRow("date prefix") << QStringLiteral("Wed, 9") << QList<int>{1, 2, 3};
    QTest::newRow("inside a subject only") << QStringLiteral("inside") << QList<int>{};
}

void TestMailDialogs::advancedText()
{
    QFETCH(QString, text);
    QFETCH(QList<int>, ticked);
    MailDialogsRig rig;
    rig.addRow(QStringLiteral("Ann <ann@one.test>"), QStringLiteral("Offer"));
    rig.addRow(QStringLiteral("Bob <bob@two.test>"), QStringLiteral("Meeting"));
    rig.addRow(QStringLiteral("Carl <carl@three.test>"), QStringLiteral("offer inside"));
    rig.commands->openAdvancedSelect();
    auto *d = rig.window.findChild<MailAdvancedSelectDialog *>();
    QVERIFY(d);
    QCOMPARE(d->windowTitle(), QStringLiteral("Advanced Select"));
    d->textBox()->setText(text);
    QTest::keyClick(d->textBox(), Qt::Key_Return);
    QCOMPARE(rig.checkedRows(), ticked);
}

void TestMailDialogs::advancedRange_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::addColumn<QList<int>>("ticked");
    QTest::addColumn<int>("selected"); // counting from 1; 0 = unchanged
    QTest::addColumn<QString>("status");
    QTest::newRow("3 to 3") << 5 << 3 << 3 << QList<int>{3} << 3 << QStringLiteral("Done.");
    QTest::newRow("5 to 2 does nothing") << 5 << 5 << 2 << QList<int>{} << 0 << QString();
    QTest::newRow("9 to 10") << 10 << 9 << 10 << QList<int>{9, 10} << 10 << QStringLiteral("Done.");
    QTest::newRow("2 to 7 of 4") << 4 << 2 << 7 << QList<int>{2, 3, 4} << 4 << QStringLiteral("Done.");
    QTest::newRow("beyond the list") << 3 << 5 << 8 << QList<int>{} << 0 << QStringLiteral("Done.");
}

void TestMailDialogs::advancedRange()
{
    QFETCH(int, rows);
    QFETCH(int, first);
    QFETCH(int, last);
    QFETCH(QList<int>, ticked);
    QFETCH(int, selected);
    QFETCH(QString, status);
    MailDialogsRig rig;
    for (int i = 0; i < rows; ++i)
        rig.addRow(QStringLiteral("S%1 <s@x.test>").arg(i, 2, 10, QLatin1Char('0')));
    MailAdvancedSelectDialog d(rig.list);
    d.show();
    d.firstBox()->setValue(first);
    d.lastBox()->setValue(last);
    d.selectRange();
    QCOMPARE(rig.checkedRows(), ticked);
    QCOMPARE(rig.list.selectedRow() + 1, selected);
    QCOMPARE(d.statusLabel()->text(), status);
}

void TestMailDialogs::advancedAllAndNone()
{
    MailDialogsRig rig;
    rig.addRow(QStringLiteral("Ann <ann@one.test>"));
    MailAdvancedSelectDialog d(rig.list);
    d.selectAll();
    QCOMPARE(rig.checkedRows(), QList<int>{1});
    QCOMPARE(d.statusLabel()->text(), QStringLiteral("Done."));
    rig.addRow(QStringLiteral("Bob <bob@two.test>"), {}, true); // as classification marks
    d.statusLabel()->clear();
    d.unselectAll();
    QCOMPARE(rig.checkedRows(), QList<int>{});
    QCOMPARE(d.statusLabel()->text(), QString());
}

// --- import ---------------------------------------------------------------------------------

void TestMailDialogs::importLines_data()
{
    QTest::addColumn<QList<QStringList>>("lines");
    QTest::addColumn<QStringList>("addresses");
    QTest::newRow("the three forms")
        << QList<QStringList>{{QStringLiteral("spam@bulk.test")}, {QStringLiteral("*@junk.test")},
                              {QStringLiteral("adverts.test")}}
        << QStringList{QStringLiteral("*spam@bulk.test"), QStringLiteral("*@junk.test"),
                       QStringLiteral("adverts.test")};
    QTest::newRow("empty and blank lines skipped")
        << QList<QStringList>{{QString()}, {QStringLiteral("  \t")}, {QStringLiteral(" a@b.test ")}}
        << QStringList{QStringLiteral("*a@b.test")};
    QTest::newRow("own list layout")
        << QList<QStringList>{{QStringLiteral("1"), QStringLiteral("spam@x.test"),
                               QStringLiteral("01/01/01"), QStringLiteral("12/10/2026")}}
        << QStringList{QStringLiteral("*spam@x.test")};
    QTest::newRow("byte order mark")
        << QList<QStringList>{{QString(QChar(0xFEFF)) + QStringLiteral("x@y.test")}}
        << QStringList{QStringLiteral("*x@y.test")};
    QTest::newRow("repeats are all kept")
        << QList<QStringList>{{QStringLiteral("*a.test")}, {QStringLiteral("*a.test")}}
        << QStringList{QStringLiteral("*a.test"), QStringLiteral("*a.test")};
}

void TestMailDialogs::importLines()
{
    QFETCH(QList<QStringList>, lines);
    QFETCH(QStringList, addresses);
    QCOMPARE(mailImportAddresses(lines), addresses);
}

void TestMailDialogs::importReplacesAppendsAndKeepsUnsavedEntries()
{
    MailDialogsRig rig;
    const QString source = rig.core.env.file(QStringLiteral("import.txt"));
    {
        QFile f(source);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("spam@bulk.test\r\n*@junk.test\n\nadverts.test\r\n");
    }
    const QString today = rig.lists.todayText();
    // Entries added in this run and not saved yet.
    rig.lists.friends().addTyped(QStringLiteral("pal@friend.test"), today);
    rig.lists.blacklist().addTyped(QStringLiteral("*old.test"), today);

    rig.commands->openBlacklistImport();
    auto *d = rig.window.findChild<MailBlacklistImportDialog *>();
    QVERIFY(d);
    QCOMPARE(d->windowTitle(), QStringLiteral("Import Mail Blacklist"));
    QVERIFY(!d->appendBox()->isChecked());
    d->setFileChooser([source](QWidget *) { return source; });
    d->browse();
    d->appendBox()->setChecked(true);
    d->importChosen();
    QCOMPARE(rig.core.prompt.messages.last(), QStringLiteral("Blacklist load Complete."));
    QCOMPARE(rig.core.prompt.titles.last(), QStringLiteral("Load Blacklist"));
    const QByteArray t = today.toUtf8();
    const QByteArray expected = "1\xFF*old.test\xFF" "01/01/01\xFF" + t + "\r\n" +
                                "1\xFF*spam@bulk.test\xFF" "01/01/01\xFF" + t + "\r\n" +
                                "1\xFF*@junk.test\xFF" "01/01/01\xFF" + t + "\r\n" +
                                "1\xFF" "adverts.test\xFF" "01/01/01\xFF" + t + "\r\n";
    QCOMPARE(fileBytes(rig.core.env.file(QStringLiteral("mail.mbl"))), expected);
    QCOMPARE(rig.lists.blacklist().count(), 4);
    QCOMPARE(rig.lists.friends().count(), 1);
    QCOMPARE(rig.lists.friends().entry(0).Address, QStringLiteral("pal@friend.test"));

    // Without "Append to list" the file holds the import alone.
    MailBlacklistImportDialog replace(rig.lists, rig.core.prompt, [&] { return rig.lists.LoadMailLists(); });
    replace.fileBox()->setText(source);
    replace.importChosen();
    QCOMPARE(rig.lists.blacklist().count(), 3);
    QCOMPARE(rig.lists.blacklist().entry(0).Address, QStringLiteral("*spam@bulk.test"));
}

void TestMailDialogs::importWithoutFileLeavesTheList()
{
    MailDialogsRig rig;
    rig.lists.blacklist().addTyped(QStringLiteral("*keep.test"), rig.lists.todayText());
    QVERIFY(rig.lists.SaveMailList(QStringLiteral("Blacklist")));
    const QByteArray before = fileBytes(rig.core.env.file(QStringLiteral("mail.mbl")));
    MailBlacklistImportDialog d(rig.lists, rig.core.prompt, {});
    d.show();
    d.importChosen();
    QCOMPARE(rig.core.prompt.messages.last(), QStringLiteral("Select a valid file name."));
    QCOMPARE(rig.core.prompt.titles.last(), QStringLiteral("File Merge"));
    QVERIFY(d.isVisible());
    QCOMPARE(fileBytes(rig.core.env.file(QStringLiteral("mail.mbl"))), before);
}

void TestMailDialogs::importOwnListFile()
{
    for (const bool append : {false, true}) {
        MailDialogsRig rig;
        const QString today = rig.lists.todayText();
        rig.lists.blacklist().addTyped(QStringLiteral("a@x.test"), today);
        rig.lists.blacklist().addTyped(QStringLiteral("*y.test"), today);
        QVERIFY(rig.lists.SaveMailList(QStringLiteral("Blacklist")));
        const QString path = rig.lists.listFilePath(MailLists::blacklistFileName());
        const MailImportResult r = importMailBlacklist(rig.lists, path, append);
        QVERIFY2(r.error.isEmpty(), qPrintable(r.error));
        QCOMPARE(rig.lists.LoadMailLists(), QString());
        QStringList got;
        for (const MailListEntry &e : rig.lists.blacklist().entries())
            got.append(e.Address);
        // Appended after the file's own lines; only a repeat of the line just before is
        // dropped on loading.
        const QStringList once = {QStringLiteral("a@x.test"), QStringLiteral("*y.test"),
                                  QStringLiteral("*a@x.test"), QStringLiteral("*y.test")};
        QCOMPARE(got, append ? once : (QStringList{QStringLiteral("*a@x.test"), QStringLiteral("*y.test")}));
    }
}

QTEST_MAIN(TestMailDialogs)
#include "test_mail_dialogs.moc"

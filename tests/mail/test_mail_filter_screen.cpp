// SPDX-License-Identifier: GPL-3.0-or-later
// The mail filter's commands on screen: "&Process" from the Mail menu, the mail list's
// context menu, the lists window's buttons and the loading of the lists.
#include "MailScreenRig.h"
#include "core/DateText.h"
#include "mail/MailLists.h"
#include "mail/MailProcessor.h"
#include "popups/PopupLoop.h"
#include "shell/MailListsWindow.h"

#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

using namespace kvorn;
using namespace kvorn::test;

namespace {
struct ScreenRig : MailScreenRig
{
    MailLists lists{core.env.programFolder(), core.clock};
    MailProcessor processor{{check, list, settings, accounts, core.prompt, nullptr, nullptr}};
    ScreenRig() { installMailFilter(window, *screen, processor, lists, list, core.prompt); }

    int addRow(const QString &from, bool checked)
    {
        MailListRow row;
        row.text[ColFrom] = from;
        row.text[ColStatus] = QStringLiteral("n");
        row.text[ColBlacklist] = QStringLiteral("False");
        row.checked = checked;
        row.tag = list.rowCount() + 1;
        return list.rowOfKey(list.addRow(std::move(row)));
    }
    int rowFrom(const QString &from) const
    {
        for (int r = 0; r < list.rowCount(); ++r) {
            if (list.text(r, ColFrom) == from)
                return r;
        }
        return -1;
    }
    QString state(const QString &from) const
    {
        const int r = rowFrom(from);
        return QStringLiteral("%1|%2|%3")
            .arg(list.isChecked(r) ? 1 : 0)
            .arg(list.text(r, ColStatus), list.text(r, ColBlacklist));
    }
};
} // namespace

class TestMailFilterScreen : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void processCommandRunsTheProcessing();
    void contextMenuAddsAndMarks();
    void listButtons();
    void loadingShowsProgressAndPausesThePopupTimers();
};

void TestMailFilterScreen::processCommandRunsTheProcessing()
{
    ScreenRig rig;
    QSignalSpy started(&rig.processor, &MailProcessor::processingStarted);
    QSignalSpy finished(&rig.processor, &MailProcessor::processingFinished);
    rig.window.action(QStringLiteral("mnuMailProcess"))->trigger();
    // An empty list: nothing to do, and a check afterwards runs as usual.
    QCOMPARE(started.size(), 1);
    QCOMPARE(finished.size(), 1);
    QCOMPARE(rig.check.MailMode, QStringLiteral("Get"));
}

void TestMailFilterScreen::contextMenuAddsAndMarks()
{
    ScreenRig rig;
    rig.addRow(QStringLiteral("Ann <ann@bulkmail.test>"), false);
    rig.addRow(QStringLiteral("Bob <bob@bulkmail.test>"), false);
    rig.addRow(QStringLiteral("Pal <pal@ok.test>"), true);
    rig.addRow(QStringLiteral("Pat <pat@ok.test>"), false);
    auto *view = rig.window.findChild<QTreeView *>(QStringLiteral("lvMailList"));
    QVERIFY(view);
    auto *menu = view->findChild<QMenu *>(QStringLiteral("mnuMailListPopup"));
    QVERIFY(menu);
    QStringList captions;
    for (QAction *a : menu->actions())
        captions << (a->isSeparator() ? QStringLiteral("-") : a->text());
    QCOMPARE(captions,
             (QStringList{"Add Address to Friends (A)", "Add Entire Domain to Friends", "-",
                          "Add Address to Blacklist", "Add Entire Domain to Blacklist (B)"}));
    auto trigger = [&](const char *name) {
        auto *a = menu->findChild<QAction *>(QLatin1String(name));
        QVERIFY(a);
        a->trigger();
    };

    rig.list.setSelectedRow(rig.rowFrom(QStringLiteral("Ann <ann@bulkmail.test>")));
    trigger("mnuAddDomainToBlacklist");
    QCOMPARE(rig.lists.blacklist().count(), 1);
    QCOMPARE(rig.lists.blacklist().entry(0).Address, QStringLiteral("*bulkmail.test"));
    QCOMPARE(rig.state(QStringLiteral("Ann <ann@bulkmail.test>")),
             QStringLiteral("1|Blacklist|*bulkmail.test"));
    QCOMPARE(rig.state(QStringLiteral("Bob <bob@bulkmail.test>")),
             QStringLiteral("1|Blacklist|*bulkmail.test"));
    QCOMPARE(rig.state(QStringLiteral("Pat <pat@ok.test>")), QStringLiteral("0|n|False"));

    rig.list.setSelectedRow(rig.rowFrom(QStringLiteral("Pal <pal@ok.test>")));
    trigger("mnuAddDomainToFriends");
    QCOMPARE(rig.lists.friends().entry(0).Address, QStringLiteral("*@ok.test"));
    QCOMPARE(rig.state(QStringLiteral("Pal <pal@ok.test>")), QStringLiteral("0|Friend|False"));
    QCOMPARE(rig.state(QStringLiteral("Pat <pat@ok.test>")), QStringLiteral("0|Friend|False"));
    // A marked blacklisted row stays marked.
    QCOMPARE(rig.state(QStringLiteral("Ann <ann@bulkmail.test>")),
             QStringLiteral("1|Blacklist|*bulkmail.test"));

    // Without a selected row the commands cannot be chosen.
    rig.list.setSelectedRow(-1);
    Q_EMIT menu->aboutToShow();
    for (QAction *a : menu->actions())
        QVERIFY(a->isSeparator() || !a->isEnabled());
}

void TestMailFilterScreen::listButtons()
{
    MailRig rig;
    MailLists lists(rig.core.env.programFolder(), rig.core.clock);
    MailListsWindow window(lists, rig.core.prompt);
    auto click = [&](const char *name) {
        auto *b = window.findChild<QPushButton *>(QLatin1String(name));
        QVERIFY2(b, name);
        b->click();
    };
    const QString today = shortDateText(rig.core.clock.now().date());
    ScriptedPrompt &prompt = rig.core.prompt;

    prompt.inputAnswers = {QStringLiteral("*@Spam.test"), QString(), QStringLiteral("x@y.test")};
    click("cmdBlAdd");
    click("cmdBlAdd"); // an empty answer adds nothing
    click("cmdBlAdd");
    QCOMPARE(prompt.inputs.value(0), QStringLiteral("Enter the new Filter"));
    QCOMPARE(lists.blacklist().count(), 2);
    QCOMPARE(lists.blacklist().entry(0),
             (MailListEntry{true, QStringLiteral("*@Spam.test"), mailListNoDateText(), today}));

    prompt.inputAnswers = {QStringLiteral("SPAM")};
    click("cmdBlFind");
    QCOMPARE(lists.blacklist().selectedRows(), QList<int>{0});
    QCOMPARE(window.view(MailListKind::Blacklist)->selectionModel()->selectedRows().size(), 1);
    QCOMPARE(lists.blacklist().lastSearchText(), QStringLiteral("spam"));

    prompt.inputAnswers = {QStringLiteral("*@junk.test")};
    click("cmdBlEdit");
    QCOMPARE(prompt.inputs.last(), QStringLiteral("Enter the new name for the selected Filter"));
    QCOMPARE(lists.blacklist().entry(0).Address, QStringLiteral("*@junk.test"));
    QCOMPARE(lists.blacklist().entry(0).Added, today);

    click("cmdBlDelete");
    QCOMPARE(lists.blacklist().count(), 1);
    QCOMPARE(lists.blacklist().entry(0).Address, QStringLiteral("x@y.test"));

    prompt.inputAnswers = {QStringLiteral("pal@ok.test")};
    click("cmdFrAdd");
    QCOMPARE(prompt.inputs.last(), QStringLiteral("Enter the new Friend"));
    QCOMPARE(lists.friends().count(), 1);
    QCOMPARE(lists.blacklist().count(), 1);
}

void TestMailFilterScreen::loadingShowsProgressAndPausesThePopupTimers()
{
    MailRig rig;
    QByteArray file;
    for (int i = 0; i < 250; ++i)
        file += "1\xFFs" + QByteArray::number(i) +
                "@x.test\xFF"
                "01/01/01\xFF"
                "01/01/01\r\n";
    rig.core.env.writeFile(QStringLiteral("mail.mbl"), file);
    rig.core.env.writeFile(QStringLiteral("mail.mfl"), "1\xFFpal@ok.test\xFF"
                                                       "01/01/01\r\n");
    MailLists lists(rig.core.env.programFolder(), rig.core.clock);
    PopupLoop loop{{rig.core.options, rig.core.keyboard, rig.core.tray, rig.core.controller}};
    QTimer &detection = loop.detectionTimer();
    QTimer &monitor = loop.monitorTimer();
    detection.start(100);
    monitor.start();
    bool runningWhileLoading = true;
    QObject::connect(&lists.blacklist(), &QAbstractItemModel::modelReset, &lists, [&] {
        runningWhileLoading = detection.isActive() || monitor.isActive();
    });
    loadMailListsWithProgress(lists, &rig.core.controller);
    QCOMPARE(lists.blacklist().count(), 250);
    QCOMPARE(lists.friends().count(), 1);
    QVERIFY(!runningWhileLoading);
    QVERIFY(detection.isActive());
    QCOMPARE(detection.interval(), 100);
    QVERIFY(monitor.isActive());
}

QTEST_MAIN(TestMailFilterScreen)
#include "test_mail_filter_screen.moc"

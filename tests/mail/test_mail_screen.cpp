// SPDX-License-Identifier: GPL-3.0-or-later
#include "MailScreenRig.h"
#include "Pop3Fakes.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QTest>
#include <QTreeView>

using namespace kvorn;
using namespace kvorn::test;

using ScreenRig = MailScreenRig;

class TestMailScreen : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void columnsAndMenuCommands();
    void checkMarksAndSorting();
};

void TestMailScreen::columnsAndMenuCommands()
{
    ScreenRig rig;
    auto *view = rig.window.findChild<QTreeView *>(QStringLiteral("lvMailList"));
    auto *box = rig.window.findChild<QPlainTextEdit *>(QStringLiteral("txtMStatus"));
    QVERIFY(view && box);
    QStringList captions;
    for (int c = 0; c < view->model()->columnCount(); ++c)
        captions << view->model()->headerData(c, Qt::Horizontal).toString();
    QCOMPARE(captions, (QStringList{"From", "Subject", "Date", "Size", "Account", "Bounce",
                                    "Status", "Blacklist", "Priority", "To", "Unique ID"}));

    ScriptedPop3Server server;
    QVERIFY(server.listen());
    const auto inner = ScriptedPop3Server::mailbox(3, ScriptedPop3Server::sampleMessage);
    server.respond = [inner](const QByteArray &command) {
        auto a = inner(command);
        a.delayMs = command == "STAT  " ? 300 : 0;
        return a;
    };
    rig.setAccounts({server.hostPort()});
    rig.window.selectScreen(MailScreen);
    QSignalSpy finished(&rig.check, &MailCheck::checkFinished);
    rig.window.action(QStringLiteral("mnuMailCheck"))->trigger();
    QVERIFY(rig.check.isChecking());
    // The window keeps handling events while the server takes its time.
    QTRY_VERIFY(box->toPlainText().endsWith(QLatin1String("STAT")));
    QVERIFY(finished.wait(10000));
    QCOMPARE(view->model()->rowCount(), 3);
    QVERIFY(box->toPlainText().endsWith(QLatin1String("Finished Checking")));
    QCOMPARE(rig.window.statusPanels().value(1), QStringLiteral("Messages: 3"));
    // The last row added is the selected one, in the model and on screen.
    QCOMPARE(view->currentIndex().row(), rig.list.selectedRow());

    // Stop: aborts a check that waits for a silent server.
    server.respond = [](const QByteArray &command) -> ScriptedPop3Server::Answer {
        return {command.startsWith("USER") ? QByteArray("+OK\r\n") : QByteArray()};
    };
    rig.settings.ServerTO = 60000;
    rig.window.action(QStringLiteral("mnuMailCheck"))->trigger();
    QTRY_COMPARE(server.commands.size(), 13); // USER and PASS of the second check
    rig.window.action(QStringLiteral("mnuMailStop"))->trigger();
    QVERIFY(finished.wait(5000));
    QVERIFY(box->toPlainText().endsWith(QLatin1String("Mail Aborted")));
}

void TestMailScreen::checkMarksAndSorting()
{
    ScreenRig rig;
    for (const char *size : {"9", "10", "100"}) {
        MailListRow row;
        row.text[ColFrom] = QStringLiteral("from ") + QLatin1String(size);
        row.text[ColSize] = QLatin1String(size);
        rig.list.addRow(row);
    }
    QTreeView *view = rig.screen->view();
    rig.window.selectScreen(MailScreen);
    rig.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&rig.window));
    const QModelIndex first = rig.list.index(0, ColFrom);
    QVERIFY(rig.list.flags(first) & Qt::ItemIsUserCheckable);
    QVERIFY(view->model()->setData(first, Qt::Checked, Qt::CheckStateRole));
    QVERIFY(rig.list.isChecked(0));

    // Header clicks: ascending, descending, ascending, by text.
    const auto sizes = [&] {
        QStringList s;
        for (int r = 0; r < rig.list.rowCount(); ++r)
            s << rig.list.text(r, ColSize);
        return s;
    };
    const int x = view->header()->sectionViewportPosition(ColSize) + 5;
    const auto click = [&] {
        // Apart enough not to make a double click.
        QTest::qWait(QApplication::doubleClickInterval() + 50);
        QTest::mouseClick(view->header()->viewport(), Qt::LeftButton, {}, QPoint(x, 5));
    };
    click();
    QCOMPARE(sizes(), (QStringList{"10", "100", "9"}));

    // The user's selection stays on its message through every sort, on screen and in the
    // list's own state.
    const QRect cell = view->visualRect(rig.list.index(2, ColSize));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(rig.list.selectedRow(), 2);
    const quint64 chosen = rig.list.row(2).key;
    const auto selectionOnChosen = [&] {
        const int row = rig.list.rowOfKey(chosen);
        const QModelIndexList selected = view->selectionModel()->selectedRows();
        return rig.list.selectedRow() == row && view->currentIndex().row() == row &&
               selected.size() == 1 && selected.first().row() == row;
    };
    QVERIFY(selectionOnChosen());

    click();
    QCOMPARE(sizes(), (QStringList{"9", "100", "10"}));
    QCOMPARE(rig.list.rowOfKey(chosen), 0);
    QVERIFY(selectionOnChosen());
    click();
    QCOMPARE(sizes(), (QStringList{"10", "100", "9"}));
    QVERIFY(selectionOnChosen());
    // The check mark travelled with its row.
    for (int r = 0; r < 3; ++r)
        QCOMPARE(rig.list.isChecked(r), rig.list.text(r, ColSize) == QLatin1String("10"));
    // A new row takes its place in the current order.
    MailListRow row;
    row.text[ColSize] = QStringLiteral("11");
    rig.list.addRow(row);
    QCOMPARE(sizes(), (QStringList{"10", "100", "11", "9"}));
}

QTEST_MAIN(TestMailScreen)
#include "test_mail_screen.moc"

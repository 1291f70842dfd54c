// SPDX-License-Identifier: GPL-3.0-or-later
#include "CoreRig.h"

#include "banner/BannerList.h"
#include "banner/SystemHosts.h"
#include "shell/BannerImportDialog.h"
#include "shell/BannerScreen.h"
#include "shell/MainWindow.h"
#include "shell/QtTrayIcon.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include <functional>

using namespace kvorn;
using namespace kvorn::test;

namespace {

QByteArray fixture(const QString &name)
{
    return dataFileBytes(QStringLiteral("banner/") + name);
}

/// The main window with the banner screen installed, on a home holding a banner list.
struct ScreenRig : CoreRig
{
    QtTrayIcon qtTray;
    BannerList list{env.programFolder(), tray, clock, controller};
    MainWindow window{controller, qtTray, options};
    BannerScreenWidget *screen = nullptr;

    explicit ScreenRig(const QByteArray &bannerList = fixture(QStringLiteral("list.kbl")),
                       SystemHosts *system = nullptr)
    {
        env.writeFile(QStringLiteral("banner.kbl"), bannerList);
        env.writeFile(QStringLiteral("banner.kpm"), fixture(QStringLiteral("list.kpm")));
        screen = installBannerScreen(window, list, prompt, options, system);
        window.selectScreen(kvorn::BannerScreen);
    }
    QTreeView *view() const { return window.findChild<QTreeView *>(QStringLiteral("lvBanner")); }
    void click(const char *button) const
    {
        auto *b = screen->findChild<QPushButton *>(QString::fromLatin1(button));
        QVERIFY(b);
        QTest::mouseClick(b, Qt::LeftButton);
    }
    QList<bool> shownTicks() const
    {
        QList<bool> out;
        QAbstractItemModel *model = view()->model();
        for (int row = 0; row < model->rowCount(); ++row)
            out.append(model->index(row, 0).data(Qt::CheckStateRole).toInt() == Qt::Checked);
        return out;
    }
};

/// Runs `drive` on the modal import dialog once it is up.
void whenDialogOpens(const std::function<void(BannerImportDialog *)> &drive)
{
    QTimer::singleShot(0, qApp, [drive] {
        auto *dialog = qobject_cast<BannerImportDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        drive(dialog);
    });
}

void setFileAndOk(BannerImportDialog *dialog, const QString &path)
{
    dialog->findChild<QLineEdit *>(QStringLiteral("txtFileName"))->setText(path);
    QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
}

const QList<bool> kLoaded{true, false, true, false, true, false, true};

} // namespace

class TestBannerScreen : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void commandsOfTheScreenAndMenu_data();
    void commandsOfTheScreenAndMenu();
    void importThroughTheFileMenu();
    void browsePutsTheChosenFileInTheBox();
    void failedApplyIsShownAndKeepsTheTicks();
    void importWithoutGroupsKeepsTheView();
    void systemCommands_data();
    void systemCommands();
    void systemCommandsNeedTheHelper();
};

void TestBannerScreen::commandsOfTheScreenAndMenu_data()
{
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QList<bool>>("ticks");
    QTest::addColumn<bool>("written");

    const QList<bool> all(7, true);
    const QList<bool> none(7, false);
    QTest::newRow("Select All") << QStringList{"mnuBanSelectAll"} << all << false;
    QTest::newRow("Select None") << QStringList{"mnuBanSelectNone"} << none << false;
    QTest::newRow("Invert twice") << QStringList{"mnuBanInvert", "mnuBanInvert"} << kLoaded << false;
    QTest::newRow("Cancel drops ticks") << QStringList{"mnuBanSelectAll", "cmdCancel"} << kLoaded
                                        << false;
    QTest::newRow("Apply button") << QStringList{"mnuBanSelectAll", "cmdApply"} << all << true;
    QTest::newRow("Apply Changes item") << QStringList{"mnuBanSelectNone", "mnuBanApply", "cmdCancel"}
                                        << none << true;
}

void TestBannerScreen::commandsOfTheScreenAndMenu()
{
    QFETCH(QStringList, commands);
    QFETCH(QList<bool>, ticks);
    QFETCH(bool, written);

    ScreenRig rig;
    QVERIFY(rig.view());
    QCOMPARE(rig.view()->model()->headerData(0, Qt::Horizontal).toString(),
             QStringLiteral("Server Group"));
    QCOMPARE(rig.view()->model()->headerData(1, Qt::Horizontal).toString(),
             QStringLiteral("Servers"));
    QCOMPARE(rig.shownTicks(), kLoaded);
    QCOMPARE(rig.tray.tip(), QStringLiteral("Loading Banner server List..."));

    for (const QString &command : commands) {
        if (command.startsWith(QLatin1String("mnu")))
            rig.window.action(command)->trigger();
        else
            rig.click(command.toLatin1().constData());
    }
    QCOMPARE(rig.shownTicks(), ticks);
    QCOMPARE(QFileInfo::exists(rig.env.file(QStringLiteral("hosts"))), written);
    if (written) {
        BannerList restarted(rig.env.programFolder(), rig.tray, rig.clock, rig.controller);
        restarted.LoadBannerList();
        QList<bool> stored;
        for (const BannerGroup &group : restarted.groups())
            stored.append(group.selected);
        QCOMPARE(stored, ticks);
    }
    QVERIFY(rig.prompt.messages.isEmpty());
}

void TestBannerScreen::importThroughTheFileMenu()
{
    ScreenRig rig;
    rig.options.AutoColumn = true;
    rig.view()->setColumnWidth(0, 5);
    const QByteArray oldList = fixture(QStringLiteral("list.kbl"));

    // Cancel imports nothing.
    whenDialogOpens([](BannerImportDialog *dialog) {
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Banner Import"));
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("cmdCancel")),
                          Qt::LeftButton);
    });
    rig.window.action(QStringLiteral("mnuLoadBanner"))->trigger();
    QCOMPARE(rig.env.readFile(QStringLiteral("banner.kbl")), oldList);
    QVERIFY(rig.prompt.messages.isEmpty());

    // A file that cannot be opened is reported and the dialog stays; a good one then loads.
    bool stayedOpen = false;
    whenDialogOpens([&](BannerImportDialog *dialog) {
        setFileAndOk(dialog, rig.env.file(QStringLiteral("no such list")));
        stayedOpen = dialog->isVisible();
        setFileAndOk(dialog, dataFile(QStringLiteral("banner/two_groups.hosts")));
    });
    rig.window.action(QStringLiteral("mnuLoadBanner"))->trigger();
    QVERIFY(stayedOpen);
    QCOMPARE(rig.prompt.messages.size(), 2);
    QVERIFY2(rig.prompt.messages[0].contains(QLatin1String("cannot be opened")),
             qPrintable(rig.prompt.messages[0]));
    QCOMPARE(rig.prompt.messages[1],
             QStringLiteral("Banner server load Complete.\n2 Groups added containing \n5 Ad servers"));
    QCOMPARE(rig.prompt.titles[1], QStringLiteral("Load Banner Servers"));

    QCOMPARE(rig.shownTicks(), (QList<bool>{false, false}));
    QCOMPARE(rig.view()->model()->index(1, 0).data().toString(), QStringLiteral(" Tracker"));
    QCOMPARE(rig.view()->model()->index(1, 1).data().toString(), QStringLiteral("2"));
    QVERIFY(!QFileInfo::exists(rig.env.file(QStringLiteral("hosts"))));
    // "AutoColumn" sized the group column to the wider of header and contents.
    QVERIFY(rig.view()->columnWidth(0) >=
            rig.view()->fontMetrics().horizontalAdvance(QStringLiteral(" Ad Network")));
}

void TestBannerScreen::browsePutsTheChosenFileInTheBox()
{
    ScreenRig rig;
    BannerImportDialog dialog(rig.list, rig.prompt);
    QCOMPARE(dialog.objectName(), QStringLiteral("frmBannerImport"));
    QString answer = QStringLiteral("/lists/hosts");
    dialog.setFileChooser([&answer](QWidget *) { return answer; });
    auto *browse = dialog.findChild<QToolButton *>(QStringLiteral("picBrowse"));
    QTest::mouseClick(browse, Qt::LeftButton);
    QCOMPARE(dialog.fileName(), QStringLiteral("/lists/hosts"));
    answer.clear(); // the file dialog cancelled
    QTest::mouseClick(browse, Qt::LeftButton);
    QCOMPARE(dialog.fileName(), QStringLiteral("/lists/hosts"));
}

void TestBannerScreen::failedApplyIsShownAndKeepsTheTicks()
{
    ScreenRig rig;
    // Root ignores a read-only folder; a folder in the hosts file's place fails for anyone.
    QVERIFY(QDir().mkpath(rig.env.file(QStringLiteral("hosts"))));
    rig.window.action(QStringLiteral("mnuBanSelectAll"))->trigger();
    rig.click("cmdApply");
    QCOMPARE(rig.prompt.messages.size(), 1);
    QVERIFY2(rig.prompt.messages[0].contains(QLatin1String("could not be applied")),
             qPrintable(rig.prompt.messages[0]));
    QCOMPARE(rig.shownTicks(), QList<bool>(7, true));
    QCOMPARE(rig.env.readFile(QStringLiteral("banner.kbl")), fixture(QStringLiteral("list.kbl")));
}

void TestBannerScreen::importWithoutGroupsKeepsTheView()
{
    ScreenRig rig;
    rig.window.action(QStringLiteral("mnuBanInvert"))->trigger();
    const QList<bool> unapplied = rig.shownTicks();
    bool stayedOpen = false;
    whenDialogOpens([&](BannerImportDialog *dialog) {
        setFileAndOk(dialog, dataFile(QStringLiteral("banner/no_localhost.hosts")));
        stayedOpen = dialog->isVisible();
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("cmdCancel")),
                          Qt::LeftButton);
    });
    rig.window.action(QStringLiteral("mnuLoadBanner"))->trigger();
    QVERIFY(stayedOpen);
    QCOMPARE(rig.prompt.messages.size(), 1);
    QVERIFY2(rig.prompt.messages[0].startsWith(QLatin1String("No banner server group was found")),
             qPrintable(rig.prompt.messages[0]));
    QCOMPARE(rig.shownTicks(), unapplied);
    QCOMPARE(rig.env.readFile(QStringLiteral("banner.kbl")), fixture(QStringLiteral("list.kbl")));
    QCOMPARE(rig.env.readFile(QStringLiteral("banner.kpm")), fixture(QStringLiteral("list.kpm")));
}

void TestBannerScreen::systemCommands_data()
{
    QTest::addColumn<QStringList>("runAsRoot");
    QTest::addColumn<bool>("targetWritable");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("message");

    // The helper run directly stands in for pkexec granting it; a shell exiting as pkexec
    // does stands in for its refusals.
    const auto exitingWith = [](int code) {
        return QStringList{"sh", "-c", QStringLiteral("exit %1").arg(code), "sh"};
    };
    QTest::newRow("granted") << QStringList() << true << true << "now blocked";
    QTest::newRow("authentication dismissed") << exitingWith(126) << true << false << "cancelled";
    QTest::newRow("not authorized") << exitingWith(127) << true << false << "pkexec refused";
    QTest::newRow("pkexec missing") << QStringList{"/nonexistent/pkexec"} << true << false
                                    << "Debian package \"pkexec\"";
    QTest::newRow("helper fails") << QStringList() << false << false << "kvorn-hosts-helper:";
}

void TestBannerScreen::systemCommands()
{
    QFETCH(QStringList, runAsRoot);
    QFETCH(bool, targetWritable);
    QFETCH(bool, ok);
    QFETCH(QString, message);

    QTemporaryDir dir;
    const QString target = targetWritable ? dir.filePath(QStringLiteral("hosts"))
                                          : dir.filePath(QStringLiteral("missing/hosts"));
    const QByteArray machine = "127.0.0.1 localhost\n192.0.2.7 printer.lan\n";
    if (targetWritable) {
        QFile file(target);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(machine);
    }
    SystemHosts system(QStringLiteral(KVORN_HOSTS_HELPER), runAsRoot,
                       {QStringLiteral("--target"), target});
    ScreenRig rig(fixture(QStringLiteral("list.kbl")), &system);
    QAction *applyItem = rig.window.action(QStringLiteral("mnuBanApplySystem"));
    QAction *removeItem = rig.window.action(QStringLiteral("mnuBanRemoveSystem"));
    QVERIFY(applyItem->isEnabled());

    rig.window.action(QStringLiteral("mnuBanSelectNone"))->trigger();
    rig.list.setSelected(0, true);
    rig.list.setSelected(4, true);
    applyItem->trigger();
    // The window is not held up while the helper runs; the commands wait for it.
    QVERIFY(rig.prompt.messages.isEmpty());
    QVERIFY(!applyItem->isEnabled());
    QVERIFY(!rig.screen->findChild<QPushButton *>(QStringLiteral("cmdRemoveSystem"))->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(rig.prompt.messages.size(), 1, 20000);
    QVERIFY2(rig.prompt.messages[0].contains(message), qPrintable(rig.prompt.messages[0]));
    QVERIFY(applyItem->isEnabled());
    QVERIFY(removeItem->isEnabled());
    // The program's own files were applied first either way.
    QCOMPARE(rig.env.readFile(QStringLiteral("banner.kbl")).left(2), QByteArray("1\xff"));

    QFile file(target);
    if (!targetWritable) {
        QVERIFY(!file.exists());
        return;
    }
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray written = file.readAll();
    file.close();
    if (!ok) {
        QCOMPARE(written, machine);
        return;
    }
    QVERIFY(written.startsWith(machine));
    QVERIFY(written.contains("\n127.0.0.1      ad1.example\n127.0.0.1      ad2.example\n"
                             "127.0.0.1      ad3.example\n127.0.0.1      seven.example\n# END"));
    QVERIFY(!written.contains("Ad Network"));

    rig.click("cmdRemoveSystem");
    QTRY_COMPARE_WITH_TIMEOUT(rig.prompt.messages.size(), 2, 20000);
    QVERIFY2(rig.prompt.messages[1].contains(QLatin1String("removed")),
             qPrintable(rig.prompt.messages[1]));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), machine);
    file.close();

    // Applying with nothing ticked blocks nothing, and says so rather than "now blocked".
    applyItem->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(rig.prompt.messages.size(), 3, 20000);
    rig.window.action(QStringLiteral("mnuBanSelectNone"))->trigger();
    applyItem->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(rig.prompt.messages.size(), 4, 20000);
    QVERIFY2(rig.prompt.messages[3].startsWith(QLatin1String("No banner server group is ticked")),
             qPrintable(rig.prompt.messages[3]));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), machine);
}

void TestBannerScreen::systemCommandsNeedTheHelper()
{
    SystemHosts missing(QStringLiteral("/nonexistent/kvorn-hosts-helper"), {});
    for (SystemHosts *system : {&missing, static_cast<SystemHosts *>(nullptr)}) {
        ScreenRig rig(fixture(QStringLiteral("list.kbl")), system);
        for (const char *name : {"mnuBanApplySystem", "mnuBanRemoveSystem"})
            QVERIFY(!rig.window.action(QString::fromLatin1(name))->isEnabled());
        for (const char *name : {"cmdApplySystem", "cmdRemoveSystem"})
            QVERIFY(!rig.screen->findChild<QPushButton *>(QString::fromLatin1(name))->isEnabled());
        rig.window.action(QStringLiteral("mnuBanApplySystem"))->trigger();
        QVERIFY(rig.prompt.messages.isEmpty());
    }
}

QTEST_MAIN(TestBannerScreen)
#include "test_banner_screen.moc"

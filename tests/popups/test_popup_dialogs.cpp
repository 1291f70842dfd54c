// SPDX-License-Identifier: GPL-3.0-or-later
// The popup side of the main window, offscreen: the "Popup" menu and its enabling, the
// right-click menus, Del, drops, double clicks, the add dialog "Popup Add" and the popup
// options dialog.
#include "PopupWindowRig.h"
#include "TabOrder.h"
#include "WindowTexts.h"

#include "core/DateText.h"
#include "core/TextFile.h"
#include "popups/DetectedListModel.h"
#include "popups/LogListModel.h"
#include "popups/PopupListFile.h"
#include "shell/PopupAddDialog.h"
#include "shell/PopupOptionsDialog.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>

using namespace kvorn;
using namespace kvorn::test;

namespace {

const WindowClass kChromium{QStringLiteral("chromium"), QStringLiteral("Chromium")};

QStringList texts(const PopupListModel &list)
{
    QStringList out;
    for (int row = 0; row < list.count(); ++row)
        out.append(list.entry(row).text);
    return out;
}

QStringList enabledItems(const PopupActions &a)
{
    QStringList out;
    const std::pair<const char *, QAction *> items[] = {
        {"add", a.add},   {"edit", a.edit}, {"delete", a.remove},
        {"find", a.find}, {"ban", a.ban},   {"whitelist", a.whitelist},
    };
    for (const auto &[name, action] : items) {
        if (action->isEnabled())
            out.append(QString::fromLatin1(name));
    }
    return out;
}

template <class T> T *child(QWidget *parent, const char *name)
{
    T *w = parent->findChild<T *>(QString::fromLatin1(name));
    if (!w)
        qWarning("no child %s", name);
    return w;
}

} // namespace

class TestPopupDialogs : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // --- the menus ---------------------------------------------------------------------------
    void rightClickEnablesPerList_data()
    {
        QTest::addColumn<int>("list");
        QTest::addColumn<QStringList>("enabled");
        QTest::newRow("detected") << int(PopupPanel::Detected) << QStringList{"add"};
        QTest::newRow("black") << int(PopupPanel::Black)
                               << QStringList{"edit", "delete", "find", "ban", "whitelist"};
        QTest::newRow("white") << int(PopupPanel::White)
                               << QStringList{"add", "edit", "delete", "find"};
        QTest::newRow("log") << int(PopupPanel::Log) << QStringList{"add", "ban", "whitelist"};
    }
    void rightClickEnablesPerList()
    {
        QFETCH(int, list);
        QFETCH(QStringList, enabled);
        PopupWindowRig rig;
        // "&Ban it!" is hidden as the window loads (and a hidden item reads as disabled);
        // shown here to see what the list would make of it.
        rig.actions().ban->setVisible(true);
        rig.view->enableForList(PopupPanel(list));
        QCOMPARE(enabledItems(rig.actions()), enabled);
    }

    void rightClickSelectsTheRowUnderThePointerAlone()
    {
        PopupWindowRig rig;
        for (const char *t : {"a", "b", "c"})
            rig.k.blackList(QString::fromLatin1(t));
        rig.window.resize(600, 500);
        rig.window.show();
        rig.window.selectPanel(1);
        PopupListModel &black = rig.k.lists.blackList();
        black.setSelection({0, 2}, 2);
        rig.actions().ban->setVisible(true);
        const QRect rect = rig.panels.blackList->visualRect(black.index(1, 0));
        rig.view->rightClick(PopupPanel::Black, rect.center());
        QCOMPARE(black.selectedRows(), QList<int>{1});
        QCOMPARE(black.currentRow(), 1);
        QCOMPARE(enabledItems(rig.actions()),
                 (QStringList{"edit", "delete", "find", "ban", "whitelist"}));
        // The states stay until the panel changes.
        rig.window.selectPanel(3);
        QCOMPARE(enabledItems(rig.actions()), (QStringList{"add", "ban", "whitelist"}));
    }

    void fileAndSettingsItemsRunTheirCommands()
    {
        PopupWindowRig rig;
        const PopupActions &a = rig.actions();
        for (QAction *item : {a.load, a.merge, a.saveAs, a.wipe, a.options})
            QVERIFY(item->isEnabled());
        QCOMPARE(a.load->text(), QStringLiteral("Popup Blacklist"));
        QCOMPARE(a.merge->text(), QStringLiteral("&Merge..."));
        QCOMPARE(a.saveAs->text(), QStringLiteral("Save &As..."));
        QCOMPARE(a.wipe->text(), QStringLiteral("&Wipe"));
        QCOMPARE(a.options->text(), QStringLiteral("&Popup"));
        rig.k.blackList(QStringLiteral("gone"));
        rig.k.core.prompt.answers = {Prompt::Answer::Yes};
        a.wipe->trigger();
        QCOMPARE(rig.k.lists.blackList().count(), 0);
        a.merge->trigger();
        a.saveAs->trigger();
        rig.k.core.prompt.answers = {Prompt::Answer::Yes};
        a.load->trigger();
        QCOMPARE(rig.files.titles,
                 (QStringList{"Merge Black List", "Save Black List As", "Load Black List"}));
    }

    void commandsFromTheMenuActOnTheShownList()
    {
        PopupWindowRig rig;
        rig.window.show();
        rig.window.selectPanel(1);
        for (const char *t : {"a", "b", "c"})
            rig.k.blackList(QString::fromLatin1(t));
        PopupListModel &black = rig.k.lists.blackList();
        black.setSelection({0, 1}, 1);
        rig.actions().remove->trigger();
        QCOMPARE(texts(black), QStringList{"c"});
        QCOMPARE(rig.window.statusPanels().at(2), QStringLiteral("Count:1"));
        black.selectOnly(0);
        rig.actions().whitelist->trigger();
        QCOMPARE(texts(rig.k.lists.whiteList()), QStringList{"c"});
        // Edit goes to the list that has the focus.
        rig.window.selectPanel(2);
        rig.panels.whiteList->setFocus();
        rig.k.lists.whiteList().selectRow(0);
        // The Whitelist panel leaves the items off; its right-click menu turns them on.
        QVERIFY(!rig.actions().edit->isEnabled());
        rig.view->enableForList(PopupPanel::White);
        rig.k.core.prompt.inputAnswers = {QStringLiteral("see")};
        rig.actions().edit->trigger();
        QCOMPARE(texts(rig.k.lists.whiteList()), QStringList{"see"});
    }

    void delKeyDeletesAndSelectsTheNextRow()
    {
        PopupWindowRig rig;
        rig.window.show();
        rig.window.selectPanel(1);
        for (const char *t : {"a", "b", "c"})
            rig.k.blackList(QString::fromLatin1(t));
        PopupListModel &black = rig.k.lists.blackList();
        black.selectOnly(1);
        QTest::keyClick(rig.panels.blackList, Qt::Key_Delete);
        QCOMPARE(texts(black), (QStringList{"a", "c"}));
        QCOMPARE(black.currentRow(), 1);
        black.clearSelection();
        QTest::keyClick(rig.panels.blackList, Qt::Key_Delete); // nothing selected: nothing
        QCOMPARE(black.count(), 2);
    }

    void droppedTextLandsOnTheBlackListAsOneLine()
    {
        PopupWindowRig rig;
        rig.window.resize(600, 500);
        rig.window.show();
        rig.window.selectPanel(1);
        QWidget *viewport = rig.panels.blackList->viewport();
        QMimeData mime;
        mime.setText(QStringLiteral("Win a\r\nprize"));
        const QPoint at = viewport->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &drop);
        QCOMPARE(texts(rig.k.lists.blackList()), QStringList{"Win a prize"});
        QVERIFY(rig.k.lists.blackList().entry(0).enabled);
        QCOMPARE(rig.k.lists.blackList().currentRow(), 0);
        QVERIFY(rig.k.lists.blackListChanged());
    }

    // --- the add dialog ----------------------------------------------------------------------
    void doubleClickOpensTheAddDialogOnTheDetectedRow()
    {
        PopupWindowRig rig;
        rig.desktop.addWindow(kChromium, "Win a free cruise today - Chromium");
        rig.k.killer.SurveyWindows();
        rig.window.resize(600, 500);
        rig.window.show();
        rig.window.selectPanel(0);
        QTreeView *view = rig.detectedView;
        Q_EMIT view->doubleClicked(view->model()->index(0, 0));
        PopupAddDialog *dialog = rig.view->addDialog();
        QVERIFY(dialog);
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Popup Add"));
        QCOMPARE(child<QRadioButton>(dialog, "optBlack")->text(),
                 QStringLiteral("Add to the &Black List"));
        QCOMPARE(child<QRadioButton>(dialog, "optWhite")->text(),
                 QStringLiteral("Add to the &White List "));
        QCOMPARE(child<QRadioButton>(dialog, "optTitle")->text(), QStringLiteral("Window &Title"));
        QCOMPARE(child<QRadioButton>(dialog, "optAddress")->text(),
                 QStringLiteral("Window http:// &Address"));
        QCOMPARE(child<QTreeWidget>(dialog, "lvWilds")->headerItem()->text(0),
                 QStringLiteral("Wilds"));
        QVERIFY(child<QRadioButton>(dialog, "optBlack")->isChecked());
        QVERIFY(child<QRadioButton>(dialog, "optTitle")->isChecked());
        QCOMPARE(dialog->entryText(), QStringLiteral("Win a free cruise today"));
        QCOMPARE(dialog->suggestions(),
                 (QStringList{"*Win a free*", "*Win a free cruise*", "*a free cruise*"}));
        // No address can be read: the address choice is off and changes nothing.
        QVERIFY(!child<QRadioButton>(dialog, "optAddress")->isEnabled());
        dialog->chooseAddress();
        QCOMPARE(dialog->entryText(), QStringLiteral("Win a free cruise today"));

        // A click on a suggestion replaces the text; "&Add" adds it dated today.
        QTreeWidget *wilds = child<QTreeWidget>(dialog, "lvWilds");
        Q_EMIT wilds->itemClicked(wilds->topLevelItem(2), 0);
        QCOMPARE(dialog->entryText(), QStringLiteral("*a free cruise*"));
        child<QPushButton>(dialog, "cmdAdd")->click();
        QCOMPARE(texts(rig.k.lists.blackList()), QStringList{"*a free cruise*"});
        QCOMPARE(rig.k.lists.blackList().entry(0).dateAdded,
                 shortDateText(rig.k.core.clock.now().date()));
        QTRY_VERIFY(!rig.view->addDialog());
    }

    void titleChoiceWithNoSelectedRowKeepsTheText()
    {
        PopupWindowRig rig;
        rig.view->addCommand();
        PopupAddDialog *dialog = rig.view->addDialog();
        QVERIFY(dialog);
        QCOMPARE(dialog->entryText(), QString());
        QVERIFY(!child<QPushButton>(dialog, "cmdAdd")->isEnabled()); // nothing to add
        child<QLineEdit>(dialog, "txtPopup")->setText(QStringLiteral("typed"));
        QVERIFY(child<QPushButton>(dialog, "cmdAdd")->isEnabled());
        dialog->chooseTitle();
        QCOMPARE(dialog->entryText(), QStringLiteral("typed"));
        // White list chosen: the entry goes there.
        child<QRadioButton>(dialog, "optWhite")->click();
        dialog->add();
        QCOMPARE(texts(rig.k.lists.whiteList()), QStringList{"typed"});
        QCOMPARE(rig.k.lists.blackList().count(), 0);
    }

    void quickAddKeepsTheHotTitleAndTheBlackListOnEveryPanel_data()
    {
        QTest::addColumn<int>("panel");
        QTest::newRow("detected") << 0;
        QTest::newRow("blacklist") << 1;
        QTest::newRow("whitelist") << 2;
        QTest::newRow("log with a row selected") << 3;
    }
    void quickAddKeepsTheHotTitleAndTheBlackListOnEveryPanel()
    {
        QFETCH(int, panel);
        PopupWindowRig rig;
        rig.k.lists.logList().bookKill(QStringLiteral("Logged"), QStringLiteral("x"),
                                       QStringLiteral("t"));
        rig.k.lists.logList().selectRow(0);
        rig.window.openWindow();
        rig.window.selectPanel(panel);
        rig.view->addCommand(true, QStringLiteral("Hot window"));
        PopupAddDialog *dialog = rig.view->addDialog();
        QVERIFY(dialog);
        QCOMPARE(dialog->entryText(), QStringLiteral("Hot window"));
        QVERIFY(dialog->addsToBlackList());
        QVERIFY(dialog->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        dialog->add();
        QCOMPARE(texts(rig.k.lists.blackList()), QStringList{"Hot window"});
        QCOMPARE(rig.k.lists.whiteList().count(), 0);
    }

    void addOnTheLogPanelTakesTheLogTitle()
    {
        PopupWindowRig rig;
        rig.k.lists.logList().bookKill(QStringLiteral("Logged popup"), QStringLiteral("x"),
                                       QStringLiteral("t"));
        rig.k.lists.logList().selectRow(0);
        rig.window.selectPanel(3);
        rig.actions().add->trigger();
        QCOMPARE(rig.view->addDialog()->entryText(), QStringLiteral("Logged popup"));
        QVERIFY(!rig.view->addDialog()->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        // One dialog: a second "&Add..." reuses it.
        PopupAddDialog *first = rig.view->addDialog();
        rig.actions().add->trigger();
        QCOMPARE(rig.view->addDialog(), first);
    }

    void ctrlAThenTypingAddsWithoutTheMouse()
    {
        PopupWindowRig rig;
        rig.window.openWindow();
        QVERIFY(QTest::qWaitForWindowActive(&rig.window));
        QTest::keyClick(&rig.window, Qt::Key_A, Qt::ControlModifier);
        PopupAddDialog *dialog = rig.view->addDialog();
        QVERIFY(dialog);
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        QTRY_COMPARE(QApplication::focusWidget(), child<QLineEdit>(dialog, "txtPopup"));
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("*casino*"));
        QVERIFY(child<QPushButton>(dialog, "cmdAdd")->isEnabled());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(texts(rig.k.lists.blackList()).contains(QStringLiteral("*casino*")));
    }

    void tabWalksTheDialogsInReadingOrder()
    {
        PopupWindowRig rig;
        rig.actions().add->trigger();
        PopupAddDialog *add = rig.view->addDialog();
        QVERIFY(QTest::qWaitForWindowExposed(add));
        QCOMPARE(tabOrderProblem(add), QString());
        add->reject();

        PopupOptionsDialog options(rig.k.core.options, rig.k.core.prompt,
                                   rig.k.core.registryFunctions);
        options.show();
        QVERIFY(QTest::qWaitForWindowExposed(&options));
        auto *pages = child<QTabWidget>(&options, "tsOptions");
        for (int page = 0; page < pages->count(); ++page) {
            pages->setCurrentIndex(page);
            QCOMPARE(tabOrderProblem(&options), QString());
        }
    }

    void textsAreMended_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        for (const char *before : {"Popop", "definately", "Willdcard", "WIndows",
                                   "Internet Explorer", "double click to close"}) {
            for (const TextMend &m : kTextMends) {
                if (qstrcmp(m.before, before) == 0)
                    QTest::newRow(before) << QString::fromLatin1(m.before)
                                          << QString::fromLatin1(m.after);
            }
        }
    }

    void textsAreMended()
    {
        QFETCH(QString, before);
        QFETCH(QString, after);
        PopupWindowRig rig;
        rig.actions().add->trigger();
        PopupOptionsDialog options(rig.k.core.options, rig.k.core.prompt,
                                   rig.k.core.registryFunctions);
        QStringList shown = windowTexts(&rig.window) + windowTexts(rig.view->addDialog()) +
                            windowTexts(&options);
        QCOMPARE(misspeltTexts(shown), QStringList());
        const bool found = std::any_of(shown.cbegin(), shown.cend(),
                                       [&](const QString &t) { return t.contains(after); });
        QVERIFY2(found, qPrintable(after));
    }

    // --- the options dialog -----------------------------------------------------------------
    void optionsApplyWritesTheSettingsFileAtOnce()
    {
        PopupWindowRig rig;
        const bool before = rig.k.core.options.StoreLog;
        QTimer::singleShot(0, [] {
            auto *dialog = qobject_cast<PopupOptionsDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            child<QCheckBox>(dialog, "chkStoreLog")->toggle();
            child<QPushButton>(dialog, "cmdApply")->click();
        });
        rig.actions().options->trigger();
        QCOMPARE(rig.k.core.options.StoreLog, !before);
        // What a crash would leave: the file as it is on disk now (another settings object
        // in this process would share the unsaved values).
        QFile onDisk(rig.k.core.env.settingsFile());
        QVERIFY(onDisk.open(QIODevice::ReadOnly));
        QVERIFY(onDisk.readAll().contains(before ? "StoreLog=False" : "StoreLog=True"));
    }

    void optionsDialogShowsAndStoresEveryKey()
    {
        PopupWindowRig rig;
        Options &o = rig.k.core.options;
        PopupOptionsDialog dialog(o, rig.k.core.prompt, rig.k.core.registryFunctions);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("K-Vorn Popup Options"));
        auto *tabs = child<QTabWidget>(&dialog, "tsOptions");
        QStringList captions;
        for (int i = 0; i < tabs->count(); ++i)
            captions << tabs->tabText(i);
        QCOMPARE(captions, (QStringList{"General", "List Mgmt", "Look && Feel", "Detection"}));
        QCOMPARE(tabs->currentIndex(), 0);
        for (const char *b : {"cmdHelp", "cmdDefault", "cmdCancel", "cmdApply"})
            QVERIFY(child<QPushButton>(&dialog, b));
        QVERIFY(!child<QPushButton>(&dialog, "cmdHelp")->isEnabled());

        struct Key
        {
            const char *key;
            const char *caption;
            bool Options::*field;
        };
        const Key keys[] = {
            {"StartWithWindows", "Start with the desktop session", &Options::StartWithWindows},
            {"JumpHome", "Home Page on Last Window Close", &Options::JumpHome},
            {"BannerBlock", "Disable Banner Blocking", &Options::BannerBlock},
            {"UseCustomIETitle", "Custom Browser Title", &Options::UseCustomIETitle},
            {"UseAutoUpdate", "Allow Automatic Updates every ", &Options::UseAutoUpdate},
            {"StoreLog", "Keep a log file", &Options::StoreLog},
            {"UploadLog", "Upload log file when updating", &Options::UploadLog},
            {"HideExempt", "Hide Whitelist Items in Monitor", &Options::HideExempt},
            {"BLDelete", "Disable Blacklist Deletes", &Options::BLDelete},
            {"HotAddKey", "Use Hot Key Add (Ctrl+Shift+X)", &Options::HotAddKey},
            {"DisableWildcards", "Disable Wildcards in Black List", &Options::DisableWildcards},
            {"HotAddFast", "Use Blacklist Quick Add ", &Options::HotAddFast},
            {"HotAddWild", "Attempt Wildcard add", &Options::HotAddWild},
            {"Flash", "Flash Tray Icon", &Options::Flash},
            {"ShowInTray", "Show Tray Icon", &Options::ShowInTray},
            {"ScrambleText", "Scramble Popups Text", &Options::ScrambleText},
            {"Sound", "Enable Sound Effects", &Options::Sound},
            {"KillNotify", "Notify on Every Kill", &Options::KillNotify},
            {"AutoColumn", "Auto Adjust column to maximum text width", &Options::AutoColumn},
            {"DisHotKey", "Disable Force Open Key (Ctrl)", &Options::DisHotKey},
            {"OptDwsp", "Password required for Exit, disable and Option Changes",
             &Options::OptDwsp},
            {"BList", "Use List Blocking", &Options::BList},
            {"BlockAll", "Block ALL popup windows (not suggested)", &Options::BlockAll},
            {"BallEx", "Use Exempt List in Block ALL", &Options::BallEx},
            {"WinLmtMode", "Limit Simultaneous Browser Windows", &Options::WinLmtMode},
            {"ReadBrowserAddresses", "Read browser addresses", &Options::ReadBrowserAddresses},
        };
        for (const Key &k : keys) {
            QCheckBox *box = dialog.checkBox(QString::fromLatin1(k.key));
            QVERIFY2(box, k.key);
            QCOMPARE(box->text(), QString::fromLatin1(k.caption));
            QCOMPARE(box->isChecked(), o.*k.field);
            box->setChecked(!box->isChecked());
        }
        QCOMPARE(dialog.checkBox(QStringLiteral("JumpHome"))->toolTip(),
                 QStringLiteral("Opens home page when K-Vorn closes all the opened windows."));
        child<QLineEdit>(&dialog, "txtCustomIETitle")->setText(QStringLiteral("My browser"));
        child<QSpinBox>(&dialog, "txtAUDays")->stepUp();
        child<QSpinBox>(&dialog, "txtWinLmtWindows")->setValue(3);
        child<QSlider>(&dialog, "sldBSpeed")->setValue(6);
        child<QRadioButton>(&dialog, "optHotAddTitle")->setChecked(true);
        const Options before = o;
        dialog.apply();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        for (const Key &k : keys)
            QVERIFY2(o.*k.field != before.*k.field, k.key);
        QCOMPARE(o.CustomIETitle, QStringLiteral("My browser"));
        QCOMPARE(o.AUDays, QStringLiteral("8"));
        QCOMPARE(o.WinLmtWindows, std::int16_t(3));
        QCOMPARE(o.BSpeed, std::int16_t(6));
        QVERIFY(!o.HotAddTitle);
        QVERIFY(o.accepted);
        // Stored as the settings store writes them.
        QVERIFY(rig.k.core.settings.saveOptions());
        QCOMPARE(rig.k.core.store.read(kOptionsSection, QStringLiteral("AUDays"), QString()),
                 QStringLiteral("8"));
        QCOMPARE(rig.k.core.store.read(kOptionsSection, QStringLiteral("HotAddTitle"), QString()),
                 QStringLiteral("False"));
        QCOMPARE(rig.k.core.store.read(kOptionsSection, QStringLiteral("ReadBrowserAddresses"),
                                       QString()),
                 QStringLiteral("False"));
        // How to let browsers show their addresses is told beside the choice.
        const QString help = child<QLabel>(&dialog, "lblAddressHelp")->text();
        QVERIFY(help.contains(QStringLiteral("ACCESSIBILITY_ENABLED=1")));
        QVERIFY(help.contains(QStringLiteral("GNOME_ACCESSIBILITY=1")));
        QVERIFY(help.contains(QStringLiteral("restart Chromium")));
    }

    void optionsEnablingRules_data()
    {
        QTest::addColumn<QString>("master");
        QTest::addColumn<QStringList>("dependants"); // object names
        QTest::newRow("home page") << "JumpHome" << QStringList{"txtHomePage"};
        QTest::newRow("custom title") << "UseCustomIETitle" << QStringList{"txtCustomIETitle"};
        QTest::newRow("log") << "StoreLog" << QStringList{"chkUploadLog"};
        QTest::newRow("quick add") << "HotAddFast"
                                   << QStringList{"optHotAddAddress", "optHotAddTitle",
                                                  "chkHotAddWild"};
        QTest::newRow("tray") << "ShowInTray" << QStringList{"chkFlash"};
        QTest::newRow("password") << "OptDwsp" << QStringList{"txtPassword"};
        QTest::newRow("block all") << "BlockAll" << QStringList{"chkBallEx"};
        QTest::newRow("window limit") << "WinLmtMode" << QStringList{"txtWinLmtWindows"};
        QTest::newRow("custom speed") << "CustomSpeed"
                                      << QStringList{"sldCustomSpeed", "chkDetectSafeMode"};
    }
    void optionsEnablingRules()
    {
        QFETCH(QString, master);
        QFETCH(QStringList, dependants);
        PopupWindowRig rig;
        PopupOptionsDialog dialog(rig.k.core.options, rig.k.core.prompt,
                                  rig.k.core.registryFunctions);
        QCheckBox *box = dialog.findChild<QCheckBox *>(QStringLiteral("chk") + master);
        QVERIFY(box);
        for (const bool on : {true, false, true}) {
            box->setChecked(on);
            for (const QString &name : dependants) {
                QWidget *w = dialog.findChild<QWidget *>(name);
                QVERIFY2(w, qPrintable(name));
                QVERIFY2(w->isEnabled() == on, qPrintable(name));
            }
        }
    }

    void optionsCancelRestoresEvenAfterAFailedApply()
    {
        PopupWindowRig rig;
        Options &o = rig.k.core.options;
        o.UseCustomIETitle = true;
        o.CustomIETitle = QStringLiteral("Old");
        const Options before = o;
        PopupOptionsDialog dialog(o, rig.k.core.prompt, rig.k.core.registryFunctions);
        dialog.checkBox(QStringLiteral("DisHotKey"))->setChecked(!before.DisHotKey);
        dialog.checkBox(QStringLiteral("HideExempt"))->setChecked(!before.HideExempt);
        dialog.checkBox(QStringLiteral("WinLmtMode"))->setChecked(true);
        child<QSpinBox>(&dialog, "txtWinLmtWindows")->setValue(2);
        child<QLineEdit>(&dialog, "txtCustomIETitle")->clear();
        dialog.apply();
        QCOMPARE(rig.k.core.prompt.messages,
                 QStringList{"The \"Custom Browser Title\" field cannot be left empty"});
        QCOMPARE(rig.k.core.prompt.titles, QStringList{"Invalid Parameters"});
        QVERIFY(!o.UseCustomIETitle); // the failed Apply leaves the option off, as it says
        QCOMPARE(dialog.result(), int(QDialog::Rejected)); // still open
        // A kill while the dialog is open is no option and stays counted.
        o.LogForever = before.LogForever + 1;
        child<QPushButton>(&dialog, "cmdCancel")->click();
        QCOMPARE(o.DisHotKey, before.DisHotKey);
        QCOMPARE(o.HideExempt, before.HideExempt);
        QCOMPARE(o.WinLmtMode, before.WinLmtMode);
        QCOMPARE(o.WinLmtWindows, before.WinLmtWindows);
        QCOMPARE(o.UseCustomIETitle, true);
        QCOMPARE(o.CustomIETitle, QStringLiteral("Old"));
        QCOMPARE(o.LogForever, before.LogForever + 1);
        QVERIFY(!o.accepted);
    }

    void optionsCountsStayInBounds_data()
    {
        QTest::addColumn<QString>("days");
        QTest::addColumn<int>("windows");
        QTest::addColumn<QString>("storedDays");
        QTest::addColumn<int>("storedWindows");
        QTest::newRow("negative days shown as their size") << "-7" << 7 << "7" << 7;
        QTest::newRow("too many") << "9999" << 500 << "365" << 99;
        QTest::newRow("none") << "0" << 0 << "1" << 1;
        QTest::newRow("no number") << "soon" << -3 << "1" << 1;
    }
    void optionsCountsStayInBounds()
    {
        QFETCH(QString, days);
        QFETCH(int, windows);
        QFETCH(QString, storedDays);
        QFETCH(int, storedWindows);
        PopupWindowRig rig;
        Options &o = rig.k.core.options;
        o.AUDays = days;
        o.WinLmtWindows = std::int16_t(windows);
        PopupOptionsDialog dialog(o, rig.k.core.prompt, rig.k.core.registryFunctions);
        dialog.apply();
        QCOMPARE(o.AUDays, storedDays);
        QCOMPARE(int(o.WinLmtWindows), storedWindows);
    }

    void optionsSayWhenKeysCannotBeRead()
    {
        // On Wayland the key options cannot work: shown off with the reason, values kept.
        PopupWindowRig rig;
        Options &o = rig.k.core.options;
        o.HotAddKey = true;
        o.DisHotKey = false;
        PopupOptionsDialog dialog(o, rig.k.core.prompt, rig.k.core.registryFunctions);
        auto *reason = dialog.findChild<QLabel *>(QStringLiteral("lblKeysOff"));
        QVERIFY(reason);
        QVERIFY(reason->isHidden());
        for (const char *key : {"HotAddKey", "DisHotKey"})
            QVERIFY2(dialog.checkBox(QString::fromLatin1(key))->isEnabled(), key);

        dialog.setKeysUnavailable(QStringLiteral("no keys here"));
        QVERIFY(!reason->isHidden());
        QCOMPARE(reason->text(), QStringLiteral("no keys here"));
        for (const char *key : {"HotAddKey", "DisHotKey"})
            QVERIFY2(!dialog.checkBox(QString::fromLatin1(key))->isEnabled(), key);
        // A rule that re-enables boxes on a toggle leaves these off.
        dialog.checkBox(QStringLiteral("ShowInTray"))->toggle();
        QVERIFY(!dialog.checkBox(QStringLiteral("HotAddKey"))->isEnabled());
        dialog.apply();
        QVERIFY(o.HotAddKey);
        QVERIFY(!o.DisHotKey);
    }

    void optionsDefaultTitle()
    {
        PopupWindowRig rig;
        PopupOptionsDialog dialog(rig.k.core.options, rig.k.core.prompt,
                                  rig.k.core.registryFunctions);
        child<QLineEdit>(&dialog, "txtCustomIETitle")->setText(QStringLiteral("Typed"));
        child<QPushButton>(&dialog, "cmdDefault")->click();
        // Nothing stored: no browser of another system is named.
        QCOMPARE(child<QLineEdit>(&dialog, "txtCustomIETitle")->text(), QString());
        QCOMPARE(child<QLineEdit>(&dialog, "txtPassword")->text(), QStringLiteral("**********"));
    }

    void settingsPopupOpensTheDialogThenClearsTheDetectedList()
    {
        PopupWindowRig rig;
        rig.desktop.addWindow(kChromium, "Open - Chromium");
        rig.k.killer.SurveyWindows();
        QCOMPARE(rig.k.lists.detectedList().count(), 1);
        const bool sound = rig.k.core.options.Sound;
        QTimer::singleShot(0, this, [] {
            auto *dialog = qobject_cast<PopupOptionsDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->checkBox(QStringLiteral("Sound"))->toggle();
            dialog->findChild<QPushButton *>(QStringLiteral("cmdCancel"))->click();
        });
        rig.actions().options->trigger();
        QCOMPARE(rig.k.core.options.Sound, sound);
        QCOMPARE(rig.k.lists.detectedList().count(), 0);
        QVERIFY(rig.k.loop.monitorRecheckRequested());
    }
};

QTEST_MAIN(TestPopupDialogs)
#include "test_popup_dialogs.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
// The popup list commands, the black-list file commands, the add dialog's rules and the hot
// keys, over the real lists and files in a private home with scripted boxes and dialogs.
#include "FakeWindowSystem.h"
#include "KillerRig.h"
#include "core/DateText.h"
#include "core/TextFile.h"
#include "popups/DetectedListModel.h"
#include "popups/HotKeys.h"
#include "popups/LogListModel.h"
#include "popups/PopupAdd.h"
#include "popups/PopupCommands.h"
#include "popups/PopupListFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace kvorn;
using namespace kvorn::test;

namespace {

const WindowClass kChromium{QStringLiteral("chromium"), QStringLiteral("Chromium")};

struct Rig
{
    FakeWindowSystem desktop;
    KillerRig k{desktop};
    ScriptedFileChooser files;
    PopupCommands commands{{k.lists, k.loop, k.core.controller, k.core.prompt, files},
                           k.core.env.programFolder()};
    HotKeys hotKeys{{k.loop, k.lists, k.killer, k.core.keyboard, desktop, k.shell,
                     k.core.prompt, k.core.options}};

    PopupListModel &black() { return k.lists.blackList(); }
    PopupListModel &white() { return k.lists.whiteList(); }
    ScriptedPrompt &prompt() { return k.core.prompt; }
    QString folder() const { return k.core.env.programFolder(); }

    void setBlack(const QStringList &texts)
    {
        for (const QString &t : texts)
            black().append({t, true, QStringLiteral("01/01/03"), noDateText()});
        k.lists.setBlackListChanged(false);
    }
    static QStringList texts(const PopupListModel &list)
    {
        QStringList out;
        for (int row = 0; row < list.count(); ++row)
            out.append(list.entry(row).text);
        return out;
    }
    // The texts of a list file as it is on disk.
    static QStringList fileTexts(const QString &path)
    {
        QStringList out;
        for (const PopupEntry &e : readListFile(path).entries)
            out.append(e.text);
        return out;
    }
    QString status3() const
    {
        return k.core.controller.statusTexts().text(PopupScreen, 3);
    }
};

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray newLine(const char *flag, const char *text)
{
    return QByteArray(flag) + '\xFF' + text + '\xFF' + "02/03/04" + '\xFF' + "05/06/07" + "\r\n";
}

} // namespace

class TestPopupCommands : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // --- entry texts ---------------------------------------------------------------------
    void entryTextsHoldNoLineBreaks_data()
    {
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        QTest::newRow("pasted CR LF") << "Win\r\nBig" << "Win Big";
        QTest::newRow("a run of breaks and tabs") << "Win\r\n\r\n\tBig" << "Win Big";
        QTest::newRow("ends trimmed") << "\n  Casino  \r" << "Casino";
        QTest::newRow("line separator") << QString("A\u2028B") << "A B";
        QTest::newRow("only breaks") << "\r\n" << "";
        QTest::newRow("wildcards kept") << "*casino*" << "*casino*";
    }
    void entryTextsHoldNoLineBreaks()
    {
        QFETCH(QString, in);
        QFETCH(QString, out);
        QCOMPARE(PopupCommands::cleanEntryText(in), out);
    }

    void aDroppedTwoLineTextBecomesOneEntryAndOneFileLine()
    {
        Rig rig;
        QVERIFY(rig.commands.dropText(QStringLiteral("Free\r\nCasino")));
        QVERIFY(!rig.commands.dropText(QStringLiteral("\r\n")));
        QCOMPARE(Rig::texts(rig.black()), QStringList{"Free Casino"});
        QVERIFY(rig.k.lists.blackListChanged());
        // Covered by the white list: not added, as the lookup decides.
        rig.white().append({QStringLiteral("*bank*"), true, {}, {}});
        QVERIFY(!rig.commands.dropText(QStringLiteral("My bank")));
        QVERIFY(rig.k.lists.SavePopupList(rig.k.lists.blackListPath()).isEmpty());
        const auto lines = readLines(rig.k.lists.blackListPath());
        QVERIFY(lines);
        QCOMPARE(lines->size(), 1);
        QCOMPARE(Rig::fileTexts(rig.k.lists.blackListPath()), QStringList{"Free Casino"});
    }

    void editRenamesTheFocusedListsRow()
    {
        Rig rig;
        rig.setBlack({"alpha", "beta"});
        rig.white().append({QStringLiteral("gamma"), true, {}, {}});
        rig.black().selectOnly(1);
        rig.prompt().inputAnswers = {QStringLiteral("Beta\r\nTwo")};
        rig.commands.edit(PopupPanel::Black);
        QCOMPARE(rig.prompt().inputs, QStringList{"Enter the new name for the selected popup"});
        QCOMPARE(Rig::texts(rig.black()), (QStringList{"alpha", "Beta Two"}));
        QVERIFY(rig.k.lists.blackListChanged());
        // An empty answer changes nothing, and the white list is written all the same.
        rig.white().selectRow(0);
        rig.prompt().inputAnswers = {QString()};
        rig.commands.edit(PopupPanel::White);
        QCOMPARE(Rig::texts(rig.white()), QStringList{"gamma"});
        QCOMPARE(Rig::fileTexts(rig.k.lists.whiteListPath()), QStringList{"gamma"});
        // No selected row: no question.
        rig.black().clearSelection();
        rig.commands.edit(PopupPanel::Black);
        QCOMPARE(rig.prompt().inputs.size(), 2);
    }

    // --- delete, Del, find -----------------------------------------------------------------
    void deleteRemovesEverySelectedRowAndCounts()
    {
        Rig rig;
        rig.setBlack({"a", "b", "c", "d", "e"});
        rig.black().setSelection({0, 2, 4}, 4);
        rig.commands.deleteSelected(PopupPanel::Black);
        QCOMPARE(Rig::texts(rig.black()), (QStringList{"b", "d"}));
        QCOMPARE(rig.status3(), QStringLiteral("Count:2"));
        QVERIFY(rig.k.lists.blackListChanged());
        // On a panel without a list it does nothing.
        rig.black().setSelection({0}, 0);
        rig.commands.deleteSelected(PopupPanel::Log);
        QCOMPARE(rig.black().count(), 2);
    }

    void delKeySelectsTheRowThatFollows_data()
    {
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<int>("current");
        QTest::addColumn<QStringList>("left");
        QTest::addColumn<QString>("selectedAfter"); // empty: none
        QTest::newRow("one row") << QList<int>{1} << 1 << QStringList{"a", "c", "d", "e"} << "c";
        QTest::newRow("the last row") << QList<int>{4} << 4 << QStringList{"a", "b", "c", "d"}
                                      << "";
        QTest::newRow("the next row is selected too")
            << QList<int>{1, 2} << 1 << QStringList{"a", "d", "e"} << "d";
        QTest::newRow("every row after is selected")
            << QList<int>{2, 3, 4} << 2 << QStringList{"a", "b"} << "";
        QTest::newRow("nothing selected") << QList<int>{} << -1
                                          << QStringList{"a", "b", "c", "d", "e"} << "";
    }
    void delKeySelectsTheRowThatFollows()
    {
        QFETCH(QList<int>, selected);
        QFETCH(int, current);
        QFETCH(QStringList, left);
        QFETCH(QString, selectedAfter);
        Rig rig;
        rig.setBlack({"a", "b", "c", "d", "e"});
        rig.black().setSelection(selected, current);
        rig.commands.deleteKey(PopupPanel::Black);
        QCOMPARE(Rig::texts(rig.black()), left);
        const int now = rig.black().currentRow();
        QCOMPARE(now >= 0 ? rig.black().entry(now).text : QString(), selectedAfter);
        QCOMPARE(rig.black().selectedRows().size(), selectedAfter.isEmpty() ? 0 : 1);
    }

    void delKeyOnAnEmptyListDoesNothing()
    {
        Rig rig;
        rig.commands.deleteKey(PopupPanel::Black);
        rig.commands.deleteKey(PopupPanel::White);
        QCOMPARE(rig.black().count(), 0);
    }

    void findStartsAfterTheSelectedRowAndWraps_data()
    {
        QTest::addColumn<int>("current");
        QTest::addColumn<QString>("search");
        QTest::addColumn<int>("found"); // -1: nothing selected afterwards
        // Rows: "casino one", "news", "Casino two", "weather", "casino three"
        QTest::newRow("after row 2, case ignored") << 1 << "CASINO" << 2;
        QTest::newRow("wraps to the first") << 3 << "news" << 1;
        QTest::newRow("from the last row, the first") << 4 << "casino" << 0;
        QTest::newRow("no selection") << -1 << "three" << 4;
        QTest::newRow("no hit") << 1 << "lottery" << 1;
    }
    void findStartsAfterTheSelectedRowAndWraps()
    {
        QFETCH(int, current);
        QFETCH(QString, search);
        QFETCH(int, found);
        Rig rig;
        PopupListModel &white = rig.white();
        for (const char *t : {"casino one", "news", "Casino two", "weather", "casino three"})
            white.append({QString::fromLatin1(t), true, {}, {}});
        if (current >= 0)
            white.selectOnly(current);
        rig.prompt().inputAnswers = {search};
        rig.commands.find(PopupPanel::White);
        QCOMPARE(rig.prompt().inputs, QStringList{"Enter a text string to look for"});
        QCOMPARE(rig.prompt().titles.size(), 0);
        QCOMPARE(white.currentRow(), found);
        QCOMPARE(rig.commands.lastSearch(), search.toLower());
    }

    // --- whitelist and ban -----------------------------------------------------------------
    void whitelistMovesEverySelectedRow()
    {
        Rig rig;
        rig.setBlack({"alpha", "beta", "gamma", "my bank"});
        rig.white().append({QStringLiteral("*bank*"), true, {}, {}});
        rig.black().setSelection({0, 2, 3}, 3);
        rig.commands.whitelist(PopupPanel::Black);
        // Every selected row the white list did not cover moved; the covered one stayed.
        QCOMPARE(Rig::texts(rig.black()), (QStringList{"beta", "my bank"}));
        QCOMPARE(Rig::texts(rig.white()), (QStringList{"*bank*", "alpha", "gamma"}));
        QCOMPARE(Rig::fileTexts(rig.k.lists.whiteListPath()),
                 (QStringList{"*bank*", "alpha", "gamma"}));
        QVERIFY(rig.k.lists.blackListChanged());
    }

    void editsReachTheFilesWithoutAnExitSave()
    {
        // A crash or a killed session never runs the exit's save: a change must be on
        // disk a moment after it is made.
        Rig rig;
        rig.setBlack({"alpha"});
        QVERIFY(rig.k.lists.saveAll().isEmpty());
        QVERIFY(rig.k.lists.AddBlackListEntry(QStringLiteral("*casino*"), true, false));
        rig.k.lists.setBlackListChanged(true);
        rig.k.lists.bannedList().append({QStringLiteral("Spam Corp"), true, {}, {}});
        rig.k.lists.whiteList().append({QStringLiteral("*bank*"), true, {}, {}});
        QTRY_COMPARE_WITH_TIMEOUT(Rig::fileTexts(rig.k.lists.blackListPath()),
                                  (QStringList{"*casino*", "alpha"}), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(Rig::fileTexts(rig.k.lists.whiteListPath()),
                                  QStringList{"*bank*"}, 10000);
        QVERIFY(QFileInfo(rig.k.lists.bannedListPath()).size() > 0);
        QVERIFY(!rig.k.lists.blackListChanged());

        // A "Last Used" stamp alone is not a change of the list.
        const QDateTime written = QFileInfo(rig.k.lists.blackListPath()).lastModified();
        QVERIFY(rig.k.lists.FindPopupEntry(rig.black(), QStringLiteral("Big Casino"), true));
        QTest::qWait(2500);
        QCOMPARE(QFileInfo(rig.k.lists.blackListPath()).lastModified(), written);
    }

    void logRowsGoToTheWhiteOrTheBannedList()
    {
        Rig rig;
        LogListModel &log = rig.k.lists.logList();
        log.bookKill(QStringLiteral("Casino"), QStringLiteral("*casino*"), QStringLiteral("x"));
        log.bookKill(QStringLiteral("Lotto"), QStringLiteral("*lotto*"), QStringLiteral("x"));
        log.selectRow(log.exactRow(QStringLiteral("Casino")));
        rig.commands.whitelist(PopupPanel::Log);
        QCOMPARE(Rig::texts(rig.white()), QStringList{"Casino"});
        QCOMPARE(log.count(), 1);

        rig.k.lists.bannedList().append({QStringLiteral("lot*"), true, {}, {}});
        log.selectRow(0);
        rig.commands.banIt(PopupPanel::Log);
        QCOMPARE(rig.prompt().messages,
                 QStringList{"The Selected popup cannot be added because it is a banned popup"});
        QCOMPARE(rig.prompt().titles, QStringList{"Unable to add popup"});
        QCOMPARE(log.count(), 1);
        // Nothing selected: nothing moves, nothing breaks.
        log.selectRow(-1);
        rig.commands.banIt(PopupPanel::Log);
        rig.commands.whitelist(PopupPanel::Log);
        QCOMPARE(log.count(), 1);

        // A title with a line break (X lets a window have one) goes over as one line.
        log.bookKill(QStringLiteral("Two\nlines"), QStringLiteral("x"), QStringLiteral("x"));
        log.selectRow(log.exactRow(QStringLiteral("Two\nlines")));
        rig.commands.whitelist(PopupPanel::Log);
        QCOMPARE(Rig::fileTexts(rig.k.lists.whiteListPath()), (QStringList{"Casino", "Two lines"}));

        rig.setBlack({"Deals"});
        rig.black().selectOnly(0);
        rig.commands.banIt(PopupPanel::Black);
        QCOMPARE(rig.black().count(), 0);
        const auto banned = readLines(rig.k.lists.bannedListPath());
        QVERIFY(banned);
        QCOMPARE(*banned, (QStringList{"lot*", "Deals"}));
    }

    // --- file commands ---------------------------------------------------------------------
    void loadBacksUpTheListAsShownThenReplacesIt()
    {
        Rig rig;
        rig.setBlack({"saved one"});
        QVERIFY(rig.k.lists.saveAll().isEmpty());
        // An unsaved change is part of what the backup must keep.
        rig.k.lists.AddBlackListEntry(QStringLiteral("unsaved two"), true, true);
        rig.k.lists.setBlackListChanged(true);
        const QString chosen = rig.folder() + QStringLiteral("/other.kbl");
        writeFile(chosen, newLine("1", "loaded one") + newLine("0", "loaded two"));
        rig.prompt().answers = {Prompt::Answer::Yes};
        rig.files.answers = {chosen};
        rig.commands.loadBlackList();
        QCOMPARE(rig.prompt().titles, QStringList{"Confirm Overwrite"});
        QCOMPARE(rig.prompt().messages.first(),
                 QStringLiteral("Loading a Black List will overwrite your current list of "
                                "popups. (Use merge to add to current list)\r\nAre you sure you "
                                "want to continue?"));
        QCOMPARE(rig.files.titles, QStringList{"Load Black List"});
        QCOMPARE(rig.files.filters, QStringList{"Black List (*.kbl)"});
        QCOMPARE(Rig::fileTexts(rig.commands.backupPath()),
                 (QStringList{"saved one", "unsaved two"}));
        QCOMPARE(Rig::texts(rig.black()), (QStringList{"loaded one", "loaded two"}));
        QCOMPARE(Rig::fileTexts(rig.k.lists.blackListPath()),
                 (QStringList{"loaded one", "loaded two"}));
        QVERIFY(!rig.black().entry(1).enabled);
        QVERIFY(!rig.k.lists.blackListChanged());

        // Loading the backup itself restores it, instead of first overwriting it.
        rig.prompt().answers = {Prompt::Answer::Yes};
        rig.files.answers = {rig.commands.backupPath()};
        rig.commands.loadBlackList();
        QCOMPARE(Rig::texts(rig.black()), (QStringList{"saved one", "unsaved two"}));
        QCOMPARE(Rig::fileTexts(rig.commands.backupPath()),
                 (QStringList{"loaded one", "loaded two"}));
    }

    void loadThatIsDeclinedOrFailsChangesNothing()
    {
        Rig rig;
        rig.setBlack({"keep"});
        rig.prompt().answers = {Prompt::Answer::No};
        rig.commands.loadBlackList();
        QVERIFY(rig.files.titles.isEmpty());
        rig.prompt().answers = {Prompt::Answer::Yes};
        rig.files.answers = {QString()}; // cancelled
        rig.commands.loadBlackList();
        rig.prompt().answers = {Prompt::Answer::Yes};
        rig.files.answers = {rig.folder() + QStringLiteral("/missing.kbl")};
        rig.commands.loadBlackList();
        QCOMPARE(Rig::texts(rig.black()), QStringList{"keep"});
        QVERIFY(!QFileInfo::exists(rig.commands.backupPath()));
        QCOMPARE(rig.prompt().messages.size(), 4); // three questions and one failure
    }

    void mergeReadsBothLayoutsPastEmptyLinesAndSaves()
    {
        Rig rig;
        rig.setBlack({"*casino*"});
        rig.k.lists.bannedList().append({QStringLiteral("banned text"), true, {}, {}});
        const QString chosen = rig.folder() + QStringLiteral("/merge.kbl");
        writeFile(chosen, QByteArray("text,1\r\n") + "\r\n" + "x\r\n" + "banned text,1\r\n" +
                              "casino royale,1\r\n" + newLine("0", "newer entry") +
                              newLine("1", "Big Casino") + "old off,0\r\n");
        rig.files.answers = {chosen};
        rig.commands.merge();
        QCOMPARE(rig.files.titles, QStringList{"Merge Black List"});
        QCOMPARE(Rig::texts(rig.black()),
                 (QStringList{"*casino*", "newer entry", "old off", "text"}));
        const int newer = rig.black().exactRow(QStringLiteral("newer entry"));
        QVERIFY(!rig.black().entry(newer).enabled);
        QCOMPARE(rig.black().entry(newer).dateAdded, QStringLiteral("02/03/04"));
        QCOMPARE(rig.black().entry(newer).lastUsed, QStringLiteral("05/06/07"));
        QVERIFY(rig.black().entry(rig.black().exactRow(QStringLiteral("text"))).enabled);
        QVERIFY(!rig.black().entry(rig.black().exactRow(QStringLiteral("old off"))).enabled);
        // Written at once: nothing merged waits for an exit that may never come.
        QCOMPARE(Rig::fileTexts(rig.k.lists.blackListPath()), Rig::texts(rig.black()));
        QVERIFY(!rig.k.lists.blackListChanged());
    }

    void saveAsWritesWhatTheListsShow()
    {
        Rig rig;
        QTemporaryDir target;
        rig.setBlack({"saved"});
        QVERIFY(rig.k.lists.saveAll().isEmpty());
        rig.k.lists.AddBlackListEntry(QStringLiteral("unsaved"), true, true);
        rig.k.lists.setBlackListChanged(true);
        rig.white().append({QStringLiteral("white one"), true, {}, {}});
        // Another name typed: the folder counts, the files keep their names.
        rig.files.answers = {target.filePath(QStringLiteral("mine.kbl"))};
        rig.commands.saveAs();
        QCOMPARE(rig.files.titles, QStringList{"Save Black List As"});
        QCOMPARE(rig.files.defaultNames, QStringList{"spamlist.kbl"});
        QCOMPARE(Rig::fileTexts(target.filePath(QStringLiteral("spamlist.kbl"))),
                 (QStringList{"saved", "unsaved"}));
        QCOMPARE(Rig::fileTexts(target.filePath(QStringLiteral("spamex.kbl"))),
                 QStringList{"white one"});
        QVERIFY(!QFileInfo::exists(target.filePath(QStringLiteral("mine.kbl"))));
        // The program folder itself: the files stay whole.
        rig.files.answers = {rig.k.lists.blackListPath()};
        rig.commands.saveAs();
        QCOMPARE(Rig::fileTexts(rig.k.lists.blackListPath()), (QStringList{"saved", "unsaved"}));
        QVERIFY(rig.prompt().messages.isEmpty());
    }

    void wipeAsksThenEmptiesTheListAndItsFile()
    {
        Rig rig;
        rig.setBlack({"a", "b"});
        QVERIFY(rig.k.lists.saveAll().isEmpty());
        rig.white().append({QStringLiteral("w"), true, {}, {}});
        rig.prompt().answers = {Prompt::Answer::No};
        rig.commands.wipe();
        QCOMPARE(rig.black().count(), 2);
        rig.prompt().answers = {Prompt::Answer::Yes};
        rig.commands.wipe();
        QCOMPARE(rig.prompt().messages.last(),
                 QStringLiteral("Wiping a Black List will delete your current list of popups."));
        QCOMPARE(rig.prompt().titles.last(), QStringLiteral("WARNING"));
        QCOMPARE(rig.black().count(), 0);
        QVERIFY(!QFileInfo::exists(rig.k.lists.blackListPath()));
        QCOMPARE(rig.white().count(), 1);
    }

    // --- the add dialog's rules ------------------------------------------------------------
    void suggestions_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("address");
        QTest::addColumn<QStringList>("want");
        QTest::newRow("five words") << "one two three four five" << false
                                    << QStringList{"*one two three*", "*one two three four*",
                                                   "*two three four*"};
        QTest::newRow("three words") << "one two three" << false << QStringList{};
        QTest::newRow("address") << "http://host/dir/page.html" << true
                                 << QStringList{"*/host/*", "*/host/dir/*", "*/dir/*"};
        QTest::newRow("bare host") << "http://host" << true << QStringList{};
        QTest::newRow("host and slash") << "http://host/" << true << QStringList{"*/host/*"};
        QTest::newRow("no repeats") << "a b c a b c x" << false
                                    << QStringList{"*a b c*", "*a b c a*", "*a b c a b*",
                                                   "*a b c a b c*", "*b c a*", "*b c a b*",
                                                   "*b c a b c*", "*c a b*", "*c a b c*"};
        QTest::newRow("N/A as title") << "N/A" << false << QStringList{};
        QTest::newRow("N/A as address") << "N/A" << true << QStringList{};
    }
    void suggestions()
    {
        QFETCH(QString, text);
        QFETCH(bool, address);
        QFETCH(QStringList, want);
        QCOMPARE(BuildSuggestions(text, address ? SuggestionMode::Address : SuggestionMode::Title),
                 want);
    }

    void addToTheBlackListDatesOnlyTheNewRow()
    {
        Rig rig;
        rig.setBlack({"alpha", "zeta"});
        rig.black().selectOnly(1); // another row is current when the dialog adds
        const QString today = shortDateText(rig.k.core.clock.now().date());
        QVERIFY(addPopupEntry(rig.k.lists, rig.prompt(), today, QStringLiteral("middle"),
                              AddTarget::Black));
        const int row = rig.black().exactRow(QStringLiteral("middle"));
        QCOMPARE(rig.black().entry(row).dateAdded, today);
        QVERIFY(rig.black().entry(row).enabled);
        QCOMPARE(rig.black().currentRow(), row);
        QCOMPARE(rig.black().entry(rig.black().exactRow(QStringLiteral("zeta"))).dateAdded,
                 QStringLiteral("01/01/03"));
    }

    void aTitleTheWhiteListCoversByWildcardStillGoesOnTheBlackList()
    {
        Rig rig;
        rig.white().append({QStringLiteral("*bank*"), true, {}, {}});
        QVERIFY(addPopupEntry(rig.k.lists, rig.prompt(), QStringLiteral("12/9/26"),
                              QStringLiteral("bank offer"), AddTarget::Black));
        QCOMPARE(Rig::texts(rig.black()), QStringList{"bank offer"});
        QVERIFY(rig.prompt().messages.isEmpty());
    }

    void addRules_data()
    {
        QTest::addColumn<bool>("toBlack");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("answer"); // Prompt::Answer of the question, if asked
        QTest::addColumn<QString>("title");  // the box's title; empty: no box
        QTest::addColumn<QStringList>("black");
        QTest::addColumn<QStringList>("white");
        // Before: black {"*casino*", "deals"}, white {"news"}, banned {"lotto*"}.
        const int yes = int(Prompt::Answer::Yes), no = int(Prompt::Answer::No);
        QTest::newRow("black: covered") << true << "Big Casino" << yes << "Unable to add Title"
                                        << QStringList{"*casino*", "deals"} << QStringList{"news"};
        QTest::newRow("black: banned") << true << "Lotto win" << yes << "Unable to add Item"
                                       << QStringList{"*casino*", "deals"} << QStringList{"news"};
        QTest::newRow("black: new") << true << "Offer" << yes << ""
                                    << QStringList{"*casino*", "deals", "Offer"}
                                    << QStringList{"news"};
        QTest::newRow("black: from white, yes") << true << "NEWS" << yes << "Confirm Add popup"
                                                << QStringList{"*casino*", "deals", "NEWS"}
                                                << QStringList{};
        QTest::newRow("black: from white, no") << true << "news" << no << "Confirm Add popup"
                                               << QStringList{"*casino*", "deals"}
                                               << QStringList{"news"};
        QTest::newRow("white: covered, silent") << false << "News" << yes << ""
                                                << QStringList{"*casino*", "deals"}
                                                << QStringList{"news"};
        QTest::newRow("white: banned") << false << "lotto now" << yes << "Unable to add popup"
                                       << QStringList{"*casino*", "deals"} << QStringList{"news"};
        QTest::newRow("white: new") << false << "Bank" << yes << ""
                                    << QStringList{"*casino*", "deals"}
                                    << QStringList{"news", "Bank"};
        QTest::newRow("white: from black, yes") << false << "Deals" << yes << "Confirm Title Move"
                                                << QStringList{"*casino*"}
                                                << QStringList{"news", "Deals"};
        QTest::newRow("white: from black, no") << false << "deals" << no << "Confirm Title Move"
                                               << QStringList{"*casino*", "deals"}
                                               << QStringList{"news"};
    }
    void addRules()
    {
        QFETCH(bool, toBlack);
        QFETCH(QString, text);
        QFETCH(int, answer);
        QFETCH(QString, title);
        QFETCH(QStringList, black);
        QFETCH(QStringList, white);
        Rig rig;
        rig.setBlack({"*casino*", "deals"});
        rig.white().append({QStringLiteral("news"), true, {}, {}});
        rig.k.lists.bannedList().append({QStringLiteral("lotto*"), true, {}, {}});
        rig.prompt().answers = {Prompt::Answer(answer)};
        addPopupEntry(rig.k.lists, rig.prompt(), QStringLiteral("12/9/26"), text,
                      toBlack ? AddTarget::Black : AddTarget::White);
        QCOMPARE(rig.prompt().titles, title.isEmpty() ? QStringList{} : QStringList{title});
        QCOMPARE(Rig::texts(rig.black()), black);
        QCOMPARE(Rig::texts(rig.white()), white);
    }

    // --- hot keys ---------------------------------------------------------------------------
    void oneChordPressIsOneQuickAdd()
    {
        Rig rig;
        const WindowId popup = rig.desktop.addWindow(kChromium, "Casino Night - Chromium");
        rig.desktop.setForeground(popup);
        rig.k.killer.SurveyWindows();
        QStringList requested;
        connect(&rig.hotKeys, &HotKeys::quickAddRequested, this,
                [&](const QString &t) { requested.append(t); });
        FakeKeyboard &kb = rig.k.core.keyboard;
        for (int press = 0; press < 2; ++press) {
            kb.press(Key::Control);
            kb.press(Key::Shift);
            kb.press(Key::X);
            for (int tick = 0; tick < 5; ++tick)
                rig.hotKeys.poll();
            kb.release(Key::X);
            rig.hotKeys.poll();
        }
        QCOMPARE(requested, (QStringList{"Casino Night", "Casino Night"}));
        QCOMPARE(rig.k.lists.detectedList().currentRow(), 0);
        QVERIFY(rig.k.loop.monitorRecheckRequested());
        QVERIFY(rig.k.lists.blackListChanged());

        // Off: nothing at all.
        rig.k.core.options.HotAddKey = false;
        kb.press(Key::X);
        rig.hotKeys.poll();
        QCOMPARE(requested.size(), 2);
    }

    void quickAddOverAWindowThatIsNotDetectedSaysSo()
    {
        Rig rig;
        const WindowId term = rig.desktop.addWindow({"xterm", "XTerm"}, "bash");
        rig.desktop.setForeground(term);
        rig.k.killer.SurveyWindows();
        FakeKeyboard &kb = rig.k.core.keyboard;
        for (Key key : {Key::Control, Key::Shift, Key::X})
            kb.press(key);
        for (int tick = 0; tick < 4; ++tick)
            rig.hotKeys.poll();
        // The box comes after the tick, which it would otherwise hold up.
        QTRY_COMPARE(rig.prompt().messages, QStringList{"Focus window is not a supported browser "
                                                        "window or is in your whitelist."});
        QCOMPARE(rig.prompt().titles, QStringList{"K-Vorn Hot Kill"});
    }

    void quickAddWhileDisabledSurveysFirst()
    {
        Rig rig;
        rig.k.core.controller.disableCommand();
        const WindowId popup = rig.desktop.addWindow(kChromium, "Late - Chromium");
        rig.desktop.setForeground(popup);
        QStringList requested;
        connect(&rig.hotKeys, &HotKeys::quickAddRequested, this,
                [&](const QString &t) { requested.append(t); });
        for (Key key : {Key::Control, Key::Shift, Key::X})
            rig.k.core.keyboard.press(key);
        rig.hotKeys.poll();
        QCOMPARE(requested, QStringList{"Late"});
    }

    void ctrlShiftBOpensOnlyAWebAddressOncePerPress_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("opened");
        QTest::newRow("no address") << "" << false;
        QTest::newRow("the column's placeholder") << "N/A" << false;
        QTest::newRow("a file") << "file:///etc/passwd" << false;
        QTest::newRow("a script") << "javascript:alert(1)" << false;
        QTest::newRow("a custom scheme") << "steam://run/1" << false;
        QTest::newRow("no scheme") << "ads.example/pop" << false;
        QTest::newRow("https") << "https://a.example/b" << true;
        QTest::newRow("http") << "HTTP://a.example/" << true;
    }
    void ctrlShiftBOpensOnlyAWebAddressOncePerPress()
    {
        QFETCH(QString, address);
        QFETCH(bool, opened);
        QCOMPARE(HotKeys::isOpenableAddress(address), opened);
        Rig rig;
        // The last closed address comes from a kill of a window that had one.
        const WindowId ie = rig.desktop.addWindow({QString(), "IEFrame"}, "Pop - Microsoft Internet Explorer");
        rig.desktop.addChild(ie, {QString(), "Edit"}, address.contains("://") ? address : QString());
        rig.k.blackList(QStringLiteral("pop"));
        rig.k.killer.SurveyWindows();
        rig.k.killer.tmrMonitor_Timer();
        QCOMPARE(rig.desktop.closeRequests.size(), 1);
        for (Key key : {Key::Control, Key::Shift, Key::B})
            rig.k.core.keyboard.press(key);
        for (int tick = 0; tick < 3; ++tick)
            rig.hotKeys.poll();
        const bool readable = address.contains("://");
        QCOMPARE(rig.k.shell.opened, opened && readable ? QStringList{address} : QStringList{});
    }

    void getHotTitleTakesTheLastEntryOfTheWindow()
    {
        Rig rig;
        const WindowId a = rig.desktop.addWindow(kChromium, "First - Chromium");
        rig.k.killer.SurveyWindows();
        rig.desktop.setTitle(a, "Second - Chromium");
        rig.k.killer.SurveyWindows();
        QCOMPARE(rig.hotKeys.GetHotTitle(a, QStringLiteral("Title")), QStringLiteral("Second"));
        QCOMPARE(rig.hotKeys.GetHotTitle(a, QStringLiteral("Address")), QString());
        QCOMPARE(rig.hotKeys.GetHotTitle(0, QStringLiteral("Title")), QString());
        QCOMPARE(rig.hotKeys.GetHotTitle(a + 100, QStringLiteral("Title")), QString());
    }

    void newWindowHandlerCancelsUnlessForcedOpen()
    {
        bool cancel = false;
        HotKeys::IE_NewWindow2(true, cancel);
        QVERIFY(!cancel);
        HotKeys::IE_NewWindow2(false, cancel);
        QVERIFY(cancel);
    }
};

QTEST_MAIN(TestPopupCommands)
#include "test_popup_commands.moc"

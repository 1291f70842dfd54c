// SPDX-License-Identifier: GPL-3.0-or-later
// The browser class tables and the title cut.
#include "platform/BrowserClasses.h"

#include <QTest>

#include <algorithm>

using namespace kvorn;
using namespace Qt::StringLiterals;

class TestBrowserClasses : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void titleCut_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("hasSeparator");
        QTest::addColumn<QString>("cut");
        QTest::newRow("chromium") << QStringLiteral("Free Casino Bonus - Chromium") << true
                                  << QStringLiteral("Free Casino Bonus");
        QTest::newRow("last of two") << QStringLiteral("A - B - Chromium") << true
                                     << QStringLiteral("A - B");
        QTest::newRow("firefox em dash")
            << QStringLiteral("Free Casino Bonus \u2014 Mozilla Firefox") << true
            << QStringLiteral("Free Casino Bonus");
        QTest::newRow("dash in page, em dash last")
            << QStringLiteral("A - B \u2014 Mozilla Firefox") << true << QStringLiteral("A - B");
        QTest::newRow("em dash in page, dash last")
            << QStringLiteral("A \u2014 B - Chromium") << true << QStringLiteral("A \u2014 B");
        QTest::newRow("nothing before") << QStringLiteral(" - Chromium") << true << QString();
        QTest::newRow("no separator") << QStringLiteral("Chromium") << false
                                      << QStringLiteral("Chromium");
        QTest::newRow("hyphen without blanks") << QStringLiteral("Jean-Luc") << false
                                               << QStringLiteral("Jean-Luc");
        QTest::newRow("en dash is no separator") << QStringLiteral("A \u2013 B") << false
                                                 << QStringLiteral("A \u2013 B");
    }
    void titleCut()
    {
        QFETCH(QString, title);
        QFETCH(bool, hasSeparator);
        QFETCH(QString, cut);
        const std::optional<QString> result = cutBrowserTitle(title);
        QCOMPARE(result.has_value(), hasSeparator);
        if (result)
            QCOMPARE(*result, cut);
        QCOMPARE(cutBrowserTitleIfPresent(title), cut);
    }

    void linuxRows_data()
    {
        QTest::addColumn<QString>("instance");
        QTest::addColumn<QString>("wmClass");
        QTest::addColumn<QString>("browser");
        QTest::addColumn<int>("rule");
        const int cut = int(SurveyRule::CutTitleRequired);
        QTest::newRow("chromium") << "chromium" << "Chromium" << "Chromium" << cut;
        QTest::newRow("chromium own profile") << "chromium (/tmp/p)" << "Chromium" << "Chromium" << cut;
        QTest::newRow("chromium app window") << "casino.example__play" << "Chromium"
                                             << "Chromium app" << int(SurveyRule::WholeTitle);
        QTest::newRow("chrome") << "google-chrome" << "Google-chrome" << "Google Chrome" << cut;
        QTest::newRow("brave") << "brave-browser" << "Brave-browser" << "Brave" << cut;
        QTest::newRow("edge") << "microsoft-edge" << "Microsoft-edge" << "Microsoft Edge" << cut;
        QTest::newRow("vivaldi") << "vivaldi-stable" << "Vivaldi-stable" << "Vivaldi" << cut;
        QTest::newRow("opera") << "opera" << "Opera" << "Opera" << cut;
        QTest::newRow("firefox esr") << "Navigator" << "firefox-esr" << "Firefox ESR" << cut;
        QTest::newRow("firefox") << "Navigator" << "firefox" << "Firefox" << cut;
        QTest::newRow("epiphany") << "epiphany" << "Epiphany" << "Epiphany"
                                  << int(SurveyRule::WholeTitle);
        QTest::newRow("falkon") << "falkon" << "falkon" << "Falkon" << cut;
        QTest::newRow("konqueror") << "konqueror" << "konqueror" << "Konqueror" << cut;
        // Not browser windows.
        QTest::newRow("firefox library") << "Places" << "firefox-esr" << "" << 0;
        QTest::newRow("letter case matters") << "chromium" << "chromium" << "" << 0;
        QTest::newRow("terminal") << "xterm" << "XTerm" << "" << 0;
        QTest::newRow("no class") << "" << "" << "" << 0;
    }
    void linuxRows()
    {
        QFETCH(QString, instance);
        QFETCH(QString, wmClass);
        QFETCH(QString, browser);
        QFETCH(int, rule);
        const LinuxBrowserRow *row = findLinuxBrowserRow({instance, wmClass});
        QCOMPARE(row ? QString(row->browser) : QString(), browser);
        if (row)
            QCOMPARE(int(row->rule), rule);
    }

    // Wayland windows carry an app id, looked up in the Wayland rows only: an X11 class of
    // the same spelling is another thing, and the reverse.
    void waylandRows_data()
    {
        QTest::addColumn<QString>("appId");
        QTest::addColumn<QString>("browser");
        QTest::addColumn<int>("rule");
        const int cut = int(SurveyRule::CutTitleRequired);
        QTest::newRow("chromium") << "chromium" << "Chromium" << cut;
        QTest::newRow("chromium-browser") << "chromium-browser" << "Chromium" << cut;
        QTest::newRow("chrome") << "google-chrome" << "Google Chrome" << cut;
        QTest::newRow("firefox") << "firefox" << "Firefox" << cut;
        QTest::newRow("firefox esr") << "firefox-esr" << "Firefox ESR" << cut;
        QTest::newRow("firefox flatpak") << "org.mozilla.firefox" << "Firefox" << cut;
        QTest::newRow("epiphany") << "org.gnome.Epiphany" << "Epiphany"
                                  << int(SurveyRule::WholeTitle);
        QTest::newRow("X11 class is no app id") << "Chromium" << "" << 0;
        QTest::newRow("terminal") << "foot" << "" << 0;
        QTest::newRow("no app id") << "" << "" << 0;
    }
    void waylandRows()
    {
        QFETCH(QString, appId);
        QFETCH(QString, browser);
        QFETCH(int, rule);
        const LinuxBrowserRow *row = findLinuxBrowserRow({appId, appId, true});
        QCOMPARE(row ? QString(row->browser) : QString(), browser);
        if (row)
            QCOMPARE(int(row->rule), rule);
        // The same names from X11 never take a Wayland row.
        const LinuxBrowserRow *x11 = findLinuxBrowserRow({appId, appId});
        QVERIFY(!x11 || std::none_of(waylandBrowserRows().begin(), waylandBrowserRows().end(),
                                     [x11](const LinuxBrowserRow &r) { return &r == x11; }));
    }

    void windowsRowsStayAsTheyWere()
    {
        QStringList names;
        for (const WindowsClassRow &row : windowsClassRows())
            names.append(row.className);
        QCOMPARE(names, (QStringList{
                            QStringLiteral("IEFrame"), QStringLiteral("MozillaWindowClass"),
                            QStringLiteral("CabinetWClass"), QStringLiteral("Shell DocObject View"),
                            QStringLiteral("_aim_MiniBrowserClass"), QStringLiteral("FNETCRAP4"),
                            QStringLiteral("MSAWT_Comp_Class"), QStringLiteral("BLDOPERA"),
                            QStringLiteral("OUIWINDOW"),
                            QStringLiteral("MacromediaFlashPlayerActiveX"),
                            QStringLiteral("Opera Main Window"), QStringLiteral("MSN6 Window"),
                            QStringLiteral("#32770"),
                            QStringLiteral("Internet Explorer_TridentDlgFrame")}));

        const WindowsClassRow *ie = findWindowsClassRow(QStringLiteral("IEFrame"), QString());
        QVERIFY(ie && ie->rule == SurveyRule::CutTitleRequired && ie->addressChild == "Edit"_L1);
        QVERIFY(!findWindowsClassRow(QStringLiteral("ieframe"), QString()));
        const WindowsClassRow *opera =
            findWindowsClassRow(QStringLiteral("Opera Main Window"), QString());
        QVERIFY(opera && opera->rule == SurveyRule::DescendantTitlesFirstCharDropped &&
                opera->descendantClass == "BrowserWindowMDI"_L1 &&
                opera->addressChild == "ComboBox"_L1);
    }

    void netscapeRule_data()
    {
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("alias");
        QTest::newRow("b") << "Afx:400000:b:10011:6:0" << "Home - Netscape" << "FNETCRAP4";
        QTest::newRow("30") << "AFX:400000:30abc" << "Netscape 6" << "FNETCRAP4";
        QTest::newRow("no Netscape") << "Afx:400000:b:1" << "Home" << "Afx:400000:b:1";
        QTest::newRow("case of Netscape") << "Afx:400000:b:1" << "netscape" << "Afx:400000:b:1";
        QTest::newRow("other afx") << "Afx:400000:8:1" << "Netscape" << "Afx:400000:8:1";
    }
    void netscapeRule()
    {
        QFETCH(QString, className);
        QFETCH(QString, title);
        QFETCH(QString, alias);
        QCOMPARE(windowsClassAlias(className, title), alias);
        QCOMPARE(findWindowsClassRow(className, title) != nullptr,
                 alias == QLatin1String("FNETCRAP4"));
    }
};

QTEST_GUILESS_MAIN(TestBrowserClasses)
#include "tst_browserclasses.moc"

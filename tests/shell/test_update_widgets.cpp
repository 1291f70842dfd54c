// SPDX-License-Identifier: GPL-3.0-or-later
// The update dialog's progress strip, the extended-error window and the proxy dialog,
// driven offscreen by their object names.

#include "CoreRig.h"
#include "core/SettingsStore.h"
#include "log/KillLog.h"
#include "shell/ExtendedErrorWindow.h"
#include "shell/MainWindow.h"
#include "shell/ProxyDialog.h"
#include "shell/QtTrayIcon.h"
#include "shell/ShellCommands.h"
#include "shell/UpdateProgressStrip.h"
#include "shell/UpdateServerDialog.h"
#include "update/InternetTexts.h"
#include "update/UpdateServerSettings.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QSpinBox>
#include <QImage>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>

using namespace kvorn;
using namespace kvorn::test;

namespace {

struct WindowRig : CoreRig
{
    QtTrayIcon qtTray;
    MainWindow window{controller, qtTray, options};
    WindowRig() { settings.LoadMyOptions(clock.now().date()); }
};

class FakeDesktop : public DesktopShell
{
public:
    bool open(const QString &) override { return true; }
};

QColor pixel(QWidget &w, double xFraction, int y)
{
    const QImage image = w.grab().toImage();
    return image.pixelColor(int(xFraction * (image.width() - 1)), y < 0 ? image.height() + y : y);
}

QString stored(const TestEnv &env, const char *key)
{
    QSettings raw(env.settingsFile(), QSettings::IniFormat);
    return raw.contains(QStringLiteral("Proxy/") + QLatin1String(key))
               ? raw.value(QStringLiteral("Proxy/") + QLatin1String(key)).toString()
               : QStringLiteral("<absent>");
}

} // namespace

class TestUpdateWidgets : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void stripShowsProgressWithTheBar()
    {
        UpdateProgressStrip strip;
        strip.resize(400, 24);
        strip.FloodDisplay(1000, QStringLiteral("Downloading spamnew.pbl to /x/spamnew.pbl"));
        QVERIFY(strip.isVisible() || !strip.isHidden());
        QCOMPARE(strip.text(), QString());
        strip.FloodUpdateTextPC(1000, 254);
        QCOMPARE(strip.text(), QStringLiteral("Downloading spamnew.pbl to /x/spamnew.pbl 25%"));
        QCOMPARE(strip.barFraction(), 0.254);
        // Navy bar on the left (bottom row, below the text), white beyond it.
        QCOMPARE(pixel(strip, 0.05, -1), UpdateProgressStrip::kNavy);
        QCOMPARE(pixel(strip, 0.9, -1), QColor(Qt::white));

        // Beyond the total nothing changes.
        strip.FloodUpdateTextPC(1000, 1001);
        QCOMPARE(strip.barFraction(), 0.254);
        strip.FloodUpdateTextPC(1000, 1000);
        QCOMPARE(strip.text(), QStringLiteral("Downloading spamnew.pbl to /x/spamnew.pbl 100%"));
        QCOMPARE(pixel(strip, 0.99, -1), UpdateProgressStrip::kNavy);
    }

    void stripOfAnEmptyFileHasNothingToDivideBy()
    {
        UpdateProgressStrip strip;
        strip.resize(400, 24);
        strip.FloodDisplay(0, QStringLiteral("Downloading mbl449.txt to /x/mbl449.txt"));
        strip.FloodUpdateTextPC(0, 0);
        QCOMPARE(strip.text(), QStringLiteral("Downloading mbl449.txt to /x/mbl449.txt"));
        QCOMPARE(strip.barFraction(), 0.0);
        // Bytes above a total of 0 draw nothing.
        strip.FloodShowConnectAction(QStringLiteral("Connected to 127.0.0.1"));
        strip.FloodUpdateTextPC(0, 5);
        QCOMPARE(strip.text(), QStringLiteral("Connected to 127.0.0.1"));
    }

    void stripShowsTheResult_data()
    {
        QTest::addColumn<bool>("success");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("done") << true << "Transfer of version.txt completed successfully."
                              << UpdateProgressStrip::kDarkGreen;
        QTest::newRow("failed") << false << "Transfer of version.txt failed."
                                << UpdateProgressStrip::kDarkRed;
    }
    void stripShowsTheResult()
    {
        QFETCH(bool, success);
        QFETCH(QString, text);
        QFETCH(QColor, colour);
        UpdateProgressStrip strip;
        strip.resize(400, 24);
        strip.FloodShowTransferResult(success, QStringLiteral("version.txt"));
        QCOMPARE(strip.text(), text);
        QCOMPARE(strip.foreground(), colour);
        QCOMPARE(pixel(strip, 0.98, -1), colour);
        QCOMPARE(pixel(strip, 0.0, 0), colour);
        // The next connection text is navy on white again.
        strip.FloodShowConnectAction(QStringLiteral("Closing connection"));
        QCOMPARE(strip.foreground(), UpdateProgressStrip::kNavy);
        QCOMPARE(pixel(strip, 0.98, -1), QColor(Qt::white));
    }

    // A fetch as the client reports it, with and without StatusDetail: the strip moves
    // either way, the status lines only with it.
    void statusEventsDriveTheStripAndTheLog_data()
    {
        QTest::addColumn<bool>("detail");
        QTest::newRow("StatusDetail set") << true;
        QTest::newRow("StatusDetail cleared") << false;
    }
    void statusEventsDriveTheStripAndTheLog()
    {
        QFETCH(bool, detail);
        using Kind = FtpStatusEvent::Kind;
        UpdateProgressStrip strip;
        strip.resize(400, 24);
        UpdateStatusLog log;
        log.StatusDetail = detail;
        FtpTransferState state;
        const auto event = [&](Kind kind, const QString &info = {}, quint64 n = 0) {
            ShowInternetStatus(OnInternetStatus({kind, info, n}, state), state, strip, log);
        };
        event(Kind::ConnectedToServer, QStringLiteral("127.0.0.1"));
        QCOMPARE(strip.text(), QStringLiteral("Connected to 127.0.0.1"));
        state.TransferTotal = 400;
        state.BytesReceived = 0;
        strip.FloodDisplay(400, QStringLiteral("Downloading a to b"));
        state.TransferKind = kTransferDownloading;
        event(Kind::HandleCreated);
        event(Kind::ResponseReceived, {}, 100);
        QCOMPARE(strip.text(), QStringLiteral("Downloading a to b 25%"));
        event(Kind::ResponseReceived, {}, 300);
        QCOMPARE(strip.barFraction(), 1.0);
        event(Kind::HandleClosing);
        QCOMPARE(state.TransferKind, 0);
        if (detail) {
            QCOMPARE(log.lines(), (QStringList{"Downloading   100 of 400", "Downloading   400 of 400",
                                               "Download complete. "}));
            QCOMPARE(log.statusLine(), QStringLiteral("Download complete. "));
        } else {
            QVERIFY(log.lines().isEmpty());
            QVERIFY(log.statusLine().isEmpty());
        }
    }

    void extendedErrorShowsTheReplyAsPlainText()
    {
        const QString reply = QStringLiteral("550 <b>No</b> such <a href=\"x\">file</a>.");
        QPointer<ExtendedErrorWindow> w = ExtendedErrorWindow::open(reply);
        QVERIFY(w->isVisible());
        QVERIFY(!w->isModal());
        QCOMPARE(w->windowTitle(), QStringLiteral("Extended Error Message"));
        QCOMPARE(w->findChild<QPlainTextEdit *>(QStringLiteral("txtError"))->toPlainText(), reply);
        auto *dismiss = w->findChild<QPushButton *>(QStringLiteral("cmdDismiss"));
        QCOMPARE(dismiss->text(), QStringLiteral("Dismiss"));
        dismiss->click();
        QTRY_VERIFY(w.isNull());
    }

    void proxyDialogStoresOnlyOnOk_data()
    {
        QTest::addColumn<QString>("how"); // OK, Cancel, frame
        QTest::newRow("OK") << "OK";
        QTest::newRow("Cancel") << "Cancel";
        QTest::newRow("the close box") << "frame";
    }
    void proxyDialogStoresOnlyOnOk()
    {
        QFETCH(QString, how);
        TestEnv env;
        SettingsStore store(env.settingsFile());
        ProxyDialog dialog(store);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Proxy Setup"));
        auto *use = dialog.findChild<QCheckBox *>(QStringLiteral("chkEnable"));
        auto *address = dialog.findChild<QLineEdit *>(QStringLiteral("txtAddress"));
        auto *port = dialog.findChild<QLineEdit *>(QStringLiteral("txtPort"));
        QCOMPARE(use->text(), QStringLiteral("Use a Proxy Server"));
        QVERIFY(!use->isChecked());
        QVERIFY(address->text().isEmpty() && port->text().isEmpty());
        QVERIFY(address->isEnabled() && port->isEnabled());
        dialog.show();
        if (how == QLatin1String("OK")) {
            dialog.findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
            QCOMPARE(stored(env, "Use"), QStringLiteral("0"));
            QCOMPARE(stored(env, "Address"), QString());
            QCOMPARE(stored(env, "Port"), QString());
        } else {
            use->setChecked(true);
            address->setText(QStringLiteral("127.0.0.1"));
            if (how == QLatin1String("Cancel"))
                dialog.findChild<QPushButton *>(QStringLiteral("cmdCancel"))->click();
            else
                dialog.close();
            QVERIFY(!dialog.isVisible());
            for (const char *key : {"Use", "Address", "Port"})
                QCOMPARE(stored(env, key), QStringLiteral("<absent>"));
        }
    }

    void proxyPortInLettersComesBack()
    {
        TestEnv env;
        {
            SettingsStore store(env.settingsFile());
            ProxyDialog dialog(store);
            dialog.findChild<QCheckBox *>(QStringLiteral("chkEnable"))->setChecked(true);
            dialog.findChild<QLineEdit *>(QStringLiteral("txtAddress"))
                ->setText(QStringLiteral("proxy.example.test"));
            dialog.findChild<QLineEdit *>(QStringLiteral("txtPort"))->setText(QStringLiteral("abc"));
            dialog.findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
        }
        QCOMPARE(stored(env, "Use"), QStringLiteral("1"));
        SettingsStore store(env.settingsFile());
        ProxyDialog dialog(store);
        QVERIFY(dialog.findChild<QCheckBox *>(QStringLiteral("chkEnable"))->isChecked());
        QCOMPARE(dialog.findChild<QLineEdit *>(QStringLiteral("txtAddress"))->text(),
                 QStringLiteral("proxy.example.test"));
        QCOMPARE(dialog.findChild<QLineEdit *>(QStringLiteral("txtPort"))->text(),
                 QStringLiteral("abc"));
    }

    void updateServerDialog()
    {
        TestEnv env;
        SettingsStore store(env.settingsFile());
        {
            UpdateServerDialog dialog(store);
            QCOMPARE(dialog.windowTitle(), QStringLiteral("Update Server"));
            auto *host = dialog.findChild<QLineEdit *>(QStringLiteral("txtHost"));
            auto *port = dialog.findChild<QSpinBox *>(QStringLiteral("txtPort"));
            auto *security = dialog.findChild<QComboBox *>(QStringLiteral("cboSecurity"));
            QVERIFY(host->text().isEmpty()); // no server by default
            QCOMPARE(port->value(), 21);
            QCOMPARE(security->currentIndex(), int(FtpSecurity::ExplicitTls));
            QCOMPARE(dialog.findChild<QLineEdit *>(QStringLiteral("txtPassword"))->echoMode(),
                     QLineEdit::Password);
            security->setCurrentIndex(int(FtpSecurity::ImplicitTls));
            QCOMPARE(port->value(), 990);
            security->setCurrentIndex(int(FtpSecurity::Plain));
            QCOMPARE(port->value(), 21);
            host->setText(QStringLiteral(" ftp.example.test "));
            dialog.findChild<QLineEdit *>(QStringLiteral("txtUser"))->setText(QStringLiteral("upd"));
            dialog.findChild<QLineEdit *>(QStringLiteral("txtPassword"))
                ->setText(QStringLiteral("pw"));
            dialog.findChild<QLineEdit *>(QStringLiteral("txtFolder"))
                ->setText(QStringLiteral("pub/kvorn"));
            dialog.findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
        }
        SettingsStore reread(env.settingsFile());
        const UpdateServerSettings s = LoadUpdateServerSettings(reread);
        QCOMPARE(s.Host, QStringLiteral("ftp.example.test"));
        QCOMPARE(s.Port, quint16(21));
        QCOMPARE(s.User, QStringLiteral("upd"));
        QCOMPARE(s.Password, QStringLiteral("pw"));
        QCOMPARE(s.Folder, QStringLiteral("pub/kvorn"));
        QCOMPARE(s.Security, FtpSecurity::Plain);

        // Cancel keeps what was stored.
        UpdateServerDialog dialog(reread);
        QCOMPARE(dialog.findChild<QComboBox *>(QStringLiteral("cboSecurity"))->currentIndex(),
                 int(FtpSecurity::Plain));
        dialog.findChild<QLineEdit *>(QStringLiteral("txtHost"))->setText(QStringLiteral("x"));
        dialog.findChild<QPushButton *>(QStringLiteral("cmdCancel"))->click();
        QCOMPARE(LoadUpdateServerSettings(SettingsStore(env.settingsFile())).Host,
                 QStringLiteral("ftp.example.test"));
    }

    void settingsMenuOpensTheProxyDialog()
    {
        WindowRig rig;
        QAction *item = rig.window.action(QStringLiteral("mnuOpProxy"));
        QVERIFY(item);
        QVERIFY(!item->isEnabled()); // no command bound yet
        QVERIFY(!rig.window.action(QStringLiteral("mnuOpUpdateServer"))->isEnabled());
        KillLog log(rig.options, rig.controller, rig.clock, rig.env.programFolder());
        FakeDesktop desktop;
        installShellCommands(rig.window, {log, rig.options, rig.store, desktop,
                                          rig.env.programFolder(), QString()});
        QVERIFY(item->isEnabled());
        QVERIFY(rig.window.action(QStringLiteral("mnuOpUpdateServer"))->isEnabled());
        QString seen;
        QTimer::singleShot(0, this, [&] {
            auto *dialog = qobject_cast<ProxyDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            seen = dialog->windowTitle();
            dialog->findChild<QLineEdit *>(QStringLiteral("txtPort"))->setText(QStringLiteral("3128"));
            dialog->findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
        });
        item->trigger();
        QCOMPARE(seen, QStringLiteral("Proxy Setup"));
        QCOMPARE(stored(rig.env, "Port"), QStringLiteral("3128"));
    }
};

QTEST_MAIN(TestUpdateWidgets)
#include "test_update_widgets.moc"

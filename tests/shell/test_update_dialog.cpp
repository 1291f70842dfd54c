// SPDX-License-Identifier: GPL-3.0-or-later
// The update dialog and File > "&Update...", driven offscreen by object names.

#include "CoreRig.h"
#include "FtpTestServers.h"
#include "core/SettingsStore.h"
#include "mail/MailLists.h"
#include "mail/MessageListModel.h"
#include "platform/CurlFtpClient.h"
#include "popups/PopupLists.h"
#include "popups/PopupLoop.h"
#include "shell/MainWindow.h"
#include "shell/QtTrayIcon.h"
#include "shell/UpdateCommands.h"
#include "shell/UpdateDialog.h"
#include "update/UpdateServerSettings.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>

using namespace kvorn;
using namespace kvorn::test;

namespace {

struct Rig : CoreRig
{
    PopupLoop popupLoop{{options, keyboard, tray, controller}};
    PopupLists popups{{controller, tray, clock}, env.programFolder()};
    MailLists mail{env.programFolder(), clock};
    MessageListModel messages;
    QtTrayIcon qtTray;
    MainWindow window{controller, qtTray, options};

    std::unique_ptr<UpdateSession> session(quint16 port)
    {
        UpdateSession::Config config;
        config.programFolder = env.programFolder();
        config.server.Host = QStringLiteral("127.0.0.1");
        config.server.Port = port;
        config.server.Security = FtpSecurity::Plain;
        config.server.User = QStringLiteral("upd");
        config.server.Password = QStringLiteral("updpass");
        config.server.Timeout = 10;
        config.makeClient = [] { return std::make_unique<CurlFtpClient>(); };
        return std::make_unique<UpdateSession>(
            UpdateSession::Services{options, controller, popups, mail, messages, prompt, clock},
            std::move(config));
    }

    void install()
    {
        installUpdateCommands(window, {options, store, controller, popups, popupLoop, mail,
                                       messages, prompt, clock, env.programFolder(), {}});
    }

    QList<UpdateDialog *> dialogs() const
    {
        QList<UpdateDialog *> out;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *d = qobject_cast<UpdateDialog *>(w); d && d->isVisible())
                out.append(d);
        return out;
    }
};

template <typename T> T *child(QWidget &w, const QString &name)
{
    T *c = w.findChild<T *>(name);
    if (!c)
        qFatal("no child %s", qPrintable(name));
    return c;
}

} // namespace

class TestUpdateDialog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void rowsButtonsAndARefusedConnection()
    {
        Rig rig;
        auto *dialog = new UpdateDialog(rig.session(freeLocalPort()), QStringLiteral("127.0.0.1"),
                                        false);
        dialog->show();
        QCOMPARE(dialog->windowTitle(), QStringLiteral("K-Vorn Update"));
        const QStringList captions{"Check for Program Update", "Download Popup list Update",
                                   "Upload Popup Blacklist Adds", "Download Mail Update List",
                                   "Upload Mail Blacklist adds", "Merge Popup Updates",
                                   "Merge Mail Database"};
        for (int i = 0; i < 7; ++i) {
            const QString n = QString::number(i);
            QCOMPARE(child<QLabel>(*dialog, QStringLiteral("Label4_") + n)->text(), captions[i]);
            QVERIFY(child<QCheckBox>(*dialog, QStringLiteral("ckOption") + n)->isChecked());
            QCOMPARE(dialog->stepPicture(i), StepPicture::InProgress);
        }
        auto *start = child<QPushButton>(*dialog, QStringLiteral("cmdStart"));
        auto *exit = child<QPushButton>(*dialog, QStringLiteral("cmdExit"));
        QCOMPARE(start->text(), QStringLiteral("Update"));
        QCOMPARE(exit->text(), QStringLiteral("E&xit"));
        QVERIFY(start->isEnabled());
        // With no step ticked there is nothing to do.
        for (int i = 0; i < 7; ++i)
            child<QCheckBox>(*dialog, QStringLiteral("ckOption") + QString::number(i))->setChecked(false);
        QVERIFY(!start->isEnabled());
        child<QCheckBox>(*dialog, QStringLiteral("ckOption3"))->setChecked(true);
        QVERIFY(start->isEnabled());

        start->click();
        QCOMPARE(exit->text(), QStringLiteral("&Abort"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.prompt.titles, QStringList{"K-Vorn Web Update Failed"}, 60000);
        // A refused connection leaves "Update" off until the dialog is opened again.
        QVERIFY(!start->isEnabled());
        QCOMPARE(exit->text(), QStringLiteral("&Abort"));
        QVERIFY(!rig.controller.debugChecked());
        QVERIFY(QApplication::overrideCursor() == nullptr);
        exit->click();
        QTRY_VERIFY(rig.dialogs().isEmpty());
    }

    void aWholeSessionThroughTheDialog()
    {
        if (!PyFtpServer::available())
            QSKIP("pyftpdlib is not installed");
        Rig rig;
        PyFtpServer server;
        QVERIFY(server.putFile(QStringLiteral("version.txt"), QByteArray(KVORN_VERSION) + ",x.run\r\n"));
        QVERIFY(server.putFile(QStringLiteral("spamnew.pbl"), "New Popup\r\n"));
        QString error;
        QVERIFY2(server.start(&error), qPrintable(error));
        auto session = rig.session(server.port());
        auto *dialog = new UpdateDialog(std::move(session), QStringLiteral("127.0.0.1"), false);
        dialog->show();
        child<QCheckBox>(*dialog, QStringLiteral("ckOption6"))->setChecked(false);
        // A long status text is cut, never widening the dialog.
        const int width = dialog->width();
        dialog->session().statusLog().AddStatusLine(QString(400, QLatin1Char('x')));
        QCoreApplication::processEvents();
        QCOMPARE(dialog->width(), width);
        auto *start = child<QPushButton>(*dialog, QStringLiteral("cmdStart"));
        auto *exit = child<QPushButton>(*dialog, QStringLiteral("cmdExit"));
        start->click();
        QTRY_COMPARE_WITH_TIMEOUT(exit->text(), QStringLiteral("Finish"), 90000);
        QVERIFY(!start->isEnabled());
        QCOMPARE(child<QLabel>(*dialog, QStringLiteral("lblStatus"))->text(),
                 QStringLiteral("Update Complete..."));
        const StepPicture want[] = {StepPicture::Done,    StepPicture::Done, StepPicture::Skipped,
                                    StepPicture::Done,    StepPicture::Skipped, StepPicture::Done,
                                    StepPicture::Skipped};
        for (int i = 0; i < 7; ++i)
            QCOMPARE(dialog->stepPicture(i), want[i]);
        QCOMPARE(rig.popups.blackList().count(), 1);
        QVERIFY(QApplication::overrideCursor() == nullptr);
        if (qEnvironmentVariableIsSet("KVORN_SHOT"))
            dialog->grab().save(qEnvironmentVariable("KVORN_SHOT"));
        exit->click();
        QTRY_VERIFY(rig.dialogs().isEmpty());
    }

    void fileUpdateNeedsAServer()
    {
        Rig rig;
        rig.install();
        QAction *item = rig.window.action(QStringLiteral("mnuFileUpdate"));
        QVERIFY(!item->isEnabled());
        // The automatic trigger opens nothing without a server.
        Q_EMIT rig.controller.autoUpdateDue();
        QCoreApplication::processEvents();
        QVERIFY(rig.dialogs().isEmpty());

        rig.store.write(kUpdateSection, QStringLiteral("Host"), QStringLiteral("127.0.0.1"));
        Q_EMIT rig.window.menu(QStringLiteral("mnuFile"))->aboutToShow();
        QVERIFY(item->isEnabled());
        item->trigger();
        item->trigger();
        QCOMPARE(rig.dialogs().size(), 1);
        QCOMPARE(rig.dialogs().first()->windowTitle(), QStringLiteral("K-Vorn Update"));
        QVERIFY(rig.popupLoop.monitorRecheckRequested());
        rig.dialogs().first()->close();
        QTRY_VERIFY(rig.dialogs().isEmpty());

        Q_EMIT rig.controller.autoUpdateDue();
        QTRY_COMPARE(rig.dialogs().size(), 1);
        QCOMPARE(rig.dialogs().first()->windowTitle(), QStringLiteral("K-vorn AutoUpdate"));
        rig.dialogs().first()->close();
    }
};

QTEST_MAIN(TestUpdateDialog)
#include "test_update_dialog.moc"

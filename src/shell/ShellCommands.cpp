// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/ShellCommands.h"

#include "core/Options.h"
#include "core/SettingsStore.h"
#include "log/KillLog.h"
#include "platform/DesktopShell.h"
#include "shell/HelpWindow.h"
#include "shell/LogDisplayWindow.h"
#include "shell/MainWindow.h"
#include "shell/ProxyDialog.h"
#include "shell/UpdateServerDialog.h"
#include "shell/StatsWindow.h"
#include "shell/TipWindow.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>

namespace kvorn {

void installShellCommands(MainWindow &window, const ShellCommandServices &s)
{
    KillLog *log = &s.log;
    Options *options = &s.options;
    SettingsStore *store = &s.store;
    DesktopShell *desktop = &s.desktop;
    MainWindow *main = &window;
    const QString folder = s.programFolder;

    const ShellActions &items = window.shellActions();
    QObject::connect(items.stats, &QAction::triggered, &window,
                     [=] {
                         // The log display belongs to the main window: the statistics
                         // window closes right after opening it.
                         StatsWindow::open(
                             *log, *options,
                             [=](const QString &kind) {
                                 LogDisplayWindow::open(log->logFilePath(), kind,
                                                        options->AutoColumn, main);
                             },
                             main);
                     });
    items.proxy->setEnabled(true);
    QObject::connect(items.proxy, &QAction::triggered, &window,
                     [=] { ProxyDialog::open(*store, main); });
    items.updateServer->setEnabled(true);
    QObject::connect(items.updateServer, &QAction::triggered, &window,
                     [=] { UpdateServerDialog::open(*store, main); });
    QObject::connect(items.tip, &QAction::triggered, &window,
                     [=] { TipWindow::open(*store, *options, folder); });
    QObject::connect(items.about, &QAction::triggered, &window,
                     [=] {
                         QMessageBox::about(
                             main, QStringLiteral("About K-Vorn"),
                             QStringLiteral("K-Vorn %1\n\nScreens popups, spam mail and "
                                            "advertising banners.\n\nProgram folder: %2\n"
                                            "Settings: %3")
                                 .arg(QStringLiteral(KVORN_VERSION),
                                      QDir::toNativeSeparators(folder),
                                      QDir::toNativeSeparators(store->filePath())));
                     });

    const bool haveHelp = !s.helpPage.isEmpty() && QFileInfo(s.helpPage).isFile();
    const struct
    {
        QAction *item;
        const char *anchor;
    } helpItems[] = {{items.helpTopics, ""}, {items.helpFaq, "faq"}, {items.helpIndex, "index"}};
    for (const auto &h : helpItems) {
        QAction *item = h.item;
        item->setEnabled(haveHelp);
        if (!haveHelp)
            continue;
        QUrl url = QUrl::fromLocalFile(QFileInfo(s.helpPage).absoluteFilePath());
        if (*h.anchor)
            url.setFragment(QString::fromLatin1(h.anchor));
        // Shown by the program itself: a desktop without a browser, or with one that does
        // not start, would otherwise show nothing and say nothing.
        QObject::connect(item, &QAction::triggered, &window, [=] {
            auto *help = main->findChild<HelpWindow *>(QStringLiteral("frmHelp"),
                                                      Qt::FindDirectChildrenOnly);
            if (!help)
                help = new HelpWindow(*desktop, main);
            help->showPage(url);
            help->show();
            help->raise();
            help->activateWindow();
        });
    }
}

QString findHelpPage(const QString &programDir, const QString &sourceFallback)
{
    const QString installed =
        QDir(programDir).filePath(QStringLiteral("../share/doc/kvorn/help.html"));
    if (QFileInfo(installed).isFile())
        return QDir::cleanPath(installed);
    if (!sourceFallback.isEmpty() && QFileInfo(sourceFallback).isFile())
        return sourceFallback;
    return {};
}

} // namespace kvorn

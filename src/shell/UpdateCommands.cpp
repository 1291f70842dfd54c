// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/UpdateCommands.h"

#include "core/MainController.h"
#include "core/SettingsStore.h"
#include "platform/CurlFtpClient.h"
#include "popups/PopupLists.h"
#include "popups/PopupLoop.h"
#include "shell/MainWindow.h"
#include "shell/UpdateDialog.h"
#include "update/UpdateServerSettings.h"
#include "update/UpdateSession.h"

#include <QAction>
#include <QMenu>
#include <QPointer>

#include <memory>

namespace kvorn {

void installUpdateCommands(MainWindow &window, const UpdateCommandServices &services)
{
    auto s = std::make_shared<UpdateCommandServices>(services);
    auto dialog = std::make_shared<QPointer<UpdateDialog>>();
    QAction *item = window.shellActions().update;
    MainWindow *main = &window;

    const auto configured = [s] {
        return updateServerConfigured(LoadUpdateServerSettings(s->store));
    };
    const auto refresh = [item, configured] { item->setEnabled(configured()); };
    refresh();
    // The server may be set or cleared in the meantime (Settings > "Update Server...").
    if (QMenu *file = window.menu(QStringLiteral("mnuFile")))
        QObject::connect(file, &QMenu::aboutToShow, item, refresh);

    const auto open = [s, dialog, main](bool automatic) {
        if (*dialog) {
            (*dialog)->show();
            (*dialog)->raise();
            (*dialog)->activateWindow();
            return;
        }
        UpdateSession::Config config;
        config.programFolder = s->programFolder;
        config.server = LoadUpdateServerSettings(s->store);
        config.proxy = LoadProxySettings(s->store);
        config.publicKey = s->publicKey;
        config.installId = updateInstallationId(s->store);
        config.makeClient = [] { return std::make_unique<CurlFtpClient>(); };
        auto session = std::make_unique<UpdateSession>(
            UpdateSession::Services{s->options, s->controller, s->popupLists, s->mailLists,
                                    s->messages, s->prompt, s->clock},
            std::move(config));
        auto *d = new UpdateDialog(std::move(session),
                                   LoadUpdateServerSettings(s->store).Host, automatic, main);
        *dialog = d;
        d->show();
    };

    QObject::connect(item, &QAction::triggered, main, [s, open, configured] {
        if (!configured())
            return;
        // The list on disk is what an upload of the user's additions is made from.
        s->popupLists.SavePopupList(s->popupLists.blackListPath());
        open(false);
        s->popupLoop.requestMonitorRecheck();
    });
    // The trigger fires inside status updates, so the window opens afterwards. Without a
    // server there is nothing to update from and no window opens.
    QObject::connect(
        &services.controller, &MainController::autoUpdateDue, main,
        [open, configured] {
            if (configured())
                open(true);
        },
        Qt::QueuedConnection);
}

} // namespace kvorn

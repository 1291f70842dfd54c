// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FakeWindowSystem.h"
#include "KillerRig.h"

#include "popups/PopupCommands.h"
#include "shell/MainWindow.h"
#include "shell/PopupCommandsView.h"
#include "shell/PopupPanels.h"
#include "shell/QtTrayIcon.h"

namespace kvorn::test {

/// The main window with the popup side as the program wires it: panels, commands, menus,
/// over a scripted desktop and scripted boxes and file dialogs.
struct PopupWindowRig
{
    FakeWindowSystem desktop;
    KillerRig k{desktop};
    ScriptedFileChooser files;
    QtTrayIcon qtTray;
    MainWindow window{k.core.controller, qtTray, k.core.options};
    PopupPanels panels = installPopupPanels(window, k.lists);
    QTreeView *detectedView = installDetectedPanel(window, k.lists, k.killer, panels.logList);
    PopupCommands commands{{k.lists, k.loop, k.core.controller, k.core.prompt, files},
                           k.core.env.programFolder()};
    PopupCommandsView *view = new PopupCommandsView(
        {window, k.core.controller, k.loop, k.lists, commands, k.core.prompt, k.core.clock,
         k.core.options, k.core.registryFunctions, &desktop},
        panels, detectedView);

    PopupWindowRig() { k.core.settings.LoadMyOptions(k.core.clock.now().date()); }
    const PopupActions &actions() const { return window.popupActions(); }
};

} // namespace kvorn::test

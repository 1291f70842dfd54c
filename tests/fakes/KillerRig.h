// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CoreRig.h"
#include "log/KillLog.h"
#include "popups/DetectedListModel.h"
#include "popups/PopupKiller.h"
#include "popups/PopupLists.h"
#include "popups/PopupLoop.h"

namespace kvorn::test {

/// The popup killer wired to the core (its loop registered there), the lists and the kill
/// log in a private home, over a window system of the test's choice (a fake or a real
/// display).
struct KillerRig
{
    explicit KillerRig(WindowSystem &windowSystem) : windows(windowSystem) {}

    CoreRig core;
    WindowSystem &windows;
    FakeDesktopShell shell;
    PopupLoop loop{{core.options, core.keyboard, core.tray, core.controller}};
    PopupLists lists{{core.controller, core.tray, core.clock}, core.env.programFolder()};
    KillLog log{core.options, core.controller, core.clock, core.env.programFolder()};
    PopupKiller killer{{loop, lists, log, windows, shell, core.options, core.clock}};

    /// Adds an enabled black-list entry.
    void blackList(const QString &text) { lists.AddBlackListEntry(text, true, true); }

    /// The detected list's titles in its order.
    QStringList detectedTitles()
    {
        QStringList out;
        for (int row = 0; row < lists.detectedList().count(); ++row)
            out.append(lists.detectedList().entry(row).text);
        return out;
    }
};

} // namespace kvorn::test

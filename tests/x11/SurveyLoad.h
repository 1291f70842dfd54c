// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The reading a window survey does on every tick, through the window-system interface:
// every titled window's class, and for browser windows the title cut before its last
// separator. Shared by the survey benchmark and the idle measurement so both pay for
// the same work.

#include "platform/BrowserClasses.h"
#include "platform/WindowSystem.h"

namespace kvorn::test {

/// One survey's reading; returns how many browser windows it found.
inline int surveyLoad(WindowSystem &windows)
{
    int browsers = 0;
    for (const WindowId id : windows.titledWindows()) {
        const LinuxBrowserRow *row = findLinuxBrowserRow(windows.windowClass(id));
        if (!row && !windows.isDialog(id))
            continue;
        const QString title = windows.title(id);
        if (!row || row->rule != SurveyRule::CutTitleRequired || cutBrowserTitle(title))
            ++browsers;
    }
    return browsers;
}

} // namespace kvorn::test

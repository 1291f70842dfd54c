// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The mail rig with the main window and its mail screen, for the tests of what the user
// sees and clicks.
#include "MailRig.h"
#include "shell/MailScreen.h"
#include "shell/MainWindow.h"
#include "shell/QtTrayIcon.h"

namespace kvorn::test {

struct MailScreenRig : MailRig
{
    QtTrayIcon qtTray;
    MainWindow window{core.controller, qtTray, core.options};
    MailScreenView *screen = installMailScreen(window, check, list);
};

} // namespace kvorn::test

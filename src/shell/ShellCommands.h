// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace kvorn {

class DesktopShell;
class KillLog;
class MainWindow;
class SettingsStore;
struct Options;

/// What the statistics, the tips and the Help items need.
struct ShellCommandServices
{
    KillLog &log;
    Options &options;
    SettingsStore &store;
    DesktopShell &desktop;
    QString programFolder;
    /// The bundled help page; empty (or missing) greys out the items that would open it.
    QString helpPage;
};

/// Binds View > "&Kill Statistics", Settings > "Pro&xy..." and "Update &Server...", and the
/// Help menu's items.
void installShellCommands(MainWindow &window, const ShellCommandServices &services);

/// The help page installed beside the program, else the one of the source tree; empty
/// when there is none.
QString findHelpPage(const QString &programDir, const QString &sourceFallback);

} // namespace kvorn

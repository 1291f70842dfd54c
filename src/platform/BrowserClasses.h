// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/WindowSystem.h"

#include <QLatin1String>
#include <QString>

#include <optional>
#include <span>

namespace kvorn {

/// How the survey treats a window of a browser class: which window it records, which text
/// becomes the recorded title and where the address comes from.
enum class SurveyRule {
    /// The window itself, only when its title has a separator; the title cut before the
    /// last separator.
    CutTitleRequired,
    /// The window itself; the title cut before the last separator when it has one, else whole.
    CutTitleOptional,
    /// The window itself; the whole title.
    WholeTitle,
    /// Each descendant of the row's descendant class whose title is not "..."; its title.
    DescendantTitles,
    /// Each descendant of the row's descendant class; its title without the first character
    /// (skipped when that leaves ".."); no address at first, then the address.
    DescendantTitlesFirstCharDropped,
    /// A dialog: script-dialog titles record the dialog's message, a NeoPlanet title is cut,
    /// any other dialog only when it hosts a browser view, with its whole title.
    Dialog,
    /// The window itself unless its title is "Find"; the whole title.
    WholeTitleUnlessFind,
};

/// One row of the Windows class table. The class is compared exactly (letter case matters).
struct WindowsClassRow
{
    QLatin1String className;
    SurveyRule rule;
    /// The class of the control holding the address; empty: no address.
    QLatin1String addressChild;
    /// For the descendant rules: the class of the descendants recorded.
    QLatin1String descendantClass;
};

/// One row of the Linux table: a browser's top-level windows, known by their WM_CLASS.
struct LinuxBrowserRow
{
    /// The browser's name, for people.
    QLatin1String browser;
    /// The WM_CLASS instance the browser's windows carry; empty: any instance; a final "*"
    /// stands for any ending.
    QLatin1String instance;
    /// The WM_CLASS class, compared exactly.
    QLatin1String wmClass;
    SurveyRule rule;
    /// True when the names were read off a running installation of the browser; false
    /// when they come from how the browser's toolkit names its windows.
    bool verified;
};

/// The Linux browsers on Wayland, known by their app id (held in `wmClass`; `instance` is
/// empty).
std::span<const LinuxBrowserRow> waylandBrowserRows();

/// The Windows classes of the browsers and dialogs the popup killer watches.
std::span<const WindowsClassRow> windowsClassRows();
/// The Linux browsers the popup killer watches. X11 shows no address bar, so every row
/// has no address.
std::span<const LinuxBrowserRow> linuxBrowserRows();

/// The Windows row for a class name, after the Netscape rule (see windowsClassAlias), or null.
const WindowsClassRow *findWindowsClassRow(const QString &className, const QString &title);
/// The Linux row for a window's WM_CLASS (or its Wayland app id), or null when the window
/// is no browser window.
const LinuxBrowserRow *findLinuxBrowserRow(const WindowClass &windowClass);

/// The Netscape rule: a class whose lower-cased first 13 characters are "afx:400000:b:"
/// or "afx:400000:30" in a window whose title contains "Netscape" stands for "FNETCRAP4";
/// any other class stands for itself.
QString windowsClassAlias(const QString &className, const QString &title);

/// The titles of the script dialogs that record their message instead of their title.
std::span<const QLatin1String> scriptDialogTitles();
/// The title ending that marks a NeoPlanet dialog (cut before its last separator).
inline constexpr QLatin1String kNeoPlanetSuffix{" - NeoPlanet"};
/// The class of the control that shows a web page (HasBrowserView).
inline constexpr QLatin1String kBrowserViewClass{"Internet Explorer_Server"};
/// The class of the controls that hold a dialog's message.
inline constexpr QLatin1String kStaticClass{"Static"};
/// The class of the dialogs.
inline constexpr QLatin1String kDialogClass{"#32770"};
/// Where a NeoPlanet dialog keeps its address.
inline constexpr QLatin1String kNeoPlanetAddressChild{"ComboBox"};

/// Where the title's last separator starts: " - ", or " — " (U+2014, as Firefox and Qt
/// programs write it), whichever comes last; -1 when there is none.
qsizetype lastTitleSeparator(const QString &title);
/// The title up to (not including) its last separator; nothing when it has none.
std::optional<QString> cutBrowserTitle(const QString &title);
/// The title up to its last separator when it has one, else the whole title.
QString cutBrowserTitleIfPresent(const QString &title);

} // namespace kvorn

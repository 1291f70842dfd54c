// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/BrowserClasses.h"

#include <algorithm>
#include <array>

namespace kvorn {

namespace {

using L = QLatin1String;

constexpr std::array kWindowsRows = {
    WindowsClassRow{L("IEFrame"), SurveyRule::CutTitleRequired, L("Edit"), L()},
    WindowsClassRow{L("MozillaWindowClass"), SurveyRule::CutTitleRequired, L("Edit"), L()},
    WindowsClassRow{L("CabinetWClass"), SurveyRule::CutTitleRequired, L("Edit"), L()},
    WindowsClassRow{L("Shell DocObject View"), SurveyRule::CutTitleRequired, L("Edit"), L()},
    WindowsClassRow{L("_aim_MiniBrowserClass"), SurveyRule::CutTitleOptional, L("Edit"), L()},
    WindowsClassRow{L("FNETCRAP4"), SurveyRule::CutTitleOptional, L("Edit"), L()},
    WindowsClassRow{L("MSAWT_Comp_Class"), SurveyRule::WholeTitle, L(), L()},
    WindowsClassRow{L("BLDOPERA"), SurveyRule::DescendantTitles, L("Edit"), L("BLD_ObjWin")},
    WindowsClassRow{L("OUIWINDOW"), SurveyRule::WholeTitle, L("ComboBox"), L()},
    WindowsClassRow{L("MacromediaFlashPlayerActiveX"), SurveyRule::WholeTitle, L(), L()},
    WindowsClassRow{L("Opera Main Window"), SurveyRule::DescendantTitlesFirstCharDropped,
                    L("ComboBox"), L("BrowserWindowMDI")},
    WindowsClassRow{L("MSN6 Window"), SurveyRule::WholeTitle, L(), L()},
    // Script dialogs have no address, NeoPlanet dialogs read theirs from "ComboBox"
    // (kNeoPlanetAddressChild), any other dialog from "Edit".
    WindowsClassRow{L("#32770"), SurveyRule::Dialog, L("Edit"), L()},
    WindowsClassRow{L("Internet Explorer_TridentDlgFrame"), SurveyRule::WholeTitleUnlessFind, L(),
                    L()},
};

// Chromium-based browsers name the class after the program with its first letter raised;
// Qt programs (Falkon, Konqueror) use the application name as it is; GTK programs the
// program name with its first letter raised. Firefox names every browser window
// "Navigator" and its other windows otherwise (the library, dialogs), so the instance
// keeps those out.
constexpr std::array kLinuxRows = {
    LinuxBrowserRow{L("Chromium"), L("chromium"), L("Chromium"), SurveyRule::CutTitleRequired,
                    true},
    // A profile of its own ("--user-data-dir") shows in the instance.
    LinuxBrowserRow{L("Chromium"), L("chromium (*"), L("Chromium"), SurveyRule::CutTitleRequired,
                    true},
    // App windows ("chromium --app=URL") and the pop-ups they open carry an instance made
    // from the address and the bare page title, with no program name after it.
    LinuxBrowserRow{L("Chromium app"), L(), L("Chromium"), SurveyRule::WholeTitle, true},
    LinuxBrowserRow{L("Chromium"), L(), L("Chromium-browser"), SurveyRule::CutTitleRequired, false},
    LinuxBrowserRow{L("Google Chrome"), L(), L("Google-chrome"), SurveyRule::CutTitleRequired,
                    false},
    LinuxBrowserRow{L("Brave"), L(), L("Brave-browser"), SurveyRule::CutTitleRequired, false},
    LinuxBrowserRow{L("Microsoft Edge"), L(), L("Microsoft-edge"), SurveyRule::CutTitleRequired,
                    false},
    LinuxBrowserRow{L("Vivaldi"), L(), L("Vivaldi-stable"), SurveyRule::CutTitleRequired, false},
    LinuxBrowserRow{L("Opera"), L(), L("Opera"), SurveyRule::CutTitleRequired, false},
    LinuxBrowserRow{L("Firefox ESR"), L("Navigator"), L("firefox-esr"), SurveyRule::CutTitleRequired,
                    true},
    LinuxBrowserRow{L("Firefox"), L("Navigator"), L("firefox"), SurveyRule::CutTitleRequired, false},
    LinuxBrowserRow{L("Firefox"), L("Navigator"), L("Firefox"), SurveyRule::CutTitleRequired, false},
    // Epiphany's title is the page's own title with no program name after it.
    LinuxBrowserRow{L("Epiphany"), L(), L("Epiphany"), SurveyRule::WholeTitle, false},
    LinuxBrowserRow{L("Epiphany"), L(), L("Org.gnome.Epiphany"), SurveyRule::WholeTitle, false},
    LinuxBrowserRow{L("Falkon"), L(), L("falkon"), SurveyRule::CutTitleRequired, false},
    LinuxBrowserRow{L("Falkon"), L(), L("Falkon"), SurveyRule::CutTitleRequired, false},
    LinuxBrowserRow{L("Konqueror"), L(), L("konqueror"), SurveyRule::CutTitleRequired, false},
};

// On Wayland a browser names its windows by its desktop entry's name (Chromium-based
// browsers and Firefox) or by its reverse-domain id (GNOME and KDE programs, Flatpaks).
// Firefox gives every window the same app id; its other windows have no title separator.
constexpr std::array kWaylandRows = {
    LinuxBrowserRow{L("Chromium"), L(), L("chromium"), SurveyRule::CutTitleRequired, false},
    LinuxBrowserRow{L("Chromium"), L(), L("chromium-browser"), SurveyRule::CutTitleRequired, false},
    LinuxBrowserRow{L("Google Chrome"), L(), L("google-chrome"), SurveyRule::CutTitleRequired,
                    false},
    LinuxBrowserRow{L("Brave"), L(), L("brave-browser"), SurveyRule::CutTitleRequired, false},
    LinuxBrowserRow{L("Microsoft Edge"), L(), L("microsoft-edge"), SurveyRule::CutTitleRequired,
                    false},
    LinuxBrowserRow{L("Vivaldi"), L(), L("vivaldi-stable"), SurveyRule::CutTitleRequired, false},
    LinuxBrowserRow{L("Opera"), L(), L("opera"), SurveyRule::CutTitleRequired, false},
    LinuxBrowserRow{L("Firefox"), L(), L("firefox"), SurveyRule::CutTitleRequired, false},
    LinuxBrowserRow{L("Firefox ESR"), L(), L("firefox-esr"), SurveyRule::CutTitleRequired, false},
    LinuxBrowserRow{L("Firefox"), L(), L("org.mozilla.firefox"), SurveyRule::CutTitleRequired,
                    false},
    LinuxBrowserRow{L("Epiphany"), L(), L("org.gnome.Epiphany"), SurveyRule::WholeTitle, false},
    LinuxBrowserRow{L("Falkon"), L(), L("org.kde.falkon"), SurveyRule::CutTitleRequired, false},
    LinuxBrowserRow{L("Konqueror"), L(), L("org.kde.konqueror"), SurveyRule::CutTitleRequired,
                    false},
};

constexpr std::array kScriptDialogTitles = {
    L("[JavaScript Application]"),
    L("Home Page"),
    L("Microsoft Internet Explorer"),
    L("Explorer User Prompt"),
};

constexpr QLatin1String kDash{" - "};
const QString kEmDash = QStringLiteral(" \u2014 ");

} // namespace

std::span<const WindowsClassRow> windowsClassRows()
{
    return kWindowsRows;
}

std::span<const LinuxBrowserRow> linuxBrowserRows()
{
    return kLinuxRows;
}

std::span<const LinuxBrowserRow> waylandBrowserRows()
{
    return kWaylandRows;
}

std::span<const QLatin1String> scriptDialogTitles()
{
    return kScriptDialogTitles;
}

QString windowsClassAlias(const QString &className, const QString &title)
{
    const QString head = className.left(13).toLower();
    if ((head == QLatin1String("afx:400000:b:") || head == QLatin1String("afx:400000:30")) &&
        title.contains(QLatin1String("Netscape"), Qt::CaseSensitive))
        return QStringLiteral("FNETCRAP4");
    return className;
}

const WindowsClassRow *findWindowsClassRow(const QString &className, const QString &title)
{
    const QString effective = windowsClassAlias(className, title);
    for (const WindowsClassRow &row : kWindowsRows) {
        if (row.className == effective)
            return &row;
    }
    return nullptr;
}

const LinuxBrowserRow *findLinuxBrowserRow(const WindowClass &windowClass)
{
    if (windowClass.appId) {
        for (const LinuxBrowserRow &row : kWaylandRows) {
            if (row.wmClass == windowClass.name)
                return &row;
        }
        return nullptr;
    }
    for (const LinuxBrowserRow &row : kLinuxRows) {
        if (row.wmClass != windowClass.name)
            continue;
        if (row.instance.isEmpty() || row.instance == windowClass.instance)
            return &row;
        if (row.instance.endsWith(QLatin1Char('*')) &&
            windowClass.instance.startsWith(row.instance.chopped(1)))
            return &row;
    }
    return nullptr;
}

qsizetype lastTitleSeparator(const QString &title)
{
    return std::max(title.lastIndexOf(kDash), title.lastIndexOf(kEmDash));
}

std::optional<QString> cutBrowserTitle(const QString &title)
{
    const qsizetype at = lastTitleSeparator(title);
    if (at < 0)
        return std::nullopt;
    return title.left(at);
}

QString cutBrowserTitleIfPresent(const QString &title)
{
    return cutBrowserTitle(title).value_or(title);
}

} // namespace kvorn

// SPDX-License-Identifier: GPL-3.0-or-later
#include "popups/PopupKiller.h"

#include "core/DateText.h"
#include "core/Options.h"
#include "log/KillLog.h"
#include "platform/BrowserClasses.h"
#include "platform/Clock.h"
#include "platform/DesktopShell.h"
#include "popups/DetectedListModel.h"
#include "popups/LogListModel.h"
#include "popups/PopupListModel.h"
#include "popups/PopupLists.h"
#include "popups/PopupLoop.h"

#include <QCoreApplication>
#include <QSet>
#include <algorithm>
#include <array>

namespace kvorn {

namespace {

constexpr std::array kDialogKeys = {DialogKey::Escape, DialogKey::N, DialogKey::C};

} // namespace

PopupKiller::PopupKiller(Services services, QObject *parent) : QObject(parent), m_s(services)
{
    m_monotonic.start();
    PopupLoop &loop = m_s.loop;
    connect(&loop, &PopupLoop::surveyRequested, this, &PopupKiller::SurveyWindows);
    connect(&loop, &PopupLoop::killPassRequested, this, &PopupKiller::tmrMonitor_Timer);
    connect(&loop, &PopupLoop::detectedListCleared, this, &PopupKiller::clearDetected);
    connect(&loop, &PopupLoop::detectedEmptyTextShown, this, [this] { setEmptyTextShown(true); });
    connect(&m_s.lists, &PopupLists::monitorRecheckRequested, &loop,
            &PopupLoop::requestMonitorRecheck);
}

PopupKiller::~PopupKiller() = default;

// --- the survey ----------------------------------------------------------------------------

void PopupKiller::SurveyWindows()
{
    const QList<WindowId> windows = m_s.windows.titledWindows();
    DetectedListModel &detected = m_s.lists.detectedList();
    m_recordedNew = false;
    detected.resetHandles();
    for (const WindowId id : windows)
        surveyWindow(id);

    // One stale entry per pass: the others go in the following passes.
    for (int row = 0; row < detected.count(); ++row) {
        if (detected.entry(row).handle == 0) {
            detected.removeAt(row);
            m_s.loop.requestMonitorRecheck();
            break;
        }
    }
    setEmptyTextShown(detected.count() == 0);

    // A new or retitled window is judged now rather than at the next monitor tick (up to
    // half a second away), as a pass that closed something is followed at once. A paused
    // monitor (a command asking the user) stays paused.
    if (m_recordedNew && m_s.loop.monitorTimer().isActive())
        tmrMonitor_Timer();
}

void PopupKiller::surveyWindow(WindowId id)
{
    const WindowClass windowClass = m_s.windows.windowClass(id);
    if (surveyLinuxWindow(id, windowClass))
        return;
    surveyWindowsClassWindow(id, windowClass);
}

bool PopupKiller::isBrowserDialog(WindowId id, const WindowClass &windowClass)
{
    if (!m_s.windows.isDialog(id))
        return false;
    if (findLinuxBrowserRow(windowClass))
        return true;
    const WindowId owner = m_s.windows.transientFor(id);
    return owner != 0 && findLinuxBrowserRow(m_s.windows.windowClass(owner));
}

void PopupKiller::recordDialog(WindowId id, const QString &title)
{
    // A dialog is known by its message where the desktop shows it, else by its caption.
    const QString message = m_s.windows.staticText(id);
    RecordDetectedWindow(message.isEmpty() ? title : message, id, QString());
}

bool PopupKiller::surveyLinuxWindow(WindowId id, const WindowClass &windowClass)
{
    // A browser's dialogs carry the browser's class too; they are told apart by being
    // transients of the dialog type.
    if (isBrowserDialog(id, windowClass)) {
        recordDialog(id, m_s.windows.title(id));
        return true;
    }
    const LinuxBrowserRow *row = findLinuxBrowserRow(windowClass);
    if (!row)
        return false;
    // No address bar is visible to other programs here; where the desktop reads page
    // addresses elsewhere, the window system has the one known so far (it may come later).
    const QString title = m_s.windows.title(id);
    const auto address = [&] {
        return m_s.options.ReadBrowserAddresses ? m_s.windows.address(id) : QString();
    };
    switch (row->rule) {
    case SurveyRule::CutTitleRequired:
        if (const std::optional<QString> cut = cutBrowserTitle(title))
            recordDetected(*cut, id, address(), true);
        break;
    case SurveyRule::CutTitleOptional:
        recordDetected(cutBrowserTitleIfPresent(title), id, address(), true);
        break;
    default:
        recordDetected(title, id, address(), true);
        break;
    }
    return true;
}

bool PopupKiller::surveyWindowsClassWindow(WindowId id, const WindowClass &windowClass)
{
    if (windowClass.name.isEmpty())
        return false;
    const QString title = m_s.windows.title(id);
    const WindowsClassRow *row = findWindowsClassRow(windowClass.name, title);
    if (!row)
        return false;
    const QString addressChild = row->addressChild;
    switch (row->rule) {
    case SurveyRule::CutTitleRequired:
        if (const std::optional<QString> cut = cutBrowserTitle(title))
            RecordDetectedWindow(*cut, id, ReadWindowAddress(id, addressChild));
        break;
    case SurveyRule::CutTitleOptional:
        RecordDetectedWindow(cutBrowserTitleIfPresent(title), id,
                             ReadWindowAddress(id, addressChild));
        break;
    case SurveyRule::WholeTitle:
        RecordDetectedWindow(
            title, id, addressChild.isEmpty() ? QString() : ReadWindowAddress(id, addressChild));
        break;
    case SurveyRule::DescendantTitles:
        for (const WindowId child : m_s.windows.descendants(id)) {
            if (m_s.windows.windowClass(child).name != row->descendantClass)
                continue;
            const QString childTitle = m_s.windows.title(child);
            if (childTitle == QLatin1String("..."))
                continue;
            RecordDetectedWindow(childTitle, child, ReadWindowAddress(child, addressChild));
        }
        break;
    case SurveyRule::DescendantTitlesFirstCharDropped:
        for (const WindowId child : m_s.windows.descendants(id)) {
            if (m_s.windows.windowClass(child).name != row->descendantClass)
                continue;
            const QString childTitle = m_s.windows.title(child).mid(1);
            if (childTitle == QLatin1String(".."))
                continue;
            RecordDetectedWindow(childTitle, child, QString());
            const QString address = ReadWindowAddress(child, addressChild);
            if (!childTitle.isEmpty())
                RecordDetectedWindow(childTitle, child, address);
        }
        break;
    case SurveyRule::Dialog: {
        const auto &scriptTitles = scriptDialogTitles();
        if (std::find(scriptTitles.begin(), scriptTitles.end(), title) != scriptTitles.end())
            RecordDetectedWindow(m_s.windows.staticText(id), id, QString());
        else if (title.endsWith(kNeoPlanetSuffix))
            RecordDetectedWindow(title.left(title.lastIndexOf(QLatin1String(" - "))), id,
                                 ReadWindowAddress(id, kNeoPlanetAddressChild));
        else if (HasBrowserView(id))
            RecordDetectedWindow(title, id, ReadWindowAddress(id, addressChild));
        break;
    }
    case SurveyRule::WholeTitleUnlessFind:
        if (title != QLatin1String("Find"))
            RecordDetectedWindow(title, id, QString());
        break;
    }
    return true;
}

void PopupKiller::RecordDetectedWindow(const QString &title, WindowId handle,
                                       const QString &address)
{
    recordDetected(title, handle, address, false);
}

void PopupKiller::recordDetected(const QString &title, WindowId handle, const QString &address,
                                 bool judgeLateAddress)
{
    DetectedListModel &detected = m_s.lists.detectedList();
    const QString key = DetectedEntry::keyFor(handle, title);
    int row = detected.findKey(key);
    // An address read after the window was recorded: the window is judged again, at once.
    if (judgeLateAddress && row >= 0 && detected.entry(row).address != address) {
        m_s.loop.requestMonitorRecheck();
        m_recordedNew = true;
    }
    if (m_s.options.HideExempt &&
        m_s.lists.FindPopupEntry(m_s.lists.whiteList(), title, true, address))
        return;
    if (row < 0) {
        DetectedEntry entry;
        entry.text = title;
        entry.key = key;
        entry.forcedOpen = m_s.loop.forceOpen();
        entry.address = address;
        entry.handle = handle;
        row = detected.append(std::move(entry));
        m_s.loop.requestMonitorRecheck();
        m_recordedNew = true;
        // "Block ALL popup windows" hands new windows to a step that takes no action.
    }
    detected.setAddress(row, address);
    detected.setHandle(row, handle);
}

QString PopupKiller::ReadWindowAddress(WindowId handle, const QString &childClass)
{
    QString address;
    if (childClass.isEmpty())
        return address;
    for (const WindowId child : m_s.windows.descendants(handle)) {
        if (m_s.windows.windowClass(child).name != childClass)
            continue;
        const QString text = m_s.windows.title(child);
        if (text.contains(QLatin1String("://")))
            address = text;
    }
    return address;
}

bool PopupKiller::HasBrowserView(WindowId handle)
{
    for (const WindowId child : m_s.windows.descendants(handle)) {
        if (m_s.windows.windowClass(child).name == kBrowserViewClass)
            return true;
    }
    return false;
}

void PopupKiller::clearDetected()
{
    m_s.lists.detectedList().clear();
    m_asked.clear();
    setEmptyTextShown(true);
}

void PopupKiller::setEmptyTextShown(bool shown)
{
    if (m_emptyTextShown == shown)
        return;
    m_emptyTextShown = shown;
    Q_EMIT emptyTextShownChanged(shown);
}

// --- the kill pass -------------------------------------------------------------------------

void PopupKiller::tmrMonitor_Timer()
{
    PopupLoop &loop = m_s.loop;
    if (loop.isDisabled())
        return;
    if (m_busy || loop.forceOpen() || !loop.monitorRecheckRequested())
        return;
    m_busy = true;
    loop.takeMonitorRecheck();
    forgetGoneEntries();

    if (m_s.options.WinLmtMode) {
        const int limit = m_s.options.WinLmtWindows;
        const DetectedListModel &detected = m_s.lists.detectedList();
        // The newest windows, at the end of the list, go first.
        for (int i = detected.count(); i > limit && i >= 1; --i) {
            // Events run inside a dialog's close: the list may have shrunk meanwhile.
            if (i > detected.count())
                continue;
            const DetectedEntry entry = detected.entry(i - 1);
            ClosePopup(entry, KillReason::WindowLimit);
        }
    }
    CheckDetectedWindows();

    QCoreApplication::processEvents();
    m_busy = false;
}

bool PopupKiller::CheckDetectedWindows()
{
    const bool pattern = !m_s.options.DisableWildcards;
    DetectedListModel &detected = m_s.lists.detectedList();
    bool closed = false;
    for (int row = 0; row < detected.count(); ++row) {
        const DetectedEntry entry = detected.entry(row);
        if (m_s.lists.FindPopupEntry(m_s.lists.bannedList(), entry.text, pattern))
            continue;
        if (m_s.lists.FindPopupEntry(m_s.lists.whiteList(), entry.text, pattern))
            continue;
        if (!m_s.lists.FindPopupEntry(m_s.lists.blackList(), entry.text, pattern, entry.address))
            continue;
        m_lastClosedAddress = entry.address;
        // Only a first close hurries the next pass; asking a stubborn window again does not.
        if (ClosePopup(entry, KillReason::BlackList) == CloseOutcome::Closed)
            closed = true;
    }
    m_s.loop.monitorTimer().setInterval(closed ? kQuickPassMs : kNormalPassMs);
    return closed;
}

PopupKiller::CloseOutcome PopupKiller::ClosePopup(const DetectedEntry &entry, KillReason reason)
{
    if (entry.forcedOpen)
        return CloseOutcome::None;
    const auto h = static_cast<WindowId>(entry.handle);
    // The last survey did not find the window: it has gone already.
    if (h == 0)
        return CloseOutcome::None;

    // Measured on a steady clock: a change of the wall clock must not silence a window.
    const qint64 now = m_monotonic.elapsed();
    const auto asked = m_asked.constFind(entry.key);
    const bool booked = asked != m_asked.cend();
    if (booked && now - *asked < kRepeatCloseMs) {
        // Look again later: the window may still be on its way out.
        m_s.loop.requestMonitorRecheck();
        return CloseOutcome::Waiting;
    }
    m_asked.insert(entry.key, now);

    if (m_s.windows.isDialog(h) || m_s.windows.windowClass(h).name == kDialogClass) {
        m_s.windows.activate(h);
        QCoreApplication::processEvents();
        m_s.windows.sendKey(h, kDialogKeys[std::size_t(m_dialogKeyPos)]);
        m_dialogKeyPos = (m_dialogKeyPos + 1) % int(kDialogKeys.size());
    }
    m_s.windows.requestClose(h);

    if (!booked) {
        m_s.loop.showKillEffects();
        RecordKill(entry, reason);
        if (m_s.lists.detectedList().count() == 1 && m_s.options.JumpHome &&
            !m_s.options.HomePage.trimmed().isEmpty())
            m_s.shell.open(m_s.options.HomePage.trimmed());
    }
    m_s.loop.requestMonitorRecheck();
    return booked ? CloseOutcome::Repeated : CloseOutcome::Closed;
}

void PopupKiller::RecordKill(const DetectedEntry &entry, KillReason reason)
{
    QString filter;
    if (reason == KillReason::WindowLimit) {
        filter = windowLimitText();
    } else {
        const PopupListModel &black = m_s.lists.blackList();
        const int current = black.currentRow();
        if (current >= 0)
            filter = black.entry(current).text;
    }
    m_s.lists.logList().bookKill(entry.text, filter, generalDateText(m_s.clock.now()));
    m_s.log.countPopupKill(entry.text, filter);
    if (m_s.options.AutoColumn)
        Q_EMIT logColumnsAutoSizeRequested();
}

void PopupKiller::forgetGoneEntries()
{
    if (m_asked.isEmpty())
        return;
    const DetectedListModel &detected = m_s.lists.detectedList();
    QSet<QString> keys;
    keys.reserve(detected.count());
    for (int row = 0; row < detected.count(); ++row)
        keys.insert(detected.entry(row).key);
    for (auto it = m_asked.begin(); it != m_asked.end();) {
        if (keys.contains(it.key()))
            ++it;
        else
            it = m_asked.erase(it);
    }
}

} // namespace kvorn

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/WindowSystem.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QString>

namespace kvorn {

struct Options;
struct DetectedEntry;
class PopupLoop;
class PopupLists;
class KillLog;
class DesktopShell;
class Clock;

/// The popup killer's engine: the window survey that keeps the detected list, and the kill
/// pass that closes the detected windows the lists condemn and books every close.
///
/// It runs inside the popup killer's loop: the detection tick's survey request, the monitor
/// tick's kill-pass request (the pass sets the monitor timer's next interval), and the
/// requests to empty the detected list or to show its empty text; the lists' changes set
/// the loop's re-check request.
class PopupKiller : public QObject
{
    Q_OBJECT

public:
    struct Services
    {
        PopupLoop &loop;
        PopupLists &lists;
        KillLog &log;
        WindowSystem &windows;
        DesktopShell &shell;
        Options &options;
        Clock &clock;
    };

    /// Why a window is closed.
    enum class KillReason
    {
        BlackList,
        WindowLimit,
    };
    /// What the log shows as the entry that closed a window the window limit closed.
    static QString windowLimitText() { return QStringLiteral("Window Limit"); }

    /// A window asked to close that is still there is asked again after this long, not on
    /// every pass, so that a window refusing to close is not flooded with requests.
    static constexpr int kRepeatCloseMs = 500;
    /// The monitor timer's intervals: right after a pass that closed a window, and otherwise.
    static constexpr int kQuickPassMs = 10;
    static constexpr int kNormalPassMs = 500;

    PopupKiller(Services services, QObject *parent = nullptr);
    ~PopupKiller() override;

    // --- the survey -----------------------------------------------------------------------
    /// One survey pass: records the browser windows and dialogs found now, prunes (at most)
    /// one entry whose window is gone, and shows the empty text when nothing is detected.
    void SurveyWindows();
    /// Adds or refreshes the detected entry of one window and title.
    void RecordDetectedWindow(const QString &title, WindowId handle, const QString &address);
    /// The text of the window's last descendant of the given class that holds "://"; empty
    /// when none does (always, on a desktop that shows no address bars).
    QString ReadWindowAddress(WindowId handle, const QString &childClass);
    /// True when the window hosts a web page view.
    bool HasBrowserView(WindowId handle);

    /// True while the detected panel should show its empty text.
    bool emptyTextShown() const { return m_emptyTextShown; }

    // --- the kill pass --------------------------------------------------------------------
    /// The monitor tick: the window limit, then the black-list step, when a re-check is due.
    void tmrMonitor_Timer();
    /// The black-list step over every detected entry. True when it asked a window to close
    /// for the first time (the next pass then follows quickly).
    bool CheckDetectedWindows();

    /// What `ClosePopup` did.
    enum class CloseOutcome
    {
        None,     ///< forced open, or its window is gone: nothing asked, nothing booked
        Closed,   ///< asked to close for the first time and booked
        Repeated, ///< asked to close again; booked before, so not booked again
        Waiting,  ///< asked a moment ago: left alone this pass
    };
    /// Asks the entry's window to close and books the close, once per window and title.
    CloseOutcome ClosePopup(const DetectedEntry &entry, KillReason reason);
    /// The bookkeeping of one close: log row, counters, log record, status bar.
    void RecordKill(const DetectedEntry &entry, KillReason reason);

    /// True while a kill pass runs.
    bool isBusy() const { return m_busy; }
    /// The address of the last window the black list closed (empty when it had none).
    QString lastClosedAddress() const { return m_lastClosedAddress; }
    /// Where the keystroke cycle for dialogs stands (0: Escape, 1: "n", 2: "c").
    int dialogKeyPosition() const { return m_dialogKeyPos; }

Q_SIGNALS:
    /// The detected panel's empty text is to be shown (true) or hidden.
    void emptyTextShownChanged(bool shown);
    /// The log list's columns are to be sized to their contents ("AutoColumn").
    void logColumnsAutoSizeRequested();

private:
    void surveyWindow(WindowId id);
    bool surveyLinuxWindow(WindowId id, const WindowClass &windowClass);
    /// `RecordDetectedWindow`; `judgeLateAddress` (for browser windows whose address may
    /// become known only after they were recorded) asks for a kill pass when the entry's
    /// address changed.
    void recordDetected(const QString &title, WindowId handle, const QString &address,
                        bool judgeLateAddress);
    bool surveyWindowsClassWindow(WindowId id, const WindowClass &windowClass);
    void recordDialog(WindowId id, const QString &title);
    bool isBrowserDialog(WindowId id, const WindowClass &windowClass);
    void clearDetected();
    void setEmptyTextShown(bool shown);
    void forgetGoneEntries();

    Services m_s;
    bool m_emptyTextShown = true;
    bool m_busy = false;
    bool m_recordedNew = false; ///< the running survey recorded a new detected entry
    int m_dialogKeyPos = 0;
    QString m_lastClosedAddress;
    QElapsedTimer m_monotonic;
    /// The detected entries (by key) already booked, with the time they were last asked
    /// (milliseconds of m_monotonic).
    QHash<QString, qint64> m_asked;
};

} // namespace kvorn

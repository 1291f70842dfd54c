// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/EngineLoop.h"

#include <QObject>
#include <QTimer>

namespace kvorn {

struct Options;
class KeyboardState;
class TrayIcon;

/// The run states of the popup killer as the user sees them.
enum class RunState
{
    Loaded = 0,
    Halted = 1,
    Active = 2,
    Idle = 3
};

/// The popup killer's loop: the detection, monitor and flash timers, the run state with the
/// force-open key and Ctrl+Z, and the monitor re-check request. It follows the program's
/// lifecycle as a registered loop of the core (`EngineHost`), to which it reports only
/// status texts, the kill sound and the Ctrl+Z Disable command.
///
/// The survey, the kill pass and the hot keys listen to its signals.
class PopupLoop : public QObject, public EngineLoop
{
    Q_OBJECT

public:
    struct Services
    {
        Options &options;
        KeyboardState &keyboard;
        TrayIcon &tray;
        EngineHost &host;
    };

    /// Registers itself with the host for the lifecycle.
    explicit PopupLoop(Services services, QObject *parent = nullptr);
    ~PopupLoop() override;

    // --- the timers' ticks (public so that tests drive them) -------------------------------
    /// tmrGetActivePopUps's tick: hot keys, force-open key and Ctrl+Z, run state, survey.
    void tmrGetActivePopUps_Timer();
    /// tmrFlashDelay's tick: one frame of the tray icon's flash animation.
    void tmrFlashDelay_Timer();

    /// tmrGetActivePopUps
    QTimer &detectionTimer() { return m_detection; }
    /// tmrMonitor: its tick asks for a kill pass; the pass sets its interval.
    QTimer &monitorTimer() { return m_monitor; }
    /// tmrFlashDelay
    QTimer &flashTimer() { return m_flash; }

    // --- run state ------------------------------------------------------------------------
    RunState runState() const { return m_runState; }
    /// True while the killer is disabled (the Disable command's check mark).
    bool isDisabled() const { return m_disabled; }
    /// True while Ctrl is held (and the force-open key is enabled).
    bool forceOpen() const { return m_forceOpen; }

    /// The monitor re-check request: set when the detected list or a popup list changes.
    void requestMonitorRecheck() { m_monitorRecheck = true; }
    bool monitorRecheckRequested() const { return m_monitorRecheck; }
    /// Returns the request and clears it.
    bool takeMonitorRecheck();

    /// Empties the detected list (the survey fills it again).
    void clearDetectedList() { Q_EMIT detectedListCleared(); }

    // --- kill effects ---------------------------------------------------------------------
    /// Starts (or continues) the tray icon's flash animation when "Flash" is on, and plays
    /// the kill sound when "Sound" is on.
    void showKillEffects();
    /// Starts (or continues) the tray icon's flash animation when "Flash" is on.
    void startFlash();
    int flashCount() const { return m_flashCount; }

    // --- lifecycle ------------------------------------------------------------------------
    void startLoop() override;
    void suspendLoop() override;
    void resumeLoop() override;
    void holdLoop() override;
    void releaseLoop() override;
    void stopLoop() override;
    void continueLoop() override;
    void setLoopDisabled(bool disabled) override;
    void windowOpened() override;

Q_SIGNALS:
    /// The detection tick's hot-key step (quick add, open last closed address).
    void hotKeysPolled();
    /// The detection tick asks for a window survey.
    void surveyRequested();
    /// The monitor tick asks for a kill pass.
    void killPassRequested();
    /// The detected list is to be emptied.
    void detectedListCleared();
    /// The detected panel is to show its empty text.
    void detectedEmptyTextShown();

private:
    void showRunState(int picture, const QString &tip, const QString &status);

    Services m_s;

    QTimer m_detection;
    QTimer m_monitor;
    QTimer m_flash;

    RunState m_runState = RunState::Loaded;
    bool m_disabled = false;
    bool m_forceOpen = false;
    int m_ctrlZCount = 0;
    int m_flashCount = 0;
    bool m_monitorRecheck = false;
    /// Which timers ran when the loop was held.
    bool m_detectionHeld = false;
    bool m_monitorHeld = false;
};

/// Pauses the monitor timer for the life of a command that asks the user (its box runs
/// the event loop), and starts it again afterwards when it was running.
class MonitorPause
{
public:
    explicit MonitorPause(PopupLoop &loop);
    ~MonitorPause();
    MonitorPause(const MonitorPause &) = delete;
    MonitorPause &operator=(const MonitorPause &) = delete;

private:
    PopupLoop &m_loop;
    bool m_wasActive;
};

} // namespace kvorn

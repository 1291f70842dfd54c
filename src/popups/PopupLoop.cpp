// SPDX-License-Identifier: GPL-3.0-or-later
#include "popups/PopupLoop.h"

#include "core/Options.h"
#include "core/StatusTexts.h"
#include "platform/KeyboardState.h"
#include "platform/TrayIcon.h"

#include <utility>

namespace kvorn {

PopupLoop::PopupLoop(Services services, QObject *parent) : QObject(parent), m_s(services)
{
    m_detection.setObjectName(QStringLiteral("tmrGetActivePopUps"));
    m_monitor.setObjectName(QStringLiteral("tmrMonitor"));
    m_flash.setObjectName(QStringLiteral("tmrFlashDelay"));

    m_detection.setInterval(250);
    m_monitor.setInterval(500);
    m_flash.setInterval(250);

    connect(&m_detection, &QTimer::timeout, this, &PopupLoop::tmrGetActivePopUps_Timer);
    connect(&m_monitor, &QTimer::timeout, this, &PopupLoop::killPassRequested);
    connect(&m_flash, &QTimer::timeout, this, &PopupLoop::tmrFlashDelay_Timer);

    m_s.host.addLoop(*this);
}

PopupLoop::~PopupLoop()
{
    m_s.host.removeLoop(*this);
}

// --- ticks ---------------------------------------------------------------------------------

void PopupLoop::tmrGetActivePopUps_Timer()
{
    Q_EMIT hotKeysPolled();

    // The force-open key: Ctrl held lets windows open; Ctrl+Z held for ten ticks disables.
    if (!m_s.options.DisHotKey) {
        m_forceOpen = m_s.keyboard.isDown(Key::Control);
        m_s.tray.setPresent(m_s.options.ShowInTray);
        const bool ctrlZ = m_forceOpen && m_s.keyboard.isDown(Key::Z);
        if (ctrlZ) {
            // The core gives the command and tells this loop (`setLoopDisabled`) at once.
            if (m_disabled) {
                m_s.host.disableCommand();
            } else {
                const int before = m_ctrlZCount++;
                if (before == 9)
                    m_s.host.disableCommand();
            }
        } else {
            m_ctrlZCount = 0;
        }
    } else {
        // A Ctrl held when the key was switched off must not keep the killer halted.
        m_forceOpen = false;
        m_ctrlZCount = 0;
    }

    if (!m_disabled) {
        // Enabling a running timer must not restart it: the monitor's 500 ms would never
        // run out under a detection tick every 100 ms.
        if (m_detection.interval() != 100)
            m_detection.setInterval(100);
        if (!m_monitor.isActive())
            m_monitor.start();
        if (m_forceOpen && m_runState != RunState::Halted) {
            showRunState(4, QStringLiteral("K-Vorn is Stopped"), QStringLiteral("Halted"));
            m_runState = RunState::Halted;
        } else if (!m_forceOpen && m_runState != RunState::Active) {
            showRunState(1, QStringLiteral("K-Vorn is Active"), QStringLiteral("Active"));
            m_runState = RunState::Active;
        }
        if (!m_disabled)
            Q_EMIT surveyRequested();
    }

    if (m_disabled && m_runState != RunState::Idle) {
        m_detection.setInterval(1000);
        m_monitor.stop();
        showRunState(2, QStringLiteral("K-Vorn is Idle"), QStringLiteral("Idle"));
        Q_EMIT detectedEmptyTextShown();
        m_runState = RunState::Idle;
    }
}

void PopupLoop::tmrFlashDelay_Timer()
{
    const int n = ++m_flashCount;
    switch (n % 3) {
    case 1:
        m_s.tray.setPicture(TrayPicture::FlashA);
        break;
    case 2:
        m_s.tray.setPicture(TrayPicture::FlashB);
        break;
    default:
        m_s.tray.setPicture(TrayPicture::Active);
        break;
    }
    if (n > 11) {
        m_flash.stop();
        m_s.tray.setPicture(TrayPicture::Active);
        m_flashCount = 0;
    }
}

// --- run state -----------------------------------------------------------------------------

void PopupLoop::showRunState(int picture, const QString &tip, const QString &status)
{
    m_s.tray.setPicture(static_cast<TrayPicture>(picture));
    m_s.tray.setTip(tip);
    m_s.host.UpdateStatusBar(PopupScreen, 1, status);
}

bool PopupLoop::takeMonitorRecheck()
{
    const bool was = m_monitorRecheck;
    m_monitorRecheck = false;
    return was;
}

// --- kill effects --------------------------------------------------------------------------

void PopupLoop::showKillEffects()
{
    startFlash();
    m_s.host.playKillSound();
}

void PopupLoop::startFlash()
{
    if (m_s.options.Flash)
        m_flash.start();
}

// --- lifecycle -----------------------------------------------------------------------------

void PopupLoop::startLoop()
{
    m_detection.setInterval(250);
    m_detection.start();
    requestMonitorRecheck();
}

void PopupLoop::suspendLoop()
{
    m_monitor.stop();
    m_detection.stop();
}

void PopupLoop::resumeLoop()
{
    Q_EMIT detectedListCleared();
    requestMonitorRecheck();
    m_monitor.start();
    m_detection.start();
}

void PopupLoop::holdLoop()
{
    m_detectionHeld = m_detection.isActive();
    m_monitorHeld = m_monitor.isActive();
    m_detection.stop();
    m_monitor.stop();
}

void PopupLoop::releaseLoop()
{
    if (std::exchange(m_detectionHeld, false))
        m_detection.start();
    if (std::exchange(m_monitorHeld, false))
        m_monitor.start();
}

void PopupLoop::stopLoop()
{
    for (QTimer *timer : {&m_flash, &m_detection, &m_monitor})
        timer->stop();
}

void PopupLoop::continueLoop()
{
    m_detection.start();
}

void PopupLoop::setLoopDisabled(bool disabled)
{
    m_disabled = disabled;
    if (!disabled) {
        requestMonitorRecheck();
        Q_EMIT detectedListCleared();
    }
}

void PopupLoop::windowOpened()
{
    // The next detection tick starts the monitor again.
    m_monitor.stop();
}

// --- MonitorPause --------------------------------------------------------------------------

MonitorPause::MonitorPause(PopupLoop &loop)
    : m_loop(loop), m_wasActive(loop.monitorTimer().isActive())
{
    m_loop.monitorTimer().stop();
}

MonitorPause::~MonitorPause()
{
    if (m_wasActive)
        m_loop.monitorTimer().start();
}

} // namespace kvorn

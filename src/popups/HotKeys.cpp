// SPDX-License-Identifier: GPL-3.0-or-later
#include "popups/HotKeys.h"

#include "core/Options.h"
#include "core/Prompt.h"
#include "platform/DesktopShell.h"
#include "platform/KeyboardState.h"
#include "popups/DetectedListModel.h"
#include "popups/PopupKiller.h"
#include "popups/PopupLists.h"
#include "popups/PopupLoop.h"

#include <QTimer>
#include <QUrl>

namespace kvorn {

HotKeys::HotKeys(Services services, QObject *parent) : QObject(parent), m_s(services)
{
    connect(&m_s.loop, &PopupLoop::hotKeysPolled, this, &HotKeys::poll);
}

void HotKeys::poll()
{
    const KeyboardState &kb = m_s.keyboard;
    const bool chord = kb.isDown(Key::Control) && kb.isDown(Key::Shift);
    const bool addDown = chord && kb.isDown(Key::X);
    const bool openDown = chord && kb.isDown(Key::B);
    // A held chord reads as down on several ticks: only the change to down is a press.
    const bool addPressed = addDown && !m_addHeld;
    const bool openPressed = openDown && !m_openHeld;
    m_addHeld = addDown;
    m_openHeld = openDown;
    // The box or dialog of a press runs the event loop, and with it further ticks.
    if (m_answering)
        return;
    if (addPressed && m_s.options.HotAddKey)
        quickAdd();
    if (openPressed)
        openLastClosed();
}

void HotKeys::quickAdd()
{
    m_answering = true;
    // While disabled no survey keeps the detected list up to date.
    if (m_s.loop.isDisabled())
        m_s.killer.SurveyWindows();
    const QString title = GetHotTitle(m_s.windows.foregroundWindow(), QStringLiteral("Title"));
    DetectedListModel &detected = m_s.lists.detectedList();
    if (!title.isEmpty()) {
        m_s.loop.monitorTimer().start();
        detected.selectRow(detected.exactRow(title));
        Q_EMIT quickAddRequested(title);
    } else {
        // Shown after the tick: a box inside it would hold up the survey, and with it the
        // killer, until somebody answered. Further presses wait for the answer.
        QTimer::singleShot(0, this, [this] {
            m_s.prompt.message(QStringLiteral("Focus window is not a supported browser window "
                                              "or is in your whitelist."),
                               Prompt::Buttons::Ok, Prompt::Icon::Warning,
                               QStringLiteral("K-Vorn Hot Kill"));
            m_answering = false;
        });
        m_s.loop.requestMonitorRecheck();
        m_s.lists.setBlackListChanged(true);
        return;
    }
    m_s.loop.requestMonitorRecheck();
    m_s.lists.setBlackListChanged(true);
    m_answering = false;
}

void HotKeys::openLastClosed()
{
    const QString address = m_s.killer.lastClosedAddress().trimmed();
    if (isOpenableAddress(address))
        m_s.shell.open(address);
}

QString HotKeys::GetHotTitle(WindowId winAddress, const QString &passType) const
{
    QString result;
    // Entries not found again by the last survey have no window; nothing is window 0.
    if (winAddress == 0)
        return result;
    DetectedListModel &detected = m_s.lists.detectedList();
    const bool address = passType == QLatin1String("Address");
    for (int row = 0; row < detected.count(); ++row) {
        const DetectedEntry &e = detected.entry(row);
        if (e.handle == winAddress)
            result = address ? e.address : e.text;
    }
    return result;
}

bool HotKeys::isOpenableAddress(const QString &text)
{
    // Anything else (a placeholder, a file, a script, a custom scheme) is page-controlled
    // text that the shell would hand to some handler.
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.isRelative() || url.host().isEmpty())
        return false;
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

void HotKeys::IE_NewWindow2(bool forceOpen, bool &cancel)
{
    if (!forceOpen)
        cancel = true;
}

} // namespace kvorn

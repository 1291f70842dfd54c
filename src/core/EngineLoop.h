// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace kvorn {

class EngineLoop;

/// Where an engine's status texts go: the status bar's table of texts per screen and panel.
class StatusSink
{
public:
    /// Stores the text for the screen's panel (screen 0: stores nothing) and shows the
    /// current screen's texts (the main window's `UpdateStatusBar`).
    virtual void UpdateStatusBar(int screen, int pnl, const QString &pInfo) = 0;

protected:
    ~StatusSink() = default;
};

/// What the program core offers an engine that runs a loop of its own: the lifecycle it
/// registers with, and the few things it reports back. The core knows nothing else of the
/// engine; the engine knows nothing else of the core.
class EngineHost : public StatusSink
{
public:
    /// The loop follows the program's lifecycle from now until it is removed.
    virtual void addLoop(EngineLoop &loop) = 0;
    virtual void removeLoop(EngineLoop &loop) = 0;

    /// Plays the kill sound when "Sound" is on.
    virtual void playKillSound() = 0;
    /// Gives the Disable command, as the Ctrl+Z key does.
    virtual void disableCommand() = 0;

protected:
    ~EngineHost() = default;
};

/// The lifecycle of an engine's loop as the program core drives it. Every step does nothing
/// unless the engine has something to do in it.
class EngineLoop
{
public:
    /// The load step of the main window: the loop starts.
    virtual void startLoop() {}
    /// An online update begins (`DebugTimersOff` true): the loop stops.
    virtual void suspendLoop() {}
    /// The online update is over (`DebugTimersOff` false): the loop starts afresh.
    virtual void resumeLoop() {}
    /// The program is busy for a moment (the mail lists load): the loop waits.
    virtual void holdLoop() {}
    /// The moment is over: what ran before `holdLoop` runs on.
    virtual void releaseLoop() {}
    /// An end of the program begins: the loop stops for good, unless `continueLoop` follows.
    virtual void stopLoop() {}
    /// The user declined to end the program after `stopLoop`: the loop goes on.
    virtual void continueLoop() {}
    /// The Disable command's check mark changed.
    virtual void setLoopDisabled(bool disabled) { static_cast<void>(disabled); }
    /// The main window was opened.
    virtual void windowOpened() {}

protected:
    ~EngineLoop() = default;
};

} // namespace kvorn

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/EngineLoop.h"
#include "core/StatusTexts.h"

#include <QMap>
#include <QObject>
#include <QTimer>

#include <functional>
#include <vector>

namespace kvorn {

struct Options;
class SettingsStore;
class TrayIcon;
class SoundPlayer;
class RegistryFunctions;
class ProgramSettings;
class Prompt;
class Clock;

/// The values of "ForceShow", by which another process asks the running one to act.
enum class ForceShow { None = 0, Show = 1, End = 2 };

/// How the program is being ended.
enum class ExitKind {
    FileExit,     ///< File > "&Exit": save, then ask
    TrayExit,     ///< the tray menu's "E&xit": ask, then save
    SessionEnd,   ///< the desktop session or a signal ends us: save without asking and
                  ///< without waiting for the user at all
    ForceClose,   ///< another start asked us to end ("/forceclose")
};

/// The program's lifecycle: the load step, the Disable command, the suspension around an
/// online update and every end of the program, which the engines' loops follow once they
/// registered (`EngineHost::addLoop`); the status texts, the tray icon's idle and disabled
/// pictures, the kill sound and the signalling with other instances. The window itself (in
/// the shell) only renders what this object says.
class MainController : public QObject, public EngineHost
{
    Q_OBJECT

public:
    struct Services
    {
        Options &options;
        SettingsStore &store;
        ProgramSettings &settings;
        RegistryFunctions &registry;
        TrayIcon &tray;
        SoundPlayer &sound;
        Prompt &prompt;
        Clock &clock;
    };

    MainController(Services services, QString programFolder, QObject *parent = nullptr);
    ~MainController() override;

    // --- start-up -------------------------------------------------------------------------
    /// The load step of the main window (everything but the window's own geometry):
    /// counters, tray picture, sound event, timers; then every registered loop starts.
    void load();
    /// True from the start of `Main` to its end, and for good once the automatic update fired.
    bool startupInProgress() const { return m_startupInProgress; }
    void setStartupInProgress(bool on) { m_startupInProgress = on; }

    // --- the timers' ticks (public so that tests drive them) -------------------------------
    /// tmrMonReg's tick: "ForceShow" polling.
    void tmrMonReg_Timer();
    void tmrMailLoopCheck_Timer();

    QTimer &signalTimer() { return m_signal; }
    QTimer &mailLoopTimer() { return m_mailLoop; }

    // --- lifecycle ------------------------------------------------------------------------
    void addLoop(EngineLoop &loop) override;
    void removeLoop(EngineLoop &loop) override;
    /// The check mark of the Disable command.
    bool isDisabled() const { return m_disabled; }
    /// The Disable command (Settings > "&Disable" and the tray's "&Disable").
    void disableCommand() override;
    /// Suspends (true) or resumes (false) its own timers and every registered loop, around
    /// an online update.
    void DebugTimersOff(bool bugSwitch);
    bool debugChecked() const { return m_debug; }
    /// The loops wait while the program is busy for a moment (`holdLoops`), and run on as
    /// they ran before afterwards (`releaseLoops`).
    void holdLoops();
    void releaseLoops();
    /// The main window was opened ("&Open K-Vorn").
    void windowOpened();

    // --- status bar -----------------------------------------------------------------------
    /// The one way to put text into the status bar; also checks whether an update is due.
    void UpdateStatusBar(int screen, int pnl, const QString &pInfo) override;
    /// The screen whose texts the status bar shows (the selected screen tab).
    void setCurrentScreen(int screen);
    int currentScreen() const { return m_currentScreen; }
    const StatusTexts &statusTexts() const { return m_status; }

    // --- problems found in the background -------------------------------------------------
    /// A problem found while nobody asked (a save a moment after a change failed, the disk
    /// is full): shown in the status bar and as a desktop notification, never as a box,
    /// which would hold up the engines while it waits for the user. `source` keeps the
    /// problems of different parts apart; an empty `text` says that part's problem is
    /// over. The notification comes once for each new text.
    void reportProblem(const QString &source, const QString &text);
    /// Every open problem, one per line; empty when there is none.
    QString problemText() const;

    // --- kill effects ---------------------------------------------------------------------
    /// Plays the kill sound when "Sound" is on.
    void playKillSound() override;
    /// The sound file of the kill sound event.
    QString killSoundFile() const;

    // --- saving and ending ----------------------------------------------------------------
    /// A step of `SaveProgramSettings`; returns an error text, empty on success.
    using SaveStep = std::function<QString()>;
    /// Steps that run before the options are written (the popup lists).
    void addListSaver(SaveStep step) { m_listSavers.push_back(std::move(step)); }
    /// Steps that run after the options are written (the mail settings).
    void addMailSaver(SaveStep step) { m_mailSavers.push_back(std::move(step)); }
    /// Steps that write what is still buffered (the kill log), run at every normal end.
    void addFlusher(std::function<void()> step) { m_flushers.push_back(std::move(step)); }

    /// Saves the lists, the options record and the mail settings; reports every failure to
    /// the user, or, when `unattended`, through `unattendedSaveFailed` without waiting for
    /// anybody. True when everything was written.
    bool SaveProgramSettings(bool unattended = false);
    /// The same save while the program goes on: the tray icon stays.
    bool saveSettingsNow(bool unattended = false);
    /// Ends the program the given way. False when the user declined.
    bool exitProgram(ExitKind kind);
    /// True once the program is on its way out.
    bool isShuttingDown() const { return m_shuttingDown; }

    /// Writes "ForceShow" (used by a second start).
    static void writeForceShow(SettingsStore &store, ForceShow value);
    /// Reads "ForceShow"; a missing key reads 0.
    static int readForceShow(const SettingsStore &store);

Q_SIGNALS:
    /// The status bar shows these four texts now.
    void statusBarChanged(const QString &p1, const QString &p2, const QString &p3,
                          const QString &p4);
    /// Another start asked to see the window ("&Open K-Vorn").
    void showWindowRequested();
    /// The Disable command's check mark or the Debug item's check mark changed.
    void disabledChanged(bool disabled);
    void debugChanged(bool checked);
    /// The periodic mail check counts one more minute.
    void mailLoopTicked();
    /// An automatic update is due: open the update window with "K-vorn AutoUpdate".
    void autoUpdateDue();
    /// The program is ending: stop what runs (the mail check's abort flag).
    void exitStarted();
    /// Everything is saved as needed; the event loop may end.
    void quitNow();
    /// An end that waits for nobody could not save everything (the text names what).
    void unattendedSaveFailed(const QString &text);
    /// The open problems changed (`problemText`).
    void problemChanged(const QString &text);

private:
    bool saveAllSettings(bool unattended, bool endOfProgram);
    void setRunVisual(int picture, const QString &tip);
    void stopTimersForExit();
    /// Runs a lifecycle step of every registered loop.
    template<typename Step> void forEachLoop(Step step);
    void flushAll();
    void checkAutoUpdate();

    Services m_s;
    QString m_programFolder;

    QTimer m_signal;
    QTimer m_mailLoop;
    std::vector<EngineLoop *> m_loops;

    bool m_disabled = false;
    bool m_debug = false;
    bool m_startupInProgress = false;
    bool m_shuttingDown = false;
    bool m_exiting = false; ///< an end is under way; further end requests change nothing

    StatusTexts m_status;
    int m_currentScreen = PopupScreen;
    QMap<QString, QString> m_problems;

    std::vector<SaveStep> m_listSavers;
    std::vector<SaveStep> m_mailSavers;
    std::vector<std::function<void()>> m_flushers;
};

} // namespace kvorn

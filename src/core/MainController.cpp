// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/MainController.h"

#include "core/WeekCode.h"

#include "core/Options.h"
#include "core/ProgramSettings.h"
#include "core/Prompt.h"
#include "core/RegistryFunctions.h"
#include "core/SettingsStore.h"
#include "core/DateText.h"
#include "platform/Clock.h"
#include "platform/SoundPlayer.h"
#include "platform/TrayIcon.h"

#include <algorithm>

namespace kvorn {

namespace {
const QString kSoundAppKey = QStringLiteral("AppEvents\\Schemes\\Apps\\Kvorn\\");
const QString kSoundAppKeyBare = QStringLiteral("AppEvents\\Schemes\\Apps\\Kvorn");
const QString kSoundEventKey = QStringLiteral("AppEvents\\Schemes\\Apps\\Kvorn\\Gobblezap\\.Current");
const QString kSoundReadKey = QStringLiteral("AppEvents\\Schemes\\Apps\\kvorn\\Gobblezap\\.Current");
const QString kForceShowKey = QStringLiteral("ForceShow");
constexpr int kMaxUpdateIntervalDays = 36500;
} // namespace

MainController::MainController(Services services, QString programFolder, QObject *parent)
    : QObject(parent), m_s(services), m_programFolder(std::move(programFolder))
{
    m_signal.setObjectName(QStringLiteral("tmrMonReg"));
    m_mailLoop.setObjectName(QStringLiteral("tmrMailLoopCheck"));

    m_signal.setInterval(1500);
    m_mailLoop.setInterval(0);

    connect(&m_signal, &QTimer::timeout, this, &MainController::tmrMonReg_Timer);
    connect(&m_mailLoop, &QTimer::timeout, this, &MainController::tmrMailLoopCheck_Timer);
}

MainController::~MainController() = default;

void MainController::load()
{
    m_s.store.write(QStringLiteral("Config"), QStringLiteral("InstallPath"), m_programFolder);

    m_s.tray.setPicture(TrayPicture::Idle);
    m_s.tray.setTip(QStringLiteral("K-Vorn is Idle"));

    // The kill sound is a sound event of the program's own, pointing at its wave file.
    const QVariant appName =
        m_s.registry.ReadRegistryValue(RegistryRoot::CurrentUser, kSoundAppKey, QString());
    if (appName.toString() != QLatin1String("K-Vorn")) {
        m_s.registry.CreateRegistryKey(RegistryRoot::CurrentUser, kSoundAppKey);
        m_s.registry.WriteRegistryValue(RegistryRoot::CurrentUser, kSoundAppKey, QString(),
                                        QStringLiteral("K-Vorn"), RegistryKind::String);
        m_s.registry.CreateRegistryKey(RegistryRoot::CurrentUser, kSoundAppKeyBare);
        m_s.registry.CreateRegistryKey(RegistryRoot::CurrentUser, kSoundEventKey);
        m_s.registry.WriteRegistryValue(RegistryRoot::CurrentUser, kSoundEventKey, QString(),
                                        m_programFolder + QStringLiteral("/SOUNDS/WHIP.WAV"),
                                        RegistryKind::String);
    }

    m_s.tray.setPresent(m_s.options.ShowInTray);

    // A failed write of "InstallPath" is not worth a message at start; the next save reports.
    m_s.store.save();

    m_signal.start();
    if (m_mailLoop.interval() > 0)
        m_mailLoop.start();
    forEachLoop([](EngineLoop &loop) { loop.startLoop(); });
}

// --- lifecycle -----------------------------------------------------------------------------

template<typename Step> void MainController::forEachLoop(Step step)
{
    // By index, never through a copy: a step may add or remove (destroy) a loop.
    for (std::size_t i = 0; i < m_loops.size(); ++i)
        step(*m_loops[i]);
}

void MainController::addLoop(EngineLoop &loop)
{
    if (std::find(m_loops.begin(), m_loops.end(), &loop) != m_loops.end())
        return;
    m_loops.push_back(&loop);
    if (m_disabled)
        loop.setLoopDisabled(true);
}

void MainController::removeLoop(EngineLoop &loop)
{
    m_loops.erase(std::remove(m_loops.begin(), m_loops.end(), &loop), m_loops.end());
}

void MainController::holdLoops()
{
    forEachLoop([](EngineLoop &loop) { loop.holdLoop(); });
}

void MainController::releaseLoops()
{
    forEachLoop([](EngineLoop &loop) { loop.releaseLoop(); });
}

void MainController::windowOpened()
{
    forEachLoop([](EngineLoop &loop) { loop.windowOpened(); });
}

// --- ticks ---------------------------------------------------------------------------------

void MainController::tmrMonReg_Timer()
{
    m_s.store.reload();
    // An end request is honoured whatever the tray setting: "/forceclose" must work.
    if (readForceShow(m_s.store) == int(ForceShow::End)) {
        writeForceShow(m_s.store, ForceShow::None);
        exitProgram(ExitKind::ForceClose);
        return;
    }
    if (m_s.options.ShowInTray)
        return;
    if (readForceShow(m_s.store) == int(ForceShow::Show)) {
        writeForceShow(m_s.store, ForceShow::None);
        Q_EMIT showWindowRequested();
    }
}

void MainController::tmrMailLoopCheck_Timer()
{
    Q_EMIT mailLoopTicked();
}

// --- run state -----------------------------------------------------------------------------

void MainController::setRunVisual(int picture, const QString &tip)
{
    m_s.tray.setPicture(static_cast<TrayPicture>(picture));
    m_s.tray.setTip(tip);
}

void MainController::disableCommand()
{
    m_disabled = !m_disabled;
    Q_EMIT disabledChanged(m_disabled);
    if (m_disabled) {
        setRunVisual(2, QStringLiteral("K-Vorn is Disabled"));
        UpdateStatusBar(PopupScreen, 1, QStringLiteral("Disabled"));
        m_signal.stop();
    } else {
        m_signal.start();
    }
    const bool disabled = m_disabled;
    forEachLoop([disabled](EngineLoop &loop) { loop.setLoopDisabled(disabled); });
}

void MainController::DebugTimersOff(bool bugSwitch)
{
    m_debug = bugSwitch;
    Q_EMIT debugChanged(bugSwitch);
    setRunVisual(2, QStringLiteral("K-Vorn is Disabled"));
    if (bugSwitch) {
        UpdateStatusBar(PopupScreen, 1, QStringLiteral("Updating"));
        forEachLoop([](EngineLoop &loop) { loop.suspendLoop(); });
    } else {
        forEachLoop([](EngineLoop &loop) { loop.resumeLoop(); });
        UpdateStatusBar(PopupScreen, 1, QStringLiteral("Debug off"));
    }
    for (QTimer *timer : {&m_signal, &m_mailLoop}) {
        if (bugSwitch)
            timer->stop();
        else if (timer != &m_mailLoop || timer->interval() > 0)
            timer->start();
    }
}

// --- status bar ----------------------------------------------------------------------------

void MainController::UpdateStatusBar(int screen, int pnl, const QString &pInfo)
{
    if (screen != 0)
        m_status.store(screen, pnl, pInfo);
    const auto panels = m_status.panels(m_currentScreen);
    Q_EMIT statusBarChanged(panels[0], panels[1], panels[2], panels[3]);
    checkAutoUpdate();
}

void MainController::reportProblem(const QString &source, const QString &text)
{
    const QString before = m_problems.value(source);
    if (before == text)
        return;
    if (text.isEmpty())
        m_problems.remove(source);
    else
        m_problems.insert(source, text);
    if (!text.isEmpty())
        m_s.tray.showMessage(QStringLiteral("K-Vorn"), text);
    Q_EMIT problemChanged(problemText());
}

QString MainController::problemText() const
{
    return m_problems.values().join(QLatin1Char('\n'));
}

void MainController::setCurrentScreen(int screen)
{
    if (screen >= PopupScreen && screen <= BannerScreen)
        m_currentScreen = screen;
}

void MainController::checkAutoUpdate()
{
    if (!m_s.options.UseAutoUpdate || m_startupInProgress)
        return;
    bool ok = false;
    const int days = m_s.options.AUDays.trimmed().toInt(&ok);
    // A stored text may hold any number; only a real interval is one (and negating a
    // huge one would overflow).
    if (!ok || days < 0 || days > kMaxUpdateIntervalDays)
        return;
    // The stored forms are read the same in every locale; a text that no form reads
    // counts as an update long ago.
    const QDate today = m_s.clock.now().date();
    const QDate last = lastUpdateDate(m_s.options.LastUpdate, today);
    if (today.addDays(-days) > last) {
        // Fires once per run: the flag stays set from here on.
        m_startupInProgress = true;
        Q_EMIT autoUpdateDue();
    }
}

// --- kill effects --------------------------------------------------------------------------

QString MainController::killSoundFile() const
{
    return m_s.registry.ReadRegistryValue(RegistryRoot::CurrentUser, kSoundReadKey, QString())
        .toString();
}

void MainController::playKillSound()
{
    if (m_s.options.Sound)
        m_s.sound.play(killSoundFile());
}

// --- signalling ----------------------------------------------------------------------------

void MainController::writeForceShow(SettingsStore &store, ForceShow value)
{
    store.write(kOptionsSection, kForceShowKey, QString::number(int(value)));
    store.save();
}

int MainController::readForceShow(const SettingsStore &store)
{
    return store.read(kOptionsSection, kForceShowKey, QStringLiteral("0")).trimmed().toInt();
}

// --- saving and ending ---------------------------------------------------------------------

bool MainController::SaveProgramSettings(bool unattended)
{
    return saveAllSettings(unattended, true);
}

bool MainController::saveSettingsNow(bool unattended)
{
    return saveAllSettings(unattended, false);
}

bool MainController::saveAllSettings(bool unattended, bool endOfProgram)
{
    QStringList errors;
    for (const SaveStep &step : m_listSavers) {
        const QString error = step();
        if (!error.isEmpty())
            errors.append(error);
    }
    QString error;
    if (!m_s.settings.saveOptions(&error))
        errors.append(error);
    for (const SaveStep &step : m_mailSavers) {
        const QString mailError = step();
        if (!mailError.isEmpty())
            errors.append(mailError);
    }
    if (endOfProgram)
        m_s.tray.setPresent(false);
    if (errors.isEmpty())
        return true;
    const QString text = QStringLiteral("K-Vorn could not save everything:\n\n%1\n\n"
                                        "The files that were there before are unchanged.")
                             .arg(errors.join(QLatin1Char('\n')));
    if (unattended)
        Q_EMIT unattendedSaveFailed(text);
    else
        m_s.prompt.message(text, Prompt::Buttons::Ok, Prompt::Icon::Warning,
                           QStringLiteral("K-Vorn"));
    return false;
}

void MainController::stopTimersForExit()
{
    forEachLoop([](EngineLoop &loop) { loop.stopLoop(); });
    m_mailLoop.stop();
}

void MainController::flushAll()
{
    for (const auto &flush : m_flushers)
        flush();
}

bool MainController::exitProgram(ExitKind kind)
{
    // A request to end while an end is under way (a second signal, the signal timer's
    // "ForceShow" beside the socket's request, a signal during a box) changes nothing.
    if (m_shuttingDown || m_exiting)
        return true;
    const auto ask = [this] {
        return m_s.prompt.message(QStringLiteral("Do you really want to exit K-Vorn?"),
                                  Prompt::Buttons::YesNo, Prompt::Icon::Question,
                                  QStringLiteral("K-Vorn")) == Prompt::Answer::Yes;
    };
    const auto saveAll = [this](bool unattended) {
        Q_EMIT exitStarted();
        stopTimersForExit();
        flushAll();
        SaveProgramSettings(unattended);
    };

    switch (kind) {
    case ExitKind::FileExit:
        m_exiting = true;
        saveAll(false);
        if (!ask()) {
            // Declined: keep working as before instead of staying half stopped.
            m_exiting = false;
            forEachLoop([](EngineLoop &loop) { loop.continueLoop(); });
            if (m_mailLoop.interval() > 0)
                m_mailLoop.start();
            m_s.tray.setPresent(m_s.options.ShowInTray);
            return false;
        }
        break;
    case ExitKind::TrayExit:
        if (!ask())
            return false;
        if (m_shuttingDown || m_exiting)
            return true; // ended some other way while the question was open
        m_exiting = true;
        saveAll(false);
        break;
    case ExitKind::SessionEnd:
        m_exiting = true;
        saveAll(true);
        break;
    case ExitKind::ForceClose:
        m_exiting = true;
        saveAll(false);
        break;
    }
    m_shuttingDown = true;
    m_signal.stop();
    Q_EMIT quitNow();
    return true;
}

} // namespace kvorn

// SPDX-License-Identifier: GPL-3.0-or-later
// The composition root: the only place that creates the real platform objects.
#include "banner/BannerList.h"
#include "banner/SystemHosts.h"
#include "core/MainController.h"
#include "core/Options.h"
#include "core/ProgramFolder.h"
#include "core/ProgramSettings.h"
#include "core/RegistryFunctions.h"
#include "core/SettingsStore.h"
#include "core/SingleInstance.h"
#include "core/UnixSignalWatcher.h"
#include "log/KillCounters.h"
#include "log/KillLog.h"
#include "log/KillNotifier.h"
#include "mail/MailCheck.h"
#include "mail/MailExitSave.h"
#include "mail/MailLists.h"
#include "mail/MailProcessor.h"
#include "mail/MailSettings.h"
#include "mail/MessageListModel.h"
#include "mail/SpamClassifier.h"
#include "platform/AddressReaderProcess.h"
#include "platform/CanberraSoundPlayer.h"
#include "platform/CaresResolver.h"
#include "platform/Clock.h"
#include "platform/CombinedWindowSystem.h"
#include "platform/IniRegistry.h"
#include "platform/wayland/WaylandWindowSystem.h"
#include "platform/KeychainSecretStore.h"
#include "platform/x11/X11KeyboardState.h"
#include "platform/x11/X11WindowSystem.h"
#include "popups/HotKeys.h"
#include "popups/PopupCommands.h"
#include "popups/PopupKiller.h"
#include "popups/PopupLists.h"
#include "popups/PopupLoop.h"
#include "update/UpdateSignature.h"
#include "shell/BannerScreen.h"
#include "shell/MailCommands.h"
#include "shell/MailListsWindow.h"
#include "shell/MailScreen.h"
#include "shell/MainWindow.h"
#include "shell/PopupCommandsView.h"
#include "shell/PopupPanels.h"
#include "shell/QtFileChooser.h"
#include "shell/QtDesktopShell.h"
#include "shell/QtTrayIcon.h"
#include "shell/ShellCommands.h"
#include "shell/TipWindow.h"
#include "shell/UpdateCommands.h"
#include "shell/WidgetPrompt.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSessionManager>
#include <QTimer>
#include <cstdio>
#include <syslog.h>
#include <memory>
#include <optional>
#include <utility>

using namespace kvorn;

namespace {

const QString kUnprotectedPasswordsText = QStringLiteral(
    "No keyring answered, so the mail account passwords are kept in kvorn.ini, encoded but "
    "not protected: anyone who can read that file can read them.");

struct CommandLine
{
    bool forceClose = false;
    bool debug = false;
    bool help = false;
    bool version = false;
    QString unknown; ///< the first argument that is neither ours nor Qt's
};

/// Qt's own options (QGuiApplication and QApplication take them out of argv); the first
/// group takes the next argument as its value.
bool isQtOption(const QString &arg, bool *takesValue)
{
    static const QStringList withValue = {
        QStringLiteral("platform"), QStringLiteral("platformpluginpath"),
        QStringLiteral("platformtheme"), QStringLiteral("plugin"),
        QStringLiteral("qwindowgeometry"), QStringLiteral("geometry"),
        QStringLiteral("qwindowicon"), QStringLiteral("icon"),
        QStringLiteral("qwindowtitle"), QStringLiteral("title"),
        QStringLiteral("session"), QStringLiteral("display"), QStringLiteral("name"),
        QStringLiteral("style"), QStringLiteral("stylesheet")};
    static const QStringList alone = {QStringLiteral("reverse"), QStringLiteral("widgetcount"),
                                      QStringLiteral("nograb"), QStringLiteral("dograb"),
                                      QStringLiteral("testability")};
    if (!arg.startsWith(QLatin1Char('-')))
        return false;
    QString name = arg.mid(arg.startsWith(QLatin1String("--")) ? 2 : 1);
    const qsizetype equals = name.indexOf(QLatin1Char('='));
    if (equals >= 0)
        name.truncate(equals);
    *takesValue = equals < 0 && withValue.contains(name);
    return withValue.contains(name) || alone.contains(name) ||
           name == QLatin1String("qmljsdebugger");
}

CommandLine parseCommandLine(int argc, char **argv)
{
    CommandLine cl;
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));
    // The whole command line must be "/forceclose"; "/debug" may stand anywhere.
    const QString whole = args.join(QLatin1Char(' '));
    cl.forceClose = whole == QLatin1String("/forceclose") || whole == QLatin1String("--forceclose");
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        bool takesValue = false;
        if (arg.compare(QLatin1String("/debug"), Qt::CaseInsensitive) == 0 ||
            arg == QLatin1String("--debug"))
            cl.debug = true;
        else if (arg == QLatin1String("--help") || arg == QLatin1String("-h"))
            cl.help = true;
        else if (arg == QLatin1String("--version"))
            cl.version = true;
        else if (arg == QLatin1String("/forceclose") || arg == QLatin1String("--forceclose"))
            continue; // honoured only alone, as above
        else if (isQtOption(arg, &takesValue))
            i += takesValue ? 1 : 0;
        else if (cl.unknown.isEmpty())
            cl.unknown = arg;
    }
    return cl;
}

void printHelp(std::FILE *out = stdout)
{
    std::fprintf(out, "Usage: kvorn [/forceclose | --forceclose] [/debug | --debug]\n"
                "\n"
                "K-Vorn screens popups, spam mail and advertising banners for you.\n"
                "It runs in the system tray; a second start shows the running one's window.\n"
                "\n"
                "  /forceclose, --forceclose  end the running K-Vorn (saving its settings)\n"
                "  /debug, --debug            report what the program does on stderr\n"
                "  --help                     show this help\n"
                "  --version                  show the version\n"
                "\n"
                "Files: $KVORN_HOME (default $XDG_DATA_HOME/kvorn) holds the lists and the log;\n"
                "$XDG_CONFIG_HOME/kvorn/kvorn.ini holds the settings.\n");
}

/// The read-only data the program folder is seeded from: the installed copy beside the
/// program, else the source tree's.
QString seedFolder()
{
    const QString installed =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral(KVORN_DATA_FROM_BIN));
    if (QFileInfo(installed).isDir())
        return QDir::cleanPath(installed);
    return QStringLiteral(KVORN_SOURCE_DATA);
}

/// The privileged hosts helper: the installed one beside the program, else the one of the
/// build tree. pkexec matches the polkit action by this exact path, so it is kept clean.
QString hostsHelperPath()
{
    const QString installed = QDir(QCoreApplication::applicationDirPath())
                                  .filePath(QStringLiteral(KVORN_HOSTS_HELPER_FROM_BIN));
    if (QFileInfo(installed).isExecutable())
        return QDir::cleanPath(installed);
    return QStringLiteral(KVORN_BUILD_HOSTS_HELPER);
}

/// The browser-address reader: the installed one beside the program, else the build tree's.
QString addressReaderPath()
{
    const QString installed = QDir(QCoreApplication::applicationDirPath())
                                  .filePath(QStringLiteral(KVORN_ADDRESS_READER_FROM_BIN));
    if (QFileInfo(installed).isExecutable())
        return QDir::cleanPath(installed);
    return QStringLiteral(KVORN_BUILD_ADDRESS_READER);
}

/// The desktop's windows: those of the X server (XWayland included in a Wayland session),
/// and in a Wayland session the compositor's own where it offers the foreign-toplevel
/// protocol.
struct DesktopWindows
{
    std::unique_ptr<AddressReaderProcess> addresses;
    std::unique_ptr<X11WindowSystem> x11;
    std::unique_ptr<WaylandWindowSystem> wayland;
    std::unique_ptr<WindowSystem> combinedOrNone;
    WindowSystem *windows = nullptr;
    bool waylandSession = false;
    /// A Wayland session whose compositor does not show its windows to other programs.
    bool waylandUnseen = false;
    QString description;
};

DesktopWindows openDesktopWindows()
{
    DesktopWindows d;
    const QString platform = QGuiApplication::platformName();
    d.waylandSession = platform == QLatin1String("wayland") ||
                       !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
                       qgetenv("XDG_SESSION_TYPE") == "wayland";
    const bool onX11 = platform == QLatin1String("xcb");
    const bool onDesktop = onX11 || platform == QLatin1String("wayland");
    if (onX11 || (onDesktop && !qEnvironmentVariableIsEmpty("DISPLAY"))) {
        d.x11 = std::make_unique<X11WindowSystem>();
        if (!d.x11->connected()) {
            d.x11.reset();
        } else {
            // Browsers show their page addresses on the accessibility bus, not to X.
            d.addresses = std::make_unique<AddressReaderProcess>(addressReaderPath());
            if (d.addresses->available())
                d.x11->setAddressSource(d.addresses.get());
            else
                d.addresses.reset();
        }
    }
    if (onDesktop && d.waylandSession) {
        d.wayland = std::make_unique<WaylandWindowSystem>();
        if (!d.wayland->offersToplevels()) {
            d.wayland.reset();
            d.waylandUnseen = true;
        }
    }
    if (d.x11 && d.wayland)
        d.combinedOrNone = std::make_unique<CombinedWindowSystem>(*d.x11, *d.wayland);
    else if (!d.x11 && !d.wayland)
        d.combinedOrNone = std::make_unique<NoWindowSystem>();
    if (d.combinedOrNone)
        d.windows = d.combinedOrNone.get();
    else if (d.x11)
        d.windows = d.x11.get();
    else
        d.windows = d.wayland.get();
    QStringList seen;
    if (d.x11)
        seen.append(QStringLiteral("X11 windows"));
    if (d.wayland)
        seen.append(QStringLiteral("Wayland windows"));
    if (d.waylandUnseen)
        seen.append(QStringLiteral("no Wayland windows (the compositor does not show them)"));
    if (seen.isEmpty())
        seen.append(QStringLiteral("no windows"));
    d.description = QStringLiteral("popup killer sees ") + seen.join(QStringLiteral(", "));
    if (d.addresses)
        d.description += QStringLiteral("; browser addresses from the accessibility bus");
    return d;
}

void debugLine(bool debug, const QString &text)
{
    if (debug) {
        std::fprintf(stderr, "kvorn: %s\n", qPrintable(text));
        std::fflush(stderr);
    }
}

} // namespace

int main(int argc, char **argv)
{
    const CommandLine cl = parseCommandLine(argc, argv);
    if (cl.help) {
        printHelp();
        return 0;
    }
    // A mistyped option must not start a second program that does something else than asked.
    if (!cl.unknown.isEmpty()) {
        std::fprintf(stderr, "kvorn: unknown option '%s'\n\n", qPrintable(cl.unknown));
        printHelp(stderr);
        return 2;
    }
    if (cl.version) {
        std::printf("K-Vorn %s\n", KVORN_VERSION);
        return 0;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kvorn"));
    QApplication::setApplicationDisplayName(QStringLiteral("K-Vorn"));
    QApplication::setApplicationVersion(QStringLiteral(KVORN_VERSION));
    // Ties the windows to the installed desktop entry (its name and icon on Wayland).
    QGuiApplication::setDesktopFileName(QStringLiteral("org.kvorn.KVorn"));
    QApplication::setQuitOnLastWindowClosed(false);

    const ProgramPaths paths = ProgramPaths::fromEnvironment();
    SettingsStore store(paths.settingsFile());
    SingleInstance instance(paths.configFolder);

    if (cl.forceClose) {
        // Written in any case: an instance that is starting right now sees it and ends.
        MainController::writeForceShow(store, ForceShow::End);
        if (instance.sendToRunning("end"))
            debugLine(cl.debug, QStringLiteral("another instance runs; it was asked to end"));
        return 0;
    }
    switch (instance.claimOrSend("show")) {
    case SingleInstance::Role::Second:
        debugLine(cl.debug,
                  QStringLiteral("another instance runs; it was asked to show its window"));
        return 0;
    case SingleInstance::Role::Failed:
        QApplication::beep();
        MainController::writeForceShow(store, ForceShow::Show);
        debugLine(cl.debug, QStringLiteral("another instance holds the lock but does not "
                                           "answer; it was asked to show its window"));
        return 0;
    case SingleInstance::Role::First:
        break;
    }
    if (!instance.lastError().isEmpty())
        debugLine(true, instance.lastError());
    MainController::writeForceShow(store, ForceShow::None);

    debugLine(cl.debug, QStringLiteral("default data from %1").arg(seedFolder()));
    if (!prepareProgramFolder(paths.programFolder, seedFolder()))
        debugLine(true,
                  QStringLiteral("cannot create the program folder %1").arg(paths.programFolder));

    IniRegistry registry(paths.registryFile());
    RegistryFunctions registryFunctions(registry, paths.autostartFolder);
    WidgetPrompt prompt;
    Options options;
    ProgramSettings settings(options, store, registryFunctions, prompt);
    settings.setRunCommand(QCoreApplication::applicationFilePath());
    SystemClock clock;

    settings.LoadMyOptions(clock.now().date());
    MailSettings mailSettings;
    LoadMailSettings(store, mailSettings, prompt, clock.now().date());

    QtTrayIcon tray;
    DesktopWindows desktop = openDesktopWindows();
    WindowSystem &windowSystem = *desktop.windows;
    // A Wayland session shows no program the keyboard of another one: the keys the popup
    // killer polls (Ctrl to let windows open, Ctrl+Z, the hot keys) stay off there.
    std::unique_ptr<KeyboardState> keyboard;
    const bool keysRead =
        QGuiApplication::platformName() == QLatin1String("xcb") && !desktop.waylandSession;
    if (keysRead)
        keyboard = std::make_unique<X11KeyboardState>();
    else
        keyboard = std::make_unique<NoKeyboard>();
    debugLine(cl.debug, desktop.description);
    QtDesktopShell desktopShell;
    CanberraSoundPlayer sound;

    MainController controller(
        {options, store, settings, registryFunctions, tray, sound, prompt, clock},
        paths.programFolder);
    controller.setStartupInProgress(true);

    // From here on an end asked for (by a signal, by "/forceclose") is never lost: while the
    // program is being set up it is kept and honoured as soon as the program runs, since a
    // save before then would write lists and settings not read yet.
    bool started = false;
    std::optional<ExitKind> endWhileStarting;
    bool showWhileStarting = false;
    MainWindow *mainWindow = nullptr;
    const auto endProgram = [&](ExitKind kind) {
        if (started)
            controller.exitProgram(kind);
        else if (!endWhileStarting)
            endWhileStarting = kind;
    };
    QObject::connect(&instance, &SingleInstance::requestReceived, &controller,
                     [&](const QByteArray &request) {
                         if (request == "show") {
                             if (!started) {
                                 showWhileStarting = true;
                                 return;
                             }
                             mainWindow->openWindow();
                             debugLine(cl.debug, QStringLiteral("window shown on request"));
                         } else if (request == "end") {
                             debugLine(cl.debug, QStringLiteral("asked to end"));
                             store.reload();
                             MainController::writeForceShow(store, ForceShow::None);
                             endProgram(ExitKind::ForceClose);
                         }
                     });
    UnixSignalWatcher signalWatcher;
    QObject::connect(
        &signalWatcher, &UnixSignalWatcher::terminationRequested, &controller, [&](int number) {
            debugLine(cl.debug, QStringLiteral("signal %1: saving and ending").arg(number));
            endProgram(ExitKind::SessionEnd);
        });
    // Not quit(): that first closes every window and gives up when one stays open, and the
    // main window only hides on close, which left a tip or statistics window (and the
    // program) running after "Exit". An end that comes inside a box of the start (its
    // event loop) ends that box, and the main loop is then not entered at all.
    bool quitting = false;
    QObject::connect(
        &controller, &MainController::quitNow, &app,
        [&quitting] {
            quitting = true;
            QCoreApplication::exit(0);
        },
        Qt::QueuedConnection);

    KillLog killLog(options, controller, clock, paths.programFolder);
    KillNotifier killNotifier(killLog, options, tray);
    PopupLoop popupLoop({options, *keyboard, tray, controller});
    PopupLists popupLists({controller, tray, clock}, paths.programFolder);
    BannerList bannerList(paths.programFolder, tray, clock, controller);
    MailAccounts mailAccounts;
    MessageListModel mailList;
    PopupKiller popupKiller(
        {popupLoop, popupLists, killLog, windowSystem, desktopShell, options, clock});
    MailCheck mailCheck({mailSettings, mailAccounts, mailList, prompt, &controller, &options});
    MailLists mailLists(paths.programFolder, clock);
    CaresResolver dnsResolver(CaresResolverSettings{mailSettings.DnsServers});
    SpamClassifier spamClassifier(mailLists, mailList, mailSettings, dnsResolver);
    spamClassifier.setServerSwitch([&](const QString &servers) { dnsResolver.setServers(servers); },
                                   mailSettings.DnsServers);
    spamClassifier.attachTo(mailCheck);
    MailProcessor mailProcessor(
        {mailCheck, mailList, mailSettings, mailAccounts, prompt, &killLog, &controller});

    MainWindow window(controller, tray, options);
    mainWindow = &window;
    prompt.setParent(&window);
    const PopupPanels popupPanels = installPopupPanels(window, popupLists);
    QTreeView *detectedView =
        installDetectedPanel(window, popupLists, popupKiller, popupPanels.logList);
    QtFileChooser fileChooser(&window);
    PopupCommands popupCommands({popupLists, popupLoop, controller, prompt, fileChooser},
                                paths.programFolder);
    auto *popupView = new PopupCommandsView({window, controller, popupLoop, popupLists,
                                             popupCommands, prompt, clock, options,
                                             registryFunctions, &windowSystem},
                                            popupPanels, detectedView);
    if (!keysRead)
        popupView->setKeysUnavailable(QStringLiteral(
            "On Wayland no program may read the keyboard of another one: the hot keys, "
            "Ctrl to let windows open and Ctrl+Z are off."));
    HotKeys hotKeys({popupLoop, popupLists, popupKiller, *keyboard, windowSystem, desktopShell,
                     prompt, options});
    QObject::connect(&hotKeys, &HotKeys::quickAddRequested, popupView,
                     [popupView](const QString &title) { popupView->addCommand(true, title); });
    MailScreenView *mailScreen = installMailScreen(window, mailCheck, mailList);
    installMailFilter(window, *mailScreen, mailProcessor, mailLists, mailList, prompt);
    // Account passwords go into the desktop's keyring where one answers; without one they
    // stay in the settings file, encoded as always, and the user is told once.
    std::unique_ptr<KeychainSecretStore> keyring;
    if (KeychainSecretStore::sessionBusPresent())
        keyring = std::make_unique<KeychainSecretStore>(QStringLiteral("K-Vorn"));
    MailPasswordStore passwords{keyring.get()};
    const auto saveMail = [&] {
        return saveMailAtExit(store, mailSettings, mailAccounts, killLog.mailCounters(),
                              mailLists, &passwords);
    };
    bool unprotectedSaid = false;
    // The mail dialogs save at once when closed with OK or Close, so that a crash later in
    // the run does not take the edits with it.
    new MailCommands(window, *mailScreen,
                     {mailSettings, mailAccounts, mailLists, mailList, mailCheck, mailProcessor,
                      prompt, store,
                      [&] {
                          const QString error = saveMail();
                          if (passwords.storedUnprotected && !unprotectedSaid) {
                              unprotectedSaid = true;
                              prompt.message(kUnprotectedPasswordsText, Prompt::Buttons::Ok,
                                             Prompt::Icon::Warning, QStringLiteral("K-Vorn"));
                          }
                          return error;
                      },
                      [&] { return loadMailListsWithProgress(mailLists, &controller, &window); },
                      &controller, keyring.get()});
    SystemHosts systemHosts(hostsHelperPath());
    debugLine(cl.debug, QStringLiteral("hosts helper %1").arg(hostsHelperPath()));
    installBannerScreen(window, bannerList, prompt, options, &systemHosts);
    installShellCommands(
        window, {killLog, options, store, desktopShell, paths.programFolder,
                 findHelpPage(QCoreApplication::applicationDirPath(),
                              QStringLiteral(KVORN_SOURCE_DATA "/../doc/help.html"))});

    // The load step: counters first, then the controller's part, then the lists.
    readMailCounters(store, killLog.mailCounters());
    killLog.rollOverCounters();
    controller.load();
    if (desktop.waylandUnseen)
        controller.UpdateStatusBar(PopupScreen, 4,
                                   QStringLiteral("Wayland windows cannot be seen"));
    window.restorePlace(store);
    const auto showError = [&prompt](const QString &error) {
        if (!error.isEmpty())
            prompt.message(error, Prompt::Buttons::Ok, Prompt::Icon::Critical,
                           QStringLiteral("K-Vorn"));
    };
    // What the start found wrong is told once the program runs: a box waits for the user,
    // and the start (the survey, the tray, an end asked for) must not wait with it.
    QStringList startProblems;
    const auto tellOnceRunning = [&startProblems](const QString &error) {
        if (!error.isEmpty())
            startProblems.append(error);
    };
    tellOnceRunning(store.loadProblem());
    tellOnceRunning(popupLists.LoadBlackList());
    tellOnceRunning(popupLists.LoadWhiteList());
    tellOnceRunning(bannerList.LoadBannerList());
    window.ApplyDisplayOptions();
    mailCheck.startPeriodicTimerIfOn();
    if (TipWindow::wantedAtStartup(store, options))
        TipWindow::open(store, options, paths.programFolder);

    // Saved at every end of the program, lists before the mail settings.
    controller.addListSaver([&] { return popupLists.saveAll(); });
    controller.addMailSaver(saveMail);
    controller.addFlusher([&] { killLog.FlushLog(); });
    // Found while the engines run, with nobody waiting for an answer: the status bar and a
    // notification say it, a box would stop the popup killer until somebody pressed OK.
    QObject::connect(&killLog, &KillLog::writeFailed, &controller, [&](const QString &error) {
        debugLine(true, error);
        controller.reportProblem(QStringLiteral("log"),
                                 error + QStringLiteral(" (the kill records wait in memory)"));
    });
    QObject::connect(&killLog, &KillLog::writeRecovered, &controller,
                     [&] { controller.reportProblem(QStringLiteral("log"), QString()); });
    const auto reportSave = [&](const QString &source) {
        return [&controller, source](const QString &error) {
            if (!error.isEmpty())
                debugLine(true, error);
            controller.reportProblem(source, error);
        };
    };
    QObject::connect(&popupLists, &PopupLists::autoSaved, &controller,
                     reportSave(QStringLiteral("popup lists")));
    QObject::connect(&mailLists, &MailLists::autoSaved, &controller,
                     reportSave(QStringLiteral("mail lists")));

    QObject::connect(&controller, &MainController::showWindowRequested, &controller,
                     [&] { debugLine(cl.debug, QStringLiteral("window shown on request")); });
    QObject::connect(&controller, &MainController::unattendedSaveFailed, &controller,
                     [](const QString &text) {
                         // Nobody is there to read a box: the terminal and the system log.
                         const QByteArray line = QString(text).replace(QLatin1Char('\n'), QLatin1Char(' ')).simplified().toLocal8Bit();
                         std::fprintf(stderr, "kvorn: %s\n", line.constData());
                         std::fflush(stderr);
                         ::syslog(LOG_USER | LOG_WARNING, "%s", line.constData());
                     });
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &controller,
                     [&](QSessionManager &) { controller.exitProgram(ExitKind::SessionEnd); });
    // Only this build's own key may let a downloaded program run.
    installUpdateCommands(window, {options, store, controller, popupLists, popupLoop, mailLists,
                                   mailList, prompt, clock, paths.programFolder,
                                   publicKeyFromHex(QStringLiteral(KVORN_UPDATE_PUBLIC_KEY))});
    QObject::connect(
        &controller, &MainController::autoUpdateDue, &controller,
        [&] { debugLine(cl.debug, QStringLiteral("an automatic update is due")); },
        Qt::QueuedConnection);
    if (cl.debug) {
        // Each change of the status bar once, so that a log shows what the program did.
        auto last = std::make_shared<QString>();
        QObject::connect(
            &controller, &MainController::statusBarChanged, &controller,
            [last](const QString &p1, const QString &p2, const QString &p3, const QString &p4) {
                const QString line = QStringList{p1, p2, p3, p4}.join(QStringLiteral(" | "));
                if (line != *last)
                    debugLine(true, QStringLiteral("status: ") + (*last = line));
            });
    }

    QCoreApplication::processEvents();
    LoadMailAccounts(store, mailSettings, mailAccounts, keyring.get());
    tellOnceRunning(loadMailListsWithProgress(mailLists, &controller, &window));
    controller.setStartupInProgress(false);
    started = true;
    if (endWhileStarting) {
        controller.exitProgram(*endWhileStarting);
    } else if (!controller.isShuttingDown()) {
        if (showWhileStarting)
            window.openWindow();
        if (mailSettings.DefaultOnStart)
            mailCheck.GetNewMail();
    }
    QTimer::singleShot(0, &controller, [&] {
        for (const QString &problem : std::as_const(startProblems)) {
            if (quitting || controller.isShuttingDown())
                break;
            showError(problem);
        }
    });
    debugLine(cl.debug, QStringLiteral("running; program folder %1").arg(paths.programFolder));
    const int rc = quitting ? 0 : QApplication::exec();
    debugLine(cl.debug, QStringLiteral("ended"));
    return rc;
}

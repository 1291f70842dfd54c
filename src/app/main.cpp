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
#include <cstdio>
#include <syslog.h>
#include <memory>
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
};

CommandLine parseCommandLine(int argc, char **argv)
{
    CommandLine cl;
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));
    // The whole command line must be "/forceclose"; "/debug" may stand anywhere.
    const QString whole = args.join(QLatin1Char(' '));
    cl.forceClose = whole == QLatin1String("/forceclose") || whole == QLatin1String("--forceclose");
    for (const QString &arg : args) {
        if (arg.compare(QLatin1String("/debug"), Qt::CaseInsensitive) == 0 ||
            arg == QLatin1String("--debug"))
            cl.debug = true;
        else if (arg == QLatin1String("--help") || arg == QLatin1String("-h"))
            cl.help = true;
        else if (arg == QLatin1String("--version"))
            cl.version = true;
    }
    return cl;
}

void printHelp()
{
    std::printf("Usage: kvorn [/forceclose | --forceclose] [/debug | --debug]\n"
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
    showError(store.loadProblem());
    showError(popupLists.LoadBlackList());
    showError(popupLists.LoadWhiteList());
    bannerList.LoadBannerList();
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

    QObject::connect(&instance, &SingleInstance::requestReceived, &controller,
                     [&](const QByteArray &request) {
                         if (request == "show") {
                             window.openWindow();
                             debugLine(cl.debug, QStringLiteral("window shown on request"));
                         } else if (request == "end") {
                             debugLine(cl.debug, QStringLiteral("asked to end"));
                             store.reload();
                             MainController::writeForceShow(store, ForceShow::None);
                             controller.exitProgram(ExitKind::ForceClose);
                         }
                     });
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
    UnixSignalWatcher signalWatcher;
    QObject::connect(
        &signalWatcher, &UnixSignalWatcher::terminationRequested, &controller, [&](int number) {
            debugLine(cl.debug, QStringLiteral("signal %1: saving and ending").arg(number));
            controller.exitProgram(ExitKind::SessionEnd);
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
    // Not quit(): that first closes every window and gives up when one stays open, and the
    // main window only hides on close, which left a tip or statistics window (and the
    // program) running after "Exit".
    QObject::connect(
        &controller, &MainController::quitNow, &app, [] { QCoreApplication::exit(0); },
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
    showError(loadMailListsWithProgress(mailLists, &controller, &window));
    controller.setStartupInProgress(false);
    if (mailSettings.DefaultOnStart)
        mailCheck.GetNewMail();
    debugLine(cl.debug, QStringLiteral("running; program folder %1").arg(paths.programFolder));
    const int rc = QApplication::exec();
    debugLine(cl.debug, QStringLiteral("ended"));
    return rc;
}

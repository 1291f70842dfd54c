// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/MainWindow.h"

#include "core/MainController.h"
#include "core/Options.h"
#include "shell/ColumnFit.h"
#include "shell/QtTrayIcon.h"
#include "shell/ScrambleDelegate.h"
#include "shell/WindowPlace.h"

#include <QAction>
#include <QAbstractItemView>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QHideEvent>
#include <QResizeEvent>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <QTreeView>
#include <QLabel>
#include <QMenuBar>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTabBar>
#include <QVBoxLayout>

namespace kvorn {

namespace {
struct TabDef
{
    const char *caption;
    const char *key;
    const char *tip;
};
constexpr TabDef kScreenTabs[] = {
    {"&Popup Killer", "tsKpopup", "Popup Window Killer"},
    {"Ma&il Filter", "tsKmail", "Mail Filter: checks your mailboxes and deletes spam"},
    {"&Banner Blocker", "tsKbanner", "Banner Blocker Tool"},
};
constexpr TabDef kPanelTabs[] = {
    {"Detected", "tsDetected", "Detected Windows"},
    {"Blacklist", "tsPopups", "Black List Items"},
    {"Whitelist", "tsExclusions", "Exclusions"},
    {"Log", "tsLog", "Log of closed items"},
    {"Banned", "tsBanned", "Banned Items"},
};
// Twips are 15 to the pixel at 96 dots per inch.
constexpr int kMinWidthPx = 5800 / 15;
constexpr int kMinHeightPx = 5000 / 15;
} // namespace

MainWindow::MainWindow(MainController &controller, QtTrayIcon &tray, Options &options,
                       QWidget *parent)
    : QMainWindow(parent), m_controller(controller), m_tray(tray), m_options(options)
{
    setObjectName(QStringLiteral("frmKmain"));
    setWindowTitle(QStringLiteral("K-Vorn"));
    setWindowIcon(QtTrayIcon::pictureIcon(TrayPicture::Active));
    setMinimumSize(kMinWidthPx, kMinHeightPx);
    resize(5085 / 15, 5580 / 15);

    buildMenus();
    buildScreens();
    buildStatusBar();
    buildTrayMenu();

    connect(&m_controller, &MainController::statusBarChanged, this, &MainWindow::showStatus);
    connect(&m_controller, &MainController::showWindowRequested, this, &MainWindow::openWindow);
    connect(&m_controller, &MainController::disabledChanged, this, [this](bool disabled) {
        m_disable->setChecked(disabled);
        m_trayDisable->setChecked(disabled);
    });
    connect(&m_controller, &MainController::debugChanged, this,
            [this](bool on) { m_debug->setChecked(on); });
    connect(&m_tray, &TrayIcon::doubleClicked, this, &MainWindow::onTrayDoubleClick);
    connect(&m_tray, &TrayIcon::mouseUp, this, &MainWindow::onTrayMouseUp);

    // A drag sends dozens of resize events a second: the lists are fitted once it rests.
    m_fitLater = new QTimer(this);
    m_fitLater->setSingleShot(true);
    m_fitLater->setInterval(100);
    connect(m_fitLater, &QTimer::timeout, this, &MainWindow::fitListColumns);

    selectScreen(PopupScreen);
}

MainWindow::~MainWindow() = default;

QAction *MainWindow::addItem(QMenu *menu, const QString &name, const QString &caption,
                             const QKeySequence &shortcut)
{
    auto *item = menu->addAction(caption);
    item->setObjectName(name);
    if (!shortcut.isEmpty())
        item->setShortcut(shortcut);
    m_actions.insert(name, item);
    return item;
}

QMenu *MainWindow::addMenu(QMenu *parentMenu, const QString &name, const QString &caption)
{
    QMenu *menu = parentMenu ? parentMenu->addMenu(caption) : menuBar()->addMenu(caption);
    menu->setObjectName(name);
    m_menus.insert(name, menu);
    return menu;
}

QAction *MainWindow::action(const QString &name) const
{
    return m_actions.value(name);
}

QMenu *MainWindow::menu(const QString &name) const
{
    return m_menus.value(name);
}

void MainWindow::buildMenus()
{
    const auto S = [](const char *text) { return QString::fromUtf8(text); };

    QMenu *file = addMenu(nullptr, S("mnuFile"), S("&File"));
    // "Open" has never had a command, and the online update is not built yet.
    addItem(file, S("mnuFileOpen"), S("&Open"))->setEnabled(false);
    QMenu *load = addMenu(file, S("mnuFileLoad"), S("&Load..."));
    m_popup.load = addItem(load, S("mnuLoadPopups"), S("Popup Blacklist"));
    m_mail.load = addItem(load, S("mnuLoadMail"), S("Mail Blacklist"));
    m_banner.load = addItem(load, S("mnuLoadBanner"), S("Banner Server List"));
    m_popup.merge = addItem(file, S("mnuFileMerge"), S("&Merge..."));
    m_popup.saveAs = addItem(file, S("mnuFileSaveAs"), S("Save &As..."));
    m_shell.update = addItem(file, S("mnuFileUpdate"), S("&Update..."));
    m_shell.update->setEnabled(false);
    m_popup.wipe = addItem(file, S("mnuFileWipe"), S("&Wipe"));
    file->addSeparator();
    connect(addItem(file, S("mnuFileExit"), S("&Exit")), &QAction::triggered, this,
            [this] { m_controller.exitProgram(ExitKind::FileExit); });

    QMenu *view = addMenu(nullptr, S("mnuView"), S("&View"));
    const char *screenItems[] = {"mnuViewPopups", "mnuViewMail", "mnuViewBanner"};
    const char *screenCaptions[] = {"K-&Popups", "K-&Mail", "K-&Banner"};
    for (int i = 0; i < 3; ++i) {
        QAction *item = addItem(view, S(screenItems[i]), S(screenCaptions[i]));
        item->setCheckable(true);
        m_viewScreen[i] = item;
        connect(item, &QAction::triggered, this, [this, i] { selectScreen(i + 1); });
    }
    view->addSeparator();
    QMenu *popupViews = addMenu(view, S("mnuPopupViews"), S("PopupViews"));
    const char *panelItems[] = {"mnuViewDetected", "mnuViewBlackList", "mnuViewWhitelist"};
    const char *panelCaptions[] = {"Detected", "BlackList", "Whitelist"};
    for (int i = 0; i < 3; ++i) {
        // The popup panels only exist on the popup screen, so go there first.
        connect(addItem(popupViews, S(panelItems[i]), S(panelCaptions[i])), &QAction::triggered,
                this, [this, i] {
                    selectScreen(PopupScreen);
                    selectPanel(i);
                });
    }
    m_shell.stats = addItem(view, S("mnuViewStats"), S("&Kill Statistics"));
    view->addSeparator();
    m_viewHide = addItem(view, S("mnuViewHide"), S("&Hide K-Vorn"), QKeySequence(Qt::Key_F4));
    connect(m_viewHide, &QAction::triggered, this, &MainWindow::hideWindow);

    QMenu *popup = addMenu(nullptr, S("mnuPopup"), S("P&opup"));
    m_popup.menu = popup;
    m_popup.add = addItem(popup, S("mnuPopAdd"), S("&Add..."), QKeySequence(Qt::CTRL | Qt::Key_A));
    m_popup.edit =
        addItem(popup, S("mnuPopEdit"), S("&Edit..."), QKeySequence(Qt::CTRL | Qt::Key_E));
    m_popup.remove =
        addItem(popup, S("mnuPopDelete"), S("&Delete"), QKeySequence(Qt::CTRL | Qt::Key_D));
    m_popup.find = addItem(popup, S("mnuPopFind"), S("&Find..."), QKeySequence(Qt::Key_F3));
    popup->addSeparator();
    m_popup.ban = addItem(popup, S("mnuPopBan"), S("&Ban it!"));
    m_popup.ban->setVisible(false);
    m_popup.whitelist = addItem(popup, S("mnuPopWhitelist"), S("&Whitelist (Exclude)"));

    // Beside "&Mail" on the mail screen: a name and an access key of its own.
    QMenu *mailList = addMenu(nullptr, S("mnuMailList"), S("Mail &List"));
    m_mail.listMenu = mailList;
    m_mail.check = addItem(mailList, S("mnuMailCheck"), S("&Check New Mail"));
    m_mail.process =
        addItem(mailList, S("mnuMailProcess"), S("&Process"), QKeySequence(Qt::Key_F6));
    m_mail.deleteMarked = addItem(mailList, S("mnuMailDeleteMarked"), S("&Delete Marked"),
                                  QKeySequence(Qt::SHIFT | Qt::Key_Delete));
    mailList->addSeparator();
    m_mail.stop =
        addItem(mailList, S("mnuMailStop"), S("&Stop Mail "), QKeySequence(Qt::CTRL | Qt::Key_F12));

    QMenu *settings = addMenu(nullptr, S("mnuSettings"), S("&Settings"));
    m_settingsMenu = settings;
    m_popup.options = addItem(settings, S("mnuOpPopup"), S("&Popup"));
    m_shell.proxy = addItem(settings, S("mnuOpProxy"), S("Pro&xy..."));
    m_shell.updateServer = addItem(settings, S("mnuOpUpdateServer"), S("Update &Server..."));
    // Enabled once their commands are bound.
    m_shell.proxy->setEnabled(false);
    m_shell.updateServer->setEnabled(false);
    // No command without its handler: the popup side enables these when it connects them.
    for (QAction *item : {m_popup.load, m_popup.merge, m_popup.saveAs, m_popup.wipe,
                          m_popup.options})
        item->setEnabled(false);
    settings->addSeparator();
    m_debug = addItem(settings, S("mnuOpDebug"), S("Debug"));
    m_debug->setCheckable(true);
    m_debug->setVisible(false);
    connect(m_debug, &QAction::triggered, this,
            [this] { m_controller.DebugTimersOff(!m_controller.debugChecked()); });
    m_disable = addItem(settings, S("mnuOpDisable"), S("&Disable"));
    m_disable->setCheckable(true);
    connect(m_disable, &QAction::triggered, this, [this] { m_controller.disableCommand(); });

    QMenu *mail = addMenu(nullptr, S("mnuMail"), S("&Mail"));
    m_mailMenu = mail;
    m_mail.accounts = addItem(mail, S("mnuMailAccounts"), S("&Accounts"));
    m_mail.options = addItem(mail, S("mnuMailOptions"), S("&Options"));
    m_mail.blacklist = addItem(mail, S("mnuMailBlacklist"), S("&Blacklist && Friends"));
    m_mail.filters = addItem(mail, S("mnuMailFilters"), S("&Filters"));

    QMenu *banners = addMenu(nullptr, S("mnuBanners"), S("Banner &Servers"));
    m_bannerMenu = banners;
    m_banner.selectAll = addItem(banners, S("mnuBanSelectAll"), S("Select All"));
    m_banner.selectNone = addItem(banners, S("mnuBanSelectNone"), S("Select None"));
    m_banner.invert = addItem(banners, S("mnuBanInvert"), S("Invert Selection"));
    m_banner.apply = addItem(banners, S("mnuBanApply"), S("&Apply Changes"));
    banners->addSeparator();
    m_banner.applySystem = addItem(banners, S("mnuBanApplySystem"), S("Apply to System"));
    m_banner.removeSystem = addItem(banners, S("mnuBanRemoveSystem"), S("Remove from System"));
    // Disabled until the banner screen finds the hosts helper to run them.
    m_banner.applySystem->setEnabled(false);
    m_banner.removeSystem->setEnabled(false);
    banners->addSeparator();

    QMenu *help = addMenu(nullptr, S("mnuHelp"), S("&Help"));
    m_shell.helpTopics =
        addItem(help, S("mnuHelpTopics"), S("Help Topics"), QKeySequence(Qt::Key_F1));
    m_shell.helpFaq = addItem(help, S("mnuHelpFAQ"), S("FAQ"));
    help->addSeparator();
    m_shell.helpIndex = addItem(help, S("mnuHelpIndex"), S("Index"));
    m_shell.tip = addItem(help, S("mnuHelpTip"), S("Tip of the Day"));
    help->addSeparator();
    m_shell.about = addItem(help, S("mnuHelpAbout"), S("&About..."));
}

void MainWindow::buildScreens()
{
    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(2);

    m_tsApp = new QTabBar(central);
    m_tsApp->setObjectName(QStringLiteral("tsApp"));
    for (const TabDef &tab : kScreenTabs) {
        const int index = m_tsApp->addTab(QString::fromUtf8(tab.caption));
        m_tsApp->setTabData(index, QString::fromLatin1(tab.key));
        m_tsApp->setTabToolTip(index, QString::fromUtf8(tab.tip));
    }
    layout->addWidget(m_tsApp);

    m_screens = new QStackedWidget(central);
    layout->addWidget(m_screens, 1);

    // Popup screen: the panel strip over the panels.
    auto *popupPage = new QWidget(m_screens);
    auto *popupLayout = new QVBoxLayout(popupPage);
    popupLayout->setContentsMargins(0, 0, 0, 0);
    popupLayout->setSpacing(0);
    m_tsPanels = new QTabBar(popupPage);
    m_tsPanels->setObjectName(QStringLiteral("tsPanels"));
    m_panels = new QStackedWidget(popupPage);
    for (const TabDef &tab : kPanelTabs) {
        const QString key = QString::fromLatin1(tab.key);
        auto *holder = new QWidget(m_panels);
        holder->setObjectName(key + QStringLiteral("Panel"));
        auto *holderLayout = new QVBoxLayout(holder);
        holderLayout->setContentsMargins(0, 0, 0, 0);
        m_panels->addWidget(holder);
        m_panelPages.insert(key, holder);
        // The banned list keeps its panel in the form but gets no tab.
        if (key == QLatin1String("tsBanned"))
            continue;
        const int index = m_tsPanels->addTab(QString::fromUtf8(tab.caption));
        m_tsPanels->setTabData(index, key);
        m_tsPanels->setTabToolTip(index, QString::fromUtf8(tab.tip));
    }
    m_emptyDetected = new QLabel(QStringLiteral("No items Detected or Detection is Disabled"));
    m_emptyDetected->setAlignment(Qt::AlignCenter);
    m_panelPages.value(QStringLiteral("tsDetected"))->layout()->addWidget(m_emptyDetected);
    popupLayout->addWidget(m_tsPanels);
    popupLayout->addWidget(m_panels, 1);
    m_screens->addWidget(popupPage);
    m_screenPages.insert(QStringLiteral("tsKpopup"), popupPage);

    for (const char *key : {"tsKmail", "tsKbanner"}) {
        auto *page = new QWidget(m_screens);
        page->setObjectName(QString::fromLatin1(key) + QStringLiteral("Panel"));
        auto *pageLayout = new QVBoxLayout(page);
        pageLayout->setContentsMargins(0, 0, 0, 0);
        m_screens->addWidget(page);
        m_screenPages.insert(QString::fromLatin1(key), page);
    }

    connect(m_tsApp, &QTabBar::currentChanged, this, &MainWindow::screenSwitch);
    connect(m_tsPanels, &QTabBar::currentChanged, this, &MainWindow::panelSwitch);
    setCentralWidget(central);
}

void MainWindow::buildStatusBar()
{
    statusBar()->setObjectName(QStringLiteral("sbInfo"));
    for (int i = 0; i < 4; ++i) {
        m_statusPanels[i] = new QLabel(statusBar());
        m_statusPanels[i]->setObjectName(QStringLiteral("pInfo%1").arg(i + 1));
        m_statusPanels[i]->setFrameShape(QFrame::StyledPanel);
        m_statusPanels[i]->setMinimumWidth(60);
        statusBar()->addWidget(m_statusPanels[i], 1);
    }
    // Problems found in the background stand here until they are over; a box would hold
    // up the popup killer until somebody answers it.
    m_problem = new QLabel(statusBar());
    m_problem->setObjectName(QStringLiteral("lblProblem"));
    m_problem->setFrameShape(QFrame::StyledPanel);
    m_problem->setStyleSheet(QStringLiteral("QLabel { color: #b00000; }"));
    m_problem->hide();
    statusBar()->addPermanentWidget(m_problem);
    connect(&m_controller, &MainController::problemChanged, this, [this](const QString &text) {
        // One line in the bar; the whole text as the tooltip.
        m_problem->setText(text.section(QLatin1Char('\n'), -1));
        m_problem->setToolTip(text);
        m_problem->setVisible(!text.isEmpty());
    });
}

void MainWindow::buildTrayMenu()
{
    const auto S = [](const char *text) { return QString::fromUtf8(text); };
    m_trayMenu = new QMenu(this);
    m_trayMenu->setObjectName(S("mnuStartBar"));
    m_menus.insert(S("mnuStartBar"), m_trayMenu);
    m_trayOpen = addItem(m_trayMenu, S("mnuSbOpen"), S("&Open K-Vorn"),
                         QKeySequence(Qt::SHIFT | Qt::Key_F12));
    m_trayMenu->setDefaultAction(m_trayOpen);
    connect(m_trayOpen, &QAction::triggered, this, &MainWindow::openWindow);
    m_trayMenu->addSeparator();
    // Has never had a command; the mail settings below have theirs.
    // "O" is "&Open K-Vorn"'s.
    addItem(m_trayMenu, S("mnuSbOptions"), S("O&ptions"))->setEnabled(false);
    QMenu *mail = addMenu(m_trayMenu, S("mnuSbMail"), S("Mail Settings"));
    m_mail.trayOptions = addItem(mail, S("mnuSbMailOptions"), S("&Options"));
    m_mail.trayAccounts = addItem(mail, S("mnuSbMailAccounts"), S("&Accounts"));
    m_mail.trayBlacklist = addItem(mail, S("mnuSbMailBlacklist"), S("&Blacklist && Friends"));
    m_trayDisable = addItem(m_trayMenu, S("mnuSbDisable"), S("&Disable"));
    m_trayDisable->setCheckable(true);
    connect(m_trayDisable, &QAction::triggered, this, [this] { m_controller.disableCommand(); });
    m_trayMenu->addSeparator();
    m_trayHide = addItem(m_trayMenu, S("mnuSbHide"), S("&Hide K-Vorn"));
    // The window starts hidden; showing and hiding it keep the item in step.
    m_trayHide->setEnabled(false);
    connect(m_trayHide, &QAction::triggered, this, &MainWindow::hideWindow);
    m_trayMenu->addSeparator();
    connect(addItem(m_trayMenu, S("mnuSbExit"), S("E&xit")), &QAction::triggered, this,
            [this] { m_controller.exitProgram(ExitKind::TrayExit); });
}

void MainWindow::setPanelWidget(const QString &panelKey, QWidget *widget)
{
    QWidget *holder = m_panelPages.value(panelKey);
    if (!holder)
        return;
    holder->layout()->addWidget(widget);
    // The popup lists fill long after the window is built: each fits as its rows come.
    auto *view = qobject_cast<QTreeView *>(widget);
    QList<QTreeView *> views = widget->findChildren<QTreeView *>();
    if (view)
        views.prepend(view);
    for (QTreeView *v : views)
        fitColumnsWhenChanged(*v, [this] { return m_options.AutoColumn; });
}

void MainWindow::setScreenWidget(const QString &screenKey, QWidget *widget)
{
    QWidget *page = m_screenPages.value(screenKey);
    if (!page)
        return;
    page->layout()->addWidget(widget);
}

int MainWindow::currentScreen() const
{
    const QString key = m_tsApp->tabData(m_tsApp->currentIndex()).toString();
    if (key == QLatin1String("tsKmail"))
        return MailScreen;
    if (key == QLatin1String("tsKbanner"))
        return BannerScreen;
    return PopupScreen;
}

QString MainWindow::currentPanelKey() const
{
    return m_tsPanels->tabData(m_tsPanels->currentIndex()).toString();
}

void MainWindow::selectScreen(int screen)
{
    if (screen < PopupScreen || screen > BannerScreen)
        return;
    if (m_tsApp->currentIndex() != screen - 1)
        m_tsApp->setCurrentIndex(screen - 1); // runs the switch
    else
        screenSwitch();
}

void MainWindow::selectPanel(int index)
{
    if (m_tsPanels->currentIndex() != index)
        m_tsPanels->setCurrentIndex(index);
    else
        panelSwitch();
}

void MainWindow::screenSwitch()
{
    const int screen = currentScreen();
    m_settingsMenu->menuAction()->setVisible(screen != BannerScreen);
    m_mailMenu->menuAction()->setVisible(screen != BannerScreen);
    m_popup.menu->menuAction()->setVisible(screen == PopupScreen);
    m_mail.listMenu->menuAction()->setVisible(screen == MailScreen);
    m_bannerMenu->menuAction()->setVisible(screen == BannerScreen);
    for (int i = 0; i < 3; ++i)
        m_viewScreen[i]->setChecked(screen == i + 1);

    const char *keys[] = {"tsKpopup", "tsKmail", "tsKbanner"};
    m_screens->setCurrentWidget(m_screenPages.value(QString::fromLatin1(keys[screen - 1])));
    if (screen == PopupScreen)
        panelSwitch();
    m_controller.setCurrentScreen(screen);
    m_controller.UpdateStatusBar(0, 0, QString());
}

void MainWindow::panelSwitch()
{
    // Which items a panel enables is the popup side's business, which also runs them.
    for (QAction *item : {m_popup.add, m_popup.edit, m_popup.remove, m_popup.find, m_popup.ban,
                          m_popup.whitelist})
        item->setEnabled(false);
    const QString key = currentPanelKey();
    if (QWidget *page = m_panelPages.value(key))
        m_panels->setCurrentWidget(page);
    // A list fitted while its panel was hidden had no width to share out.
    if (m_options.AutoColumn && isVisible())
        QTimer::singleShot(0, this, &MainWindow::fitPanelLists);
    Q_EMIT panelSwitched(key);
}

void MainWindow::showStatus(const QString &p1, const QString &p2, const QString &p3,
                            const QString &p4)
{
    const QString texts[] = {p1, p2, p3, p4};
    for (int i = 0; i < 4; ++i)
        m_statusPanels[i]->setText(texts[i]);
}

QStringList MainWindow::statusPanels() const
{
    QStringList texts;
    for (const QLabel *label : m_statusPanels)
        texts.append(label->text());
    return texts;
}

void MainWindow::openWindow()
{
    if (!m_trayOpen->isEnabled())
        return;
    m_viewHide->setEnabled(true);
    m_controller.windowOpened();
    setWindowState(windowState() & ~Qt::WindowMinimized);
    showNormal();
    raise();
    activateWindow();
    if (currentScreen() == PopupScreen)
        selectPanel(1);
}

void MainWindow::hideWindow()
{
    hide();
}

void MainWindow::ApplyDisplayOptions()
{
    if (!m_options.accepted)
        return;
    m_tray.setPresent(m_options.ShowInTray);
    if (auto *titles = findChild<QAbstractItemView *>(QStringLiteral("lvTitles")))
        setScrambled(*titles, m_options.ScrambleText);
}

void MainWindow::restorePlace(SettingsStore &store)
{
    QList<QRect> screens;
    if (QScreen *primary = QGuiApplication::primaryScreen())
        screens.append(primary->availableGeometry());
    for (QScreen *screen : QGuiApplication::screens()) {
        if (screen != QGuiApplication::primaryScreen())
            screens.append(screen->availableGeometry());
    }
    const QRect place = WindowPlace::restore(store, screens, minimumSize());
    m_restoringPlace = true;
    resize(place.size());
    move(place.topLeft());
    m_restoringPlace = false;
    m_placeStore = &store;
}

void MainWindow::storePlace()
{
    if (!m_placeStore || m_restoringPlace)
        return;
    // A maximised or minimised window keeps the place it will come back to.
    if (windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen))
        return;
    WindowPlace::store(*m_placeStore, pos(), size());
}

void MainWindow::moveEvent(QMoveEvent *event)
{
    QMainWindow::moveEvent(event);
    storePlace();
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    storePlace();
    // Only a change of size the user made: each list fits itself when it is filled, and
    // columns that moved under the pointer right after the window appeared would take a
    // header click meant for another one.
    if (m_options.AutoColumn && isVisible() && event->oldSize().isValid() &&
        event->oldSize() != event->size())
        m_fitLater->start();
}

void MainWindow::fitListColumns()
{
    for (QTreeView *view : centralWidget()->findChildren<QTreeView *>())
        fitColumns(*view);
}

void MainWindow::fitPanelLists()
{
    for (QTreeView *view : m_panels->findChildren<QTreeView *>())
        fitColumns(*view);
}

void MainWindow::onTrayDoubleClick()
{
    openWindow();
    activateWindow();
    selectScreen(currentScreen());
}

void MainWindow::onTrayMouseUp(int button)
{
    // With the window open too: a right click that shows nothing looks like a dead icon.
    if (button == 2)
        m_tray.popupMenu(m_trayMenu);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // The window has no close command of its own: closing it hides it to the tray.
    event->ignore();
    hideWindow();
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    m_trayHide->setEnabled(true);
    // The popup lists only now have their width: fit them once the layout has run. The
    // mail and banner lists fit themselves; moving their columns now could turn a click
    // on one header into a click on another.
    if (m_options.AutoColumn)
        QTimer::singleShot(0, this, &MainWindow::fitPanelLists);
}

void MainWindow::hideEvent(QHideEvent *event)
{
    QMainWindow::hideEvent(event);
    // A hidden window has nothing left to hide.
    m_trayHide->setEnabled(false);
}

void MainWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMinimized))
        hideWindow();
}

void MainWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Tab && event->modifiers() == Qt::ControlModifier) {
        selectScreen(currentScreen() % 3 + 1);
        return;
    }
    QMainWindow::keyPressEvent(event);
}

} // namespace kvorn

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QMainWindow>

class QAction;
class QLabel;
class QMenu;
class QStackedWidget;
class QTabBar;
class QTimer;

namespace kvorn {

class MainController;
class QtTrayIcon;
struct Options;
class SettingsStore;

/// The popup killer's menu items, for the popup side to connect. Each stays disabled until
/// the popup side enables it (per panel, per list).
struct PopupActions
{
    QAction *add = nullptr;       ///< `mnuPopAdd`
    QAction *edit = nullptr;      ///< `mnuPopEdit`
    QAction *remove = nullptr;    ///< `mnuPopDelete`
    QAction *find = nullptr;      ///< `mnuPopFind`
    QAction *ban = nullptr;       ///< `mnuPopBan` (hidden)
    QAction *whitelist = nullptr; ///< `mnuPopWhitelist`
    QAction *load = nullptr;      ///< `mnuLoadPopups`
    QAction *merge = nullptr;     ///< `mnuFileMerge`
    QAction *saveAs = nullptr;    ///< `mnuFileSaveAs`
    QAction *wipe = nullptr;      ///< `mnuFileWipe`
    QAction *options = nullptr;   ///< `mnuOpPopup`
    QMenu *menu = nullptr;        ///< `mnuPopup`, also the lists' context menu
};

/// The mail filter's menu items, in the main menu and the tray menu.
struct MailActions
{
    QAction *check = nullptr;         ///< `mnuMailCheck`
    QAction *process = nullptr;       ///< `mnuMailProcess`
    QAction *deleteMarked = nullptr;  ///< `mnuMailDeleteMarked`
    QAction *stop = nullptr;          ///< `mnuMailStop`
    QAction *accounts = nullptr;      ///< `mnuMailAccounts`
    QAction *options = nullptr;       ///< `mnuMailOptions`
    QAction *blacklist = nullptr;     ///< `mnuMailBlacklist`
    QAction *filters = nullptr;       ///< `mnuMailFilters`
    QAction *load = nullptr;          ///< `mnuLoadMail`
    QAction *trayOptions = nullptr;   ///< `mnuSbMailOptions`
    QAction *trayAccounts = nullptr;  ///< `mnuSbMailAccounts`
    QAction *trayBlacklist = nullptr; ///< `mnuSbMailBlacklist`
    QMenu *listMenu = nullptr;        ///< `mnuMailList`, shown on the mail screen
};

/// The banner blocker's menu items.
struct BannerActions
{
    QAction *selectAll = nullptr;    ///< `mnuBanSelectAll`
    QAction *selectNone = nullptr;   ///< `mnuBanSelectNone`
    QAction *invert = nullptr;       ///< `mnuBanInvert`
    QAction *apply = nullptr;        ///< `mnuBanApply`
    QAction *applySystem = nullptr;  ///< `mnuBanApplySystem`
    QAction *removeSystem = nullptr; ///< `mnuBanRemoveSystem`
    QAction *load = nullptr;         ///< `mnuLoadBanner`
};

/// The items whose commands the program's other windows provide.
struct ShellActions
{
    QAction *stats = nullptr;        ///< `mnuViewStats`
    QAction *update = nullptr;       ///< `mnuFileUpdate`
    QAction *proxy = nullptr;        ///< `mnuOpProxy`
    QAction *updateServer = nullptr; ///< `mnuOpUpdateServer`
    QAction *helpTopics = nullptr;   ///< `mnuHelpTopics`
    QAction *helpFaq = nullptr;      ///< `mnuHelpFAQ`
    QAction *helpIndex = nullptr;    ///< `mnuHelpIndex`
    QAction *tip = nullptr;          ///< `mnuHelpTip`
    QAction *about = nullptr;        ///< `mnuHelpAbout`
};

/// The main window `frmKmain`: three screens behind the tab strip `tsApp`, the popup
/// panels behind `tsPanels`, the menus, the four-panel status bar and the tray menu.
/// It keeps no state of its own beyond what is on screen; the controller holds the rest.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    MainWindow(MainController &controller, QtTrayIcon &tray, Options &options,
               QWidget *parent = nullptr);
    ~MainWindow() override;

    /// A menu item by its object name ("mnuFileExit"), for the features to bind.
    QAction *action(const QString &name) const;
    /// The popup killer's menu items.
    const PopupActions &popupActions() const { return m_popup; }
    const MailActions &mailActions() const { return m_mail; }
    const BannerActions &bannerActions() const { return m_banner; }
    const ShellActions &shellActions() const { return m_shell; }
    /// A menu by its object name ("mnuPopup").
    QMenu *menu(const QString &name) const;

    /// Puts a feature's widget on a popup panel ("tsDetected", "tsPopups", "tsExclusions",
    /// "tsLog", "tsBanned").
    void setPanelWidget(const QString &panelKey, QWidget *widget);
    /// The text the "Detected" panel shows while nothing is detected.
    QLabel *detectedEmptyText() const { return m_emptyDetected; }
    /// Puts a feature's widget on a screen ("tsKpopup" is the panel strip; "tsKmail",
    /// "tsKbanner").
    void setScreenWidget(const QString &screenKey, QWidget *widget);

    /// Selects a screen tab (1 to 3) and runs the screen switch.
    void selectScreen(int screen);
    /// Selects a popup panel tab (0-based among the shown tabs) and runs the panel switch.
    void selectPanel(int index);
    int currentScreen() const;
    QString currentPanelKey() const;

    /// "&Open K-Vorn": show the window with the Blacklist panel selected.
    void openWindow();
    /// "&Hide K-Vorn": hide to the tray.
    void hideWindow();
    /// Shows the status texts of the current screen.
    void showStatus(const QString &p1, const QString &p2, const QString &p3, const QString &p4);
    /// The tray menu (`mnuStartBar`).
    QMenu *trayMenu() const { return m_trayMenu; }
    /// The four status panels' texts, for tests.
    QStringList statusPanels() const;
    /// Applies "ShowInTray" and "ScrambleText" (the rest come with the lists).
    void ApplyDisplayOptions();
    /// Restores the window's place from "Left", "Top", "Width" and "Height", and from
    /// then on stores it there whenever the window is moved or resized.
    void restorePlace(SettingsStore &store);
    /// Sizes every list's columns to the wider of header and contents.
    void fitListColumns();
    /// The same for the popup screen's lists alone.
    void fitPanelLists();

Q_SIGNALS:
    /// The popup panel shown changed (its key); the "Popup" items were all disabled.
    void panelSwitched(const QString &panelKey);

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void buildMenus();
    void buildScreens();
    void buildStatusBar();
    void buildTrayMenu();
    QAction *addItem(QMenu *menu, const QString &name, const QString &caption,
                     const QKeySequence &shortcut = {});
    QMenu *addMenu(QMenu *parentMenu, const QString &name, const QString &caption);
    void screenSwitch();
    void panelSwitch();
    void onTrayDoubleClick();
    void onTrayMouseUp(int button);
    void storePlace();

    MainController &m_controller;
    QtTrayIcon &m_tray;
    Options &m_options;

    QTabBar *m_tsApp = nullptr;
    QTabBar *m_tsPanels = nullptr;
    QStackedWidget *m_screens = nullptr;
    QStackedWidget *m_panels = nullptr;
    QHash<QString, QWidget *> m_screenPages;
    QHash<QString, QWidget *> m_panelPages;
    QLabel *m_emptyDetected = nullptr;
    QLabel *m_statusPanels[4] = {};
    QLabel *m_problem = nullptr;
    QMenu *m_trayMenu = nullptr;
    QHash<QString, QAction *> m_actions;
    PopupActions m_popup;
    MailActions m_mail;
    BannerActions m_banner;
    ShellActions m_shell;
    /// `mnuViewPopups`, `mnuViewMail`, `mnuViewBanner`, in screen order.
    QAction *m_viewScreen[3] = {};
    QAction *m_disable = nullptr;     ///< `mnuOpDisable`
    QAction *m_trayDisable = nullptr; ///< `mnuSbDisable`
    QAction *m_debug = nullptr;       ///< `mnuOpDebug`
    QAction *m_trayOpen = nullptr;    ///< `mnuSbOpen`
    QAction *m_trayHide = nullptr;    ///< `mnuSbHide`
    QAction *m_viewHide = nullptr;    ///< `mnuViewHide`
    QMenu *m_settingsMenu = nullptr;  ///< `mnuSettings`
    QMenu *m_mailMenu = nullptr;      ///< `mnuMail`
    QMenu *m_bannerMenu = nullptr;    ///< `mnuBanners`
    QHash<QString, QMenu *> m_menus;
    SettingsStore *m_placeStore = nullptr;
    bool m_restoringPlace = false;
    QTimer *m_fitLater = nullptr;
};

} // namespace kvorn

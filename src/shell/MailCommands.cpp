// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/MailCommands.h"

#include "core/MainController.h"
#include "mail/MailCheck.h"
#include "mail/MailListCommands.h"
#include "mail/MailLists.h"
#include "mail/MailProcessor.h"
#include "mail/MessageListModel.h"
#include "shell/MailAccountDialogs.h"
#include "shell/MailListsWindow.h"
#include "shell/MailOptionsDialogs.h"
#include "shell/MailPreviewWindow.h"
#include "shell/MailScreen.h"
#include "shell/MailSelectionDialogs.h"
#include "shell/MainWindow.h"

#include <QAction>
#include <QActionGroup>
#include <QBoxLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

namespace kvorn {

MailCommands::MailCommands(MainWindow &window, MailScreenView &screen, MailCommandsContext context)
    : QObject(&window), m_window(window), m_screen(screen), m_c(std::move(context))
{
    buildToolbar();

    // The rest of the list's context menu, after the four add commands.
    QTreeView *view = screen.view();
    if (auto *menu = view->findChild<QMenu *>(QStringLiteral("mnuMailListPopup"))) {
        QAction *blacklistFirst =
            menu->findChild<QAction *>(QStringLiteral("mnuAddAddressToBlacklist"));
        auto *find = new QAction(QStringLiteral("Find Blacklist Item"), menu);
        find->setObjectName(QStringLiteral("mnuFindBlacklistItem"));
        menu->insertAction(blacklistFirst, find);
        connect(find, &QAction::triggered, this, &MailCommands::findBlacklistItem);
        menu->addSeparator();
        const struct
        {
            const char *caption;
            const char *name;
            void (MailCommands::*command)();
        } items[] = {
            {"Mark For Delete", "mnuMarkForDelete", &MailCommands::markForDelete},
            {"Mark For Bounce", "mnuMarkForBounce", &MailCommands::markForBounce},
            {nullptr, nullptr, nullptr},
            {"Preview Message", "mnuPreviewMessage", &MailCommands::previewMessage},
        };
        for (const auto &item : items) {
            if (!item.caption) {
                menu->addSeparator();
                continue;
            }
            QAction *a = menu->addAction(QString::fromLatin1(item.caption));
            a->setObjectName(QLatin1String(item.name));
            connect(a, &QAction::triggered, this, item.command);
        }
        // "Find Blacklist Item" opens the dialog even without a row.
        connect(menu, &QMenu::aboutToShow, find, [find] { find->setEnabled(true); });
    }
    m_listView = view;
    view->installEventFilter(this);

    const MailActions &items = m_window.mailActions();
    const auto bind = [this](QAction *item, auto slot) {
        connect(item, &QAction::triggered, this, slot);
    };
    bind(items.accounts, [this] { openAccounts(); });
    bind(items.trayAccounts, [this] { openAccounts(); });
    bind(items.options, [this] { openOptions(-1); });
    bind(items.trayOptions, [this] { openOptions(-1); });
    bind(items.blacklist, [this] { openOptions(MailOptionsDialog::BlacklistAndFriends); });
    bind(items.trayBlacklist, [this] { openOptions(MailOptionsDialog::BlacklistAndFriends); });
    bind(items.filters, [this] { openOptions(MailOptionsDialog::Filters); });
    bind(items.load, [this] { openBlacklistImport(); });
    // Kept where the menu has it, but it has nothing to do.
    items.deleteMarked->setEnabled(false);

    QMenu *mailMenu = items.listMenu;
    const QList<QAction *> listItems = mailMenu->actions();
    const qsizetype at = listItems.indexOf(items.deleteMarked);
    auto *advanced = new QAction(QStringLiteral("Advanced Select..."), mailMenu);
    advanced->setObjectName(QStringLiteral("mnuMailAdvanced"));
    mailMenu->insertAction(listItems.value(at + 1), advanced);
    connect(advanced, &QAction::triggered, this, &MailCommands::openAdvancedSelect);
}

MailCommands::~MailCommands() = default;

void MailCommands::buildToolbar()
{
    m_toolbar = new QToolBar(&m_screen);
    m_toolbar->setObjectName(QStringLiteral("Toolbar1"));
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);

    auto *check = new QAction(QIcon::fromTheme(QStringLiteral("mail-receive")),
                              QStringLiteral("Check Mail"), m_toolbar);
    check->setObjectName(QStringLiteral("Mailbox"));
    connect(check, &QAction::triggered, this, [this] { m_c.check.GetNewMail(); });
    auto *choice = new QMenu(m_toolbar);
    // The tick shows which accounts the button itself checks.
    auto *modes = new QActionGroup(choice);
    QAction *defaults = choice->addAction(QStringLiteral("Default Accounts"));
    defaults->setObjectName(QStringLiteral("btnDefaultOnly"));
    connect(defaults, &QAction::triggered, this, [this] { checkAccounts(true); });
    QAction *all = choice->addAction(QStringLiteral("All Accounts"));
    all->setObjectName(QStringLiteral("btnCheckAll"));
    connect(all, &QAction::triggered, this, [this] { checkAccounts(false); });
    for (QAction *mode : {defaults, all}) {
        mode->setCheckable(true);
        modes->addAction(mode);
    }
    const auto showMode = [this, check, defaults, all] {
        const bool defaultOnly = m_c.check.MailDefaultOnly;
        (defaultOnly ? defaults : all)->setChecked(true);
        check->setToolTip(defaultOnly
                              ? QStringLiteral("Check mail server for the default accounts")
                              : QStringLiteral("Check mail server for all accounts"));
    };
    showMode();
    connect(choice, &QMenu::aboutToShow, this, showMode);
    connect(&m_c.check, &MailCheck::checkStarted, this, showMode);
    check->setMenu(choice);
    m_toolbar->addAction(check);
    m_checkButton = qobject_cast<QToolButton *>(m_toolbar->widgetForAction(check));
    if (m_checkButton)
        m_checkButton->setPopupMode(QToolButton::MenuButtonPopup);

    auto *process = m_toolbar->addAction(QIcon::fromTheme(QStringLiteral("mail-send")),
                                         QStringLiteral("Process Mail"));
    process->setObjectName(QStringLiteral("Mailarrow"));
    connect(process, &QAction::triggered, this, [this] { m_c.processor.ProcessMail(); });
    auto *program = m_toolbar->addAction(QStringLiteral("Mail Program"));
    program->setObjectName(QStringLiteral("MailFind"));
    program->setEnabled(false); // no mail program is started from here
    auto *stopAction = m_toolbar->addAction(QIcon::fromTheme(QStringLiteral("process-stop")),
                                            QStringLiteral("Stop"));
    stopAction->setObjectName(QStringLiteral("MailStop"));
    connect(stopAction, &QAction::triggered, this, &MailCommands::stop);

    auto *accounts = new QPushButton(QStringLiteral("Mail Accounts"), &m_screen);
    accounts->setObjectName(QStringLiteral("cmdMailAccounts"));
    connect(accounts, &QPushButton::clicked, this, &MailCommands::openAccounts);
    auto *lists = new QPushButton(QStringLiteral("BlackList && Friends"), &m_screen);
    lists->setObjectName(QStringLiteral("cmdMailBlacklist"));
    connect(lists, &QPushButton::clicked, this,
            [this] { openOptions(MailOptionsDialog::BlacklistAndFriends); });

    // The buttons in a row of their own: beside the toolbar they would push its last
    // buttons into the overflow at the window's usual width.
    auto *row = new QHBoxLayout;
    row->addWidget(accounts);
    row->addWidget(lists);
    row->addStretch();
    if (auto *layout = qobject_cast<QBoxLayout *>(m_screen.layout())) {
        layout->insertWidget(0, m_toolbar);
        layout->insertLayout(1, row);
    }

    // Whatever started the run (menu, toolbar, timer), the buttons show whether one runs.
    connect(&m_c.check, &MailCheck::checkStarted, this, &MailCommands::updateToolbar);
    connect(&m_c.check, &MailCheck::checkFinished, this, &MailCommands::updateToolbar);
    connect(&m_c.processor, &MailProcessor::processingStarted, this, &MailCommands::updateToolbar);
    connect(&m_c.processor, &MailProcessor::processingFinished, this,
            &MailCommands::updateToolbar);
    updateToolbar();
}

void MailCommands::updateToolbar()
{
    const bool running = m_c.check.isChecking() || m_c.processor.isProcessing();
    for (QAction *a : m_toolbar->actions()) {
        const QString name = a->objectName();
        if (name == QLatin1String("Mailbox") || name == QLatin1String("Mailarrow"))
            a->setEnabled(!running);
        else if (name == QLatin1String("MailStop"))
            a->setEnabled(running);
    }
}

void MailCommands::checkAccounts(bool defaultOnly)
{
    m_c.check.MailDefaultOnly = defaultOnly;
    m_c.check.GetNewMail();
}

void MailCommands::stop()
{
    m_c.check.ResetMail = true;
    m_c.check.stopMail();
    m_c.processor.stop();
}

QString MailCommands::saveNow()
{
    return m_c.saveMail ? m_c.saveMail() : QString();
}

MailAccountManager *MailCommands::accountManager()
{
    if (!m_accounts) {
        m_accounts = new MailAccountManager(
            {m_c.settings, m_c.accounts, m_c.store, m_c.prompt, [this] { return saveNow(); },
             m_c.secrets},
            &m_window);
    }
    return m_accounts;
}

MailOptionsDialog *MailCommands::optionsDialog()
{
    if (!m_options) {
        m_options = new MailOptionsDialog(m_c.settings, m_c.check, m_c.lists, m_c.prompt,
                                          [this] { return saveNow(); }, &m_window);
    }
    return m_options;
}

MailPreviewWindow *MailCommands::previewWindow()
{
    if (!m_preview)
        m_preview = new MailPreviewWindow(m_c.settings, m_c.accounts, &m_window);
    return m_preview;
}

void MailCommands::openAccounts()
{
    MailAccountManager *manager = accountManager();
    manager->show();
    manager->raise();
    manager->activateWindow();
    // Saved as every settings save is, but the program goes on: the tray icon stays.
    if (m_c.controller)
        m_c.controller->saveSettingsNow();
}

void MailCommands::openOptions(int tab)
{
    optionsDialog()->showTab(tab);
}

void MailCommands::findBlacklistItem()
{
    const int row = m_c.list.selectedRow();
    if (row >= 0) {
        const QString text = m_c.list.text(row, ColBlacklist);
        MailListEntryModel &black = m_c.lists.blacklist();
        // Entries keep the letter case the sender wrote: the compare ignores it.
        for (int i = 0; i < black.count(); ++i) {
            if (black.entry(i).Address.compare(text, Qt::CaseInsensitive) == 0) {
                black.selectOnly(i);
                break;
            }
        }
    }
    openOptions(MailOptionsDialog::BlacklistAndFriends);
}

void MailCommands::markForDelete()
{
    const int row = m_c.list.selectedRow();
    if (row >= 0)
        m_c.list.setChecked(row, !m_c.list.isChecked(row));
}

void MailCommands::markForBounce()
{
    const int row = m_c.list.selectedRow();
    if (row >= 0)
        m_c.list.setText(row, ColBounce, QStringLiteral("True"));
}

void MailCommands::previewMessage()
{
    const int row = m_c.list.selectedRow();
    if (row >= 0)
        previewWindow()->showRow(m_c.list, row);
}

void MailCommands::openAdvancedSelect()
{
    if (!m_advanced)
        m_advanced = new MailAdvancedSelectDialog(m_c.list, &m_window);
    m_advanced->show();
    m_advanced->raise();
    m_advanced->activateWindow();
}

void MailCommands::openBlacklistImport()
{
    auto *dialog = new MailBlacklistImportDialog(m_c.lists, m_c.prompt, m_c.reloadLists, &m_window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
}

bool MailCommands::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_listView || event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() != Qt::Key_A && key->key() != Qt::Key_B)
        return false;
    // Ctrl+A, or Alt+B as some tab's access key, is not this command.
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    // Held down, the key would add the same entry once per repeat. Consumed either way:
    // the list's type-ahead would move the selection to another sender.
    if (!key->isAutoRepeat()) {
        runMailListAddCommand(m_c.lists, m_c.list,
                              key->key() == Qt::Key_A ? MailListAddCommand::AddressToFriends
                                                      : MailListAddCommand::DomainToBlacklist);
    }
    return true;
}

} // namespace kvorn

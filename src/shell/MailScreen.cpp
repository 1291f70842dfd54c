// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/MailScreen.h"

#include "mail/MailCheck.h"
#include "mail/MailListCommands.h"
#include "mail/MailLists.h"
#include "mail/MailProcessor.h"
#include "mail/MessageListModel.h"
#include "shell/MainWindow.h"

#include <QAction>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSplitter>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

namespace kvorn {

MailScreenView::MailScreenView(MailCheck &check, MessageListModel &list, QWidget *parent)
    : QWidget(parent), m_check(check), m_list(list)
{
    setObjectName(QStringLiteral("MailScreen"));
    m_view = new QTreeView(this);
    m_view->setObjectName(QStringLiteral("lvMailList"));
    m_view->setRootIsDecorated(false);
    m_view->setUniformRowHeights(true);
    m_view->setAllColumnsShowFocus(true);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setModel(&m_list);
    m_view->header()->setSectionsClickable(true);
    m_view->header()->setSortIndicatorShown(true);
    m_view->header()->setSortIndicator(m_list.sortColumn(), m_list.sortOrder());
    // A click on the sort column reverses the order; another column sorts ascending.
    connect(m_view->header(), &QHeaderView::sectionClicked, this, [this](int column) {
        const Qt::SortOrder order =
            column == m_list.sortColumn() && m_list.sortOrder() == Qt::AscendingOrder
                ? Qt::DescendingOrder
                : Qt::AscendingOrder;
        m_list.sort(column, order);
        m_view->header()->setSortIndicator(column, order);
    });

    m_status = new QPlainTextEdit(this);
    m_status->setObjectName(QStringLiteral("txtMStatus"));
    m_status->setReadOnly(true);
    m_status->setMaximumBlockCount(5000);

    auto *split = new QSplitter(Qt::Vertical, this);
    split->addWidget(m_view);
    split->addWidget(m_status);
    split->setStretchFactor(0, 4);
    split->setStretchFactor(1, 1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(split);

    // Fitting columns after every reply would cost more than the replies themselves on a
    // big mailbox (each fit measures the texts of up to a thousand rows): gather the
    // requests, during a check into one a second, and fit once more when it ends.
    m_fitLater = new QTimer(this);
    m_fitLater->setSingleShot(true);
    connect(m_fitLater, &QTimer::timeout, this, &MailScreenView::autoSizeColumns);
    connect(&m_check, &MailCheck::columnsFitRequested, m_fitLater, [this] {
        if (!m_fitLater->isActive())
            m_fitLater->start(m_check.isChecking() ? 1000 : 150);
    });
    // A check over a fast link adds rows faster than anyone reads them, and every row
    // brought into sight redraws the whole list: draw at most ten times a second meanwhile.
    m_paintLater = new QTimer(this);
    m_paintLater->setSingleShot(true);
    m_paintLater->setInterval(100);
    connect(m_paintLater, &QTimer::timeout, m_view, [this] { m_view->setUpdatesEnabled(true); });
    connect(&m_list, &QAbstractItemModel::rowsInserted, m_paintLater, [this] {
        if (m_check.isChecking() && m_view->updatesEnabled() && !m_paintLater->isActive()) {
            m_view->setUpdatesEnabled(false);
            m_paintLater->start();
        }
    });
    connect(&m_check, &MailCheck::checkFinished, m_fitLater, [this] {
        m_paintLater->stop();
        m_view->setUpdatesEnabled(true);
        if (m_fitLater->isActive()) {
            m_fitLater->stop();
            autoSizeColumns();
        }
    });
    connect(&m_check, &MailCheck::statusTextChanged, this, &MailScreenView::showStatus);

    // A check selects each row it adds; bringing every one of them into sight would lay the
    // list out once per row. Only the last one matters to the user.
    m_syncLater = new QTimer(this);
    m_syncLater->setSingleShot(true);
    m_syncLater->setInterval(0);
    connect(m_syncLater, &QTimer::timeout, this, [this] { syncSelection(m_list.selectedRow()); });
    connect(&m_list, &MessageListModel::selectedRowChanged, m_syncLater, [this] {
        if (!m_syncLater->isActive())
            m_syncLater->start();
    });
    connect(m_view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                m_list.setSelectedRow(current.isValid() ? current.row() : -1);
            });
    showStatus(m_check.statusText());
}

void MailScreenView::showStatus(const QString &text)
{
    QString shown = text;
    shown.remove(QLatin1Char('\r'));
    if (shown.endsWith(QLatin1Char('\n')))
        shown.chop(1);
    m_status->setPlainText(shown);
    // The last line stays in sight.
    m_status->verticalScrollBar()->setValue(m_status->verticalScrollBar()->maximum());
}

void MailScreenView::syncSelection(int row)
{
    const QModelIndex current = m_view->selectionModel()->currentIndex();
    if (row < 0) {
        m_view->selectionModel()->clearSelection();
        return;
    }
    if (current.isValid() && current.row() == row)
        return;
    const QModelIndex index = m_list.index(row, 0);
    m_view->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                         QItemSelectionModel::Rows);
    m_view->scrollTo(index);
}

void MailScreenView::autoSizeColumns()
{
    for (int c = 0; c < m_list.columnCount(); ++c)
        m_view->resizeColumnToContents(c);
}

MailScreenView *installMailScreen(MainWindow &window, MailCheck &check, MessageListModel &list)
{
    auto *screen = new MailScreenView(check, list);
    window.setScreenWidget(QStringLiteral("tsKmail"), screen);
    const MailActions &items = window.mailActions();
    QObject::connect(items.check, &QAction::triggered, &check, [&check] { check.GetNewMail(); });
    QObject::connect(items.stop, &QAction::triggered, &check, [&check] { check.stopMail(); });
    return screen;
}

QMenu *createMailListMenu(MailLists &lists, MessageListModel &list, QWidget *parent)
{
    auto *menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("mnuMailListPopup"));
    const struct
    {
        MailListAddCommand command;
        const char *name;
    } commands[] = {
        {MailListAddCommand::AddressToFriends, "mnuAddAddressToFriends"},
        {MailListAddCommand::DomainToFriends, "mnuAddDomainToFriends"},
        {MailListAddCommand::AddressToBlacklist, "mnuAddAddressToBlacklist"},
        {MailListAddCommand::DomainToBlacklist, "mnuAddDomainToBlacklist"},
    };
    for (const auto &c : commands) {
        // The friends commands and the blacklist commands stand in groups of their own.
        if (c.command == MailListAddCommand::AddressToBlacklist)
            menu->addSeparator();
        QAction *a = menu->addAction(MailLists::caption(c.command));
        a->setObjectName(QLatin1String(c.name));
        QObject::connect(a, &QAction::triggered, menu, [&lists, &list, command = c.command] {
            runMailListAddCommand(lists, list, command);
        });
    }
    // Nothing to add from when no row is selected.
    QObject::connect(menu, &QMenu::aboutToShow, menu, [menu, &list] {
        const bool any = list.selectedRow() >= 0;
        for (QAction *a : menu->actions()) {
            if (!a->isSeparator())
                a->setEnabled(any);
        }
    });
    return menu;
}

void installMailFilter(MainWindow &window, MailScreenView &screen, MailProcessor &processor,
                       MailLists &lists, MessageListModel &list, Prompt & /*prompt*/)
{
    const MailActions &items = window.mailActions();
    QObject::connect(items.process, &QAction::triggered, &processor,
                     [&processor] { processor.ProcessMail(); });
    QObject::connect(items.stop, &QAction::triggered, &processor,
                     [&processor] { processor.stop(); });

    QTreeView *view = screen.view();
    QMenu *menu = createMailListMenu(lists, list, view);
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(view, &QWidget::customContextMenuRequested, menu,
                     [view, menu, &list](const QPoint &pos) {
                         const QModelIndex at = view->indexAt(pos);
                         if (at.isValid())
                             list.setSelectedRow(at.row());
                         menu->popup(view->viewport()->mapToGlobal(pos));
                     });
}

} // namespace kvorn

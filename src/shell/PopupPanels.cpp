// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/PopupPanels.h"

#include "popups/DetectedListModel.h"
#include "popups/LogListModel.h"
#include "popups/PopupKiller.h"
#include "popups/PopupListModel.h"
#include "popups/PopupLists.h"
#include "shell/DateTextDelegate.h"
#include "shell/MainWindow.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kvorn {

namespace {
void setUpTree(QTreeView &view)
{
    view.setRootIsDecorated(false);
    view.setUniformRowHeights(true); // keeps a 100,000-row list quick to scroll
    view.setAllColumnsShowFocus(true);
    view.setEditTriggers(QAbstractItemView::NoEditTriggers);
    view.header()->setSectionsClickable(true);
    view.header()->setStretchLastSection(true);
    // Room for the text column's caption until the columns are sized to their contents.
    view.header()->setDefaultSectionSize(110);
}
} // namespace

PopupListView::PopupListView(PopupListModel &model, QWidget *parent)
    : QTreeView(parent), m_model(model)
{
    setObjectName(model.viewName());
    setUpTree(*this);
    setModel(&model);
    // Leaves the date columns in sight in the first, smallest window.
    header()->resizeSection(0, 160);
    // "Date Added" and "Last Used".
    showDatesInLocale(*this, {1, 2});
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(model.kind() == PopupListModel::Kind::Banned
                         ? QAbstractItemView::SingleSelection
                         : QAbstractItemView::ExtendedSelection);
    if (model.keepsSorted()) {
        header()->setSortIndicatorShown(true);
        header()->setSortIndicator(model.sortColumn(), model.sortOrder());
        connect(header(), &QHeaderView::sectionClicked, this, &PopupListView::onHeaderClicked);
    }

    connect(&model, &PopupListModel::selectionStateChanged, this,
            &PopupListView::showModelSelection);
    connect(&model, &QAbstractItemModel::modelReset, this, &PopupListView::showModelSelection);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &PopupListView::takeViewSelection);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            &PopupListView::takeViewSelection);
    connect(&model, &PopupListModel::scrollToRequested, this,
            [this](int row) { scrollTo(m_model.index(row, 0)); });
    // Taking the focus fails quietly while the window or the panel is hidden.
    connect(&model, &PopupListModel::focusRequested, this, [this] {
        if (isVisible())
            setFocus(Qt::OtherFocusReason);
    });
}

void PopupListView::showModelSelection()
{
    if (m_syncing)
        return;
    m_syncing = true;
    QItemSelection selection;
    const int lastColumn = m_model.columnCount() - 1;
    for (const int row : m_model.selectedRows())
        selection.select(m_model.index(row, 0), m_model.index(row, lastColumn));
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    const int current = m_model.currentRow();
    selectionModel()->setCurrentIndex(current >= 0 ? m_model.index(current, 0) : QModelIndex(),
                                      QItemSelectionModel::NoUpdate);
    m_syncing = false;
}

void PopupListView::takeViewSelection()
{
    if (m_syncing)
        return;
    m_syncing = true;
    QList<int> rows;
    for (const QModelIndex &index : selectionModel()->selectedRows())
        rows.append(index.row());
    const QModelIndex current = selectionModel()->currentIndex();
    // A current row the user let go of is no longer the current entry.
    int currentRow = current.isValid() ? current.row() : -1;
    if (currentRow >= 0 && !rows.contains(currentRow))
        currentRow = rows.isEmpty() ? -1 : rows.last();
    m_model.setSelection(rows, currentRow);
    m_syncing = false;
}

void PopupListView::onHeaderClicked(int section)
{
    // The sort column's header reverses the order; another column sorts ascending.
    Qt::SortOrder order = Qt::AscendingOrder;
    if (section == m_model.sortColumn())
        order =
            m_model.sortOrder() == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    m_model.sort(section, order);
    header()->setSortIndicator(section, order);
}

PopupPanels installPopupPanels(MainWindow &window, PopupLists &lists)
{
    PopupPanels panels;
    panels.blackList = new PopupListView(lists.blackList());
    panels.whiteList = new PopupListView(lists.whiteList());
    panels.bannedList = new PopupListView(lists.bannedList());
    window.setPanelWidget(QStringLiteral("tsPopups"), panels.blackList);
    window.setPanelWidget(QStringLiteral("tsExclusions"), panels.whiteList);
    window.setPanelWidget(QStringLiteral("tsBanned"), panels.bannedList);

    LogListModel &logModel = lists.logList();
    auto *logPage = new QWidget;
    logPage->setObjectName(QStringLiteral("logPage"));
    auto *layout = new QVBoxLayout(logPage);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *logView = new QTreeView(logPage);
    logView->setObjectName(QStringLiteral("lvLog"));
    setUpTree(*logView);
    logView->setModel(&logModel);
    logView->header()->resizeSection(0, 200);
    logView->setSelectionBehavior(QAbstractItemView::SelectRows);
    logView->setSelectionMode(QAbstractItemView::SingleSelection);
    logView->header()->setSortIndicatorShown(true);
    logView->header()->setSortIndicator(logModel.sortColumn(), logModel.sortOrder());
    QObject::connect(logView->header(), &QHeaderView::sectionClicked, logView,
                     [logView, &logModel](int section) {
                         Qt::SortOrder order = Qt::AscendingOrder;
                         if (section == logModel.sortColumn())
                             order = logModel.sortOrder() == Qt::AscendingOrder
                                         ? Qt::DescendingOrder
                                         : Qt::AscendingOrder;
                         logModel.sort(section, order);
                         logView->header()->setSortIndicator(section, order);
                     });
    QObject::connect(logView->selectionModel(), &QItemSelectionModel::currentRowChanged, logView,
                     [&logModel](const QModelIndex &current) {
                         logModel.selectRow(current.isValid() ? current.row() : -1);
                     });
    QObject::connect(
        &logModel, &LogListModel::selectionStateChanged, logView, [logView, &logModel] {
            const int row = logModel.currentRow();
            const QModelIndex index = row >= 0 ? logModel.index(row, 0) : QModelIndex();
            if (logView->selectionModel()->currentIndex() != index)
                logView->selectionModel()->setCurrentIndex(
                    index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        });
    layout->addWidget(logView, 1);
    auto *clear = new QPushButton(QStringLiteral("Clear"), logPage);
    clear->setObjectName(QStringLiteral("cmdClearLog"));
    QObject::connect(clear, &QPushButton::clicked, logView, [logView, &logModel] {
        logModel.clear();
        logView->setFocus(Qt::OtherFocusReason);
    });
    layout->addWidget(clear, 0, Qt::AlignRight);
    window.setPanelWidget(QStringLiteral("tsLog"), logPage);

    panels.logList = logView;
    panels.clearLog = clear;
    return panels;
}

QTreeView *installDetectedPanel(MainWindow &window, PopupLists &lists, PopupKiller &killer,
                                QTreeView *logView)
{
    auto *view = new QTreeView;
    view->setObjectName(QStringLiteral("lvMonitor"));
    setUpTree(*view);
    view->setModel(&lists.detectedList());
    view->header()->resizeSection(0, 240);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    window.setPanelWidget(QStringLiteral("tsDetected"), view);
    // The selected row is the model's current entry, as the list commands read it.
    DetectedListModel &detected = lists.detectedList();
    QObject::connect(view->selectionModel(), &QItemSelectionModel::currentRowChanged, view,
                     [&detected](const QModelIndex &current) {
                         detected.selectRow(current.isValid() ? current.row() : -1);
                     });
    QObject::connect(&detected, &DetectedListModel::selectionStateChanged, view, [view, &detected] {
        const int row = detected.currentRow();
        const QModelIndex index = row >= 0 ? detected.index(row, 0) : QModelIndex();
        if (view->selectionModel()->currentIndex() != index)
            view->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                               QItemSelectionModel::Rows);
    });

    // The panel already holds the empty text; the killer decides when it shows.
    QLabel *emptyText = window.detectedEmptyText();
    const auto show = [view, emptyText](bool empty) {
        emptyText->setVisible(empty);
        view->setVisible(!empty);
    };
    show(killer.emptyTextShown());
    QObject::connect(&killer, &PopupKiller::emptyTextShownChanged, view, show);

    if (logView) {
        QObject::connect(&killer, &PopupKiller::logColumnsAutoSizeRequested, logView, [logView] {
            for (int column = 0; column < logView->model()->columnCount(); ++column)
                logView->resizeColumnToContents(column);
        });
    }
    return view;
}

} // namespace kvorn

// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/MailListsWindow.h"

#include "core/MainController.h"
#include "core/Prompt.h"
#include "mail/MailLists.h"
#include "shell/ColumnFit.h"
#include "shell/DateTextDelegate.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

namespace kvorn {

MailListsWindow::MailListsWindow(MailLists &lists, Prompt &prompt, QWidget *parent)
    : QDialog(parent), m_lists(lists), m_prompt(prompt)
{
    setObjectName(QStringLiteral("frmMailLists"));
    setWindowTitle(QStringLiteral("Mail Blacklist and Friends"));
    const struct
    {
        MailListKind kind;
        const char *frame;
        const char *text;
    } frames[] = {
        {MailListKind::Blacklist, "Blacklist",
         "All messages received from an email address listed below will automatically be "
         "marked for deletion."},
        {MailListKind::Friends, "Friends List",
         "Any mail received from the following addresses will be marked as legitimate."},
    };
    auto *layout = new QVBoxLayout(this);
    for (const auto &f : frames) {
        auto *box = new QGroupBox(QString::fromLatin1(f.frame), this);
        auto *boxLayout = new QVBoxLayout(box);
        auto *text = new QLabel(QString::fromLatin1(f.text), box);
        text->setWordWrap(true);
        boxLayout->addWidget(text);
        QWidget *panel = makePanel(f.kind);
        panel->setParent(box);
        boxLayout->addWidget(panel);
        layout->addWidget(box);
    }
    auto *close = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(close, &QDialogButtonBox::rejected, this, &MailListsWindow::closeWithSave);
    m_closeBox = close;
    layout->addWidget(close);
    resize(560, 520);
}

void MailListsWindow::setEmbedded()
{
    setWindowFlags(Qt::Widget);
    m_closeBox->hide();
}

void MailListsWindow::closeWithSave()
{
    hide();
    if (!m_save)
        return;
    const QString error = m_save();
    if (!error.isEmpty())
        m_prompt.message(error, Prompt::Buttons::Ok, Prompt::Icon::Warning,
                         QStringLiteral("K-Vorn"));
}

QTreeView *MailListsWindow::view(MailListKind kind) const
{
    return kind == MailListKind::Blacklist ? m_black : m_friends;
}

QWidget *MailListsWindow::makePanel(MailListKind kind)
{
    const bool black = kind == MailListKind::Blacklist;
    MailListEntryModel &model = m_lists.list(kind);
    auto *panel = new QWidget(this);
    auto *tree = new QTreeView(panel);
    tree->setObjectName(black ? QStringLiteral("lvBlacklist") : QStringLiteral("lvFriends"));
    tree->setRootIsDecorated(false);
    tree->setUniformRowHeights(true);
    tree->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tree->setSelectionBehavior(QAbstractItemView::SelectRows);
    tree->setModel(&model);
    // "Last Hit" and "Added".
    showDatesInLocale(*tree, {1, 2});
    fitColumns(*tree);
    fitColumnsWhenChanged(*tree, [] { return true; });
    (black ? m_black : m_friends) = tree;

    connect(tree->selectionModel(), &QItemSelectionModel::selectionChanged, this, [tree, &model] {
        QList<int> rows;
        for (const QModelIndex &i : tree->selectionModel()->selectedRows())
            rows.append(i.row());
        model.setSelectedRows(rows);
    });
    connect(&model, &MailListEntryModel::entrySelected, this,
            [this, kind](int row) { showSelected(kind, row); });

    const QString prefix = black ? QStringLiteral("cmdBl") : QStringLiteral("cmdFr");
    auto *buttons = new QVBoxLayout;
    const struct
    {
        const char *caption;
        const char *name;
        void (MailListsWindow::*command)(MailListKind);
    } defs[] = {
        {"&Add", "Add", &MailListsWindow::addEntry},
        {"&Edit", "Edit", &MailListsWindow::editEntry},
        {"&Delete", "Delete", &MailListsWindow::deleteEntries},
        {"&Find", "Find", &MailListsWindow::findEntry},
    };
    for (const auto &d : defs) {
        auto *b = new QPushButton(QString::fromLatin1(d.caption), panel);
        b->setObjectName(prefix + QLatin1String(d.name));
        connect(b, &QPushButton::clicked, this,
                [this, kind, command = d.command] { (this->*command)(kind); });
        buttons->addWidget(b);
    }
    if (black) {
        auto *options = new QPushButton(QStringLiteral("Options"), panel);
        options->setObjectName(QStringLiteral("cmdBlOptions"));
        connect(options, &QPushButton::clicked, this, &MailListsWindow::optionsRequested);
        buttons->addWidget(options);
    }
    buttons->addStretch();
    auto *layout = new QHBoxLayout(panel);
    layout->addWidget(tree, 1);
    layout->addLayout(buttons);
    return panel;
}

void MailListsWindow::showSelected(MailListKind kind, int row)
{
    QTreeView *tree = view(kind);
    if (!tree)
        return;
    QItemSelectionModel *sel = tree->selectionModel();
    const QSignalBlocker block(sel);
    if (row < 0) {
        sel->clearSelection();
        return;
    }
    const QModelIndex index = tree->model()->index(row, 0);
    sel->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    tree->scrollTo(index);
}

void MailListsWindow::addEntry(MailListKind kind)
{
    const bool black = kind == MailListKind::Blacklist;
    const std::optional<QString> answer = m_prompt.input(
        black ? QStringLiteral("Enter the new Filter") : QStringLiteral("Enter the new Friend"),
        black ? QStringLiteral("Add Mail Blacklist Item")
              : QStringLiteral("Add Mail Friends Item"));
    if (!answer || answer->isEmpty())
        return;
    const int row = m_lists.list(kind).addTyped(*answer, m_lists.todayText());
    if (row >= 0)
        m_lists.list(kind).selectOnly(row);
}

void MailListsWindow::editEntry(MailListKind kind)
{
    MailListEntryModel &model = m_lists.list(kind);
    const QList<int> selected = model.selectedRows();
    if (selected.isEmpty())
        return;
    const std::optional<QString> answer =
        m_prompt.input(QStringLiteral("Enter the new name for the selected Filter"),
                       QStringLiteral("Edit popup"), model.entry(selected.first()).Address);
    if (answer && !answer->isEmpty())
        model.editSelected(*answer);
}

void MailListsWindow::deleteEntries(MailListKind kind)
{
    m_lists.list(kind).removeSelected();
    showSelected(kind, -1);
}

void MailListsWindow::findEntry(MailListKind kind)
{
    MailListEntryModel &model = m_lists.list(kind);
    if (model.count() == 0)
        return;
    const std::optional<QString> answer =
        m_prompt.input(QStringLiteral("Enter a text to look for"), QStringLiteral("Find Filter "),
                       model.lastSearchText());
    if (model.find(answer.value_or(QString())) < 0) {
        if (QTreeView *tree = view(kind))
            tree->setFocus();
    }
}

QString loadMailListsWithProgress(MailLists &lists, MainController *controller, QWidget *parent)
{
    // The popup killer's timers wait while the lists load; they run on afterwards as
    // they ran before.
    if (controller)
        controller->holdLoops();
    QProgressDialog progress(parent);
    progress.setObjectName(QStringLiteral("frmProgress"));
    progress.setWindowTitle(QStringLiteral("Loading Mail Blacklist"));
    progress.setCancelButton(nullptr);
    progress.setRange(0, 0);
    progress.setMinimumDuration(0);
    progress.setLabelText(QStringLiteral("Items Loaded: 0"));
    progress.show();
    const QString error = lists.LoadMailLists([&progress](int itemsLoaded) {
        progress.setLabelText(QStringLiteral("Items Loaded: %1").arg(itemsLoaded));
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    });
    progress.close();
    if (controller)
        controller->releaseLoops();
    return error;
}

} // namespace kvorn

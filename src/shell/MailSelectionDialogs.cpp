// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/MailSelectionDialogs.h"

#include "core/Prompt.h"
#include "mail/MailBlacklistImport.h"
#include "mail/MailLists.h"
#include "mail/MessageListModel.h"
#include "mail/MessageSelection.h"
#include "shell/DialogWidgets.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace kvorn {

namespace {
using widgets::button;
} // namespace

// --- Advanced Select ------------------------------------------------------------------------

MailAdvancedSelectDialog::MailAdvancedSelectDialog(MessageListModel &list, QWidget *parent)
    : QDialog(parent), m_list(list)
{
    setObjectName(QStringLiteral("frmMailAdvanced"));
    setWindowTitle(QStringLiteral("Advanced Select"));

    auto *option1 = new QGroupBox(QStringLiteral("Option 1"), this);
    auto *all = button(QStringLiteral("Select All"), "Command3", option1);
    auto *none = button(QStringLiteral("UnSelect All"), "Command4", option1);
    auto *o1 = new QHBoxLayout(option1);
    o1->addWidget(all);
    o1->addWidget(none);
    o1->addStretch();

    auto *option2 = new QGroupBox(QStringLiteral("Option 2"), this);
    m_text = new QLineEdit(option2);
    m_text->setObjectName(QStringLiteral("Text1"));
    auto *selectText = button(QStringLiteral("Select"), "Command1", option2);
    auto *o2 = new QGridLayout(option2);
    o2->addWidget(new QLabel(QStringLiteral("Select all that read "), option2), 0, 0);
    o2->addWidget(m_text, 0, 1);
    o2->addWidget(selectText, 0, 2);
    o2->addWidget(
        new QLabel(QStringLiteral("This will look in the \"From\", \"Subject\", and \"Date\""),
                   option2),
        1, 0, 1, 3);

    auto *option3 = new QGroupBox(QStringLiteral("Option 3"), this);
    const auto numberBox = [option3](const char *name) {
        auto *b = new QSpinBox(option3);
        b->setObjectName(QLatin1String(name));
        b->setRange(1, 1000);
        b->setValue(1);
        return b;
    };
    m_first = numberBox("Text2");
    m_last = numberBox("Text3");
    auto *selectRange = button(QStringLiteral("Select"), "Command2", option3);
    auto *label3 = new QLabel(QStringLiteral("Select Messages"), option3);
    label3->setObjectName(QStringLiteral("Label3"));
    auto *o3 = new QHBoxLayout(option3);
    o3->addWidget(label3);
    o3->addWidget(m_first);
    o3->addWidget(new QLabel(QStringLiteral("to"), option3));
    o3->addWidget(m_last);
    o3->addWidget(selectRange);
    o3->addStretch();

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("Label1"));

    connect(all, &QPushButton::clicked, this, &MailAdvancedSelectDialog::selectAll);
    connect(none, &QPushButton::clicked, this, &MailAdvancedSelectDialog::unselectAll);
    connect(selectText, &QPushButton::clicked, this, &MailAdvancedSelectDialog::selectText);
    connect(m_text, &QLineEdit::returnPressed, this, &MailAdvancedSelectDialog::selectText);
    connect(selectRange, &QPushButton::clicked, this, &MailAdvancedSelectDialog::selectRange);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(option1);
    layout->addWidget(option2);
    layout->addWidget(option3);
    layout->addWidget(m_status);
}

void MailAdvancedSelectDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Rows past the thousandth can be reached too.
    const int top = std::max(1000, m_list.rowCount());
    m_first->setMaximum(top);
    m_last->setMaximum(top);
}

void MailAdvancedSelectDialog::selectAll()
{
    m_status->setText(QStringLiteral("Please Wait..."));
    setAllRowsChecked(m_list, true);
    m_status->setText(QStringLiteral("Done."));
}

void MailAdvancedSelectDialog::unselectAll()
{
    setAllRowsChecked(m_list, false);
}

void MailAdvancedSelectDialog::selectText()
{
    checkRowsBeginningWith(m_list, m_text->text());
}

void MailAdvancedSelectDialog::selectRange()
{
    if (m_first->value() > m_last->value())
        return;
    m_status->setText(QStringLiteral("Please Wait..."));
    checkRowRange(m_list, m_first->value(), m_last->value());
    m_status->setText(QStringLiteral("Done."));
}

// --- Import Mail Blacklist ------------------------------------------------------------------

MailBlacklistImportDialog::MailBlacklistImportDialog(MailLists &lists, Prompt &prompt,
                                                     Reload reload, QWidget *parent)
    : QDialog(parent), m_lists(lists), m_prompt(prompt), m_reload(std::move(reload))
{
    setObjectName(QStringLiteral("frmMailBlackListImport"));
    setWindowTitle(QStringLiteral("Import Mail Blacklist"));
    const QString folder = QFileInfo(lists.listFilePath(MailLists::blacklistFileName())).path();
    m_chooser = [folder](QWidget *owner) { return chooseFile(owner, folder); };

    auto *label = new QLabel(QStringLiteral("Import Filename"), this);
    m_fileName = new QLineEdit(this);
    m_fileName->setObjectName(QStringLiteral("txtImportFile"));
    m_fileName->setMinimumWidth(320);
    label->setBuddy(m_fileName);
    auto *browse = new QToolButton(this);
    browse->setObjectName(QStringLiteral("Picture1"));
    browse->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    browse->setToolTip(QStringLiteral("Browse"));
    browse->setAutoRaise(true);
    m_append = new QCheckBox(QStringLiteral("Append to list"), this);
    m_append->setObjectName(QStringLiteral("ckAppend"));
    auto *ok = button(QStringLiteral("&OK"), "cmdOK", this);
    ok->setDefault(true);
    auto *cancel = button(QStringLiteral("&Cancel"), "cmdCancel", this);
    connect(browse, &QToolButton::clicked, this, &MailBlacklistImportDialog::browse);
    connect(ok, &QPushButton::clicked, this, &MailBlacklistImportDialog::importChosen);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *grid = new QGridLayout;
    grid->addWidget(label, 0, 0, 1, 2);
    grid->addWidget(m_fileName, 1, 0);
    grid->addWidget(browse, 1, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_append);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
}

void MailBlacklistImportDialog::browse()
{
    const QString chosen = m_chooser ? m_chooser(this) : QString();
    if (!chosen.isEmpty())
        m_fileName->setText(QDir::toNativeSeparators(chosen));
}

void MailBlacklistImportDialog::importChosen()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const MailImportResult result =
        importMailBlacklist(m_lists, m_fileName->text().trimmed(), m_append->isChecked());
    QApplication::restoreOverrideCursor();
    if (!result.error.isEmpty()) {
        // A list that could not be saved or written is a different matter from a wrong
        // file name, and the user needs its reason.
        m_prompt.message(result.sourceProblem ? QStringLiteral("Select a valid file name.")
                                              : result.error,
                         Prompt::Buttons::Ok, Prompt::Icon::Critical, QStringLiteral("File Merge"));
        return;
    }
    const QString reloadError = m_reload ? m_reload() : QString();
    if (!reloadError.isEmpty()) {
        m_prompt.message(reloadError, Prompt::Buttons::Ok, Prompt::Icon::Warning,
                         QStringLiteral("Load Blacklist"));
    } else {
        QString text = QStringLiteral("Blacklist load Complete.");
        const MailImportRefusals &refused = result.refused;
        if (refused.tooBroad + refused.malformed > 0)
            text += QStringLiteral("\r\nLeft out: %1 as too broad, %2 as malformed.")
                        .arg(refused.tooBroad)
                        .arg(refused.malformed);
        m_prompt.message(text, Prompt::Buttons::Ok,
                         Prompt::Icon::Information, QStringLiteral("Load Blacklist"));
    }
    accept();
}

QString MailBlacklistImportDialog::chooseFile(QWidget *parent, const QString &folder)
{
    return QFileDialog::getOpenFileName(
        parent, QStringLiteral("Load Blacklist"), folder,
        QStringLiteral("Mail blacklist (*.mbl);;Text files (*.txt);;All files (*)"));
}

} // namespace kvorn

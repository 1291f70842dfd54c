// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/BannerImportDialog.h"

#include "banner/BannerList.h"
#include "core/Prompt.h"

#include <QApplication>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>

namespace kvorn {

BannerImportDialog::BannerImportDialog(BannerList &list, Prompt &prompt, QWidget *parent)
    : QDialog(parent), m_list(list), m_prompt(prompt), m_chooser(&chooseHostsFile),
      m_fileName(new QLineEdit(this)), m_browse(new QToolButton(this)),
      m_ok(new QPushButton(QStringLiteral("&OK"), this)),
      m_cancel(new QPushButton(QStringLiteral("&Cancel"), this))
{
    setObjectName(QStringLiteral("frmBannerImport"));
    setWindowTitle(QStringLiteral("Banner Import"));
    setModal(true);

    auto *label = new QLabel(QStringLiteral("Import Filename"), this);
    label->setObjectName(QStringLiteral("lblFileName"));
    label->setBuddy(m_fileName);
    m_fileName->setObjectName(QStringLiteral("txtFileName"));
    m_fileName->setMinimumWidth(320);
    m_browse->setObjectName(QStringLiteral("picBrowse"));
    m_browse->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    m_browse->setToolTip(QStringLiteral("Browse"));
    m_browse->setAutoRaise(true);
    m_ok->setObjectName(QStringLiteral("cmdOK"));
    m_ok->setDefault(true);
    m_cancel->setObjectName(QStringLiteral("cmdCancel"));

    connect(m_browse, &QToolButton::clicked, this, &BannerImportDialog::browse);
    connect(m_ok, &QPushButton::clicked, this, &BannerImportDialog::importChosen);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *grid = new QGridLayout;
    grid->addWidget(label, 0, 0, 1, 2);
    grid->addWidget(m_fileName, 1, 0);
    grid->addWidget(m_browse, 1, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
}

QString BannerImportDialog::fileName() const
{
    return m_fileName->text().trimmed();
}

void BannerImportDialog::browse()
{
    const QString chosen = m_chooser ? m_chooser(this) : QString();
    if (!chosen.isEmpty())
        m_fileName->setText(QDir::toNativeSeparators(chosen));
}

void BannerImportDialog::importChosen()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const BannerImportResult result = m_list.importList(fileName());
    QApplication::restoreOverrideCursor();
    if (!result.ok()) {
        m_prompt.message(result.error, Prompt::Buttons::Ok,
                         result.status == BannerImportResult::Status::WriteFailed
                             ? Prompt::Icon::Critical
                             : Prompt::Icon::Warning,
                         bannerImportTitle());
        return;
    }
    m_prompt.message(bannerImportSummary(result), Prompt::Buttons::Ok, Prompt::Icon::Information,
                     bannerImportTitle());
    accept();
}

QString BannerImportDialog::chooseHostsFile(QWidget *parent)
{
    // Hosts lists come without an extension, but a glob cannot single those out, and
    // downloads are often saved as "hosts.txt": every file is offered.
    return QFileDialog::getOpenFileName(parent, QStringLiteral("Load Banner List"), QString(),
                                        QStringLiteral("hosts. (*)"));
}

} // namespace kvorn

// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/HelpWindow.h"

#include "platform/DesktopShell.h"
#include "shell/DialogWidgets.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace kvorn {

HelpWindow::HelpWindow(DesktopShell &desktop, QWidget *parent)
    : QDialog(parent), m_desktop(desktop)
{
    setObjectName(QStringLiteral("frmHelp"));
    setWindowTitle(QStringLiteral("K-Vorn Help"));
    m_browser = new QTextBrowser(this);
    m_browser->setObjectName(QStringLiteral("txtHelp"));
    // Links to other sites go to the desktop's browser; the page's own links stay here.
    m_browser->setOpenExternalLinks(true);
    m_failure = new QLabel(this);
    m_failure->setObjectName(QStringLiteral("lblBrowserFailed"));
    m_failure->setWordWrap(true);
    m_failure->hide();
    auto *buttons = new QDialogButtonBox(this);
    QPushButton *external =
        widgets::button(QStringLiteral("Open in &Browser"), "cmdOpenInBrowser", this);
    buttons->addButton(external, QDialogButtonBox::ActionRole);
    QPushButton *close = widgets::button(QStringLiteral("&Close"), "cmdClose", this);
    buttons->addButton(close, QDialogButtonBox::RejectRole);
    connect(external, &QPushButton::clicked, this, &HelpWindow::openInBrowser);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_browser, 1);
    layout->addWidget(m_failure);
    layout->addWidget(buttons);
    resize(640, 520);
}

void HelpWindow::showPage(const QUrl &page)
{
    m_page = page;
    QUrl file = page;
    file.setFragment(QString());
    if (m_browser->source() != file)
        m_browser->setSource(file);
    if (page.hasFragment())
        m_browser->scrollToAnchor(page.fragment());
    else
        m_browser->verticalScrollBar()->setValue(0);
    m_failure->hide();
}

void HelpWindow::openInBrowser()
{
    if (m_desktop.open(m_page.toString())) {
        m_failure->hide();
        return;
    }
    m_failure->setText(QStringLiteral("No browser could be started for %1; the page stays "
                                      "shown here.")
                           .arg(QDir::toNativeSeparators(m_page.toLocalFile())));
    m_failure->show();
}

} // namespace kvorn

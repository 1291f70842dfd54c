// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QUrl>

class QLabel;
class QTextBrowser;

namespace kvorn {

class DesktopShell;

/// The bundled help page in a window of the program's own (`frmHelp`): it shows whether or
/// not the desktop has a browser that starts. "Open in &Browser" still hands the page to
/// the desktop, and says so when nothing took it.
class HelpWindow : public QDialog
{
    Q_OBJECT

public:
    HelpWindow(DesktopShell &desktop, QWidget *parent = nullptr);

    /// Shows the page (a local file, with the part after "#" as the place to go to).
    void showPage(const QUrl &page);
    QTextBrowser *browser() const { return m_browser; }

private:
    void openInBrowser();

    DesktopShell &m_desktop;
    QTextBrowser *m_browser = nullptr;
    QLabel *m_failure = nullptr;
    QUrl m_page;
};

} // namespace kvorn

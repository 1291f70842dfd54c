// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

#include <functional>

class QLineEdit;
class QPushButton;
class QToolButton;

namespace kvorn {

class BannerList;
class Prompt;

/// `frmBannerImport`: picks a published hosts list and imports it into the banner list.
class BannerImportDialog : public QDialog
{
    Q_OBJECT

public:
    /// Asks the user for the file to import; empty when cancelled.
    using FileChooser = std::function<QString(QWidget *parent)>;

    BannerImportDialog(BannerList &list, Prompt &prompt, QWidget *parent = nullptr);

    /// Replaces the file-open dialog (tests).
    void setFileChooser(FileChooser chooser) { m_chooser = std::move(chooser); }
    QString fileName() const;

    /// The browse picture: the file-open dialog "Load Banner List".
    void browse();
    /// "&OK": imports the file; closes on success, stays open (after telling why) otherwise.
    void importChosen();

    /// The file-open dialog the browse picture shows.
    static QString chooseHostsFile(QWidget *parent);

private:
    BannerList &m_list;
    Prompt &m_prompt;
    FileChooser m_chooser;
    QLineEdit *m_fileName;
    QToolButton *m_browse;
    QPushButton *m_ok;
    QPushButton *m_cancel;
};

} // namespace kvorn

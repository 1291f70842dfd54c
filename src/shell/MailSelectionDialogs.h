// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace kvorn {

class MailLists;
class MainController;
class MessageListModel;
class Prompt;

/// `frmMailAdvanced` "Advanced Select": ticks (marks for deletion) many rows of the mail
/// list at once.
class MailAdvancedSelectDialog : public QDialog
{
    Q_OBJECT

public:
    MailAdvancedSelectDialog(MessageListModel &list, QWidget *parent = nullptr);

    void selectAll();
    void unselectAll();
    void selectText();
    void selectRange();

    QLineEdit *textBox() const { return m_text; }
    QSpinBox *firstBox() const { return m_first; }
    QSpinBox *lastBox() const { return m_last; }
    QLabel *statusLabel() const { return m_status; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    MessageListModel &m_list;
    QLineEdit *m_text;
    QSpinBox *m_first;
    QSpinBox *m_last;
    QLabel *m_status;
};

/// `frmMailBlackListImport` "Import Mail Blacklist": writes a file's addresses into the
/// blacklist file and reloads both lists.
class MailBlacklistImportDialog : public QDialog
{
    Q_OBJECT

public:
    using FileChooser = std::function<QString(QWidget *parent)>;
    /// Reloads the lists; returns what could not be read, empty on success.
    using Reload = std::function<QString()>;

    MailBlacklistImportDialog(MailLists &lists, Prompt &prompt, Reload reload,
                              QWidget *parent = nullptr);

    void setFileChooser(FileChooser chooser) { m_chooser = std::move(chooser); }
    QLineEdit *fileBox() const { return m_fileName; }
    QCheckBox *appendBox() const { return m_append; }

    void browse();
    /// "&OK".
    void importChosen();

    static QString chooseFile(QWidget *parent, const QString &folder);

private:
    MailLists &m_lists;
    Prompt &m_prompt;
    Reload m_reload;
    FileChooser m_chooser;
    QLineEdit *m_fileName;
    QCheckBox *m_append;
};

} // namespace kvorn

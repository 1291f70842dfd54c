// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mail/MailSettings.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;

namespace kvorn {

class MailPreview;
class MessageListModel;

/// `frmMailPreView` "Display Mail Message ": one waiting message, fetched over a
/// connection of its own and shown as plain text (a message's HTML or a crafted subject is
/// never rendered). Not modal; closing it ends the connection.
class MailPreviewWindow : public QDialog
{
    Q_OBJECT

public:
    MailPreviewWindow(const MailSettings &settings, const MailAccounts &accounts,
                      QWidget *parent = nullptr);

    /// Shows the message of the list's `row` (the window is reused for another row).
    void showRow(const MessageListModel &list, int row);
    MailPreview &preview() { return *m_preview; }
    QPlainTextEdit *textBox() const { return m_text; }
    QCheckBox *sourceBox() const { return m_showSource; }
    /// The four fields' texts: From, To, Date, Subject.
    QStringList fields() const;

    static QString waitingText();

    /// Escape closes the window like its button, connection included.
    void reject() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void onFinished();
    void showText();

    MailPreview *m_preview;
    QLineEdit *m_from;
    QLineEdit *m_to;
    QLineEdit *m_date;
    QLineEdit *m_subject;
    QPlainTextEdit *m_text;
    QCheckBox *m_showSource;
};

} // namespace kvorn

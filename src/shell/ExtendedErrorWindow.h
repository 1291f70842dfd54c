// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QPlainTextEdit;

namespace kvorn {

/// "Extended Error Message" (`frmFTPError`): the server's own reply to a failed transfer,
/// shown as plain text (it comes from the server), and "Dismiss".
class ExtendedErrorWindow : public QDialog
{
    Q_OBJECT

public:
    explicit ExtendedErrorWindow(const QString &text, QWidget *parent = nullptr);

    /// Opens a window that frees itself when closed; the caller does not wait for it.
    static ExtendedErrorWindow *open(const QString &text, QWidget *parent = nullptr);

    QString text() const;

private:
    QPlainTextEdit *m_text = nullptr;
};

} // namespace kvorn

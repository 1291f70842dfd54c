// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/ExtendedErrorWindow.h"

#include "shell/DialogWidgets.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace kvorn {

ExtendedErrorWindow::ExtendedErrorWindow(const QString &text, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmFTPError"));
    setWindowTitle(QStringLiteral("Extended Error Message"));
    m_text = new QPlainTextEdit(this);
    m_text->setObjectName(QStringLiteral("txtError"));
    m_text->setReadOnly(true);
    m_text->setPlainText(text);
    QPushButton *dismiss = widgets::button(QStringLiteral("Dismiss"), "cmdDismiss", this);
    dismiss->setDefault(true);
    connect(dismiss, &QPushButton::clicked, this, &QDialog::close);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(dismiss);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addLayout(buttons);
    resize(420, 200);
}

ExtendedErrorWindow *ExtendedErrorWindow::open(const QString &text, QWidget *parent)
{
    auto *w = new ExtendedErrorWindow(text, parent);
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->setModal(false);
    w->show();
    return w;
}

QString ExtendedErrorWindow::text() const
{
    return m_text->toPlainText();
}

} // namespace kvorn

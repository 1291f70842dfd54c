// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/MailPreviewWindow.h"

#include "mail/MailPreview.h"
#include "mail/MessageListModel.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kvorn {

MailPreviewWindow::MailPreviewWindow(const MailSettings &settings, const MailAccounts &accounts,
                                     QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmMailPreView"));
    setWindowTitle(QStringLiteral("Display Mail Message "));
    m_preview = new MailPreview(settings, accounts, this);
    connect(m_preview, &MailPreview::finished, this, &MailPreviewWindow::onFinished);

    const auto field = [this](const char *name) {
        auto *e = new QLineEdit(this);
        e->setObjectName(QLatin1String(name));
        e->setReadOnly(true);
        return e;
    };
    m_from = field("txtFrom");
    m_to = field("txtTo");
    m_date = field("txtDate");
    m_subject = field("txtSubject");
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("From:"), m_from);
    form->addRow(QStringLiteral("To:"), m_to);
    form->addRow(QStringLiteral("Date:"), m_date);
    form->addRow(QStringLiteral("Subject:"), m_subject);

    m_text = new QPlainTextEdit(this);
    m_text->setObjectName(QStringLiteral("txtMessage"));
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_showSource = new QCheckBox(QStringLiteral("Show header and source"), this);
    m_showSource->setObjectName(QStringLiteral("chkSource"));
    connect(m_showSource, &QCheckBox::toggled, this, &MailPreviewWindow::showText);
    auto *close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("cmdClose"));
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_showSource);
    bottom->addStretch();
    bottom->addWidget(close);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_text, 1);
    layout->addLayout(bottom);
    resize(640, 520);
}

QString MailPreviewWindow::waitingText()
{
    return QStringLiteral("Reading from mail Server....    Please wait.");
}

QStringList MailPreviewWindow::fields() const
{
    return {m_from->text(), m_to->text(), m_date->text(), m_subject->text()};
}

void MailPreviewWindow::showRow(const MessageListModel &list, int row)
{
    if (row < 0 || row >= list.rowCount())
        return;
    for (QLineEdit *e : {m_from, m_to, m_date, m_subject})
        e->clear();
    m_showSource->setChecked(false);
    m_text->setPlainText(waitingText());
    show();
    raise();
    activateWindow();
    m_preview->start(list.text(row, ColAccount), list.tag(row), list.text(row, ColUniqueId));
}

void MailPreviewWindow::onFinished()
{
    if (!m_preview->error().isEmpty()) {
        m_text->setPlainText(m_preview->error());
        return;
    }
    const CMessage &m = m_preview->message();
    m_from->setText(m.From);
    m_to->setText(m.MessageTo);
    m_date->setText(m.SendDate);
    m_subject->setText(m.Subject);
    showText();
}

void MailPreviewWindow::showText()
{
    if (m_preview->isRunning() || !m_preview->error().isEmpty())
        return;
    QString text = m_showSource->isChecked() ? m_preview->source()
                                             : m_preview->message().MessageBody;
    text.remove(QLatin1Char('\r'));
    m_text->setPlainText(text);
}

void MailPreviewWindow::reject()
{
    m_preview->cancel();
    QDialog::reject();
}

void MailPreviewWindow::closeEvent(QCloseEvent *event)
{
    m_preview->cancel();
    QDialog::closeEvent(event);
}

} // namespace kvorn

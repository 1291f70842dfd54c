// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QHBoxLayout>
#include <QLatin1String>
#include <QPushButton>

#include <functional>

namespace kvorn::widgets {

// The dialogs' widgets carry object names: tests and stored keys find them by those names.

inline QCheckBox *checkBox(const QString &caption, const char *name, QWidget *parent)
{
    auto *b = new QCheckBox(caption, parent);
    b->setObjectName(QLatin1String(name));
    return b;
}

/// A button that Enter does not press unless it is made the dialog's default.
inline QPushButton *button(const QString &caption, const char *name, QWidget *parent)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

/// The "&OK" (the default, running `onOk`) and "&Cancel" (rejecting) buttons at the right
/// of a row, to go below a dialog's contents.
inline QHBoxLayout *okCancelRow(QDialog *dialog, std::function<void()> onOk)
{
    QPushButton *ok = button(QStringLiteral("&OK"), "cmdOK", dialog);
    QPushButton *cancel = button(QStringLiteral("&Cancel"), "cmdCancel", dialog);
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, dialog, std::move(onOk));
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    auto *row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
    return row;
}

} // namespace kvorn::widgets

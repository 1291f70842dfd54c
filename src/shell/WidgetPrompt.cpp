// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/WidgetPrompt.h"

#include "shell/TitleRoom.h"

#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace kvorn {

Prompt::Answer WidgetPrompt::message(const QString &text, Buttons buttons, Icon icon,
                                     const QString &title)
{
    return show(text, buttons, icon, title, std::nullopt);
}

Prompt::Answer WidgetPrompt::ask(const QString &text, Buttons buttons, Icon icon,
                                 const QString &title, Answer defaultAnswer)
{
    return show(text, buttons, icon, title, defaultAnswer);
}

Prompt::Answer WidgetPrompt::show(const QString &text, Buttons buttons, Icon icon,
                                  const QString &title, std::optional<Answer> defaultAnswer)
{
    QMessageBox box(m_parent);
    box.setWindowTitle(title.isEmpty() ? QStringLiteral("K-Vorn") : title);
    box.setText(text);
    switch (icon) {
    case Icon::None: box.setIcon(QMessageBox::NoIcon); break;
    case Icon::Information: box.setIcon(QMessageBox::Information); break;
    case Icon::Warning: box.setIcon(QMessageBox::Warning); break;
    case Icon::Critical: box.setIcon(QMessageBox::Critical); break;
    case Icon::Question: box.setIcon(QMessageBox::Question); break;
    }
    switch (buttons) {
    case Buttons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case Buttons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case Buttons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case Buttons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    if (defaultAnswer) {
        const QMessageBox::StandardButton which = [&] {
            switch (*defaultAnswer) {
            case Answer::Ok: return QMessageBox::Ok;
            case Answer::Yes: return QMessageBox::Yes;
            case Answer::No: return QMessageBox::No;
            case Answer::Cancel: break;
            }
            return QMessageBox::Cancel;
        }();
        if (QAbstractButton *b = box.button(which))
            box.setDefaultButton(static_cast<QPushButton *>(b));
    }
    makeRoomForTitle(box);
    switch (box.exec()) {
    case QMessageBox::Ok: return Answer::Ok;
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    default: return Answer::Cancel;
    }
}

std::optional<QString> WidgetPrompt::input(const QString &text, const QString &title,
                                           const QString &initial)
{
    QInputDialog dialog(m_parent);
    dialog.setWindowTitle(title.isEmpty() ? QStringLiteral("K-Vorn") : title);
    dialog.setLabelText(text);
    dialog.setTextValue(initial);
    makeRoomForTitle(dialog);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

} // namespace kvorn

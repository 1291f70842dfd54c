#include "shell/WidgetPrompt.h"

#include <QInputDialog>
#include <QMessageBox>

namespace kvorn {

Prompt::Answer WidgetPrompt::message(const QString &text, Buttons buttons, Icon icon,
                                     const QString &title)
{
    return show(text, buttons, icon, title, false);
}

Prompt::Answer WidgetPrompt::askDefaultNo(const QString &text, Icon icon, const QString &title)
{
    return show(text, Buttons::YesNo, icon, title, true);
}

Prompt::Answer WidgetPrompt::show(const QString &text, Buttons buttons, Icon icon,
                                  const QString &title, bool defaultNo)
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
    if (defaultNo)
        box.setDefaultButton(QMessageBox::No);
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
    bool ok = false;
    const QString answer =
        QInputDialog::getText(m_parent, title.isEmpty() ? QStringLiteral("K-Vorn") : title, text,
                              QLineEdit::Normal, initial, &ok);
    if (!ok)
        return std::nullopt;
    return answer;
}

} // namespace kvorn

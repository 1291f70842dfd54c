// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

namespace kvorn {

/// Message boxes and input boxes, so that logic can ask the user without knowing widgets.
class Prompt
{
public:
    enum class Icon { None, Information, Warning, Critical, Question };
    enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
    enum class Answer { Ok, Cancel, Yes, No };

    virtual ~Prompt() = default;
    /// Shows a message and returns the button the user pressed.
    virtual Answer message(const QString &text, Buttons buttons = Buttons::Ok,
                           Icon icon = Icon::None, const QString &title = {}) = 0;
    /// As `message`, with `defaultAnswer` as the button that Enter presses: a question whose
    /// safe answer is "no" must not be answered "yes" by a stray key press.
    virtual Answer ask(const QString &text, Buttons buttons, Icon icon, const QString &title,
                       Answer defaultAnswer)
    {
        (void)defaultAnswer;
        return message(text, buttons, icon, title);
    }
    /// A Yes/No question whose default button is No (for questions that destroy data).
    Answer askDefaultNo(const QString &text, Icon icon, const QString &title)
    {
        return ask(text, Buttons::YesNo, icon, title, Answer::No);
    }
    /// Asks for one line of text; nothing when the user cancels.
    virtual std::optional<QString> input(const QString &text, const QString &title = {},
                                         const QString &initial = {}) = 0;
};

/// The text of the program's error boxes: "Error 13 (Type mismatch) in procedure X of Module Y".
QString errorText(int number, const QString &description, const QString &procedure,
                  const QString &container, bool isForm = false);

} // namespace kvorn

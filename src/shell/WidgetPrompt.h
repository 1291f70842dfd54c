// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/Prompt.h"

class QWidget;

namespace kvorn {

/// Message and input boxes as Qt dialogs.
class WidgetPrompt final : public Prompt
{
public:
    explicit WidgetPrompt(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }

    Answer message(const QString &text, Buttons buttons, Icon icon, const QString &title) override;
    Answer ask(const QString &text, Buttons buttons, Icon icon, const QString &title,
               Answer defaultAnswer) override;
    std::optional<QString> input(const QString &text, const QString &title,
                                 const QString &initial) override;

private:
    Answer show(const QString &text, Buttons buttons, Icon icon, const QString &title,
                std::optional<Answer> defaultAnswer);

    QWidget *m_parent;
};

} // namespace kvorn

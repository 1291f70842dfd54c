// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Checks that Tab walks a shown window's controls in reading order.

#include <QRect>
#include <QString>
#include <QWidget>

namespace kvorn::test {

/// The first place where Tab goes up, or left within a row, as "from -> to"; empty when
/// Tab reads the window top to bottom, each row left to right. Only the controls Tab can
/// reach now count: shown, enabled, taking focus by Tab.
inline QString tabOrderProblem(QWidget *window)
{
    const auto reachable = [window](QWidget *w) {
        return w != window && w->isVisibleTo(window) && w->isEnabled() &&
               (w->focusPolicy() & Qt::TabFocus) && !w->focusProxy();
    };
    const auto place = [window](QWidget *w) {
        return QRect(w->mapTo(window, QPoint(0, 0)), w->size());
    };
    const auto name = [](QWidget *w) {
        return w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className())
                                         : w->objectName();
    };
    QWidget *previous = nullptr;
    for (QWidget *w = window->nextInFocusChain(); w != window; w = w->nextInFocusChain()) {
        if (!reachable(w))
            continue;
        if (previous) {
            const QRect a = place(previous);
            const QRect b = place(w);
            constexpr int slack = 4;
            const bool nextRow = b.top() >= a.bottom() - slack;
            const bool sameRow = b.top() < a.bottom() && a.top() < b.bottom();
            const bool rightward = b.left() >= a.right() - slack;
            if (!nextRow && !(sameRow && rightward))
                return name(previous) + QStringLiteral(" -> ") + name(w);
        }
        previous = w;
    }
    return {};
}

} // namespace kvorn::test

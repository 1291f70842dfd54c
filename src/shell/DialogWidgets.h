#pragma once

#include <QCheckBox>
#include <QLatin1String>
#include <QPushButton>

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

} // namespace kvorn::widgets

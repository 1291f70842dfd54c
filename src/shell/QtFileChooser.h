// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/FileChooser.h"

class QWidget;

namespace kvorn {

/// File dialogs as Qt shows them.
class QtFileChooser final : public FileChooser
{
public:
    explicit QtFileChooser(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }

    QString openFile(const QString &title, const QString &filter) override;
    QString saveFile(const QString &title, const QString &filter,
                     const QString &defaultName) override;

private:
    QWidget *m_parent;
};

} // namespace kvorn

// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/QtFileChooser.h"

#include <QFileDialog>

namespace kvorn {

QString QtFileChooser::openFile(const QString &title, const QString &filter)
{
    return QFileDialog::getOpenFileName(m_parent, title, QString(), filter);
}

QString QtFileChooser::saveFile(const QString &title, const QString &filter,
                                const QString &defaultName)
{
    return QFileDialog::getSaveFileName(m_parent, title, defaultName, filter);
}

} // namespace kvorn

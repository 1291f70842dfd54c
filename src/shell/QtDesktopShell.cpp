// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/QtDesktopShell.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace kvorn {

bool QtDesktopShell::open(const QString &target)
{
    if (target.trimmed().isEmpty())
        return false;
    const QUrl url = QFileInfo::exists(target) ? QUrl::fromLocalFile(target)
                                               : QUrl::fromUserInput(target);
    return QDesktopServices::openUrl(url);
}

} // namespace kvorn

// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/Prompt.h"

namespace kvorn {

QString errorText(int number, const QString &description, const QString &procedure,
                  const QString &container, bool isForm)
{
    return QStringLiteral("Error %1 (%2) in procedure %3 of %4 %5")
        .arg(number)
        .arg(description, procedure, isForm ? QStringLiteral("Form") : QStringLiteral("Module"),
             container);
}

} // namespace kvorn

// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/StatusTexts.h"

namespace kvorn {

bool StatusTexts::store(int screen, int panel, const QString &text)
{
    if (screen < 0 || screen > 3 || panel < 0 || panel > 4)
        return false;
    m_texts[screen][panel] = text;
    return true;
}

QString StatusTexts::text(int screen, int panel) const
{
    if (screen < 0 || screen > 3 || panel < 0 || panel > 4)
        return {};
    return m_texts[screen][panel];
}

std::array<QString, 4> StatusTexts::panels(int screen) const
{
    return {text(screen, 1), text(screen, 2), text(screen, 3), text(screen, 4)};
}

} // namespace kvorn

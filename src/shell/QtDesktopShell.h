// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/DesktopShell.h"

namespace kvorn {

/// Opens addresses and files with the desktop's handlers (xdg-open and friends).
class QtDesktopShell final : public DesktopShell
{
public:
    bool open(const QString &target) override;
};

} // namespace kvorn

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace kvorn {

/// Opens documents and addresses with the desktop's handler.
class DesktopShell
{
public:
    virtual ~DesktopShell() = default;
    /// Opens an address or a file; false when no handler took it.
    virtual bool open(const QString &target) = 0;
};

} // namespace kvorn

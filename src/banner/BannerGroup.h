// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace kvorn {

/// One row of the banner list: a group of advertising servers the user may block.
struct BannerGroup
{
    bool selected = false;
    QString name;
    /// The server count as stored; the import writes decimal digits, the list shows it as is.
    QString count;

    bool operator==(const BannerGroup &) const = default;
};

} // namespace kvorn

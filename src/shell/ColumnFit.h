// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

class QTreeView;

namespace kvorn {

/// Sizes a list's columns to the wider of header and contents. On a list in sight the
/// first column gives way where it would push the columns after it out of the list, so
/// every column stays readable in a narrow window.
void fitColumns(QTreeView &view);

/// Fits the list's columns once rows came, went or changed, while `wanted` says so
/// ("AutoColumn"); many changes in a row are fitted once.
void fitColumnsWhenChanged(QTreeView &view, std::function<bool()> wanted);

} // namespace kvorn

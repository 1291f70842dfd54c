// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace kvorn {

/// File open and save dialogs, so that commands can ask for a file without knowing widgets.
class FileChooser
{
public:
    virtual ~FileChooser() = default;
    /// An existing file the user picked; empty when cancelled. `filter` as Qt writes it
    /// ("Black List (*.kbl)").
    virtual QString openFile(const QString &title, const QString &filter) = 0;
    /// A file name to save under, in an existing folder; empty when cancelled.
    virtual QString saveFile(const QString &title, const QString &filter,
                             const QString &defaultName) = 0;
};

} // namespace kvorn

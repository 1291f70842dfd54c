// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace kvorn {

/// Plays sound files without waiting for them.
class SoundPlayer
{
public:
    virtual ~SoundPlayer() = default;
    /// Starts playing the file; does nothing when there is no device or the device is busy.
    virtual void play(const QString &filePath) = 0;
};

} // namespace kvorn

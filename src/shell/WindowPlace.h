// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QRect>

namespace kvorn {

class SettingsStore;

/// The main window's place as stored in "Left", "Top", "Width" and "Height" of section
/// "Options", in twips (15 to the logical pixel): the frame's top left corner and the
/// size of the window's inside.
struct WindowPlace
{
    static constexpr int kTwipsPerPixel = 15;
    static constexpr int kDefaultWidthTwips = 5085;
    static constexpr int kDefaultHeightTwips = 5580;

    /// The place to restore: a value that is not a number falls back to its default
    /// (a third of the screen across and down, 5085 by 5580 twips); the size stays
    /// within `minimum` and the screen; a place that does not mostly lie on one of
    /// `screens` (their available areas) goes back to the default place on the first.
    static QRect restore(const SettingsStore &store, const QList<QRect> &screens, QSize minimum);
    /// Stores the frame's corner and the inside's size (reaching the file at the next save).
    static void store(SettingsStore &store, QPoint framePos, QSize size);
};

} // namespace kvorn

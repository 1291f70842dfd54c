// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <array>

namespace kvorn {

/// The screens of the main window, numbered as the status table counts them.
enum Screen : int { NoScreen = 0, PopupScreen = 1, MailScreen = 2, BannerScreen = 3 };

/// The status bar's texts, kept per screen (0 to 3) and panel (0 to 4).
class StatusTexts
{
public:
    /// Stores a text; false when screen or panel is out of range.
    bool store(int screen, int panel, const QString &text);
    /// The stored text, empty when none.
    QString text(int screen, int panel) const;
    /// The four panels of a screen.
    std::array<QString, 4> panels(int screen) const;

private:
    std::array<std::array<QString, 5>, 4> m_texts;
};

} // namespace kvorn

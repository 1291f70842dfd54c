// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QDialog;
class QMessageBox;
class QString;

namespace kvorn {

/// The least width of a window whose title bar shows `title` whole: the text in a bold
/// font, as window managers draw titles, and room for the icon and the window buttons.
int titleRoom(const QString &title);

/// Keeps a small dialog from cutting off its own title.
void makeRoomForTitle(QDialog &dialog);

/// The same for a message box, which sizes itself to its text when it is shown.
void makeRoomForTitle(QMessageBox &box);

} // namespace kvorn

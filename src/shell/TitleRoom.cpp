// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/TitleRoom.h"

#include <QApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

#include <algorithm>

namespace kvorn {

namespace {
// The window icon, three window buttons and the gaps between them in the usual themes.
constexpr int kTitleBarExtras = 140;
} // namespace

int titleRoom(const QString &title)
{
    QFont font = QApplication::font();
    font.setBold(true);
    return QFontMetrics(font).horizontalAdvance(title) + kTitleBarExtras;
}

void makeRoomForTitle(QDialog &dialog)
{
    dialog.setMinimumWidth(std::max(dialog.minimumWidth(), titleRoom(dialog.windowTitle())));
}

void makeRoomForTitle(QMessageBox &box)
{
    // A message box takes its size from its layout each time it is shown, so a minimum
    // width set on the box itself is lost: the room goes into the layout instead.
    auto *grid = qobject_cast<QGridLayout *>(box.layout());
    if (!grid)
        return;
    grid->addItem(new QSpacerItem(titleRoom(box.windowTitle()), 0, QSizePolicy::Minimum,
                                  QSizePolicy::Fixed),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

} // namespace kvorn

// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/WindowPlace.h"

#include "core/ProgramSettings.h"
#include "core/SettingsStore.h"

#include <cmath>
#include <optional>

namespace kvorn {

namespace {
std::optional<int> readPixels(const SettingsStore &store, const char *key)
{
    const auto text = store.read(kOptionsSection, QString::fromLatin1(key));
    if (!text)
        return std::nullopt;
    bool ok = false;
    const double twips = text->trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(twips) || std::abs(twips) > 1e8)
        return std::nullopt;
    return int(std::lround(twips / WindowPlace::kTwipsPerPixel));
}

qint64 area(const QRect &r)
{
    return r.isValid() ? qint64(r.width()) * r.height() : 0;
}
} // namespace

QRect WindowPlace::restore(const SettingsStore &store, const QList<QRect> &screens, QSize minimum)
{
    const QRect primary = screens.isEmpty() ? QRect(0, 0, 1024, 768) : screens.first();
    const QPoint defaultPos(primary.x() + primary.width() / 3, primary.y() + primary.height() / 3);
    QSize size(readPixels(store, "Width").value_or(kDefaultWidthTwips / kTwipsPerPixel),
               readPixels(store, "Height").value_or(kDefaultHeightTwips / kTwipsPerPixel));
    size = size.expandedTo(minimum);
    QPoint pos(readPixels(store, "Left").value_or(defaultPos.x()),
               readPixels(store, "Top").value_or(defaultPos.y()));
    // The largest screen bounds the size, so a window from a bigger screen still fits.
    QSize largest;
    for (const QRect &s : screens)
        largest = largest.expandedTo(s.size());
    if (largest.isValid())
        size = size.boundedTo(largest).expandedTo(minimum);

    const QRect frame(pos, size);
    bool onScreen = false;
    for (const QRect &s : screens) {
        if (area(frame.intersected(s)) * 2 >= area(frame))
            onScreen = true;
    }
    if (!onScreen) {
        pos = defaultPos;
        // Still too big for the first screen's free area: its corner then.
        if (pos.x() + size.width() > primary.right() + 1)
            pos.setX(std::max(primary.x(), primary.right() + 1 - size.width()));
        if (pos.y() + size.height() > primary.bottom() + 1)
            pos.setY(std::max(primary.y(), primary.bottom() + 1 - size.height()));
    }
    return QRect(pos, size);
}

void WindowPlace::store(SettingsStore &store, QPoint framePos, QSize size)
{
    const auto twips = [](int pixels) { return QString::number(qint64(pixels) * kTwipsPerPixel); };
    store.write(kOptionsSection, QStringLiteral("Left"), twips(framePos.x()));
    store.write(kOptionsSection, QStringLiteral("Top"), twips(framePos.y()));
    store.write(kOptionsSection, QStringLiteral("Width"), twips(size.width()));
    store.write(kOptionsSection, QStringLiteral("Height"), twips(size.height()));
}

} // namespace kvorn

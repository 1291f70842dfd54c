// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/Prompt.h"
#include "platform/Clock.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

// What the fuzz targets share: the Qt application object, a private folder for the run,
// and quiet stand-ins for the user and the clock.

namespace kvorn::fuzz {

/// Creates the application object once (event loop, sockets, settings need it) and a
/// private folder for the run, with the program's folders pointed into it.
void startApplication(int *argc, char ***argv);

/// The run's private folder.
QString scratchFolder();

/// Writes `data` to `path`, replacing what the previous input left there. Each run writes
/// its inputs to one file and reuses it.
void writeInput(const QString &path, const std::uint8_t *data, std::size_t size);

/// The input as raw bytes, without a copy.
inline QByteArray bytesOf(const std::uint8_t *data, std::size_t size)
{
    return QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
}

/// The input as text, the way the target's first byte says: UTF-8 (invalid sequences
/// replaced), Latin-1, or raw UTF-16 code units (lone surrogates included).
QString textOf(const std::uint8_t *data, std::size_t size);

/// Answers every box with its first button and forgets what it was asked.
class QuietPrompt final : public Prompt
{
public:
    Answer message(const QString &, Buttons buttons, Icon, const QString &) override
    {
        ++messages;
        return buttons == Buttons::YesNo || buttons == Buttons::YesNoCancel ? Answer::Yes
                                                                            : Answer::Ok;
    }
    std::optional<QString> input(const QString &, const QString &, const QString &) override
    {
        return std::nullopt;
    }
    int messages = 0;
};

/// A fixed date and time, so that a crash input replays the same way on any day.
class FixedClock final : public Clock
{
public:
    QDateTime now() const override { return QDateTime(QDate(2026, 12, 9), QTime(10, 15, 32)); }
};

} // namespace kvorn::fuzz

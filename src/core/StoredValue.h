// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace kvorn {

/// Why a stored text could not be converted (the number and description shown to the user).
struct ConversionError
{
    int number = 13;
    QString description = QStringLiteral("Type mismatch");
};

/// The settings store's text forms.
namespace stored {

/// "True"/"False" (any case) or a number: zero is false, any other number true.
std::optional<bool> toBool(const QString &text, ConversionError *error = nullptr);
/// A decimal number rounded to the nearest whole (halves to even), in 16 bits.
std::optional<std::int16_t> toInt16(const QString &text, ConversionError *error = nullptr);
/// The same in 32 bits.
std::optional<std::int32_t> toInt32(const QString &text, ConversionError *error = nullptr);

inline QString fromBool(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}
inline QString fromNumber(std::int64_t value)
{
    return QString::number(value);
}

} // namespace stored
} // namespace kvorn

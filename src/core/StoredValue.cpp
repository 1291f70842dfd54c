// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/StoredValue.h"

#include <QLocale>

#include <cmath>
#include <limits>

namespace kvorn::stored {

namespace {
std::optional<double> toNumber(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    bool ok = false;
    double value = QLocale::c().toDouble(trimmed, &ok);
    if (!ok) {
        // Numbers may also come in the user's own notation (a decimal comma).
        value = QLocale().toDouble(trimmed, &ok);
    }
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

template <typename T> std::optional<T> toInteger(const QString &text, ConversionError *error)
{
    const auto value = toNumber(text);
    if (!value) {
        // A Boolean text converts to a number too (-1 or 0), as the original language did.
        const QString t = text.trimmed();
        if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
            return T(-1);
        if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
            return T(0);
        if (error)
            *error = ConversionError{};
        return std::nullopt;
    }
    const double rounded = std::nearbyint(*value); // default rounding: halves to even
    if (rounded < double(std::numeric_limits<T>::min()) ||
        rounded > double(std::numeric_limits<T>::max())) {
        if (error)
            *error = ConversionError{6, QStringLiteral("Overflow")};
        return std::nullopt;
    }
    return static_cast<T>(rounded);
}
} // namespace

std::optional<bool> toBool(const QString &text, ConversionError *error)
{
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    if (const auto number = toNumber(t))
        return *number != 0.0;
    if (error)
        *error = ConversionError{};
    return std::nullopt;
}

std::optional<std::int16_t> toInt16(const QString &text, ConversionError *error)
{
    return toInteger<std::int16_t>(text, error);
}

std::optional<std::int32_t> toInt32(const QString &text, ConversionError *error)
{
    return toInteger<std::int32_t>(text, error);
}

} // namespace kvorn::stored

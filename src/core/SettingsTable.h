// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/Prompt.h"
#include "core/SettingsStore.h"
#include "core/StoredValue.h"

#include <QString>

#include <cstdint>
#include <span>
#include <variant>

namespace kvorn {

/// One stored key of a settings section and the member of `T` it holds. A table of these
/// gives both the keys and the order they are written in, so load and save cannot drift
/// apart.
template <class T> struct SettingsKey
{
    using Field = std::variant<bool T::*, QString T::*, std::int16_t T::*, std::int32_t T::*>;

    const char *key;
    Field field;
};

namespace settings_table {

template <class... Ts> struct Overloaded : Ts...
{
    using Ts::operator()...;
};
template <class... Ts> Overloaded(Ts...) -> Overloaded<Ts...>;

template <class T> QString textOf(const T &values, const typename SettingsKey<T>::Field &field)
{
    return std::visit(Overloaded{
                          [&](bool T::*m) { return stored::fromBool(values.*m); },
                          [&](QString T::*m) { return values.*m; },
                          [&](std::int16_t T::*m) { return stored::fromNumber(values.*m); },
                          [&](std::int32_t T::*m) { return stored::fromNumber(values.*m); },
                      },
                      field);
}

// Converts `text` into the field; false (with the error) when it does not convert, and
// then the field keeps its value.
template <class T>
bool assign(T &values, const typename SettingsKey<T>::Field &field, const QString &text,
            ConversionError *error)
{
    const auto store = [&](auto member, const auto &converted) {
        if (converted)
            values.*member = *converted;
        return converted.has_value();
    };
    return std::visit(Overloaded{
                          [&](bool T::*m) { return store(m, stored::toBool(text, error)); },
                          [&](QString T::*m) {
                              values.*m = text;
                              return true;
                          },
                          [&](std::int16_t T::*m) { return store(m, stored::toInt16(text, error)); },
                          [&](std::int32_t T::*m) { return store(m, stored::toInt32(text, error)); },
                      },
                      field);
}

} // namespace settings_table

/// Reads every key of `table` from `section` into `values`; a missing key takes its value
/// from `defaults`. A stored text that does not convert is reported (naming `procedure`)
/// and that key alone falls back to its default: one bad value must not cost the user
/// every later setting.
template <class T>
void readSettingsTable(const SettingsStore &store, const QString &section,
                       std::span<const SettingsKey<T>> table, T &values, const T &defaults,
                       Prompt &prompt, const QString &procedure)
{
    for (const SettingsKey<T> &def : table) {
        const QString fallback = settings_table::textOf(defaults, def.field);
        const QString text = store.read(section, QString::fromLatin1(def.key), fallback);
        ConversionError error;
        if (!settings_table::assign(values, def.field, text, &error)) {
            prompt.message(errorText(error.number, error.description, procedure,
                                     QStringLiteral("KvornMain")),
                           Prompt::Buttons::Ok, Prompt::Icon::Critical);
            settings_table::assign(values, def.field, fallback, nullptr);
        }
    }
}

/// Writes every key of `table` into `section`, in the table's order.
template <class T>
void writeSettingsTable(SettingsStore &store, const QString &section,
                        std::span<const SettingsKey<T>> table, const T &values)
{
    for (const SettingsKey<T> &def : table)
        store.write(section, QString::fromLatin1(def.key), settings_table::textOf(values, def.field));
}

} // namespace kvorn

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/Options.h"

#include <QDate>
#include <QString>

#include <functional>

namespace kvorn {

class SettingsStore;
class RegistryFunctions;
class Prompt;

/// The section of the options record.
inline const QString kOptionsSection = QStringLiteral("Options");

/// Loads and saves the options record (`LoadMyOptions`, the record part of
/// `SaveProgramSettings`).
class ProgramSettings
{
public:
    ProgramSettings(Options &options, SettingsStore &store, RegistryFunctions &registry,
                    Prompt &prompt);

    /// Fills the record from the store in the keys' order. A stored text that cannot be
    /// converted is reported and that key takes its default; the later keys load as usual.
    void LoadMyOptions(const QDate &today);
    /// Writes the record in the keys' order and registers or unregisters the start with
    /// the desktop session. False (and `error` set) when the store could not be written.
    bool saveOptions(QString *error = nullptr);

    /// The command the desktop session starts the program with.
    void setRunCommand(const QString &command) { m_runCommand = command; }

private:
    Options &m_options;
    SettingsStore &m_store;
    RegistryFunctions &m_registry;
    Prompt &m_prompt;
    QString m_runCommand;
};

} // namespace kvorn

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace kvorn {

/// Where the program keeps its files and settings.
struct ProgramPaths
{
    QString programFolder; ///< lists, log, hosts, tips, sounds, downloads
    QString configFolder;  ///< the settings store and the registry
    QString autostartFolder;

    /// The paths from the environment: `$KVORN_HOME` or `$XDG_DATA_HOME/kvorn`, and
    /// `$XDG_CONFIG_HOME/kvorn`, with the XDG fallbacks under the home folder.
    static ProgramPaths fromEnvironment();

    QString settingsFile() const;
    QString registryFile() const;
    /// A file of the program folder.
    QString file(const QString &name) const;
};

/// Creates the program folder and copies the default data into it where it is missing.
/// `seedFolder` holds the installed default data; false when the folder cannot be made.
bool prepareProgramFolder(const QString &programFolder, const QString &seedFolder);

} // namespace kvorn

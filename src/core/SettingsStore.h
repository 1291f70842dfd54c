// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSettings>
#include <QString>

#include <optional>

namespace kvorn {

/// The per-user settings store: text values by section and key, in an INI file.
///
/// Sections use the program's backslash form ("Options\MailSettings"); values are the
/// texts the program writes ("True"/"False", decimal numbers, plain texts).
class SettingsStore
{
public:
    explicit SettingsStore(const QString &filePath);

    /// The stored text, or nothing when the key does not exist.
    std::optional<QString> read(const QString &section, const QString &key) const;
    /// The stored text, or `fallback` when the key does not exist.
    QString read(const QString &section, const QString &key, const QString &fallback) const;
    /// Stores a text; it reaches the file at the next `save`.
    void write(const QString &section, const QString &key, const QString &text);
    /// Removes a key or, with an empty key, a whole section.
    void remove(const QString &section, const QString &key = {});
    /// Writes pending changes atomically and takes in changes made by other processes.
    /// False when the file could not be written; the old file then stays whole.
    bool save();
    /// Takes in changes that another process saved.
    void reload();
    /// The file behind the store.
    QString filePath() const { return m_settings.fileName(); }
    /// Empty when the file read well; else a text for the user saying that it was damaged
    /// and where the copy of it was kept (the next save replaces the damaged file).
    QString loadProblem() const { return m_loadProblem; }
    /// How many copies of damaged settings files are kept, the newest first.
    static constexpr int kDamagedCopies = 5;
    /// Where a damaged settings file is kept: `age` 0 is the newest copy, the older ones
    /// are numbered up to kDamagedCopies - 1.
    static QString damagedCopyPath(const QString &filePath, int age = 0);

private:
    static QString keyPath(const QString &section, const QString &key);
    void protectFile();
    void keepDamagedFile(const QString &filePath);
    static QString makeRoomForDamagedCopy(const QString &filePath);

    QString m_loadProblem;

    mutable QSettings m_settings;
};

} // namespace kvorn

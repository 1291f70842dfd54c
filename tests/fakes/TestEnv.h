// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLocale>
#include <QString>
#include <QTemporaryDir>

namespace kvorn::test {

/// A private home for one test: program folder, config and data folders under a
/// temporary directory, pointed to by the environment so that nothing touches the real
/// home. The locale is pinned to en_US so that dates read the same everywhere.
class TestEnv
{
public:
    TestEnv();
    ~TestEnv();
    TestEnv(const TestEnv &) = delete;
    TestEnv &operator=(const TestEnv &) = delete;

    QString root() const { return m_dir.path(); }
    QString programFolder() const { return m_dir.path() + QStringLiteral("/home"); }
    QString configFolder() const { return m_dir.path() + QStringLiteral("/config"); }
    QString settingsFile() const { return configFolder() + QStringLiteral("/kvorn/kvorn.ini"); }
    QString file(const QString &name) const { return programFolder() + QLatin1Char('/') + name; }

    /// Writes a file of the program folder from raw bytes.
    void writeFile(const QString &name, const QByteArray &bytes) const;
    /// Reads a file of the program folder as raw bytes.
    QByteArray readFile(const QString &name) const;

private:
    QTemporaryDir m_dir;
    QLocale m_oldLocale;
};

/// A fixture file of tests/data.
QString dataFile(const QString &name);
/// The bytes of a fixture file of tests/data; a missing fixture ends the test program.
QByteArray dataFileBytes(const QString &name);

} // namespace kvorn::test

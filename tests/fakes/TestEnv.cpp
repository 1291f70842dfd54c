// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestEnv.h"

#include <QDir>
#include <QFile>

namespace kvorn::test {

TestEnv::TestEnv()
{
    QDir().mkpath(programFolder());
    QDir().mkpath(configFolder());
    QDir().mkpath(m_dir.path() + QStringLiteral("/data"));
    // The runtime folder must be private, or Qt refuses it.
    const QString runtime = m_dir.path() + QStringLiteral("/run");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
    qputenv("KVORN_HOME", programFolder().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", configFolder().toLocal8Bit());
    qputenv("XDG_DATA_HOME", (m_dir.path() + QStringLiteral("/data")).toLocal8Bit());
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

TestEnv::~TestEnv()
{
    QLocale::setDefault(m_oldLocale);
}

void TestEnv::writeFile(const QString &name, const QByteArray &bytes) const
{
    QFile f(file(name));
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}

QByteArray TestEnv::readFile(const QString &name) const
{
    QFile f(file(name));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

QString dataFile(const QString &name)
{
    return QStringLiteral(KVORN_TEST_DATA "/") + name;
}

QByteArray dataFileBytes(const QString &name)
{
    QFile file(dataFile(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", qPrintable(name));
    return file.readAll();
}

} // namespace kvorn::test

// SPDX-License-Identifier: GPL-3.0-or-later
#include "FuzzSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

#include <cstdlib>

namespace kvorn::fuzz {

namespace {
QTemporaryDir *g_scratch = nullptr;

void removeScratch()
{
    delete g_scratch;
    g_scratch = nullptr;
}
} // namespace

void startApplication(int *argc, char ***argv)
{
    if (QCoreApplication::instance())
        return;
    // Qt keeps a reference to the argument count for the application's lifetime.
    static int qtArgc = 1;
    static char *qtArgv[] = {(*argc > 0 ? (*argv)[0] : nullptr), nullptr};
    new QCoreApplication(qtArgc, qtArgv);

    g_scratch = new QTemporaryDir(QDir::tempPath() + QStringLiteral("/kvorn-fuzz-XXXXXX"));
    if (!g_scratch->isValid())
        qFatal("cannot make a scratch folder");
    std::atexit(removeScratch);
    // Whatever a parser looks up under the user's folders stays in the run's folder.
    const QString root = g_scratch->path();
    for (const char *sub : {"home", "config", "data"})
        QDir(root).mkpath(QString::fromLatin1(sub));
    qputenv("KVORN_HOME", (root + QStringLiteral("/home")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (root + QStringLiteral("/config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", (root + QStringLiteral("/data")).toLocal8Bit());
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

QString scratchFolder()
{
    return g_scratch ? g_scratch->path() : QString();
}

void writeInput(const QString &path, const std::uint8_t *data, std::size_t size)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write the input file %s", qPrintable(path));
    if (file.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size))
        qFatal("cannot write the input file %s", qPrintable(path));
}

QString textOf(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return {};
    const char *text = reinterpret_cast<const char *>(data + 1);
    const qsizetype length = qsizetype(size - 1);
    switch (data[0] % 3) {
    case 0:
        return QString::fromUtf8(text, length);
    case 1:
        return QString::fromLatin1(text, length);
    default: {
        QString s(length / 2, Qt::Uninitialized);
        for (qsizetype i = 0; i < s.size(); ++i)
            s[i] = QChar(char16_t(data[1 + 2 * i] | data[2 + 2 * i] << 8));
        return s;
    }
    }
}

} // namespace kvorn::fuzz

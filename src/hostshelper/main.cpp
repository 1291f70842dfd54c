// kvorn-hosts-helper: the one part of K-Vorn that runs as root (through pkexec). It puts
// the banner blocker's servers into the system's hosts file inside a marked block, or takes
// the block out, and nothing else: every name it writes is checked here, not trusted from
// the caller.
#include "hostshelper/HostsBlock.h"
#include "platform/SafeFile.h"

#include <QFile>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

using namespace kvorn;

namespace {

constexpr const char kSystemHosts[] = "/etc/hosts";
// A list of a million servers is far beyond any published one; more is no host list.
constexpr qsizetype kMaxInput = 64 << 20;

int usage()
{
    std::fputs("usage: kvorn-hosts-helper [--target FILE] apply|remove\n"
               "  apply   reads host names from standard input, one a line, and blocks them\n"
               "  remove  takes K-Vorn's block out of the hosts file\n"
               "  --target FILE  works on FILE instead of /etc/hosts (not under pkexec)\n",
               stderr);
    return 2;
}

int fail(const QString &why)
{
    std::fprintf(stderr, "kvorn-hosts-helper: %s\n", why.toLocal8Bit().constData());
    return 1;
}

bool readInput(QByteArray *out)
{
    char buffer[1 << 16];
    for (;;) {
        const std::size_t got = std::fread(buffer, 1, sizeof buffer, stdin);
        out->append(buffer, qsizetype(got));
        if (out->size() > kMaxInput)
            return false;
        if (got < sizeof buffer)
            return !std::ferror(stdin);
    }
}

} // namespace

int main(int argc, char **argv)
{
    QString target = QString::fromLatin1(kSystemHosts);
    int arg = 1;
    if (argc == 4 && std::strcmp(argv[1], "--target") == 0) {
        // Under pkexec the caller is not root: letting it choose the file would let it add
        // lines to any file of the machine.
        if (std::getenv("PKEXEC_UID") != nullptr || getuid() != geteuid())
            return fail(QStringLiteral("--target is not allowed when run for another user"));
        target = QFile::decodeName(argv[2]);
        arg = 3;
    }
    if (argc != arg + 1)
        return usage();
    const bool apply = std::strcmp(argv[arg], "apply") == 0;
    if (!apply && std::strcmp(argv[arg], "remove") != 0)
        return usage();

    QByteArray input;
    QList<QByteArrayView> names;
    QString error;
    if (apply) {
        if (!readInput(&input))
            return fail(QStringLiteral("the list of host names could not be read or is too long"));
        auto parsed = parseNameLines(input, &error);
        if (!parsed)
            return fail(error);
        names = std::move(*parsed);
    }

    QFile file(target);
    QByteArray current;
    const bool existed = file.exists();
    if (existed) {
        if (!file.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("%1: %2").arg(target, file.errorString()));
        current = file.readAll();
        if (file.error() != QFileDevice::NoError)
            return fail(QStringLiteral("%1: %2").arg(target, file.errorString()));
        file.close();
    }
    const auto updated = withBlock(current, names, &error);
    if (!updated)
        return fail(QStringLiteral("%1: %2").arg(target, error));
    if (existed && *updated == current)
        return 0;

    // The backup is on the disk before the hosts file changes, so it always holds a file
    // that was once in force.
    if (existed) {
        error = replaceFileContents(target + QStringLiteral(".kvorn-backup"), current, kSharedFile);
        if (!error.isEmpty())
            return fail(error);
    }
    error = replaceFileContents(target, *updated, kSharedFile);
    if (!error.isEmpty())
        return fail(error);
    return 0;
}

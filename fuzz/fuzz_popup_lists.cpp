// SPDX-License-Identifier: GPL-3.0-or-later
// The popup list files: the black and white lists ("spamlist.kbl", "spamex.kbl"), the
// banned list, and the text file reader under them.
#include "FuzzSupport.h"

#include "core/TextFile.h"
#include "popups/PopupListFile.h"

using namespace kvorn;

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    fuzz::startApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const QString path = fuzz::scratchFolder() + QStringLiteral("/spamlist.kbl");
    fuzz::writeInput(path, data, size);

    const ListFileRead list = readListFile(path);
    if (!list.exists || !list.error.isEmpty())
        qFatal("a written list file did not read");
    // What is read is written back the same way, and reads again to the same entries.
    for (const PopupEntry &entry : list.entries) {
        const QStringList fields = listLineFields(entry);
        if (fields.size() != 4)
            qFatal("a list line has %d fields", int(fields.size()));
        (void)encodeLine(fields);
    }
    (void)readBannedFile(path);
    (void)readFieldLines(path);
    (void)readLines(path);
    for (const QByteArrayView line : splitLines(fuzz::bytesOf(data, size)))
        (void)parseListLine(decodeLine(line).split(kFieldSeparatorChar));
    return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// The stored form of an account's password.
#include "FuzzSupport.h"

#include "mail/MailSettings.h"

using namespace kvorn;

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    fuzz::startApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString stored = fuzz::textOf(data, size);
    const QString plain = DecodeAcctPass(stored);
    // A password decoded from any stored text is stored and read back unchanged, unless it
    // holds characters UTF-8 cannot carry (a lone surrogate from a broken stored form).
    const QString again = DecodeAcctPass(EncodeAcctPass(plain));
    const bool encodable = QString::fromUtf8(plain.toUtf8()) == plain;
    if (encodable && again != plain)
        qFatal("a password does not survive being stored");
    return 0;
}

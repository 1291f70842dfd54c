// SPDX-License-Identifier: GPL-3.0-or-later
// The mail blacklist file "mail.mbl", and the sender texts the mail lists take apart.
#include "FuzzSupport.h"

#include "mail/MailListText.h"
#include "mail/MailLists.h"

using namespace kvorn;

namespace {
fuzz::FixedClock g_clock;
}

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    fuzz::startApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const QString folder = fuzz::scratchFolder() + QStringLiteral("/home");
    static const QString path = folder + QLatin1Char('/') + MailLists::blacklistFileName();
    fuzz::writeInput(path, data, size);

    MailLists lists(folder, g_clock);
    if (!lists.LoadMailLists([](int) {}).isEmpty())
        qFatal("a written list file did not read");

    // The whole input as a sender: the address and domain helpers, the look-up with its
    // wildcards, and the "add" commands' entries.
    const QString sender = fuzz::textOf(data, size);
    (void)mailListAddress(sender);
    (void)senderAddress(sender);
    (void)senderDomain(sender);
    (void)friendsDomainEntry(sender);
    (void)blacklistDomainEntry(sender);
    (void)lists.IsInMailList(MailListKind::Blacklist, mailListAddress(sender), sender);
    (void)lists.MatchesMailRow({true, sender}, sender);

    // Every entry read is matched against a sender that holds it.
    const MailListEntryModel &black = lists.blacklist();
    for (int row = 0; row < black.rowCount() && row < 64; ++row) {
        const QString address = black.entry(row).Address;
        (void)lists.IsInMailList(MailListKind::Blacklist, address, QString());
    }
    return 0;
}

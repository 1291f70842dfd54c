// SPDX-License-Identifier: GPL-3.0-or-later
// The program's settings file "kvorn.ini": the options record, the mail options and the
// accounts, as the program loads them at start.
#include "FuzzSupport.h"

#include "core/Options.h"
#include "core/ProgramSettings.h"
#include "core/RegistryFunctions.h"
#include "core/SettingsStore.h"
#include "mail/MailSettings.h"
#include "platform/IniRegistry.h"

#include <QFile>

using namespace kvorn;

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    fuzz::startApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const QString config = fuzz::scratchFolder() + QStringLiteral("/config");
    static const QString path = config + QStringLiteral("/kvorn/kvorn.ini");
    static IniRegistry registry(config + QStringLiteral("/kvorn/registry.ini"));
    static RegistryFunctions registryFunctions(registry, config + QStringLiteral("/autostart"));
    static qint64 serial = 0;

    static const bool folderMade = [] {
        SettingsStore made(path); // makes the folder
        return true;
    }();
    (void)folderMade;
    fuzz::writeInput(path, data, size);
    {
        // Qt keeps parsed settings files and reads one again only when its time stamp or
        // size changed: every input gets a time of its own.
        QFile file(path);
        if (!file.open(QIODevice::ReadWrite) ||
            !file.setFileTime(QDateTime::fromMSecsSinceEpoch(1'700'000'000'000 + ++serial),
                              QFileDevice::FileModificationTime))
            qFatal("cannot stamp the settings file");
    }

    const QDate today(2026, 12, 9);
    SettingsStore store(path);
    fuzz::QuietPrompt prompt;
    Options options;
    ProgramSettings settings(options, store, registryFunctions, prompt);
    settings.LoadMyOptions(today);

    MailSettings mail;
    LoadMailSettings(store, mail, prompt, today);
    auto accounts = std::make_unique<MailAccounts>();
    LoadMailAccounts(store, mail, *accounts);
    (void)mailAccountNames(mail);
    for (const MailAccount &account : *accounts)
        (void)splitHostPort(account.AcctPOP3);
    return 0;
}

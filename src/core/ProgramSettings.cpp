// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/ProgramSettings.h"

#include "core/Prompt.h"
#include "core/RegistryFunctions.h"
#include "core/SettingsStore.h"
#include "core/SettingsTable.h"

namespace kvorn {

namespace {
const QString kBrowserKey = QStringLiteral("Software\\Microsoft\\Internet Explorer\\Main");

// Load and save order of section "Options".
const SettingsKey<Options> kKeys[] = {
    {"StartWithWindows", &Options::StartWithWindows},
    {"JumpHome", &Options::JumpHome},
    {"HomePage", &Options::HomePage},
    {"BannerBlock", &Options::BannerBlock},
    {"UseCustomIETitle", &Options::UseCustomIETitle},
    {"CustomIETitle", &Options::CustomIETitle},
    {"UseAutoUpdate", &Options::UseAutoUpdate},
    {"StoreLog", &Options::StoreLog},
    {"UploadLog", &Options::UploadLog},
    {"AUDays", &Options::AUDays},
    {"ShowInTray", &Options::ShowInTray},
    {"Flash", &Options::Flash},
    {"Sound", &Options::Sound},
    {"AutoColumn", &Options::AutoColumn},
    {"DisHotKey", &Options::DisHotKey},
    {"ScrambleText", &Options::ScrambleText},
    {"BLDelete", &Options::BLDelete},
    {"OptDwsp", &Options::OptDwsp},
    {"MasDwrd", &Options::MasDwrd},
    {"BlockAll", &Options::BlockAll},
    {"BallEx", &Options::BallEx},
    {"BList", &Options::BList},
    {"BSpeed", &Options::BSpeed},
    {"WinLmtMode", &Options::WinLmtMode},
    {"WinLmtWindows", &Options::WinLmtWindows},
    {"DisableWildcards", &Options::DisableWildcards},
    {"HotAddKey", &Options::HotAddKey},
    {"HotAddFast", &Options::HotAddFast},
    {"HotAddTitle", &Options::HotAddTitle},
    {"HotAddWild", &Options::HotAddWild},
    {"HideExempt", &Options::HideExempt},
    {"LastUpdate", &Options::LastUpdate},
    {"UserName", &Options::UserName},
    {"MailOps", &Options::MailOps},
    {"LogFName", &Options::LogFName},
    {"LogDate", &Options::LogDate},
    {"LogMonth", &Options::LogMonth},
    {"LogYear", &Options::LogYear},
    {"LogForever", &Options::LogForever},
    {"TipofDay", &Options::TipofDay},
    {"KillNotify", &Options::KillNotify},
    {"LogDateYear", &Options::LogDateYear},
    {"ReadBrowserAddresses", &Options::ReadBrowserAddresses},
};
} // namespace

ProgramSettings::ProgramSettings(Options &options, SettingsStore &store,
                                 RegistryFunctions &registry, Prompt &prompt)
    : m_options(options), m_store(store), m_registry(registry), m_prompt(prompt)
{
}

void ProgramSettings::LoadMyOptions(const QDate &today)
{
    Options defaults;
    defaults.HomePage = m_registry
                            .ReadRegistryValue(RegistryRoot::CurrentUser, kBrowserKey,
                                               QStringLiteral("Start Page"))
                            .toString();
    defaults.CustomIETitle = m_registry
                                 .ReadRegistryValue(RegistryRoot::CurrentUser, kBrowserKey,
                                                    QStringLiteral("Window Title"))
                                 .toString();
    defaults.LogDate = static_cast<std::int16_t>(today.month());

    readSettingsTable<Options>(m_store, kOptionsSection, kKeys, m_options, defaults, m_prompt,
                               QStringLiteral("LoadMyOptions"));
    if (m_options.CustomIETitle.isEmpty())
        m_options.UseCustomIETitle = false;
    m_options.accepted = true;
}

bool ProgramSettings::saveOptions(QString *error)
{
    if (m_options.CustomIETitle.isEmpty())
        m_options.UseCustomIETitle = false;
    writeSettingsTable<Options>(m_store, kOptionsSection, kKeys, m_options);
    m_options.accepted = true;

    if (m_options.StartWithWindows)
        m_registry.WriteRegistryValue(RegistryRoot::LocalMachine, kRunKey, kRunValue,
                                      m_runCommand, RegistryKind::String);
    else
        m_registry.DeleteRegistryValue(RegistryRoot::LocalMachine, kRunKey, kRunValue);

    if (!m_store.save()) {
        if (error)
            *error = QStringLiteral("The settings could not be written to %1.")
                         .arg(m_store.filePath());
        return false;
    }
    return true;
}

} // namespace kvorn

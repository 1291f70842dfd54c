#include "core/ProgramSettings.h"

#include "core/Prompt.h"
#include "core/RegistryFunctions.h"
#include "core/SettingsStore.h"
#include "core/StoredValue.h"

#include <variant>

namespace kvorn {

namespace {
const QString kBrowserKey = QStringLiteral("Software\\Microsoft\\Internet Explorer\\Main");

using Field = std::variant<bool Options::*, QString Options::*, std::int16_t Options::*,
                           std::int32_t Options::*>;

struct KeyDef
{
    const char *key;
    Field field;
};

// Load and save order of section "Options".
const KeyDef kKeys[] = {
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
    {"ReadBrowserAddresses", &Options::ReadBrowserAddresses},
};

template <class... Ts> struct Overloaded : Ts...
{
    using Ts::operator()...;
};
template <class... Ts> Overloaded(Ts...) -> Overloaded<Ts...>;

QString textOf(const Options &options, const Field &field)
{
    return std::visit(Overloaded{
                          [&](bool Options::*m) { return stored::fromBool(options.*m); },
                          [&](QString Options::*m) { return options.*m; },
                          [&](std::int16_t Options::*m) { return stored::fromNumber(options.*m); },
                          [&](std::int32_t Options::*m) { return stored::fromNumber(options.*m); },
                      },
                      field);
}

// Converts `text` into the field; false (with the error) when it does not convert.
bool assign(Options &options, const Field &field, const QString &text, ConversionError *error)
{
    return std::visit(Overloaded{
                          [&](bool Options::*m) {
                              const auto v = stored::toBool(text, error);
                              if (v)
                                  options.*m = *v;
                              return v.has_value();
                          },
                          [&](QString Options::*m) {
                              options.*m = text;
                              return true;
                          },
                          [&](std::int16_t Options::*m) {
                              const auto v = stored::toInt16(text, error);
                              if (v)
                                  options.*m = *v;
                              return v.has_value();
                          },
                          [&](std::int32_t Options::*m) {
                              const auto v = stored::toInt32(text, error);
                              if (v)
                                  options.*m = *v;
                              return v.has_value();
                          },
                      },
                      field);
}
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

    for (const KeyDef &def : kKeys) {
        const QString key = QString::fromLatin1(def.key);
        const QString fallback = textOf(defaults, def.field);
        const QString text = m_store.read(kOptionsSection, key, fallback);
        ConversionError error;
        if (!assign(m_options, def.field, text, &error)) {
            // One bad value must not cost the user every later setting: report it and
            // carry on with this key's default.
            m_prompt.message(errorText(error.number, error.description,
                                       QStringLiteral("LoadMyOptions"),
                                       QStringLiteral("KvornMain")),
                             Prompt::Buttons::Ok, Prompt::Icon::Critical);
            assign(m_options, def.field, fallback, nullptr);
        }
        if (key == QLatin1String("CustomIETitle") && m_options.CustomIETitle.isEmpty())
            m_options.UseCustomIETitle = false;
    }
    m_options.accepted = true;
}

bool ProgramSettings::saveOptions(QString *error)
{
    if (m_options.CustomIETitle.isEmpty())
        m_options.UseCustomIETitle = false;
    for (const KeyDef &def : kKeys)
        m_store.write(kOptionsSection, QString::fromLatin1(def.key), textOf(m_options, def.field));
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

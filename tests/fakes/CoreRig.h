// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Fakes.h"
#include "TestEnv.h"

#include "core/MainController.h"
#include "core/Options.h"
#include "core/ProgramSettings.h"
#include "core/RegistryFunctions.h"
#include "core/SettingsStore.h"
#include "platform/IniRegistry.h"

namespace kvorn::test {

/// The program core wired to fakes in a private temporary home: what most tests need.
struct CoreRig
{
    TestEnv env;
    SettingsStore store{env.settingsFile()};
    IniRegistry registry{env.configFolder() + QStringLiteral("/kvorn/registry.ini")};
    RegistryFunctions registryFunctions{registry, env.configFolder() + QStringLiteral("/autostart")};
    Options options;
    ScriptedPrompt prompt;
    FakeTrayIcon tray;
    FakeKeyboard keyboard;
    FakeSoundPlayer sound;
    FakeClock clock;
    ProgramSettings settings{options, store, registryFunctions, prompt};
    MainController controller{
        {options, store, settings, registryFunctions, tray, sound, prompt, clock},
        env.programFolder()};
};

} // namespace kvorn::test

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/SoundPlayer.h"

struct ca_context;

namespace kvorn {

/// Plays sounds through the desktop's event-sound service.
class CanberraSoundPlayer final : public SoundPlayer
{
public:
    CanberraSoundPlayer();
    ~CanberraSoundPlayer() override;
    CanberraSoundPlayer(const CanberraSoundPlayer &) = delete;
    CanberraSoundPlayer &operator=(const CanberraSoundPlayer &) = delete;

    void play(const QString &filePath) override;

private:
    ca_context *m_context = nullptr;
};

} // namespace kvorn

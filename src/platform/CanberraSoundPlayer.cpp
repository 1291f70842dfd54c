// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/CanberraSoundPlayer.h"

#include <canberra.h>

namespace kvorn {

CanberraSoundPlayer::CanberraSoundPlayer()
{
    if (ca_context_create(&m_context) != CA_SUCCESS)
        m_context = nullptr;
}

CanberraSoundPlayer::~CanberraSoundPlayer()
{
    if (m_context)
        ca_context_destroy(m_context);
}

void CanberraSoundPlayer::play(const QString &filePath)
{
    if (!m_context || filePath.isEmpty())
        return;
    // Fire and forget: without a sound device this fails quietly, as a missing sound should.
    const QByteArray path = filePath.toLocal8Bit();
    ca_context_play(m_context, 0, CA_PROP_MEDIA_FILENAME, path.constData(), CA_PROP_EVENT_ID,
                    "kvorn-kill", nullptr);
}

} // namespace kvorn

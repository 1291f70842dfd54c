// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>

namespace kvorn {

/// The local date and time, replaceable in tests.
class Clock
{
public:
    virtual ~Clock() = default;
    /// The current local date and time.
    virtual QDateTime now() const = 0;
};

/// The system's clock.
class SystemClock final : public Clock
{
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

} // namespace kvorn

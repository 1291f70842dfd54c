// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/atspi/AddressProtocol.h"

#include <cstdint>
#include <vector>

namespace kvorn {

/// Finds the accessible frame of a browser window on the accessibility bus and reads the
/// address of the page it shows: the frame's embedded document (the active tab) and that
/// document's address attribute ("URI" in Chromium, "DocURL" in Firefox). Not the address
/// bar: Chromium's bar drops the scheme and its name is translated.
///
/// Blocking calls over D-Bus: it runs in the reader process, never in the program.
class AtspiAddressFinder
{
public:
    AtspiAddressFinder();
    ~AtspiAddressFinder();
    AtspiAddressFinder(const AtspiAddressFinder &) = delete;
    AtspiAddressFinder &operator=(const AtspiAddressFinder &) = delete;

    /// Answers one question. Joins the accessibility bus on first use, and only when the
    /// desktop runs one already: it never starts a bus of its own.
    addressprotocol::Answer answer(const addressprotocol::Question &question);

    /// True when the last answer found no address although the window's process is on the
    /// bus: a window still being built, whose frame has not yet taken its title or does
    /// not yet embed its page, may show it a moment later.
    bool mayComeSoon() const { return m_mayComeSoon; }

private:
    bool joinBus();

    bool m_joined = false;
    bool m_mayComeSoon = false;
    /// Processes whose accessibility tree has been asked for already (most recent last).
    std::vector<std::uint32_t> m_woken;
    std::int64_t m_lastBusCheckMs = -1000000;
};

} // namespace kvorn

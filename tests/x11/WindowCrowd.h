// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Many plain top-level windows held by one connection of the test's own process: cheap
// company for the survey's benchmarks and the idle measurement. Real programs' windows
// (close requests, keys) are TestWindow's job.

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>
#include <QThread>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>
#include <xcb/xcb.h>

namespace kvorn::test {

class WindowCrowd
{
public:
    explicit WindowCrowd(const QByteArray &displayName)
    {
        m_c = xcb_connect(displayName.constData(), nullptr);
        if (xcb_connection_has_error(m_c))
            return;
        m_screen = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data;
        m_utf8 = intern("UTF8_STRING");
        m_netWmName = intern("_NET_WM_NAME");
        m_clientList = intern("_NET_CLIENT_LIST");
    }
    ~WindowCrowd() { xcb_disconnect(m_c); }
    WindowCrowd(const WindowCrowd &) = delete;
    WindowCrowd &operator=(const WindowCrowd &) = delete;

    bool isConnected() const { return m_screen != nullptr; }

    /// Opens one window with this WM_CLASS and title.
    std::uint32_t add(const QByteArray &instance, const QByteArray &windowClass,
                      const QString &title)
    {
        const xcb_window_t w = xcb_generate_id(m_c);
        xcb_create_window(m_c, XCB_COPY_FROM_PARENT, w, m_screen->root, 0, 0, 160, 90, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, m_screen->root_visual, 0, nullptr);
        const QByteArray names = instance + '\0' + windowClass + '\0';
        xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                            uint32_t(names.size()), names.constData());
        setTitle(w, title);
        xcb_map_window(m_c, w);
        xcb_flush(m_c);
        m_windows.push_back(w);
        return w;
    }

    /// A busy desktop: `total` windows, the first `browsers` of them Chromium windows, the
    /// rest terminals. True once the window manager has taken them all.
    bool fillDesktop(int total, int browsers)
    {
        for (int i = 0; i < total; ++i) {
            if (i < browsers)
                add("chromium", "Chromium", QStringLiteral("Page %1 - Chromium").arg(i));
            else
                add("xterm", "XTerm", QStringLiteral("user@host: ~/work %1").arg(i));
        }
        return waitUntilManaged();
    }

    /// Gives a window a new title (both the EWMH and the old property, as toolkits do).
    void setTitle(std::uint32_t window, const QString &title)
    {
        const QByteArray utf8 = title.toUtf8();
        xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, window, m_netWmName, m_utf8, 8,
                            uint32_t(utf8.size()), utf8.constData());
        xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING,
                            8, uint32_t(utf8.size()), utf8.constData());
        xcb_flush(m_c);
    }

    /// Waits until the window manager lists every window opened here.
    bool waitUntilManaged(int milliseconds = 10000)
    {
        QDeadlineTimer deadline(milliseconds);
        while (!deadline.hasExpired()) {
            if (managedCount() >= m_windows.size())
                return true;
            QThread::msleep(20);
        }
        return false;
    }

    const std::vector<std::uint32_t> &windows() const { return m_windows; }

private:
    xcb_atom_t intern(const char *name)
    {
        xcb_intern_atom_reply_t *r = xcb_intern_atom_reply(
            m_c, xcb_intern_atom(m_c, 0, uint16_t(std::strlen(name)), name), nullptr);
        const xcb_atom_t a = r ? r->atom : XCB_NONE;
        std::free(r);
        return a;
    }

    size_t managedCount()
    {
        xcb_get_property_reply_t *r = xcb_get_property_reply(
            m_c, xcb_get_property(m_c, 0, m_screen->root, m_clientList, XCB_ATOM_WINDOW, 0, 4096),
            nullptr);
        size_t found = 0;
        if (r) {
            const auto *ids = static_cast<const xcb_window_t *>(xcb_get_property_value(r));
            const int n = xcb_get_property_value_length(r) / 4;
            for (int i = 0; i < n; ++i) {
                for (const std::uint32_t w : m_windows)
                    found += ids[i] == w;
            }
        }
        std::free(r);
        return found;
    }

    xcb_connection_t *m_c = nullptr;
    xcb_screen_t *m_screen = nullptr;
    xcb_atom_t m_utf8 = XCB_NONE;
    xcb_atom_t m_netWmName = XCB_NONE;
    xcb_atom_t m_clientList = XCB_NONE;
    std::vector<std::uint32_t> m_windows;
};

} // namespace kvorn::test

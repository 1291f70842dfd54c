// kvorn-address-reader: answers the program's questions about browser windows' addresses
// from the accessibility bus, one line each (see AddressProtocol.h).
//
// A process of its own rather than a thread of the program: libatspi ties its connections
// to GLib's default main context, which the program's Qt event loop runs on its own
// thread, and it ends the process when the bus it wants is not there. Here neither can
// touch the program.
#include "platform/atspi/AddressProtocol.h"
#include "platform/atspi/AtspiAddressFinder.h"

#include <glib-unix.h>
#include <glib.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <unistd.h>

namespace {

struct Reader
{
    GMainLoop *loop = nullptr;
    kvorn::addressprotocol::LineBuffer pending;
    kvorn::AtspiAddressFinder finder;
};

bool writeAll(const std::string &text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(STDOUT_FILENO, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += std::size_t(n);
    }
    return true;
}

gboolean onInput(gint fd, GIOCondition, gpointer data)
{
    auto *reader = static_cast<Reader *>(data);
    char buffer[4096];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return G_SOURCE_CONTINUE;
    if (n <= 0) {
        // The program has gone (or closed our input): so do we.
        g_main_loop_quit(reader->loop);
        return G_SOURCE_REMOVE;
    }
    reader->pending.append(std::string_view(buffer, std::size_t(n)));
    while (const auto line = reader->pending.next()) {
        const auto question = kvorn::addressprotocol::parseQuestion(*line);
        if (!question)
            continue;
        const auto answer = reader->finder.answer(*question);
        if (!writeAll(kvorn::addressprotocol::answerLine(answer))) {
            g_main_loop_quit(reader->loop);
            return G_SOURCE_REMOVE;
        }
    }
    return G_SOURCE_CONTINUE;
}

} // namespace

int main()
{
    // Without a session bus libdbus would start one of its own (and an accessibility bus
    // with it) on the first call: there is nothing to read then.
    const char *session = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (!session || !*session)
        return 2;
    Reader reader;
    reader.loop = g_main_loop_new(nullptr, FALSE);
    g_unix_fd_add(STDIN_FILENO, GIOCondition(G_IO_IN | G_IO_HUP | G_IO_ERR), onInput, &reader);
    g_main_loop_run(reader.loop);
    g_main_loop_unref(reader.loop);
    return 0;
}

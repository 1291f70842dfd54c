// SPDX-License-Identifier: GPL-3.0-or-later
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

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

namespace ap = kvorn::addressprotocol;

// A browser may name a new window's frame, or embed its page, a little after the window
// has its title on X: Chromium embeds an empty document first and the page's own only
// once the page's tree has reached it, some tens of milliseconds later. A question that
// finds nothing yet is asked again this often, for this long, before "none" goes back;
// meanwhile other questions are answered. The program's own retries come at its survey's
// pace, which would add up to a survey tick.
constexpr guint kRetryMs = 5;
constexpr std::int64_t kWatchMs = 400;

struct Watch
{
    ap::Question question;
    std::int64_t untilMs = 0;
};

struct Reader
{
    GMainLoop *loop = nullptr;
    ap::LineBuffer pending;
    kvorn::AtspiAddressFinder finder;
    std::vector<Watch> watching;
    guint retryTimer = 0;
    /// Windows (with the title) watched already: a window whose page does not show soon
    /// (Chromium shows a covered window's page only once it is used) is not watched again
    /// and again; the program asks it again, less and less often.
    std::vector<std::pair<std::uint32_t, std::string>> watched;
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

gboolean retry(gpointer data);

// Answers the question now, or watches it for a moment when its window is still being
// built; false when the program can no longer be written to.
bool take(Reader *reader, const ap::Question &question)
{
    // A newer question about the window supersedes one still watched: the program no
    // longer waits for the old one's answer, but it is answered still, as every question
    // is, so that the program can tell a reader at work from one that hangs.
    for (auto it = reader->watching.begin(); it != reader->watching.end();) {
        if (it->question.window != question.window) {
            ++it;
            continue;
        }
        ap::Answer superseded;
        superseded.seq = it->question.seq;
        superseded.window = it->question.window;
        superseded.status = ap::Status::None;
        it = reader->watching.erase(it);
        if (!writeAll(ap::answerLine(superseded)))
            return false;
    }
    const auto answer = reader->finder.answer(question);
    if (answer.status == ap::Status::None && reader->finder.mayComeSoon()) {
        std::pair<std::uint32_t, std::string> key(question.window, question.title);
        if (std::find(reader->watched.begin(), reader->watched.end(), key) ==
            reader->watched.end()) {
            if (reader->watched.size() >= 256)
                reader->watched.erase(reader->watched.begin());
            reader->watched.push_back(std::move(key));
            reader->watching.push_back({question, g_get_monotonic_time() / 1000 + kWatchMs});
            if (reader->retryTimer == 0)
                reader->retryTimer = g_timeout_add(kRetryMs, retry, reader);
            return true;
        }
    }
    return writeAll(ap::answerLine(answer));
}

gboolean retry(gpointer data)
{
    auto *reader = static_cast<Reader *>(data);
    std::vector<Watch> due;
    due.swap(reader->watching);
    for (std::size_t i = 0; i < due.size(); ++i) {
        const auto answer = reader->finder.answer(due[i].question);
        if (answer.status == ap::Status::None &&
            g_get_monotonic_time() / 1000 < due[i].untilMs) {
            reader->watching.push_back(std::move(due[i]));
            continue;
        }
        if (!writeAll(ap::answerLine(answer))) {
            g_main_loop_quit(reader->loop);
            reader->retryTimer = 0;
            return G_SOURCE_REMOVE;
        }
    }
    if (!reader->watching.empty())
        return G_SOURCE_CONTINUE;
    reader->retryTimer = 0;
    return G_SOURCE_REMOVE;
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
        const auto question = ap::parseQuestion(*line);
        if (!question)
            continue;
        if (!take(reader, *question)) {
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

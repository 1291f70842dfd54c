// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The lines the program and its address reader exchange over the reader's standard input
// and output. Standard C++ only: the reader has no Qt, the program no libatspi.
//
//   question: seq TAB window TAB pid TAB "x y w h" TAB twins TAB title LF
//   answer:   seq TAB window TAB status TAB address LF
//
// twins: where the same program's other windows of the same title are, "x y w h" each,
// separated by ","; empty when there is none. Titles and addresses are escaped, so that a
// tab or a line break in them cannot split a line.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kvorn::addressprotocol {

struct Rect
{
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const Rect &) const = default;
};

struct Question
{
    std::uint64_t seq = 0;
    std::uint32_t window = 0;
    std::uint32_t pid = 0; ///< 0: the window names no process
    Rect geometry;
    std::vector<Rect> twins;
    std::string title; ///< UTF-8
};

enum class Status
{
    Found,     ///< the address is there
    None,      ///< no frame of that title, or it shows no page (yet)
    Ambiguous, ///< more than one frame could be the window's
    Off,       ///< no accessibility bus to ask
};

struct Answer
{
    std::uint64_t seq = 0;
    std::uint32_t window = 0;
    Status status = Status::None;
    std::string address; ///< UTF-8, only with Found
};

inline std::string escape(std::string_view text)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == '%' || c == 0x7f) {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0xf];
        } else {
            out += ch;
        }
    }
    return out;
}

inline std::string unescape(std::string_view text)
{
    const auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        return -1;
    };
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && digit(text[i + 1]) >= 0 &&
            digit(text[i + 2]) >= 0) {
            out += static_cast<char>(digit(text[i + 1]) * 16 + digit(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

inline std::vector<std::string_view> split(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos)
            return parts;
        start = end + 1;
    }
}

inline std::optional<std::uint64_t> number(std::string_view text)
{
    if (text.empty() || text.size() > 19)
        return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + std::uint64_t(c - '0');
    }
    return value;
}

inline std::string rectText(const Rect &r)
{
    return std::to_string(r.x) + ' ' + std::to_string(r.y) + ' ' + std::to_string(r.width) +
           ' ' + std::to_string(r.height);
}

inline std::optional<Rect> parseRect(std::string_view text)
{
    const auto parts = split(text, ' ');
    if (parts.size() != 4)
        return std::nullopt;
    int values[4];
    for (std::size_t i = 0; i < 4; ++i) {
        std::string_view p = parts[i];
        const bool negative = !p.empty() && p.front() == '-';
        if (negative)
            p.remove_prefix(1);
        const auto n = number(p);
        if (!n || *n > 1000000)
            return std::nullopt;
        values[i] = negative ? -int(*n) : int(*n);
    }
    return Rect{values[0], values[1], values[2], values[3]};
}

inline std::string questionLine(const Question &q)
{
    std::string twins;
    for (const Rect &r : q.twins) {
        if (!twins.empty())
            twins += ',';
        twins += rectText(r);
    }
    return std::to_string(q.seq) + '\t' + std::to_string(q.window) + '\t' +
           std::to_string(q.pid) + '\t' + rectText(q.geometry) + '\t' + twins + '\t' +
           escape(q.title) + '\n';
}

/// A question line without its line end.
inline std::optional<Question> parseQuestion(std::string_view line)
{
    const auto fields = split(line, '\t');
    if (fields.size() != 6)
        return std::nullopt;
    Question q;
    const auto seq = number(fields[0]);
    const auto window = number(fields[1]);
    const auto pid = number(fields[2]);
    const auto geometry = parseRect(fields[3]);
    if (!seq || !window || !pid || !geometry || *window > 0xffffffffu || *pid > 0xffffffffu)
        return std::nullopt;
    q.seq = *seq;
    q.window = std::uint32_t(*window);
    q.pid = std::uint32_t(*pid);
    q.geometry = *geometry;
    if (!fields[4].empty()) {
        for (const std::string_view twin : split(fields[4], ',')) {
            const auto r = parseRect(twin);
            if (!r)
                return std::nullopt;
            q.twins.push_back(*r);
        }
    }
    q.title = unescape(fields[5]);
    return q;
}

inline const char *statusText(Status s)
{
    switch (s) {
    case Status::Found: return "found";
    case Status::None: return "none";
    case Status::Ambiguous: return "ambiguous";
    case Status::Off: return "off";
    }
    return "none";
}

inline std::string answerLine(const Answer &a)
{
    return std::to_string(a.seq) + '\t' + std::to_string(a.window) + '\t' +
           statusText(a.status) + '\t' + escape(a.address) + '\n';
}

/// An answer line without its line end.
inline std::optional<Answer> parseAnswer(std::string_view line)
{
    const auto fields = split(line, '\t');
    if (fields.size() != 4)
        return std::nullopt;
    const auto seq = number(fields[0]);
    const auto window = number(fields[1]);
    if (!seq || !window || *window > 0xffffffffu)
        return std::nullopt;
    Answer a;
    a.seq = *seq;
    a.window = std::uint32_t(*window);
    if (fields[2] == "found")
        a.status = Status::Found;
    else if (fields[2] == "none")
        a.status = Status::None;
    else if (fields[2] == "ambiguous")
        a.status = Status::Ambiguous;
    else if (fields[2] == "off")
        a.status = Status::Off;
    else
        return std::nullopt;
    a.address = unescape(fields[3]);
    if (a.status != Status::Found)
        a.address.clear();
    return a;
}

/// Cuts a stream of bytes into lines. A line longer than `longest` bytes is no line of this
/// protocol: it is dropped whole, up to and including its line end, so that its tail is
/// never taken for a line of its own, and no line held grows beyond `longest` bytes.
class LineBuffer
{
public:
    explicit LineBuffer(std::size_t longest = kLongestLine) : m_longest(longest) {}

    static constexpr std::size_t kLongestLine = 64 * 1024;

    void append(std::string_view bytes)
    {
        while (!bytes.empty()) {
            if (m_skipping) {
                const std::size_t end = bytes.find('\n');
                if (end == std::string_view::npos)
                    return;
                m_skipping = false;
                bytes.remove_prefix(end + 1);
                continue;
            }
            const std::size_t end = bytes.find('\n');
            const std::size_t take = end == std::string_view::npos ? bytes.size() : end + 1;
            // Where the line still open in the buffer starts: after the last whole line.
            const std::size_t lastEnd = m_pending.rfind('\n');
            const std::size_t open =
                lastEnd == std::string::npos || lastEnd < m_done ? m_done : lastEnd + 1;
            const std::size_t length =
                m_pending.size() - open + (end == std::string_view::npos ? take : end);
            if (length > m_longest) {
                // Whatever of this line is held already goes with it.
                m_pending.resize(open);
                m_skipping = end == std::string_view::npos;
                bytes.remove_prefix(take);
                ++m_dropped;
                continue;
            }
            m_pending.append(bytes.substr(0, take));
            bytes.remove_prefix(take);
        }
    }

    /// The next whole line without its line end, if one is there.
    std::optional<std::string> next()
    {
        const std::size_t end = m_pending.find('\n', m_done);
        if (end == std::string::npos) {
            compact();
            return std::nullopt;
        }
        std::string line = m_pending.substr(m_done, end - m_done);
        m_done = end + 1;
        return line;
    }

    /// Bytes held for lines not yet taken.
    std::size_t held() const { return m_pending.size() - m_done; }
    /// How many overlong lines were dropped so far.
    std::size_t dropped() const { return m_dropped; }

private:
    void compact()
    {
        m_pending.erase(0, m_done);
        m_done = 0;
    }

    std::size_t m_longest;
    std::string m_pending;
    std::size_t m_done = 0;
    bool m_skipping = false;
    std::size_t m_dropped = 0;
};

/// Frames of another window must be this close to count as standing where a window stands:
/// toolkits place a frame on its X window, give or take a title bar or a border that the
/// window manager or the toolkit draws.
inline bool sameSpot(const Rect &frame, const Rect &window)
{
    const auto off = [](int a, int b) { return a > b ? a - b : b - a; };
    return off(frame.x, window.x) <= 8 && off(frame.y, window.y) <= 40 &&
           off(frame.width, window.width) <= 16 && off(frame.height, window.height) <= 40;
}

/// Whether the places of the frames are needed to tell which one is the window's.
inline bool placesNeeded(const Question &q, std::size_t frames)
{
    return frames > 1 || !q.twins.empty();
}

struct Pick
{
    Status status = Status::None; ///< Found: `frame` is the window's
    std::size_t frame = 0;
};

/// Which of the frames that bear the window's title (in its process) is the window's.
/// `places`: where each frame stands (read only when placesNeeded says so; otherwise only
/// their number counts). A frame that could stand for one of the twins as well is no
/// answer: a wrong address could close the wrong window, so two candidates mean none.
inline Pick pickFrame(const Question &q, const std::vector<Rect> &places)
{
    Pick pick;
    if (places.empty())
        return pick;
    if (!placesNeeded(q, places.size())) {
        pick.status = Status::Found;
        return pick;
    }
    std::size_t near = 0;
    for (std::size_t i = 0; i < places.size(); ++i) {
        if (!sameSpot(places[i], q.geometry))
            continue;
        for (const Rect &twin : q.twins) {
            if (sameSpot(places[i], twin)) {
                pick.status = Status::Ambiguous;
                return pick;
            }
        }
        ++near;
        pick.frame = i;
    }
    if (near == 1)
        pick.status = Status::Found;
    else
        pick.status = near == 0 && places.size() == 1 ? Status::None : Status::Ambiguous;
    return pick;
}

} // namespace kvorn::addressprotocol

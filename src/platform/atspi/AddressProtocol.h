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

} // namespace kvorn::addressprotocol

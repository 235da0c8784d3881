#include "tevro/automation/http_request_head.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <vector>

namespace tevro {

namespace {

bool validUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        auto c = static_cast<unsigned char>(s[i]);
        std::size_t extra;
        std::uint32_t cp;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= s.size())
            return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            auto d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF.
        if ((extra == 1 && cp < 0x80) || (extra == 2 && cp < 0x800) ||
            (extra == 3 && cp < 0x10000) || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool hasControl(std::string_view s) {
    return std::any_of(s.begin(), s.end(), [](char c) {
        auto u = static_cast<unsigned char>(c);
        return (u < 0x20 && c != '\t') || u == 0x7F;
    });
}

} // namespace

HttpRequestHead::Result HttpRequestHead::parse(std::string_view bytes, HttpRequestHead& head) {
    std::size_t end = bytes.find("\r\n\r\n");
    if (end == std::string_view::npos || end + 4 > kMaxSize)
        return bytes.size() >= kMaxSize ? Result::tooLarge : Result::incomplete;
    std::string_view text = bytes.substr(0, end + 2);
    if (!validUtf8(text))
        return Result::bad;

    std::size_t lineEnd = text.find("\r\n");
    std::string_view requestLine = text.substr(0, lineEnd);
    if (hasControl(requestLine))
        return Result::bad;
    std::vector<std::string_view> pieces;
    for (std::size_t at = 0; at <= requestLine.size();) {
        std::size_t space = requestLine.find(' ', at);
        if (space == std::string_view::npos)
            space = requestLine.size();
        if (space > at)
            pieces.push_back(requestLine.substr(at, space - at));
        at = space + 1;
    }
    // An empty request line routes "/", which no route answers.
    HttpRequestHead parsed;
    if (!pieces.empty())
        parsed.method = std::string(pieces[0]);
    if (pieces.size() >= 2)
        parsed.target = std::string(pieces[1]);

    std::size_t at = lineEnd + 2;
    while (at < text.size()) {
        std::size_t next = text.find("\r\n", at);
        std::string_view line = text.substr(at, next - at);
        at = next + 2;
        std::size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0 || hasControl(line))
            return Result::bad;
        std::string_view name = line.substr(0, colon);
        if (name.find_first_of(" \t") != std::string_view::npos)
            return Result::bad;
        std::string_view value = trim(line.substr(colon + 1));
        if (equalsIgnoringCase(name, "Host")) {
            if (parsed.host) // two Host headers: which one counts is ambiguous
                return Result::bad;
            parsed.host = std::string(value);
        } else if (equalsIgnoringCase(name, "Origin")) {
            parsed.hasOrigin = true;
        } else if (equalsIgnoringCase(name, "Referer")) {
            parsed.hasReferer = true;
        } else if (equalsIgnoringCase(name, "Sec-Fetch-Site")) {
            if (parsed.fetchSite)
                return Result::bad;
            parsed.fetchSite = std::string(value);
        }
    }
    head = std::move(parsed);
    return Result::complete;
}

} // namespace tevro

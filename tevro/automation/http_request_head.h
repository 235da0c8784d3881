#pragma once

// The head of one HTTP/1.1 request as the loopback servers read it: the
// request line and the headers they check. Parsing is pure so that it can be
// fuzzed; the caller feeds it the bytes received so far.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tevro {

struct HttpRequestHead {
    // Largest head accepted; a head that does not end within it is refused.
    static constexpr std::size_t kMaxSize = 64 * 1024;

    enum class Result { incomplete, bad, tooLarge, complete };

    std::string method;
    // The request target as sent (percent-escapes and query kept); "/" when
    // the request line names none.
    std::string target = "/";
    std::optional<std::string> host;
    // What a browser tells about the page behind a request: its origin, the
    // page's address and how the request relates to it ("none" when the user
    // typed the address).
    bool hasOrigin = false;
    bool hasReferer = false;
    std::optional<std::string> fetchSite;

    // Parses `bytes` (everything received so far) into `head`. Incomplete
    // until the blank line that ends the headers has arrived; too large when
    // the head does not end within kMaxSize; bad when it is not UTF-8, has a
    // malformed line or names its Host or Sec-Fetch-Site twice.
    static Result parse(std::string_view bytes, HttpRequestHead& head);
};

} // namespace tevro

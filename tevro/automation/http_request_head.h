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

    enum class Result { incomplete, bad, complete };

    std::string method;
    // The request target as sent (percent-escapes and query kept); "/" when
    // the request line names none.
    std::string target = "/";
    std::optional<std::string> host;
    bool hasOrigin = false;

    // Parses `bytes` (everything received so far) into `head`. Incomplete
    // until the blank line that ends the headers has arrived; bad when the
    // head is longer than kMaxSize, is not UTF-8 or has a malformed line.
    static Result parse(std::string_view bytes, HttpRequestHead& head);
};

} // namespace tevro

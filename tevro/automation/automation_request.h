#pragma once

// One automation request as it arrives on a connection: a single line of
// JSON, {"token", "name", "arguments"}, ended by the last byte the client
// sends, a line feed. Reading is pure so that it can be fuzzed; the server
// feeds it every byte received so far.

#include <cstddef>
#include <string>
#include <string_view>

#include "tevro/core/json_value.h"

namespace tevro {

struct AutomationRequest {
    // The whole request, line feed included.
    static constexpr std::size_t kMaxSize = 1'048'576;
    // Deeper nesting is refused before the parser sees it.
    static constexpr int kMaxDepth = 64;

    static constexpr const char* kTooLarge = "Request too large";
    static constexpr const char* kMalformed = "Unauthorized or malformed request";
    static constexpr const char* kInvalidCommand = "Invalid command";

    enum class Outcome {
        incomplete,     // no line feed yet
        tooLarge,       // more than kMaxSize bytes, line feed or not
        malformed,      // bytes after the line feed, bad JSON, wrong or missing token
        invalidCommand, // "name" not a string or "arguments" not an object
        call,           // a tool call: `name` and `arguments` are set
    };

    Outcome outcome = Outcome::incomplete;
    std::string name;
    Json arguments;

    // Reads the bytes received so far against the server's token.
    static AutomationRequest read(std::string_view received, std::string_view token);
    // The error text a refused request is answered with; empty for the others.
    static const char* message(Outcome outcome);

    // Equal, non-empty tokens; the time taken does not depend on where they differ.
    static bool authorized(std::string_view presented, std::string_view token);
    // The arrays and objects of a JSON text nest at most `limit` deep (strings
    // are skipped, malformed text is left to the parser).
    static bool withinDepth(std::string_view text, int limit);
};

} // namespace tevro

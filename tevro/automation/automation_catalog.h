#pragma once

// The automation tools that exist and the checks every call's arguments pass
// before any tool runs: a small strict subset of JSON Schema ("type",
// "properties", "required", string and array lengths, number ranges, "items",
// "uniqueItems", "enum"). Undeclared keys, control and format characters and
// values out of range are refused with "Invalid ", the value's path, ": " and
// the rule it broke ("Invalid arguments.source: longer than 8192 characters").

#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tevro/automation/automation_error.h"
#include "tevro/core/json_value.h"

namespace tevro {

class AutomationCatalog {
public:
    // The catalogue shipped as the resource "tools.json", read once; empty
    // when the resource is missing or malformed.
    static const std::vector<Json>& tools();
    // The entries of a catalogue text: every element a JSON object, else none.
    static std::vector<Json> parse(std::string_view text);

    // "Unknown tool: NAME" when no entry of `tools` names it, else the
    // arguments checked against the entry's "inputSchema" at path "arguments".
    static std::expected<void, AutomationError> validate(const std::string& name,
                                                         const Json& arguments);
    static std::expected<void, AutomationError>
    validate(const std::vector<Json>& tools, const std::string& name, const Json& arguments);
    static std::expected<void, AutomationError> validate(const Json& value, const Json& schema,
                                                         const std::string& path);

    // Counted in user-perceived characters (grapheme clusters).
    static std::size_t characterCount(std::string_view utf8);
    // A Unicode control (Cc) or format (Cf) character anywhere in the text.
    static bool hasControlOrFormat(std::string_view utf8);
    static std::optional<char32_t> firstControlOrFormat(std::string_view utf8);
};

} // namespace tevro

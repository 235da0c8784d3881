// The automation server's request reading: arbitrary bytes as everything a
// client sent, then the tool arguments of a well-formed call through the
// argument checks of a catalogue that uses every schema keyword.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "tevro/automation/automation_catalog.h"
#include "tevro/automation/automation_request.h"

namespace {

const std::string kToken(64, 'a');

const tevro::Json& schema() {
    static const tevro::Json s = tevro::Json::parse(R"({
      "type": "object", "required": ["id"],
      "properties": {
        "id": {"type": "string", "minLength": 1, "maxLength": 64},
        "text": {"type": "string"},
        "count": {"type": "integer", "minimum": 0, "maximum": 2097151},
        "ratio": {"type": "number", "minimum": 0.25, "maximum": 4},
        "flag": {"type": "boolean", "enum": [true]},
        "files": {"type": "array", "items": {"type": "integer"}, "uniqueItems": true, "maxItems": 50},
        "mode": {"type": "string", "enum": ["auto", "always", "never"]},
        "nested": {"type": "object", "properties": {"a": {"type": "array", "items": {"type": "object", "properties": {}}}}}
      }})");
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    auto request = tevro::AutomationRequest::read(bytes, kToken);
    if (request.outcome == tevro::AutomationRequest::Outcome::call) {
        (void)tevro::AutomationCatalog::validate(request.arguments, schema(), "arguments");
        (void)request.arguments.dump(-1, ' ', false, tevro::Json::error_handler_t::replace);
    }
    // The same bytes as a request line whose token is right, so the fuzzer
    // reaches the arguments without guessing the token.
    std::string line = R"({"token":")" + kToken + R"(","name":"x","arguments":)";
    line.append(bytes.substr(0, bytes.find('\n')));
    line += "}\n";
    auto wrapped = tevro::AutomationRequest::read(line, kToken);
    if (wrapped.outcome == tevro::AutomationRequest::Outcome::call)
        (void)tevro::AutomationCatalog::validate(wrapped.arguments, schema(), "arguments");
    return 0;
}

#include "tevro/automation/automation_request.h"

namespace tevro {

AutomationRequest AutomationRequest::read(std::string_view received, std::string_view token) {
    AutomationRequest request;
    if (received.size() > kMaxSize) {
        request.outcome = Outcome::tooLarge;
        return request;
    }
    std::size_t end = received.find('\n');
    if (end == std::string_view::npos)
        return request;
    request.outcome = Outcome::malformed;
    if (end + 1 != received.size())
        return request;
    std::string_view line = received.substr(0, end);
    if (!withinDepth(line, kMaxDepth))
        return request;
    Json doc = Json::parse(line, nullptr, false);
    if (doc.is_discarded() || !doc.is_object())
        return request;
    auto presented = doc.find("token");
    if (presented == doc.end() || !presented->is_string() ||
        !authorized(presented->get_ref<const std::string&>(), token))
        return request;
    auto name = doc.find("name");
    auto arguments = doc.find("arguments");
    if (name == doc.end() || !name->is_string() || arguments == doc.end() ||
        !arguments->is_object()) {
        request.outcome = Outcome::invalidCommand;
        return request;
    }
    request.outcome = Outcome::call;
    request.name = name->get<std::string>();
    request.arguments = std::move(*arguments);
    return request;
}

const char* AutomationRequest::message(Outcome outcome) {
    switch (outcome) {
    case Outcome::tooLarge:
        return kTooLarge;
    case Outcome::malformed:
        return kMalformed;
    case Outcome::invalidCommand:
        return kInvalidCommand;
    case Outcome::incomplete:
    case Outcome::call:
        break;
    }
    return "";
}

bool AutomationRequest::authorized(std::string_view presented, std::string_view token) {
    if (token.empty() || presented.size() != token.size())
        return false;
    unsigned char difference = 0;
    for (std::size_t i = 0; i < token.size(); ++i)
        difference |= static_cast<unsigned char>(presented[i] ^ token[i]);
    return difference == 0;
}

bool AutomationRequest::withinDepth(std::string_view text, int limit) {
    int depth = 0;
    bool inString = false;
    bool escaped = false;
    for (char c : text) {
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > limit)
                return false;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return true;
}

} // namespace tevro

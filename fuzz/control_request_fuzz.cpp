// The control server's request head and the route query read from its
// target: arbitrary bytes as everything a client sent.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "tevro/automation/control_request.h"
#include "tevro/automation/http_request_head.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    tevro::HttpRequestHead head;
    if (tevro::HttpRequestHead::parse(bytes, head) != tevro::HttpRequestHead::Result::complete)
        return 0;
    auto request = tevro::ControlRequest::parse(head.target);
    if (!request)
        return 0;
    for (const auto& [key, value] : request->query) {
        (void)request->flag(key);
        (void)request->integer(key);
        (void)request->integer(key, -2147483648LL, 2097151);
        (void)request->number(key);
        (void)tevro::parseInteger(value);
        (void)tevro::parseDouble(value);
    }
    return 0;
}

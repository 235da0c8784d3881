#include "tevro/player/number_text.h"

#include <charconv>
#include <cmath>

namespace tevro::NumberText {

std::string fixed(double value, int digits) {
    char buffer[512];
    auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, digits);
    if (ec != std::errc())
        return "0";
    return std::string(buffer, end);
}

std::string shortest(double value) {
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (ec != std::errc())
        return "0.0";
    std::string text(buffer, end);
    if (std::isfinite(value) && text.find_first_of(".e") == std::string::npos)
        text += ".0";
    return text;
}

} // namespace tevro::NumberText

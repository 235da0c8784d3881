#include "tevro/core/format.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <mutex>

#include <unicode/uchar.h>
#include <unicode/uloc.h>
#include <unicode/ustring.h>
#include <unicode/utf8.h>

namespace tevro {

namespace {

// Russian plural of "байт": 1 байт, 2 байта, 5 байт, 21 байт.
const char* byteWord(std::int64_t n) {
    std::int64_t mod100 = n % 100;
    std::int64_t mod10 = n % 10;
    if (mod100 >= 11 && mod100 <= 14)
        return "байт";
    if (mod10 == 1)
        return "байт";
    if (mod10 >= 2 && mod10 <= 4)
        return "байта";
    return "байт";
}

// Digits grouped by three with a no-break space, as Russian writes them.
std::string grouped(std::int64_t n) {
    std::string digits = std::to_string(n);
    std::string out;
    int lead = static_cast<int>(digits.size() % 3);
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i != 0 && (static_cast<int>(i) - lead) % 3 == 0)
            out += "\u00A0";
        out += digits[i];
    }
    return out;
}

// A value with up to `decimals` fraction digits, trailing zeros dropped, comma as separator.
std::string decimal(double value, int decimals) {
    double scale = std::pow(10.0, decimals);
    double rounded = std::round(value * scale);
    auto whole = static_cast<std::int64_t>(rounded / scale);
    auto frac = static_cast<std::int64_t>(rounded - static_cast<double>(whole) * scale);
    std::string out = grouped(whole);
    if (decimals > 0 && frac > 0) {
        std::string f = std::to_string(frac);
        f.insert(0,
                 static_cast<size_t>(decimals) - std::min(f.size(), static_cast<size_t>(decimals)),
                 '0');
        while (!f.empty() && f.back() == '0')
            f.pop_back();
        out += "," + f;
    }
    return out;
}

} // namespace

std::string ByteFormatter::string(std::int64_t bytes) const {
    if (bytes < 0)
        bytes = 0;
    if (bytes < 1024)
        return std::to_string(bytes) + " " + byteWord(bytes);
    // Whole КБ, one decimal for МБ, two from ГБ up.
    static const struct {
        const char* unit;
        int decimals;
    } units[] = {{"КБ", 0}, {"МБ", 1}, {"ГБ", 2}, {"ТБ", 2}, {"ПБ", 2}, {"ЭБ", 2}};
    double value = static_cast<double>(bytes) / 1024.0;
    size_t i = 0;
    while (value >= 1024.0 && i + 1 < std::size(units)) {
        value /= 1024.0;
        ++i;
    }
    return decimal(value, units[i].decimals) + " " + units[i].unit;
}

namespace Format {

const ByteFormatter& byteFormatter() {
    static const ByteFormatter formatter;
    return formatter;
}

std::string bytes(std::int64_t n) {
    return byteFormatter().string(n);
}

std::string percent(double fraction) {
    double v = fraction * 100.0;
    if (std::isnan(v))
        v = 0;
    if (v >= 100.0)
        return "100%";
    char buf[64];
    if (v < 10.0)
        std::snprintf(buf, sizeof buf, "%.1f%%", v);
    else
        std::snprintf(buf, sizeof buf, "%.0f%%", std::floor(v));
    return buf;
}

std::string duration(std::optional<double> seconds) {
    if (!seconds || !std::isfinite(*seconds) || *seconds < 0 || *seconds >= 9.2e18)
        return "—";
    auto s = static_cast<std::int64_t>(*seconds);
    auto n = [](std::int64_t v) { return std::to_string(v); };
    if (s < 60)
        return n(s) + " с";
    if (s < 3600)
        return n(s / 60) + " мин " + n(s % 60) + " с";
    if (s < 86400)
        return n(s / 3600) + " ч " + n((s % 3600) / 60) + " мин";
    return n(s / 86400) + " д " + n((s % 86400) / 3600) + " ч";
}

std::string clock(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0 || seconds >= 9.2e18)
        return "0:00";
    auto s = static_cast<long long>(seconds);
    char buf[64];
    if (s < 3600)
        std::snprintf(buf, sizeof buf, "%lld:%02lld", s / 60, s % 60);
    else
        std::snprintf(buf, sizeof buf, "%lld:%02lld:%02lld", s / 3600, (s % 3600) / 60, s % 60);
    return buf;
}

namespace {

// Three-letter codes (as media containers carry them) to the two-letter codes
// under which the locale data names most languages.
const std::map<std::string, std::string>& threeLetterCodes() {
    static const std::map<std::string, std::string> table = [] {
        std::map<std::string, std::string> t;
        for (const char* const* lang = uloc_getISOLanguages(); *lang; ++lang) {
            const char* iso3 = uloc_getISO3Language(*lang);
            if (iso3 && *iso3 && std::string(iso3) != *lang)
                t.emplace(iso3, *lang);
        }
        // Bibliographic forms found in Matroska files.
        static const char* const bibliographic[][2] = {
            {"alb", "sq"}, {"arm", "hy"}, {"baq", "eu"}, {"bur", "my"}, {"chi", "zh"},
            {"cze", "cs"}, {"dut", "nl"}, {"fre", "fr"}, {"geo", "ka"}, {"ger", "de"},
            {"gre", "el"}, {"ice", "is"}, {"mac", "mk"}, {"mao", "mi"}, {"may", "ms"},
            {"per", "fa"}, {"rum", "ro"}, {"slo", "sk"}, {"tib", "bo"}, {"wel", "cy"}};
        for (const auto& pair : bibliographic)
            t.emplace(pair[0], pair[1]);
        return t;
    }();
    return table;
}

std::optional<std::string> displayName(const std::string& code) {
    UErrorCode status = U_ZERO_ERROR;
    UChar name[256];
    int32_t len = uloc_getDisplayLanguage(code.c_str(), "ru", name, 256, &status);
    if (U_FAILURE(status) || status == U_USING_DEFAULT_WARNING || len <= 0 || len >= 256)
        return std::nullopt;
    // ICU echoes the code back when it has no name for it.
    char utf8[1024];
    int32_t outLen = 0;
    UErrorCode convStatus = U_ZERO_ERROR;
    u_strToUTF8(utf8, sizeof utf8, &outLen, name, len, &convStatus);
    if (U_FAILURE(convStatus))
        return std::nullopt;
    std::string result(utf8, static_cast<size_t>(outLen));
    if (result == code)
        return std::nullopt;
    return result;
}

std::string capitalizeFirst(const std::string& text) {
    if (text.empty())
        return text;
    int32_t i = 0;
    UChar32 c;
    U8_NEXT(text.data(), i, static_cast<int32_t>(text.size()), c);
    if (c < 0)
        return text;
    UChar32 upper = u_toupper(c);
    char buf[U8_MAX_LENGTH];
    int32_t j = 0;
    UBool error = false;
    U8_APPEND(buf, j, U8_MAX_LENGTH, upper, error);
    if (error)
        return text;
    return std::string(buf, static_cast<size_t>(j)) + text.substr(static_cast<size_t>(i));
}

} // namespace

std::optional<std::string> language(const std::optional<std::string>& code) {
    if (!code || code->empty() || *code == "und")
        return std::nullopt;
    std::optional<std::string> name = displayName(*code);
    if (!name) {
        const auto& table = threeLetterCodes();
        if (auto it = table.find(*code); it != table.end())
            name = displayName(it->second);
    }
    return capitalizeFirst(name.value_or(*code));
}

} // namespace Format
} // namespace tevro

#include "tevro/automation/automation_catalog.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <charconv>
#include <limits>
#include <optional>

#include <QFile>
#include <QString>
#include <QTextBoundaryFinder>

// The resource lives in a static library: naming its initializer keeps it linked.
static void initCatalogueResource() {
    Q_INIT_RESOURCE(automation);
}

namespace tevro {

namespace {

constexpr double kLargest = std::numeric_limits<double>::max();

// "Invalid " and the path, as callers match it, then the rule that was broken.
std::unexpected<AutomationError> invalid(const std::string& path, const std::string& reason) {
    return std::unexpected(AutomationError{"Invalid " + path + ": " + reason});
}

std::string quoted(const std::string& text) {
    return Json(text).dump(-1, ' ', false, Json::error_handler_t::replace);
}

// The shortest text that reads back as the same number.
std::string number(double d) {
    char text[32];
    auto [end, ec] = std::to_chars(text, text + sizeof text, d);
    return ec == std::errc() ? std::string(text, end) : std::to_string(d);
}

std::string plural(std::int64_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string codePoint(char32_t c) {
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(c));
    return text;
}

// A keyword of the wrong kind counts as absent.
std::optional<double> numberKeyword(const Json& schema, const char* key) {
    auto it = schema.find(key);
    if (it == schema.end() || !it->is_number())
        return std::nullopt;
    return it->get<double>();
}

std::optional<std::int64_t> integerKeyword(const Json& schema, const char* key) {
    auto it = schema.find(key);
    if (it == schema.end())
        return std::nullopt;
    if (it->is_number_integer()) {
        if (it->is_number_unsigned() && it->get<std::uint64_t>() > INT64_MAX)
            return INT64_MAX;
        return it->get<std::int64_t>();
    }
    return std::nullopt;
}

// The double's value as a signed 64-bit integer when it is one exactly; the
// range is checked before the cast, which would otherwise be undefined.
bool isWhole(double d) {
    return d >= -9223372036854775808.0 && d < 9223372036854775808.0 &&
           static_cast<double>(static_cast<std::int64_t>(d)) == d;
}

// Numbers compare by value, with true and false as 1 and 0; everything else
// by content.
bool looselyEqual(const Json& a, const Json& b) {
    auto numeric = [](const Json& v) { return v.is_number() || v.is_boolean(); };
    if (numeric(a) && numeric(b)) {
        auto value = [](const Json& v) {
            return v.is_boolean() ? (v.get<bool>() ? 1.0 : 0.0) : v.get<double>();
        };
        return value(a) == value(b);
    }
    if (a.is_array() && b.is_array()) {
        if (a.size() != b.size())
            return false;
        for (std::size_t i = 0; i < a.size(); ++i)
            if (!looselyEqual(a[i], b[i]))
                return false;
        return true;
    }
    if (a.is_object() && b.is_object()) {
        if (a.size() != b.size())
            return false;
        for (auto it = a.begin(); it != a.end(); ++it) {
            auto other = b.find(it.key());
            if (other == b.end() || !looselyEqual(it.value(), *other))
                return false;
        }
        return true;
    }
    return a == b;
}

// The text a value prints as: strings bare, numbers in their shortest form
// (1 and 1.0 alike), booleans as 1 and 0, containers as compact JSON.
std::string description(const Json& v) {
    if (v.is_string())
        return v.get<std::string>();
    if (v.is_boolean())
        return v.get<bool>() ? "1" : "0";
    if (v.is_number()) {
        double d = v.get<double>();
        if (v.is_number_integer())
            return v.dump();
        if (isWhole(d))
            return std::to_string(static_cast<std::int64_t>(d));
        char text[32];
        std::snprintf(text, sizeof text, "%.17g", d);
        return text;
    }
    return v.dump();
}

} // namespace

std::vector<Json> AutomationCatalog::parse(std::string_view text) {
    Json doc = Json::parse(text, nullptr, false);
    if (doc.is_discarded() || !doc.is_array())
        return {};
    std::vector<Json> tools;
    for (const Json& entry : doc) {
        if (!entry.is_object())
            return {};
        tools.push_back(entry);
    }
    return tools;
}

const std::vector<Json>& AutomationCatalog::tools() {
    static const std::vector<Json> catalogue = [] {
        initCatalogueResource();
        QFile file(QStringLiteral(":/tevro/automation/tools.json"));
        if (!file.open(QIODevice::ReadOnly))
            return std::vector<Json>{};
        QByteArray bytes = file.readAll();
        return parse(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    }();
    return catalogue;
}

std::expected<void, AutomationError> AutomationCatalog::validate(const std::string& name,
                                                                 const Json& arguments) {
    return validate(tools(), name, arguments);
}

std::expected<void, AutomationError> AutomationCatalog::validate(const std::vector<Json>& tools,
                                                                 const std::string& name,
                                                                 const Json& arguments) {
    for (const Json& entry : tools) {
        auto entryName = entry.find("name");
        if (entryName == entry.end() || !entryName->is_string())
            continue;
        if (entryName->get_ref<const std::string&>() != name)
            continue;
        auto schema = entry.find("inputSchema");
        if (schema == entry.end() || !schema->is_object())
            break;
        return validate(arguments, *schema, "arguments");
    }
    return std::unexpected(AutomationError{"Unknown tool: " + name});
}

std::expected<void, AutomationError>
AutomationCatalog::validate(const Json& value, const Json& schema, const std::string& path) {
    auto typeIt = schema.find("type");
    if (typeIt == schema.end() || !typeIt->is_string())
        return invalid(path, "the catalogue gives it no type");
    const std::string& type = typeIt->get_ref<const std::string&>();

    if (type == "object") {
        if (!value.is_object())
            return invalid(path, "not an object");
        auto properties = schema.find("properties");
        if (properties == schema.end() || !properties->is_object())
            return invalid(path, "the catalogue lists no properties");
        for (const auto& [key, sub] : properties->items())
            if (!sub.is_object())
                return invalid(path, "the catalogue's schema for " + quoted(key) + " is no object");
        for (const auto& [key, sub] : value.items())
            if (!properties->contains(key))
                return invalid(path, "unknown argument " + quoted(key));
        if (auto required = schema.find("required");
            required != schema.end() && required->is_array()) {
            for (const Json& key : *required)
                if (key.is_string() && !value.contains(key.get_ref<const std::string&>()))
                    return invalid(path, "missing required argument " +
                                             quoted(key.get_ref<const std::string&>()));
        }
        for (const auto& [key, sub] : value.items())
            if (auto checked = validate(sub, (*properties)[key], path + "." + key); !checked)
                return checked;
    } else if (type == "string") {
        if (!value.is_string())
            return invalid(path, "not a string");
        const std::string& text = value.get_ref<const std::string&>();
        std::int64_t low = integerKeyword(schema, "minLength").value_or(0);
        std::int64_t high = integerKeyword(schema, "maxLength").value_or(8192);
        std::int64_t count = static_cast<std::int64_t>(characterCount(text));
        if (count < low)
            return invalid(path, count == 0
                                     ? std::string("empty")
                                     : "shorter than " + plural(low, "character", "characters"));
        if (count > high)
            return invalid(path, "longer than " + plural(high, "character", "characters"));
        if (auto c = firstControlOrFormat(text)) {
            if (QChar::category(*c) == QChar::Other_Control)
                return invalid(path, "holds the control character " + codePoint(*c));
            return invalid(path, "holds the format character " + codePoint(*c) +
                                     " (bidi marks, joiners and other invisible characters)");
        }
    } else if (type == "boolean") {
        if (!value.is_boolean())
            return invalid(path, "not true or false");
    } else if (type == "integer" || type == "number") {
        if (!value.is_number())
            return invalid(path, type == "integer" ? "not an integer" : "not a number");
        double d = value.get<double>();
        double low = numberKeyword(schema, "minimum").value_or(-kLargest);
        double high = numberKeyword(schema, "maximum").value_or(kLargest);
        if (!std::isfinite(d))
            return invalid(path, "not a finite number");
        if (d < low)
            return invalid(path, "below the minimum " + number(low));
        if (d > high)
            return invalid(path, "above the maximum " + number(high));
        if (type == "integer" && !isWhole(d))
            return invalid(path, "not a whole number");
    } else if (type == "array") {
        if (!value.is_array())
            return invalid(path, "not an array");
        auto items = schema.find("items");
        if (items == schema.end() || !items->is_object())
            return invalid(path, "the catalogue gives no schema for its items");
        auto count = static_cast<std::int64_t>(value.size());
        if (auto low = integerKeyword(schema, "minItems"); low && count < *low)
            return invalid(path, "fewer than " + plural(*low, "item", "items"));
        if (std::int64_t high = integerKeyword(schema, "maxItems").value_or(10000); count > high)
            return invalid(path, "more than " + plural(high, "item", "items"));
        for (const Json& element : value)
            if (auto checked = validate(element, *items, path + "[]"); !checked)
                return checked;
        if (auto unique = schema.find("uniqueItems");
            unique != schema.end() && unique->is_boolean() && unique->get<bool>()) {
            std::vector<std::string> seen;
            for (const Json& element : value)
                seen.push_back(description(element));
            std::sort(seen.begin(), seen.end());
            if (std::adjacent_find(seen.begin(), seen.end()) != seen.end())
                return invalid(path, "holds an item twice");
        }
    } else {
        return invalid(path, "the catalogue gives it the unknown type " + quoted(type));
    }

    if (auto choices = schema.find("enum"); choices != schema.end() && choices->is_array()) {
        bool listed = false;
        for (const Json& choice : *choices)
            listed = listed || looselyEqual(value, choice);
        if (!listed) {
            std::string allowed;
            for (const Json& choice : *choices)
                allowed += (allowed.empty() ? "" : ", ") +
                           choice.dump(-1, ' ', false, Json::error_handler_t::replace);
            return invalid(path, "not one of " + allowed);
        }
    }
    return {};
}

std::size_t AutomationCatalog::characterCount(std::string_view utf8) {
    QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    std::size_t count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}

bool AutomationCatalog::hasControlOrFormat(std::string_view utf8) {
    return firstControlOrFormat(utf8).has_value();
}

std::optional<char32_t> AutomationCatalog::firstControlOrFormat(std::string_view utf8) {
    QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    for (char32_t c : text.toUcs4()) {
        auto category = QChar::category(c);
        if (category == QChar::Other_Control || category == QChar::Other_Format)
            return c;
    }
    return std::nullopt;
}

} // namespace tevro

#include "tevro/automation/automation_catalog.h"

#include <functional>
#include <set>

#include <gtest/gtest.h>

#include "tests/support/qt_app.h"

using namespace tevro;

namespace {

std::string check(const Json& value, const Json& schema) {
    auto result = AutomationCatalog::validate(value, schema, "arguments");
    return result ? "ok" : result.error().message;
}

const Json kSchema = Json::parse(R"({
  "type": "object",
  "required": ["id"],
  "properties": {
    "id": {"type": "string", "minLength": 1},
    "name": {"type": "string"},
    "short": {"type": "string", "maxLength": 3},
    "count": {"type": "integer", "minimum": 0, "maximum": 10},
    "ratio": {"type": "number"},
    "flag": {"type": "boolean"},
    "files": {"type": "array", "items": {"type": "integer", "minimum": 0}},
    "unique": {"type": "array", "items": {"type": "number"}, "uniqueItems": true, "minItems": 1},
    "mixed": {"type": "array", "items": {"type": "string"}, "uniqueItems": true},
    "priority": {"type": "integer", "enum": [0, 1, 4, 7]},
    "mode": {"type": "string", "enum": ["auto", "always"]},
    "switch": {"type": "boolean", "enum": [1]},
    "bounded": {"type": "integer", "minimum": 5, "enum": [1, 5]},
    "nested": {"type": "object", "properties": {"deep": {"type": "boolean"}}},
    "broken": {"type": "object"},
    "untyped": {"minimum": 1},
    "oddLimits": {"type": "string", "maxLength": 2.5}
  }
})");

Json with(const char* key, Json value) {
    Json args = {{"id", "x"}};
    args[key] = std::move(value);
    return args;
}

} // namespace

TEST(AutomationCatalog, ChecksValuesAgainstTheSchemaAndNamesThePath) {
    std::string zwj = "\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9"; // man ZWJ woman
    std::string combining = "e\xCC\x81";                              // e + combining acute
    const std::string kFormat = " (bidi marks, joiners and other invisible characters)";
    struct Case {
        Json args;
        std::string expected;
    } cases[] = {
        {Json{{"id", "x"}}, "ok"},
        {Json::object(), R"(Invalid arguments: missing required argument "id")"},
        {Json::array(), "Invalid arguments: not an object"},
        {with("extra", 1), R"(Invalid arguments: unknown argument "extra")"},
        {Json{{"id", ""}}, "Invalid arguments.id: empty"},
        {Json{{"id", 5}}, "Invalid arguments.id: not a string"},
        {with("name", "tab\there"), "Invalid arguments.name: holds the control character U+0009"},
        {with("name", "line\nfeed"), "Invalid arguments.name: holds the control character U+000A"},
        {with("name", "nul" + std::string(1, '\0')),
         "Invalid arguments.name: holds the control character U+0000"},
        {with("name", "rtl\xE2\x80\x8Fmark"),
         "Invalid arguments.name: holds the format character U+200F" + kFormat},
        {with("name", "soft\xC2\xADhyphen"),
         "Invalid arguments.name: holds the format character U+00AD" + kFormat},
        {with("name", zwj), "Invalid arguments.name: holds the format character U+200D" + kFormat},
        {with("name", "\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE \xF0\x9F\x8E\xAC"), "ok"},
        {with("name", std::string(8192, 'a')), "ok"},
        {with("name", std::string(8193, 'a')),
         "Invalid arguments.name: longer than 8192 characters"},
        {with("short", "\xD0\xB0\xD0\xB1\xD0\xB2"), "ok"}, // three Cyrillic letters, six bytes
        {with("short", combining + combining + combining), "ok"},
        {with("short", "abcd"), "Invalid arguments.short: longer than 3 characters"},
        {with("count", 10), "ok"},
        {with("count", 2.0), "ok"},
        {with("count", 2.5), "Invalid arguments.count: not a whole number"},
        {with("count", 11), "Invalid arguments.count: above the maximum 10"},
        {with("count", -1), "Invalid arguments.count: below the minimum 0"},
        {with("count", true), "Invalid arguments.count: not an integer"},
        {with("count", "3"), "Invalid arguments.count: not an integer"},
        {with("ratio", 1e300), "ok"},
        {with("ratio", 18446744073709551615ull), "ok"},
        {with("flag", false), "ok"},
        {with("flag", 1), "Invalid arguments.flag: not true or false"},
        {with("files", Json::array({0, 1, 1})), "ok"},
        {with("files", Json::array({0, -1})), "Invalid arguments.files[]: below the minimum 0"},
        {with("files", Json::array({0, "1"})), "Invalid arguments.files[]: not an integer"},
        {with("files", Json(std::vector<int>(10000, 1))), "ok"},
        {with("files", Json(std::vector<int>(10001, 1))),
         "Invalid arguments.files: more than 10000 items"},
        {with("files", 1), "Invalid arguments.files: not an array"},
        {with("unique", Json::array({1, 2})), "ok"},
        {with("unique", Json::array({1, 2, 1})), "Invalid arguments.unique: holds an item twice"},
        {with("unique", Json::array({1, 1.0})), "Invalid arguments.unique: holds an item twice"},
        {with("unique", Json::array()), "Invalid arguments.unique: fewer than 1 item"},
        {with("mixed", Json::array({"1", "01"})), "ok"},
        {with("priority", 4), "ok"},
        {with("priority", 4.0), "ok"},
        {with("priority", 3), "Invalid arguments.priority: not one of 0, 1, 4, 7"},
        {with("mode", "always"), "ok"},
        {with("mode", "Always"), R"(Invalid arguments.mode: not one of "auto", "always")"},
        {with("switch", true), "ok"},
        {with("switch", false), "Invalid arguments.switch: not one of 1"},
        {with("bounded", 1), "Invalid arguments.bounded: below the minimum 5"},
        {with("bounded", 6), "Invalid arguments.bounded: not one of 1, 5"},
        {with("bounded", 5), "ok"},
        {with("nested", Json{{"deep", true}}), "ok"},
        {with("nested", Json{{"deep", 1}}), "Invalid arguments.nested.deep: not true or false"},
        {with("nested", Json{{"other", 1}}),
         R"(Invalid arguments.nested: unknown argument "other")"},
        {with("broken", Json::object()),
         "Invalid arguments.broken: the catalogue lists no properties"},
        {with("untyped", 3), "Invalid arguments.untyped: the catalogue gives it no type"},
        {with("oddLimits", std::string(100, 'a')), "ok"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(check(c.args, kSchema), c.expected) << c.args.dump().substr(0, 200);
}

TEST(AutomationCatalog, FindsToolsByExactNameAndTreatsABadCatalogueAsEmpty) {
    auto tools = AutomationCatalog::parse(
        R"([{"name":"one","inputSchema":{"type":"object","properties":{}}},
            {"name":"two","inputSchema":"none"},
            {"name":"two","inputSchema":{"type":"object","properties":{}}},
            {"title":"nameless"}])");
    ASSERT_EQ(tools.size(), 4u);
    EXPECT_TRUE(AutomationCatalog::validate(tools, "one", Json::object()));
    EXPECT_EQ(AutomationCatalog::validate(tools, "one", Json{{"x", 1}}).error().message,
              R"(Invalid arguments: unknown argument "x")");
    for (std::string name : {"One", "one ", "two", ""})
        EXPECT_EQ(AutomationCatalog::validate(tools, name, Json::object()).error().message,
                  "Unknown tool: " + name);

    for (const char* text : {"", "{}", "[1]", "[{}, 2]", "not json"}) {
        auto empty = AutomationCatalog::parse(text);
        EXPECT_TRUE(empty.empty()) << text;
        EXPECT_EQ(AutomationCatalog::validate(empty, "get_state", Json::object()).error().message,
                  "Unknown tool: get_state");
    }
}

TEST(AutomationCatalog, ShipsTheTwelveToolsWithLimitsThatFitThirtyTwoBits) {
    test::ensureQtApp();
    std::set<std::string> names;
    for (const Json& tool : AutomationCatalog::tools())
        names.insert(tool.at("name").get<std::string>());
    EXPECT_EQ(names, (std::set<std::string>{"get_state", "get_torrent_details", "preview_torrent",
                                            "add_torrent", "torrent_action", "set_file_priority",
                                            "set_torrent_limits", "remove_torrent", "get_settings",
                                            "update_settings", "play_file", "control_player"}));
    struct Case {
        const char* tool;
        Json args;
        std::string expected;
    } cases[] = {
        {"get_state", Json::object(), "ok"},
        {"set_torrent_limits", Json{{"id", "a"}, {"download_kib", 2097151}}, "ok"},
        {"set_torrent_limits", Json{{"id", "a"}, {"download_kib", 2097152}},
         "Invalid arguments.download_kib: above the maximum 2097151"},
        {"set_torrent_limits", Json{{"id", "a"}, {"upload_kib", -1}},
         "Invalid arguments.upload_kib: below the minimum 0"},
        {"set_torrent_limits", Json{{"id", "a"}, {"connections", 2147483648.0}},
         "Invalid arguments.connections: above the maximum 2147483647"},
        {"update_settings", Json{{"alt_upload_kib", 1e12}},
         "Invalid arguments.alt_upload_kib: above the maximum 2097151"},
        {"update_settings", Json{{"subtitle_mode", "sometimes"}},
         R"(Invalid arguments.subtitle_mode: not one of "auto", "always", "never")"},
        {"set_file_priority", Json{{"id", "a"}, {"files", {0}}, {"priority", 2}},
         "Invalid arguments.priority: not one of 0, 1, 4, 7"},
        {"torrent_action", Json{{"id", "a"}, {"action", "explode"}},
         "Invalid arguments.action: not one of \"resume\", \"pause\", \"force_start\", "
         "\"recheck\", \"reannounce\", \"sequential_on\", \"sequential_off\", \"queue_up\", "
         "\"queue_down\", \"queue_top\", \"queue_bottom\""},
        {"control_player", Json{{"action", "speed"}, {"value", 4.01}}, "ok"},
        {"control_player", Json{{"action", "rewind"}},
         "Invalid arguments.action: not one of \"pause\", \"resume\", \"stop\", \"seek\", "
         "\"volume\", \"speed\", \"audio\", \"subtitle\""},
        {"play_file", Json{{"id", "a"}, {"file", 1.5}},
         "Invalid arguments.file: not a whole number"},
        {"add_torrent", Json{{"source", "/x.torrent"}, {"files", {0, -1}}},
         "Invalid arguments.files[]: below the minimum 0"},
        // A long magnet link, and a file name with a right-to-left mark.
        {"add_torrent", Json{{"source", "magnet:?xt=urn:btih:" + std::string(8172, 'a')}}, "ok"},
        {"add_torrent", Json{{"source", "magnet:?xt=urn:btih:" + std::string(8173, 'a')}},
         "Invalid arguments.source: longer than 8192 characters"},
        {"add_torrent", Json{{"source", "/films/\u200Fcba.torrent"}},
         "Invalid arguments.source: holds the format character U+200F (bidi marks, joiners and "
         "other invisible characters)"},
        {"remove_torrent", Json{{"id", "a"}, {"confirm_name", std::string(8193, 'n')}},
         "Invalid arguments.confirm_name: longer than 8192 characters"},
    };
    for (const Case& c : cases) {
        auto result = AutomationCatalog::validate(c.tool, c.args);
        EXPECT_EQ(result ? "ok" : result.error().message, c.expected)
            << c.tool << c.args.dump().substr(0, 200);
    }

    // Every free text states its own limit, so that clients can read it.
    std::function<void(const Json&, const std::string&)> walk = [&](const Json& schema,
                                                                    const std::string& path) {
        if (schema.value("type", "") == "string" && !schema.contains("enum")) {
            EXPECT_TRUE(schema.contains("maxLength")) << path;
        }
        Json properties = schema.value("properties", Json::object());
        for (const auto& [key, sub] : properties.items())
            walk(sub, path + "." + key);
        if (schema.contains("items"))
            walk(schema["items"], path + "[]");
    };
    for (const Json& tool : AutomationCatalog::tools())
        walk(tool.at("inputSchema"), tool.at("name").get<std::string>());
}

#include "tevro/media/library_preferences.h"

#include "tevro/core/storage.h"

namespace tevro {

void to_json(Json& j, const LibraryPreferences& v) {
    j = Json{{"layout", v.layout},
             {"sort", v.sort},
             {"transferDetailsCollapsed", v.transferDetailsCollapsed}};
}

void from_json(const Json& j, LibraryPreferences& v) {
    json::requireObject(j, "library preferences");
    LibraryPreferences out;
    if (auto it = j.find("layout"); it != j.end() && !it->is_null())
        out.layout = it->get<LibraryLayout>();
    if (auto it = j.find("sort"); it != j.end() && !it->is_null())
        out.sort = it->get<LibrarySort>();
    if (auto collapsed = json::optional<bool>(j, "transferDetailsCollapsed"))
        out.transferDetailsCollapsed = *collapsed;
    v = out;
}

LibraryPreferences LibraryPreferences::load(const std::filesystem::path& path, FileCheck* check) {
    if (!check) {
        auto text = Storage::read(path);
        if (!text)
            return {};
        auto decoded = json::decode<LibraryPreferences>(*text);
        return decoded ? *decoded : LibraryPreferences{};
    }
    auto j = Storage::readJson(path, *check);
    if (!j)
        return {};
    try {
        LibraryPreferences out = j->get<LibraryPreferences>();
        if (!json::keeps(Json(out), *j))
            check->setAside("неизвестные ключи");
        return out;
    } catch (const std::exception&) {
        check->setAside("неверные значения");
        return {};
    }
}

bool LibraryPreferences::save(const std::filesystem::path& path, std::error_code* error) const {
    return Storage::save(Json(*this), path, 0644, error);
}

} // namespace tevro

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

LibraryPreferences LibraryPreferences::load(const std::filesystem::path& path) {
    auto text = Storage::read(path);
    if (!text)
        return {};
    auto decoded = json::decode<LibraryPreferences>(*text);
    return decoded ? *decoded : LibraryPreferences{};
}

bool LibraryPreferences::save(const std::filesystem::path& path) const {
    return Storage::save(Json(*this), path);
}

} // namespace tevro

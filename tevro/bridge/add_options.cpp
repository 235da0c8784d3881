#include "tevro/bridge/add_options.h"

#include <algorithm>
#include <cstdlib>
#include <map>

#include <libtorrent/download_priority.hpp>
#include <libtorrent/torrent_flags.hpp>

#include "tevro/core/key_value_text.h"

namespace tevro::bridge {

AddOptions AddOptions::parse(const char* text) {
    std::map<std::string, std::string> lines;
    for (auto& [key, value] : parseKeyValueText(text ? std::string_view(text) : std::string_view()))
        if (isSafeTextValue(value))
            lines[key] = std::move(value);

    AddOptions out;
    if (auto it = lines.find("save_path"); it != lines.end())
        out.savePath = it->second;
    auto flag = [&](const char* key) {
        auto it = lines.find(key);
        return it != lines.end() && it->second == "1";
    };
    out.paused = flag("paused");
    out.sequential = flag("sequential");
    out.choose = flag("choose");
    if (auto it = lines.find("priorities"); it != lines.end()) {
        std::vector<std::uint8_t> prios;
        std::string_view rest = it->second;
        while (true) {
            auto comma = rest.find(',');
            std::string item(rest.substr(0, comma));
            long v = std::strtol(item.c_str(), nullptr, 10);
            prios.push_back(static_cast<std::uint8_t>(std::clamp(v, 0L, 7L)));
            if (comma == std::string_view::npos)
                break;
            rest.remove_prefix(comma + 1);
        }
        out.priorities = std::move(prios);
    }
    return out;
}

void AddOptions::applyTo(lt::add_torrent_params& params, bool hasMetadata) const {
    if (savePath)
        params.save_path = *savePath;
    params.flags &= ~(lt::torrent_flags::paused | lt::torrent_flags::auto_managed);
    params.flags |= paused ? lt::torrent_flags::paused : lt::torrent_flags::auto_managed;
    if (sequential)
        params.flags |= lt::torrent_flags::sequential_download;
    else
        params.flags &= ~lt::torrent_flags::sequential_download;
    if (choose)
        params.flags |= lt::torrent_flags::default_dont_download;
    if (hasMetadata && priorities) {
        params.file_priorities.clear();
        for (std::uint8_t p : *priorities)
            params.file_priorities.push_back(lt::download_priority_t{p});
    }
}

} // namespace tevro::bridge

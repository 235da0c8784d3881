#include "tevro/bridge/resume_equivalence.h"

#include <algorithm>
#include <array>
#include <vector>

#include <libtorrent/bdecode.hpp>

namespace tevro::bridge {

namespace {

constexpr std::array<std::string_view, 3> kCounters = {"active_time", "finished_time",
                                                       "seeding_time"};

struct Entry {
    std::string_view key;
    std::string_view value; // bencoded, as stored
};

bool decode(std::string_view bytes, lt::bdecode_node& out) {
    lt::error_code ec;
    out = lt::bdecode({bytes.data(), static_cast<std::ptrdiff_t>(bytes.size())}, ec);
    return !ec && out.type() == lt::bdecode_node::dict_t;
}

bool queueManaged(const lt::bdecode_node& dict) {
    return dict.dict_find_int_value("auto_managed", 0) == 1;
}

std::vector<Entry> kept(const lt::bdecode_node& dict, bool skipPaused) {
    std::vector<Entry> out;
    for (int i = 0; i < dict.dict_size(); ++i) {
        auto [name, value] = dict.dict_at(i);
        std::string_view key(name.data(), name.size());
        if (std::find(kCounters.begin(), kCounters.end(), key) != kCounters.end() ||
            (skipPaused && key == "paused"))
            continue;
        lt::span<const char> raw = value.data_section();
        out.push_back({key, std::string_view(raw.data(), static_cast<std::size_t>(raw.size()))});
    }
    return out;
}

} // namespace

bool restoresTheSame(std::string_view saved, std::string_view fresh) {
    lt::bdecode_node a, b;
    if (!decode(saved, a) || !decode(fresh, b))
        return false;
    bool queued = queueManaged(a) && queueManaged(b);
    std::vector<Entry> x = kept(a, queued), y = kept(b, queued);
    return std::equal(x.begin(), x.end(), y.begin(), y.end(), [](const Entry& l, const Entry& r) {
        return l.key == r.key && l.value == r.value;
    });
}

} // namespace tevro::bridge

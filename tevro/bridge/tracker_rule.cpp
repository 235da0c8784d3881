#include "tevro/bridge/tracker_rule.h"

#include <algorithm>

namespace tevro::bridge {

std::vector<std::string> TrackerRule::mirrorsOf(std::string_view url) {
    static constexpr std::string_view kLabels[] = {"bt", "bt2", "bt3", "bt4", "bt5"};
    auto scheme = url.find("://");
    if (scheme == std::string_view::npos)
        return {};
    std::size_t hostStart = scheme + 3;
    std::size_t hostEnd = url.find_first_of(":/", hostStart);
    if (hostEnd == std::string_view::npos)
        hostEnd = url.size();
    std::string_view host = url.substr(hostStart, hostEnd - hostStart);
    if (host.size() <= kMirrorSuffix.size() || !host.ends_with(kMirrorSuffix))
        return {};
    std::string_view label = host.substr(0, host.size() - kMirrorSuffix.size());
    if (!label.starts_with("bt"))
        return {};
    std::vector<std::string> out;
    for (std::string_view other : kLabels) {
        if (other == label)
            continue;
        std::string formed(url.substr(0, hostStart));
        formed += other;
        formed += kMirrorSuffix;
        formed += url.substr(hostEnd);
        out.push_back(std::move(formed));
    }
    return out;
}

std::vector<TrackerEntry> TrackerRule::apply(const std::vector<TrackerEntry>& current,
                                             const std::vector<std::string>& extra, bool mirror) {
    std::vector<TrackerEntry> out;
    auto listed = [&](std::string_view url) {
        return std::any_of(out.begin(), out.end(), [&](const auto& e) { return e.url == url; });
    };
    for (const auto& e : current)
        if (e.tier != kMirrorTier && e.tier != kExtraTier && !listed(e.url))
            out.push_back(e);
    if (mirror) {
        std::size_t own = out.size();
        for (std::size_t i = 0; i < own; ++i)
            for (auto& url : mirrorsOf(std::string(out[i].url)))
                if (!listed(url))
                    out.push_back({std::move(url), kMirrorTier});
    }
    for (const auto& url : extra)
        if (!listed(url))
            out.push_back({url, kExtraTier});
    return out;
}

} // namespace tevro::bridge

#pragma once

// The session's tracker rule: a torrent's own trackers, then mirrors of the
// public trackers under kMirrorSuffix (tier 98), then the extra trackers
// (tier 99). Re-running it with mirrors off or fewer extras removes what an
// earlier run added; the torrent's own trackers always stay.

#include <string>
#include <string_view>
#include <vector>

namespace tevro::bridge {

struct TrackerEntry {
    std::string url;
    int tier = 0;
    bool operator==(const TrackerEntry&) const = default;
};

class TrackerRule {
public:
    static constexpr int kMirrorTier = 98;
    static constexpr int kExtraTier = 99;
    static constexpr std::string_view kMirrorSuffix = ".t-ru.org";

    // The other mirror URLs of `url` ("bt", "bt2" ... "bt5" + suffix), or none
    // when its host is not one of them.
    static std::vector<std::string> mirrorsOf(std::string_view url);

    // The list the torrent should carry, from its current list.
    static std::vector<TrackerEntry> apply(const std::vector<TrackerEntry>& current,
                                           const std::vector<std::string>& extra, bool mirror);
};

} // namespace tevro::bridge

#include "tevro/bridge/resume_equivalence.h"

#include <string>

#include <gtest/gtest.h>

namespace tevro::bridge {
namespace {

// A saved torrent as libtorrent writes it (keys sorted), with `middle` in
// place of its flags and counters.
std::string saved(const std::string& middle) {
    return "d11:active_timei40e" + middle + "9:save_path4:/tmp12:seeding_timei30ee";
}

TEST(ResumeEquivalence, OnlyCountersAndTheQueuesPauseMayDiffer) {
    const std::string managed = "12:auto_managedi1e6:pausedi0e",
                      queued = "12:auto_managedi1e6:pausedi1e";
    struct {
        std::string fresh;
        bool same;
        const char* why;
    } cases[] = {
        {saved(managed), true, "the same bytes"},
        {"d11:active_timei95e" + managed + "9:save_path4:/tmp12:seeding_timei77ee", true,
         "counters grown"},
        {saved(queued), true, "held by the queue now"},
        {saved("12:auto_managedi0e6:pausedi1e"), false, "paused by the user"},
        {saved(managed + "14:total_uploadedi9e"), false, "a value more"},
        {"d11:active_timei40e" + managed + "9:save_path5:/data12:seeding_timei30ee", false,
         "moved"},
        {saved("6:pausedi0e"), false, "no longer managed"},
        {"d11:active_timei40e", false, "cut short"},
        {"", false, "empty"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(restoresTheSame(saved(managed), c.fresh), c.same) << c.why;
    EXPECT_FALSE(restoresTheSame("", saved(managed))) << "nothing saved";
}

} // namespace
} // namespace tevro::bridge

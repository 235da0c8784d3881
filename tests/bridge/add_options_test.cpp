#include "tevro/bridge/add_options.h"

#include <gtest/gtest.h>
#include <libtorrent/torrent_flags.hpp>

namespace tevro::bridge {
namespace {

namespace tf = lt::torrent_flags;

TEST(AddOptions, OnlyTheExactOneIsTrue) {
    struct {
        const char* text;
        bool paused, sequential, choose;
    } cases[] = {
        {"paused=1\nsequential=1\nchoose=1", true, true, true},
        {"paused=true\nsequential=yes\nchoose=0", false, false, false},
        {"paused= 1\nsequential=1 ", false, true, false},
        {"  paused  =1", true, false, false},
        {"paused=1\r\nsequential=1", true, true, false},
        {"paused=1\r0\nchoose=1\r", false, false, true},
        {"", false, false, false},
    };
    for (const auto& c : cases) {
        AddOptions o = AddOptions::parse(c.text);
        EXPECT_EQ(o.paused, c.paused) << c.text;
        EXPECT_EQ(o.sequential, c.sequential) << c.text;
        EXPECT_EQ(o.choose, c.choose) << c.text;
    }
}

TEST(AddOptions, SavePathKeepsInnerBlanksAndRefusesLineBreaks) {
    EXPECT_EQ(AddOptions::parse("save_path= /tmp/a b ").savePath.value_or(""), " /tmp/a b");
    // A CRLF text: the line ends are no part of the values.
    AddOptions crlf = AddOptions::parse("save_path=/tmp/c\r\npaused=1\r\nsequential=1 \r\n");
    EXPECT_EQ(crlf.savePath.value_or(""), "/tmp/c");
    EXPECT_TRUE(crlf.paused);
    EXPECT_TRUE(crlf.sequential);
    EXPECT_EQ(AddOptions::parse("save_path=/tmp/a=b").savePath.value_or(""), "/tmp/a=b");
    EXPECT_FALSE(AddOptions::parse("save_path=/tmp/x\rpaused=1").savePath);
    EXPECT_FALSE(AddOptions::parse("paused=1").savePath);
}

TEST(AddOptions, ShapesTheAddParameters) {
    lt::add_torrent_params p;
    p.flags = tf::paused | tf::sequential_download;
    AddOptions::parse("save_path=/data\npriorities=4,0,7,9,-2").applyTo(p, true);
    EXPECT_EQ(p.save_path, "/data");
    EXPECT_TRUE(p.flags & tf::auto_managed);
    EXPECT_FALSE(p.flags & tf::paused);
    EXPECT_FALSE(p.flags & tf::sequential_download);
    std::vector<lt::download_priority_t> expected = {
        lt::download_priority_t{4}, lt::download_priority_t{0}, lt::download_priority_t{7},
        lt::download_priority_t{7}, lt::download_priority_t{0}};
    EXPECT_EQ(
        std::vector<lt::download_priority_t>(p.file_priorities.begin(), p.file_priorities.end()),
        expected);

    lt::add_torrent_params magnet;
    AddOptions::parse("paused=1\nchoose=1\npriorities=4,0,7").applyTo(magnet, false);
    EXPECT_TRUE(magnet.flags & tf::paused);
    EXPECT_FALSE(magnet.flags & tf::auto_managed);
    EXPECT_TRUE(magnet.flags & tf::default_dont_download);
    EXPECT_TRUE(magnet.file_priorities.empty());
}

} // namespace
} // namespace tevro::bridge

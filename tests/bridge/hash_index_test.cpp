#include "tevro/bridge/hash_index.h"

#include <gtest/gtest.h>

namespace tevro::bridge {
namespace {

lt::sha1_hash v1(char c) {
    lt::sha1_hash h;
    h[0] = c;
    return h;
}

lt::sha256_hash v2(char c) {
    lt::sha256_hash h;
    h[0] = c;
    return h;
}

lt::info_hash_t hashes(std::optional<char> one, std::optional<char> two) {
    lt::info_hash_t h;
    if (one)
        h.v1 = v1(*one);
    if (two)
        h.v2 = v2(*two);
    return h;
}

TEST(HashIndex, AnyHashInCommonFindsTheTorrent) {
    HashIndex index;
    index.add("hybrid", hashes('a', 'b'));
    index.add("v1only", hashes('c', std::nullopt));
    index.add("v2only", hashes(std::nullopt, 'd'));
    struct Case {
        lt::info_hash_t asked;
        std::optional<std::string> found;
    } cases[] = {
        {hashes('a', std::nullopt), "hybrid"}, // its v1 magnet
        {hashes(std::nullopt, 'b'), "hybrid"}, // its v2 magnet
        {hashes('x', 'b'), "hybrid"},          // one hash of two is enough
        {hashes('c', 'y'), "v1only"},          // a hybrid of a v1 torrent
        {hashes(std::nullopt, 'd'), "v2only"},
        {hashes('d', std::nullopt), std::nullopt}, // same byte, other kind
        {hashes('x', 'y'), std::nullopt},
        {hashes(std::nullopt, std::nullopt), std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(index.find(c.asked), c.found) << (c.found ? *c.found : "none");
}

TEST(HashIndex, ARemovedTorrentIsNoLongerFoundAndTheFirstIdStays) {
    HashIndex index;
    index.add("first", hashes('a', std::nullopt));
    // Metadata widened it to a hybrid: both hashes now find it.
    index.add("first", hashes('a', 'b'));
    // Another torrent claiming a filed hash does not take it over.
    index.add("second", hashes('a', 'c'));
    EXPECT_EQ(index.find(hashes(std::nullopt, 'b')), "first");
    EXPECT_EQ(index.find(hashes('a', std::nullopt)), "first");
    EXPECT_EQ(index.find(hashes(std::nullopt, 'c')), "second");

    // Removing one torrent leaves what another owns.
    index.remove("second", hashes('a', 'c'));
    EXPECT_EQ(index.find(hashes('a', std::nullopt)), "first");
    EXPECT_EQ(index.find(hashes(std::nullopt, 'c')), std::nullopt);
    index.remove("first", hashes('a', 'b'));
    EXPECT_EQ(index.find(hashes('a', 'b')), std::nullopt);
    EXPECT_EQ(index.size(), 0u);
}

} // namespace
} // namespace tevro::bridge

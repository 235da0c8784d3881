// Which shared libraries the programs ask for at start: libsecret only where
// the keychain store is linked in, so a host that never starts the statistics
// engine runs without it.

#include <string>

#include <gtest/gtest.h>

#include "tests/support/run_program.h"

namespace {

std::string needed(const std::string& program) {
    const auto result = tevro::test::runProgram({"readelf", "-d", program});
    EXPECT_EQ(result.exitCode, 0) << program;
    std::string libraries;
    for (std::size_t at = result.out.find("(NEEDED)"); at != std::string::npos;
         at = result.out.find("(NEEDED)", at + 1)) {
        const auto open = result.out.find('[', at);
        libraries += result.out.substr(open + 1, result.out.find(']', open) - open - 1) + " ";
    }
    return libraries;
}

TEST(Linking, LibsecretOnlyWhereTheKeychainStoreIs) {
    EXPECT_NE(needed(KEYCHAIN_PROGRAM).find("libsecret-1.so"), std::string::npos);
    const std::string host = needed(HOST_PROGRAM);
    EXPECT_NE(host.find("libQt6Core"), std::string::npos) << host;
    EXPECT_EQ(host.find("libsecret-1.so"), std::string::npos) << host;
}

} // namespace

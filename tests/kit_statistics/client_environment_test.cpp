#include "quorvel-kit/statistics/client_environment.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace quorvel {
namespace {

using tevro::test::TempDir;
using tevro::test::writeAll;

TEST(ClientEnvironment, ChannelDecision) {
    TempDir dir;
    Bundle plain = Bundle::at(dir.path());
    TempDir storeCopy;
    std::filesystem::create_directories(storeCopy / "Contents/_MASReceipt");
    writeAll(storeCopy / "Contents/_MASReceipt/receipt", "");
    Bundle store = Bundle::at(storeCopy.path());
    int storeAsked = 0;
    auto answer = [&](StoreTransaction t) {
        return [&storeAsked, t] {
            ++storeAsked;
            return t;
        };
    };

    EXPECT_EQ(ClientEnvironment::channelOf(store, {{"QUORVEL_TEST_ROOT", ""}}, {}, answer({})),
              Channel::test);
    EXPECT_EQ(ClientEnvironment::channelOf(store, {}, {"app", "--quorvel-test"}, answer({})),
              Channel::test);
    EXPECT_EQ(storeAsked, 0);
    EXPECT_EQ(ClientEnvironment::channelOf(plain, {}, {"app", "--quorvel-test=1"},
                                           answer(StoreTransaction::verifiedOther)),
              Channel::direct);
    EXPECT_EQ(storeAsked, 0) << "no receipt: the store is never asked";

    struct Case {
        StoreTransaction transaction;
        Channel channel;
    } cases[] = {
        {StoreTransaction::verifiedOther, Channel::testflight},
        {StoreTransaction::verifiedProduction, Channel::appStore},
        {StoreTransaction::unverified, Channel::appStore},
        {StoreTransaction::failed, Channel::appStore},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ClientEnvironment::channelOf(store, {}, {}, answer(c.transaction)), c.channel);
    EXPECT_EQ(ClientEnvironment::channelOf(store, {}, {}), Channel::appStore)
        << "Linux has no store: the transaction fails";
}

TEST(ClientEnvironment, ChannelRawValues) {
    for (Channel c :
         {Channel::appStore, Channel::testflight, Channel::direct, Channel::debug, Channel::test})
        EXPECT_EQ(channelFromRaw(rawValue(c)), c);
    EXPECT_EQ(rawValue(Channel::appStore), "app-store");
    EXPECT_FALSE(channelFromRaw("appStore"));
}

TEST(ClientEnvironment, DeviceFamilies) {
    std::pair<const char*, const char*> cases[] = {
        {"MacBookPro18,3", "macbook-pro"},
        {"MacBook10,1", "macbook"},
        {"MacBookAir10,1", "macbook-air"},
        {"iMacPro1,1", "imac-pro"},
        {"iMac21,1", "imac"},
        {"Mac14,2", "macbook-air"},
        {"Mac13,1", "mac-studio"},
        {"Mac14,8", "mac-pro"},
        {"Mac99,1", "mac-other"},
        {"", "mac-other"},
        {"macbookair10,1", "mac-other"},
    };
    for (auto [model, family] : cases)
        EXPECT_EQ(ClientEnvironment::familyOf(model), family) << model;
}

TEST(ClientEnvironment, DetectReadsInfoJsonAndMachine) {
    TempDir dir;
    writeAll(dir / "Info.json", R"({"CFBundleShortVersionString":"2.4","CFBundleVersion":17})");
    ProcessInfo process;
    process.osMajor = 14;
    process.osMinor = 5;
    process.osPatch = 1;
    process.arguments = {"app", "--quorvel-test"};
    ClientEnvironment env = ClientEnvironment::detect(Bundle::at(dir.path()), process);
    EXPECT_EQ(env.platform, "linux");
    EXPECT_EQ(env.appVersion, "2.4");
    EXPECT_EQ(env.build, "0") << "a number is not a string";
    EXPECT_EQ(env.osVersion, "14.5");
    EXPECT_EQ(env.channel, Channel::test);
    EXPECT_FALSE(env.arch.empty());

    ClientEnvironment bare = ClientEnvironment::detect(Bundle::at(dir / "missing"), {});
    EXPECT_EQ(bare.appVersion, "0");
    EXPECT_EQ(bare.osVersion, "0.0");
    EXPECT_EQ(bare.channel, Channel::direct);
}

TEST(ClientEnvironment, HardwareModelFromFirmwareTables) {
    TempDir dmi;
    writeAll(dmi / "product_name", "MacBookPro18,3\n");
    EXPECT_EQ(ClientEnvironment::hardwareModel(dmi.path().string()), "MacBookPro18,3");
    writeAll(dmi / "product_name", "Bad\xff\n");
    EXPECT_EQ(ClientEnvironment::hardwareModel(dmi.path().string()), "Bad\xef\xbf\xbd");
    EXPECT_EQ(ClientEnvironment::hardwareModel((dmi / "none").string()), "");
}

TEST(ClientEnvironment, CurrentProcessKnowsItsArguments) {
    ProcessInfo p = ProcessInfo::current();
    ASSERT_FALSE(p.arguments.empty());
    EXPECT_NE(p.arguments[0].find("kit_statistics_client_environment_test"), std::string::npos);
    EXPECT_GT(p.osMajor, 0);
}

} // namespace
} // namespace quorvel

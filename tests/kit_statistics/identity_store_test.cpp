#include "quorvel-kit/statistics/file_identity_store.h"
#include "quorvel-kit/statistics/keychain_identity_store.h"

#include <QUuid>

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace quorvel {
namespace {

using tevro::test::readAll;
using tevro::test::TempDir;
using tevro::test::writeAll;

TEST(FileIdentityStore, LoadsTrimmedTextAndNothingWhenMissingOrNotUtf8) {
    TempDir dir;
    FileIdentityStore store(dir / "installation-id");
    EXPECT_FALSE(store.load());
    writeAll(dir / "installation-id", "");
    EXPECT_EQ(store.load(), "");
    writeAll(dir / "installation-id", "  abc-123\n \t\n");
    EXPECT_EQ(store.load(), "abc-123");
    writeAll(dir / "installation-id", "abc\xff");
    EXPECT_FALSE(store.load());
}

TEST(FileIdentityStore, SaveCreatesFoldersAndWritesBareText) {
    TempDir dir;
    FileIdentityStore store(dir / "a/b/installation-id");
    ASSERT_TRUE(store.save("id-1"));
    EXPECT_EQ(readAll(dir / "a/b/installation-id"), "id-1");
    ASSERT_TRUE(store.save("id-2"));
    EXPECT_EQ(store.load(), "id-2");
    EXPECT_FALSE(std::filesystem::exists(dir / "a/b/installation-id.tmp"));

    writeAll(dir / "file", "x");
    EXPECT_FALSE(FileIdentityStore(dir / "file/installation-id").save("id"))
        << "a folder that cannot be made is an error";
}

// Runs only where a Secret Service is on the session bus.
TEST(KeychainIdentityStore, RoundTripWhereASecretServiceRuns) {
    if (!KeychainIdentityStore::available())
        GTEST_SKIP() << "no Secret Service on this machine";
    std::string service =
        "com.quorvel.kit.test." + QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString();
    KeychainIdentityStore store(service);
    EXPECT_EQ(store.account(), "installation-id");
    EXPECT_FALSE(store.load());
    ASSERT_TRUE(store.save("first"));
    ASSERT_TRUE(store.save("second"));
    EXPECT_EQ(store.load(), "second");
}

} // namespace
} // namespace quorvel

#include "quorvel-kit/statistics/file_identity_store.h"
#include "quorvel-kit/statistics/keychain_identity_store.h"
#include "quorvel-kit/statistics/mirrored_identity_store.h"

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

// Whether the keychain is there can change from run to run: the identifier is
// looked up in both stores and copied to the one that lacks it.
TEST(MirroredIdentityStore, OneIdentityAcrossBothStores) {
    const std::string a = "11111111-2222-3333-4444-555555555555";
    const std::string b = "66666666-7777-8888-9999-000000000000";
    struct Case {
        const char* name;
        std::optional<std::string> keychain, file;
        std::optional<std::string> loaded;
    };
    const Case cases[] = {
        {"neither", {}, {}, {}},
        {"keychain only", a, {}, a},
        {"file only", {}, b, b},
        {"both: the keychain's", a, b, a},
        {"garbage in the keychain", "not an id", b, b},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        auto keychain = std::make_shared<FileIdentityStore>(dir / "keychain");
        auto file = std::make_shared<FileIdentityStore>(dir / "installation-id");
        if (c.keychain)
            writeAll(dir / "keychain", *c.keychain);
        if (c.file)
            writeAll(dir / "installation-id", *c.file);
        MirroredIdentityStore store(keychain, file, [](const std::string& id) {
            return !QUuid::fromString(QString::fromStdString(id)).isNull();
        });
        EXPECT_EQ(store.load(), c.loaded);
        if (c.loaded) {
            EXPECT_EQ(keychain->load(), c.loaded);
            EXPECT_EQ(file->load(), c.loaded);
        }
    }
    // A run without the keychain, then one with it: the same identifier.
    TempDir dir;
    auto file = std::make_shared<FileIdentityStore>(dir / "installation-id");
    auto keychain = std::make_shared<FileIdentityStore>(dir / "keychain");
    ASSERT_TRUE(MirroredIdentityStore(nullptr, file, {}).save(a));
    EXPECT_EQ(MirroredIdentityStore(keychain, file, {}).load(), a);
    EXPECT_EQ(MirroredIdentityStore(keychain, nullptr, {}).load(), a);
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

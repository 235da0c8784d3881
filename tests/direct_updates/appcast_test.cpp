#include <gtest/gtest.h>

#include "quorvel-direct-updates/appcast.h"
#include "quorvel-direct-updates/ed25519.h"
#include "tests/support/test_pki.h"

namespace tevro::test {
namespace {

using quorvel::Appcast;

TEST(Appcast, ReadsItemsOfTheAppcastNamespace) {
    const QByteArray xml = R"(<?xml version="1.0"?>
<rss version="2.0" xmlns:a="urn:quorvel:appcast" xmlns:other="urn:other">
 <channel><title>T</title>
  <item><title>One</title><a:version>7</a:version><a:shortVersionString>1.7</a:shortVersionString>
   <description a:format="plain-text"> line &amp; more </description>
   <enclosure url="https://h.example/one.tar?x=1" length="123" a:edSignature="c2ln"/></item>
  <item><other:version>9</other:version><a:version>8</a:version><a:informationalUpdate/>
   <a:installationType>package</a:installationType>
   <description><![CDATA[<p>html</p>]]></description></item>
 </channel></rss>)";
    const auto items = Appcast::parse(xml);
    ASSERT_TRUE(items);
    ASSERT_EQ(items->size(), 2u);
    const auto& one = (*items)[0];
    EXPECT_EQ(one.versionString, "7");
    EXPECT_EQ(one.displayVersionString, "1.7");
    EXPECT_EQ(one.itemDescription, " line & more ");
    EXPECT_EQ(one.itemDescriptionFormat, "plain-text");
    EXPECT_EQ(one.fileURL, QUrl("https://h.example/one.tar?x=1"));
    EXPECT_EQ(one.contentLength, 123u);
    EXPECT_EQ(one.edSignature, "c2ln");
    EXPECT_EQ(one.installationType, "application");
    const auto& two = (*items)[1];
    EXPECT_EQ(two.versionString, "8"); // another namespace's version is not ours
    EXPECT_EQ(two.displayVersionString, "8");
    EXPECT_TRUE(two.informationOnly);
    EXPECT_EQ(two.installationType, "package");
    EXPECT_EQ(two.itemDescriptionFormat, std::nullopt);
    EXPECT_FALSE(two.fileURL);

    EXPECT_FALSE(Appcast::parse("<rss><channel><item>"));
    EXPECT_FALSE(Appcast::parse("<feed/>"));
}

TEST(Appcast, SignatureIsTheTrailingCommentOverEverythingBefore) {
    Ed25519Key key;
    const QByteArray body = "<rss version=\"2.0\"><channel/></rss>\n";
    const QByteArray document = body + Appcast::signatureComment(key.signBase64(body)) + "\n \n";
    const auto split = Appcast::split(document);
    ASSERT_TRUE(split);
    EXPECT_EQ(split->body, body);
    const auto signature = quorvel::decodeStrictBase64(split->signature);
    ASSERT_TRUE(signature);
    EXPECT_TRUE(quorvel::verifyEd25519(key.publicKey(), *signature, body.constData(),
                                       std::size_t(body.size())));
    QByteArray changed = body;
    changed[1] = 'R';
    EXPECT_FALSE(quorvel::verifyEd25519(key.publicKey(), *signature, changed.constData(),
                                        std::size_t(changed.size())));
    EXPECT_FALSE(Appcast::split(body));
    EXPECT_FALSE(Appcast::split(document + "<!-- later -->"));
    // Base64 must be canonical.
    EXPECT_FALSE(quorvel::decodeStrictBase64("c2ln\n"));
    EXPECT_FALSE(quorvel::decodeStrictBase64("c2l"));
    EXPECT_TRUE(quorvel::decodeStrictBase64("c2ln"));
}

TEST(Appcast, BuildVersionsCompareByParts) {
    const std::tuple<const char*, const char*, int> cases[] = {
        {"100", "99", 1},     {"1.10", "1.9", 1},      {"1.0", "1", 0},
        {"1.0.0", "1.0", 0},  {"2", "10", -1},         {"007", "7", 0},
        {"1.0b1", "1.0", -1}, {"1.2.3", "1.2.10", -1}, {"1.a", "1.b", -1},
    };
    for (const auto& [left, right, order] : cases) {
        EXPECT_EQ(quorvel::compareBuildVersions(left, right), order) << left << " " << right;
        EXPECT_EQ(quorvel::compareBuildVersions(right, left), -order) << right << " " << left;
    }
}

} // namespace
} // namespace tevro::test

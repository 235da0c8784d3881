#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QSignalSpy>
#include <QTest>

#include "tests/library/library_engine.h"
#include "tests/library/widgets_app.h"
#include "tests/support/qt_app.h"
#include "tevro/core/format.h"
#include "tevro/library/sidebar_transfer_status.h"

namespace tevro {
namespace {

QString bytes(std::int64_t n) {
    return QString::fromStdString(Format::bytes(n));
}

TEST(SidebarTransferStatusTest, EmptySessionFoldingAndTheLimitsSwitch) {
    test::ensureWidgetsApp();
    test::LibraryEngine engine;
    SidebarTransferStatus block(&engine.engine());
    block.resize(240, block.sizeHint().height());
    block.show();
    auto* header = block.findChild<QAbstractButton*>(QStringLiteral("sidebar.transferDetails"));
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->accessibleDescription(), QStringLiteral("Загрузка: —"));
    EXPECT_EQ(header->accessibleName(), QStringLiteral("Свернуть сведения о загрузках"));
    auto rowText = [&](const char* caption) {
        return block.findChild<QWidget*>(QString::fromUtf8(caption))->property("text").toString();
    };
    EXPECT_EQ(rowText("Раздача"), QStringLiteral("—"));
    EXPECT_EQ(rowText("Пиры"), QStringLiteral("0"));
    EXPECT_EQ(rowText("Осталось"), bytes(0));

    QSignalSpy toggle(&block, &SidebarTransferStatus::toggleRequested);
    QTest::mouseClick(header, Qt::LeftButton);
    EXPECT_EQ(toggle.count(), 1);
    // Folding slides the details away, then hides them.
    QWidget* peers = block.findChild<QWidget*>(QStringLiteral("Пиры"));
    const int unfolded = block.sizeHint().height();
    block.setCollapsed(true);
    EXPECT_EQ(header->accessibleName(), QStringLiteral("Развернуть сведения о загрузках"));
    EXPECT_EQ(header->toolTip(), QStringLiteral("Развернуть сведения о загрузках"));
    EXPECT_TRUE(peers->isVisible());
    ASSERT_TRUE(test::waitUntil([&] { return !peers->isVisible(); }));
    EXPECT_LT(block.sizeHint().height(), unfolded);
    block.setCollapsed(false);
    ASSERT_TRUE(test::waitUntil([&] { return block.sizeHint().height() == unfolded; }));
    EXPECT_TRUE(peers->isVisible());
    // With reduced motion it happens at once.
    block.setReduceMotion(true);
    block.setCollapsed(true);
    EXPECT_FALSE(peers->isVisible());
    block.setCollapsed(false);
    EXPECT_TRUE(peers->isVisible());

    auto* limits = block.findChild<QAbstractButton*>(QStringLiteral("sidebar.altSpeed"));
    QTest::mouseClick(limits, Qt::LeftButton);
    EXPECT_TRUE(engine.engine().settings().altSpeedEnabled);

    auto* settings = block.findChild<QAbstractButton*>(QStringLiteral("sidebar.settings"));
    QSignalSpy open(&block, &SidebarTransferStatus::settingsRequested);
    QTest::mouseClick(settings, Qt::LeftButton);
    EXPECT_EQ(open.count(), 1);
    EXPECT_FALSE(settings->isChecked()); // until the window says the settings show
    block.setSettingsShown(true);
    EXPECT_TRUE(settings->isChecked());
}

TEST(SidebarTransferStatusTest, RatesAndRemaining) {
    EXPECT_EQ(SidebarTransferStatus::rateText(0), QStringLiteral("—"));
    EXPECT_EQ(SidebarTransferStatus::rateText(1), bytes(1) + QStringLiteral("/с"));
    auto t = [](std::int64_t wanted, std::int64_t done, bool metadata) {
        TorrentStatus s;
        s.wanted = wanted;
        s.wantedDone = done;
        s.hasMetadata = metadata;
        return s;
    };
    EXPECT_EQ(SidebarTransferStatus::remainingText({}), bytes(0));
    EXPECT_EQ(SidebarTransferStatus::remainingText({t(0, 0, false)}), QStringLiteral("—"));
    EXPECT_EQ(SidebarTransferStatus::remainingText({t(0, 0, false), t(3000, 1000, true)}),
              bytes(2000) + QStringLiteral("+"));
    // More done than wanted adds nothing.
    EXPECT_EQ(SidebarTransferStatus::remainingText({t(100, 500, true), t(3000, 1000, true)}),
              bytes(2000));
}

} // namespace
} // namespace tevro

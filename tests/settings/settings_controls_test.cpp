#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "tests/settings/settings_fixture.h"
#include "tests/support/qt_app.h"
#include "tevro/library/library_style.h"
#include "tevro/platform/desktop_motion.h"
#include "tevro/settings/settings_choice.h"
#include "tevro/settings/settings_number.h"
#include "tevro/settings/settings_stepper.h"
#include "tevro/settings/settings_switch.h"

using namespace tevro;

namespace {

void typeAndCommit(QLineEdit* field, const QString& text) {
    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, text);
    QTest::keyClick(field, Qt::Key_Return);
}

TEST(SettingsNumberTest, CommitsParsedIntegersOnlyAndShowsInfinityForZero) {
    test::ensureSettingsApp();
    std::int64_t value = 0;
    int writes = 0;
    SettingsNumber number(
        "Лимит", [&] { return value; },
        [&](std::int64_t v) {
            value = v;
            ++writes;
        },
        "КиБ/с", true);
    number.show();
    EXPECT_EQ(number.field()->text(), "0");
    EXPECT_EQ(number.unitLabel()->text(), "∞");
    EXPECT_EQ(number.unitLabel()->accessibleName(), "Без ограничений");

    // Typing alone writes nothing; Return does.
    number.field()->setFocus();
    number.field()->selectAll();
    QTest::keyClicks(number.field(), "1048576");
    EXPECT_EQ(writes, 0);
    QTest::keyClick(number.field(), Qt::Key_Return);
    EXPECT_EQ(value, 1048576);
    EXPECT_EQ(number.field()->text(), "1048576"); // never grouped
    EXPECT_EQ(number.unitLabel()->text(), "КиБ/с");

    // Letters change nothing and the field shows the stored value again;
    // a negative number is written as typed.
    typeAndCommit(number.field(), "abc");
    EXPECT_EQ(value, 1048576);
    EXPECT_EQ(number.field()->text(), "1048576");
    typeAndCommit(number.field(), "-5");
    EXPECT_EQ(value, -5);
    typeAndCommit(number.field(), "");
    EXPECT_EQ(value, -5);
}

TEST(SettingsNumberTest, UnitSlotFollowsUnitAndUnlimited) {
    test::ensureSettingsApp();
    std::int64_t value = 7;
    auto get = [&] { return value; };
    auto set = [&](std::int64_t v) { value = v; };
    SettingsNumber bare("Порт", get, set, "", false);
    EXPECT_EQ(bare.unitLabel(), nullptr);
    SettingsNumber blank("Соединения", get, set, "", true);
    ASSERT_NE(blank.unitLabel(), nullptr);
    EXPECT_EQ(blank.unitLabel()->text(), "");
    EXPECT_EQ(blank.unitLabel()->width(), 44);
}

TEST(SettingsStepperTest, StopsAtItsBoundsAndWalksBackIntoRange) {
    test::ensureSettingsApp();
    struct Case {
        std::int64_t start, lower, upper;
        int plusClicks, minusClicks;
        std::int64_t afterPlus, afterMinus;
    };
    const Case cases[] = {
        {48, 1, 50, 5, 0, 50, 50},     // stops at the top
        {3, 1, 50, 0, 5, 3, 1},        // stops at the bottom
        {120, 1, 100, 1, 3, 120, 117}, // above the range: plus disabled, minus steps down
        {-2, 1, 100, 3, 1, 1, 1},      // below: plus steps up into the range
    };
    for (const auto& c : cases) {
        std::int64_t value = c.start;
        SettingsStepper stepper(
            "Загрузки", [&] { return value; }, [&](std::int64_t v) { value = v; }, c.lower,
            c.upper);
        stepper.show();
        for (int i = 0; i < c.plusClicks; ++i)
            QTest::mouseClick(stepper.plus(), Qt::LeftButton);
        EXPECT_EQ(value, c.afterPlus) << c.start;
        for (int i = 0; i < c.minusClicks; ++i)
            QTest::mouseClick(stepper.minus(), Qt::LeftButton);
        EXPECT_EQ(value, c.afterMinus) << c.start;
        EXPECT_EQ(stepper.plus()->isEnabled(), value < c.upper);
        EXPECT_EQ(stepper.minus()->isEnabled(), value > c.lower);
        EXPECT_EQ(stepper.valueLabel()->text(), QString::number(value));
    }
}

TEST(SettingsChoiceTest, ListOpensBelowAndPickingClosesIt) {
    test::ensureSettingsApp();
    int selected = 1;
    int writes = 0;
    SettingsChoice choice(
        "Шифрование", {"Разрешить", "Предпочитать", "Только шифрованные"}, [&] { return selected; },
        [&](int i) {
            selected = i;
            ++writes;
        });
    choice.show();
    EXPECT_EQ(choice.text(), "Предпочитать");
    EXPECT_EQ(choice.accessibleName(), "Шифрование");
    QTest::mouseClick(&choice, Qt::LeftButton);
    ASSERT_TRUE(choice.expanded());
    auto rows = choice.popup()->findChildren<QPushButton*>();
    ASSERT_EQ(rows.size(), 3);
    QStringList order;
    for (auto* r : rows) {
        order << r->text();
        EXPECT_EQ(r->isChecked(), r->text() == "Предпочитать");
    }
    EXPECT_EQ(order, choice.labels());
    EXPECT_GE(choice.popup()->geometry().top(), choice.mapToGlobal(QPoint(0, choice.height())).y());

    QTest::mouseClick(rows[2], Qt::LeftButton);
    EXPECT_EQ(selected, 2);
    EXPECT_EQ(writes, 1);
    EXPECT_TRUE(test::waitUntil([&] { return !choice.expanded(); }));
    EXPECT_EQ(choice.text(), "Только шифрованные");

    // A second click on the button closes an open list without writing.
    QTest::mouseClick(&choice, Qt::LeftButton);
    ASSERT_TRUE(choice.expanded());
    QTest::mouseClick(&choice, Qt::LeftButton);
    EXPECT_TRUE(test::waitUntil([&] { return !choice.expanded(); }));
    EXPECT_EQ(writes, 1);
}

TEST(SettingsSwitchTest, ClickAnywhereInTheRowFlipsTheBoundState) {
    test::ensureSettingsApp();
    bool on = false;
    SettingsSwitch sw(
        "Добавлять на паузе", [&] { return on; }, [&](bool v) { on = v; });
    sw.resize(600, sw.heightForWidth(600));
    sw.show();
    EXPECT_EQ(sw.height(), 56);
    QTest::mouseClick(&sw, Qt::LeftButton, {}, QPoint(30, 28)); // on the title
    EXPECT_TRUE(on);
    // The knob slides to the trailing end on the accent capsule.
    auto near = [](const QColor& a, const QColor& b) {
        return std::abs(a.red() - b.red()) <= 3 && std::abs(a.green() - b.green()) <= 3 &&
               std::abs(a.blue() - b.blue()) <= 3;
    };
    auto knobAt = [&](int x) {
        test::spinFor(std::chrono::milliseconds(300));
        return sw.grab().toImage().pixelColor(x, sw.height() / 2);
    };
    EXPECT_TRUE(near(knobAt(600 - 16 - 11), LibraryStyle::background()));
    EXPECT_TRUE(near(knobAt(600 - 16 - 38 + 6), LibraryStyle::accent()));
    QTest::mouseClick(&sw, Qt::LeftButton, {}, QPoint(300, 28)); // empty middle
    EXPECT_FALSE(on);
    EXPECT_TRUE(near(knobAt(600 - 16 - 38 + 11), LibraryStyle::muted()));
    // A state changed elsewhere shows after sync.
    on = true;
    sw.sync();
    EXPECT_TRUE(sw.isChecked());
    sw.setEnabled(false);
    QTest::mouseClick(&sw, Qt::LeftButton, {}, QPoint(30, 28));
    EXPECT_TRUE(on);
}

// The knob slides over 0.12 s, and jumps when the desktop asks for less motion.
TEST(SettingsSwitchTest, TheKnobJumpsWhenTheDesktopAsksForLessMotion) {
    test::ensureSettingsApp();
    bool on = false;
    SettingsSwitch sw(
        "Добавлять на паузе", [&] { return on; }, [&](bool v) { on = v; });
    sw.resize(600, sw.heightForWidth(600));
    sw.show();
    auto knobEnd = [&] { return sw.grab().toImage().pixelColor(600 - 16 - 11, sw.height() / 2); };
    const QColor atRest = knobEnd();
    QTest::mouseClick(&sw, Qt::LeftButton, {}, QPoint(30, 28));
    EXPECT_EQ(knobEnd(), atRest); // still on its way
    ASSERT_TRUE(test::waitUntil([&] { return knobEnd() != atRest; }));

    DesktopMotion::shared().setReduced(true);
    QTest::mouseClick(&sw, Qt::LeftButton, {}, QPoint(30, 28));
    EXPECT_FALSE(on);
    EXPECT_EQ(knobEnd(), atRest); // gone from the trailing end at once
    QTest::mouseClick(&sw, Qt::LeftButton, {}, QPoint(30, 28));
    EXPECT_NE(knobEnd(), atRest);
    DesktopMotion::shared().setReduced(false);
}

} // namespace

#include "ui/nedit.h"

#include "ui_test_support.h"

#include <gtest/gtest.h>

namespace ambrel::ui::test {
namespace {

class TNEditTest : public ::testing::Test {
  protected:
    TNEditTest() { field.set_dialogs(&dialogs); }

    // Types a text into the field and leaves it, then lets the error box come up.
    void type_and_leave(const QString& text) {
        field.setText(text);
        leave_control(&field);
        process_events();
    }

    ScriptedDialogs dialogs;
    TNEdit field;
};

TEST_F(TNEditTest, NewFieldIsARealFieldShowingZero) {
    EXPECT_EQ(field.field_type(), tipo_campo::real_field);
    EXPECT_EQ(field.panel_real(), 0);
    EXPECT_EQ(field.panel_int(), 0);
    EXPECT_EQ(field.text(), "0");
}

TEST_F(TNEditTest, RealFieldStoresTheNumberAndKeepsTheTextAsTyped) {
    field.set_panel_real(2);
    type_and_leave("0.5");
    EXPECT_EQ(field.panel_real(), 0.5L);
    EXPECT_EQ(field.text(), "0.5");
    EXPECT_TRUE(dialogs.errors.isEmpty());
    EXPECT_FALSE(field.has_invalid_text());

    type_and_leave("  -1.25e-3");
    EXPECT_EQ(field.panel_real(), -1.25e-3L);
    EXPECT_EQ(field.text(), "  -1.25e-3");
}

TEST_F(TNEditTest, InvalidTextShowsTheMessageAndKeepsTheOldValue) {
    field.set_panel_real(0.5L);
    type_and_leave("1,5");
    ASSERT_EQ(dialogs.errors.size(), 1);
    EXPECT_EQ(dialogs.errors[0], "1,5 is not a valid number");
    EXPECT_EQ(field.panel_real(), 0.5L);
    EXPECT_EQ(field.text(), "1,5");
    EXPECT_TRUE(field.has_invalid_text());

    // Corrected and left again: stored, and the field is no longer in error.
    type_and_leave("1.5");
    EXPECT_EQ(field.panel_real(), 1.5L);
    EXPECT_FALSE(field.has_invalid_text());
    EXPECT_EQ(dialogs.errors.size(), 1);
}

TEST_F(TNEditTest, IntegerFieldRules) {
    field.set_field_type(tipo_campo::int_field);
    field.set_panel_int(7);
    EXPECT_EQ(field.text(), "7");

    type_and_leave("$10");
    EXPECT_EQ(field.panel_int(), 16);
    type_and_leave("12 ");
    ASSERT_EQ(dialogs.errors.size(), 1);
    EXPECT_EQ(dialogs.errors[0], "12  is not a valid number");
    EXPECT_EQ(field.panel_int(), 16);
    type_and_leave("");
    ASSERT_EQ(dialogs.errors.size(), 2);
    EXPECT_EQ(dialogs.errors[1], " is not a valid number");
    type_and_leave("2147483648");
    EXPECT_EQ(dialogs.errors.size(), 3);
    EXPECT_EQ(field.panel_int(), 16);
}

TEST_F(TNEditTest, SettersShowOnlyTheValueOfTheFieldsType) {
    field.set_panel_real(0.05L);
    EXPECT_EQ(field.text(), "0.05");
    field.set_panel_int(42); // a real field keeps its text
    EXPECT_EQ(field.text(), "0.05");
    field.set_field_type(tipo_campo::int_field);
    EXPECT_EQ(field.text(), "42");
    field.set_field_type(tipo_campo::text_field);
    type_and_leave("anything at all");
    EXPECT_TRUE(dialogs.errors.isEmpty());
    EXPECT_EQ(field.panel_int(), 42);
}

TEST_F(TNEditTest, OpeningAMenuOrAnotherWindowDoesNotLeaveTheField) {
    field.set_panel_real(1);
    field.setText("3");
    leave_control(&field, Qt::PopupFocusReason);
    leave_control(&field, Qt::ActiveWindowFocusReason);
    EXPECT_EQ(field.panel_real(), 1);
    field.setText("oops");
    leave_control(&field, Qt::PopupFocusReason);
    process_events();
    EXPECT_TRUE(dialogs.errors.isEmpty());
}

TEST_F(TNEditTest, ExitEventFollowsOnlyASuccessfulLeave) {
    int exits = 0;
    QObject::connect(&field, &TNEdit::exited, [&exits] { ++exits; });
    type_and_leave("4");
    type_and_leave("four");
    EXPECT_EQ(exits, 1);
}

} // namespace
} // namespace ambrel::ui::test

// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
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
    // After the error box the field shows the number it kept, which is what a command reads.
    EXPECT_EQ(field.text(), "0.5");
    EXPECT_FALSE(field.has_invalid_text());

    // Corrected and left again: stored, with no further message.
    type_and_leave("1.5");
    EXPECT_EQ(field.panel_real(), 1.5L);
    EXPECT_EQ(field.text(), "1.5");
    EXPECT_EQ(dialogs.errors.size(), 1);
}

// The error box names the field by its caption; an empty text is named as such.
TEST_F(TNEditTest, ErrorBoxNamesTheField) {
    field.set_caption("Time step");
    field.set_panel_real(0.05L);
    type_and_leave("abc");
    field.set_caption("Steps");
    field.set_field_type(tipo_campo::int_field);
    field.set_panel_int(1000);
    type_and_leave("");
    type_and_leave("12x");
    EXPECT_EQ(dialogs.errors, QStringList({"Time step: 'abc' is not a valid number",
                                           "Steps: an empty field is not a valid number",
                                           "Steps: '12x' is not a valid whole number"}));
    EXPECT_EQ(field.panel_int(), 1000);
    EXPECT_EQ(field.text(), "1000");
}

// The click that took the focus from a field with an invalid text comes before the field's error
// box: its command is refused. Once the box has been shown nothing more is refused.
TEST_F(TNEditTest, OnlyTheLeaveBeforeTheErrorBoxRefusesACommand) {
    field.set_panel_real(2);
    field.setText("two");
    leave_control(&field, Qt::MouseFocusReason); // the press of a click elsewhere
    EXPECT_TRUE(field.has_invalid_text());
    EXPECT_TRUE(field.take_refusal());  // the click's own command
    EXPECT_FALSE(field.take_refusal()); // used up
    process_events();                   // the error box
    EXPECT_EQ(dialogs.errors.size(), 1);
    EXPECT_EQ(field.text(), "2");

    // Left by Tab: the box comes, and the next click, whatever it is, is not refused.
    type_and_leave("three");
    EXPECT_EQ(dialogs.errors.size(), 2);
    EXPECT_FALSE(field.take_refusal());
    EXPECT_EQ(field.panel_real(), 2);
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
    type_and_leave(""); // a field without a caption: the bare message
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

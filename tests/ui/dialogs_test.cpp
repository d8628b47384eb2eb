// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The real prompts and file dialogs, made but not run: what Enter answers, and which file types
// each save dialog offers.
#include "ui/dialog_provider.h"

#include "ui_test_support.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include <gtest/gtest.h>

namespace ambrel::ui::test {
namespace {

// Ctrl+Q then Enter must not discard the edits: Enter and Esc both answer No.
TEST(QuestionBox, EnterAndEscapeAnswerNo) {
    for (const int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        const std::unique_ptr<QMessageBox> box = make_question_box(nullptr, "Abandon changes and exit?");
        EXPECT_EQ(box->windowTitle(), "Ambrel");
        EXPECT_EQ(box->text(), "Abandon changes and exit?");
        EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
        const QAbstractButton* no = box->button(QMessageBox::No);
        EXPECT_EQ(box->defaultButton(), no);
        box->show();
        QTest::keyClick(box.get(), static_cast<Qt::Key>(key));
        EXPECT_EQ(box->clickedButton(), box->button(QMessageBox::No)) << key;
    }
}

TEST(SaveDialogs, EachOffersOnlyItsOwnFileTypes) {
    const std::unique_ptr<QFileDialog> description =
        make_save_dialog(nullptr, "test.bal", SaveKind::Description);
    EXPECT_EQ(description->nameFilters(), QStringList({"Pith balls (*.bal)"}));
    EXPECT_EQ(description->defaultSuffix(), "bal");
    EXPECT_EQ(description->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_FALSE(description->testOption(QFileDialog::DontConfirmOverwrite));

    const std::unique_ptr<QFileDialog> picture = make_save_dialog(nullptr, "test.bmp", SaveKind::Picture);
    EXPECT_EQ(picture->nameFilters(), QStringList({"Bitmaps (*.bmp)", "PNG pictures (*.png)"}));
    EXPECT_EQ(picture->defaultSuffix(), "bmp");
    emit picture->filterSelected("PNG pictures (*.png)");
    EXPECT_EQ(picture->defaultSuffix(), "png");
    emit picture->filterSelected("Bitmaps (*.bmp)");
    EXPECT_EQ(picture->defaultSuffix(), "bmp");

    const std::unique_ptr<QFileDialog> output = make_save_dialog(nullptr, "output.txt", SaveKind::Output);
    EXPECT_EQ(output->nameFilters().value(0), "Text files (*.txt)");
    EXPECT_EQ(output->defaultSuffix(), "txt");

    const std::unique_ptr<QFileDialog> chart = make_save_dialog(nullptr, "convergence.png", SaveKind::Chart);
    EXPECT_EQ(chart->nameFilters(), QStringList({"PNG pictures (*.png)", "SVG drawings (*.svg)"}));
    EXPECT_EQ(chart->defaultSuffix(), "png");
    emit chart->filterSelected("SVG drawings (*.svg)");
    EXPECT_EQ(chart->defaultSuffix(), "svg");
}

// What is written matches the type chosen: the extension decides, else the type selected.
TEST(SaveDialogs, PictureAndChartFormatsFollowTheNameThenTheTypeChosen) {
    EXPECT_EQ(picture_format({"a/view.png", 0}), PictureFormat::Png);
    EXPECT_EQ(picture_format({"a/view.PNG", 0}), PictureFormat::Png);
    EXPECT_EQ(picture_format({"a/view.bmp", 1}), PictureFormat::Bmp);
    EXPECT_EQ(picture_format({"a/view", 1}), PictureFormat::Png);
    EXPECT_EQ(picture_format({"a/view", 0}), PictureFormat::Bmp);
    EXPECT_EQ(picture_format({"a/view.bal", 1}), PictureFormat::Png);

    EXPECT_EQ(chart_format({"a/chart.svg", 0}), ChartFormat::Svg);
    EXPECT_EQ(chart_format({"a/chart.SVG", 0}), ChartFormat::Svg);
    EXPECT_EQ(chart_format({"a/chart.png", 1}), ChartFormat::Png);
    EXPECT_EQ(chart_format({"a/chart", 1}), ChartFormat::Svg);
    EXPECT_EQ(chart_format({"a/chart", 0}), ChartFormat::Png);
    EXPECT_EQ(chart_format({"a/chart.bmp", 1}), ChartFormat::Svg);
}

} // namespace
} // namespace ambrel::ui::test

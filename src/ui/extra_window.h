// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// TForm3, the "Extra" window: two closed-form calculators of symmetric arrangements of charged
// balls in the point-charge model, four balls hung from one point at two angles and five balls
// in a pentagon. Their reports go to the main window's output panel.
#pragma once

#include "calculators/calculator_fields.h"
#include "model/output_sink.h"

#include <QWidget>

class QLabel;
class QPushButton;

namespace ambrel::ui {

class DialogProvider;
class TNEdit;

class ExtraWindow : public QWidget {
    Q_OBJECT

  public:
    ExtraWindow(OutputSink& sink, DialogProvider& dialogs, QWidget* parent = nullptr);

    // The stored values of all fields.
    ExtraFields fields() const;

    // Four balls suspended from a single point.
    TNEdit* NEr = nullptr;
    TNEdit* NEL = nullptr;
    TNEdit* NEa1 = nullptr;
    TNEdit* NEa2 = nullptr;
    TNEdit* NEV = nullptr;
    TNEdit* NEm = nullptr;
    QPushButton* Button1 = nullptr;
    // Five balls in a pentagon.
    TNEdit* NE5r = nullptr;
    TNEdit* NE5x = nullptr;
    TNEdit* NE5L = nullptr;
    TNEdit* NE5m = nullptr;
    TNEdit* NE5d = nullptr;
    QPushButton* Button2 = nullptr;

  public slots:
    void Button1Click();
    void Button2Click();

  private:
    TNEdit* add_field(const char* name, int left, int offset, int top);

    OutputSink& sink_;
    DialogProvider& dialogs_;
};

} // namespace ambrel::ui

// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// TForm7, the pith-ball electroscope window: from the gap between two (or 3, 4, 5) equal
// charged balls hung on strings, the string angle, the force, the charge and the voltage in
// several capacitance models; a table of them over a range of gaps written to "pithballs.tab",
// and the same table drawn as a chart; and the button that shows the "Extra" window. Its fields
// are numeric entry fields: a text that is not a number is refused with an error box naming the
// field, and no button computes with it.
#pragma once

#include "calculators/calculator_fields.h"
#include "model/output_sink.h"

#include <QString>
#include <QWidget>

#include <memory>

class QCheckBox;
class QGroupBox;
class QPushButton;

namespace ambrel::ui {

class DialogProvider;
class ElectroscopeChartWindow;
class TNEdit;

class ElectroscopeWindow : public QWidget {
    Q_OBJECT

  public:
    ElectroscopeWindow(OutputSink& sink, DialogProvider& dialogs, QWidget* parent = nullptr);
    ~ElectroscopeWindow() override;

    // The window shown by "More".
    void set_more_window(QWidget* window) { more_window_ = window; }
    // The folder "Generate" proposes for the table: the description's (empty: the current folder).
    void set_table_folder(const QString& folder) { table_folder_ = folder; }

    // The window of the table's chart ("Chart").
    ElectroscopeChartWindow* chart_window() const { return chart_.get(); }

    // The values the fields keep, as the buttons read them once fields_refused() has passed.
    ElectroscopeFields fields() const;
    // A field's text is not a number: its error box has been shown (or follows, when the field
    // was just left) and the command of the button computes nothing.
    bool fields_refused();

    TNEdit* Emb = nullptr;
    TNEdit* Emf = nullptr;
    TNEdit* EL = nullptr;
    TNEdit* Ed = nullptr;
    TNEdit* Er = nullptr;
    TNEdit* Ex = nullptr;
    QCheckBox* CB3 = nullptr;
    QCheckBox* CB4 = nullptr;
    QCheckBox* CB5 = nullptr;
    QGroupBox* GroupBox1 = nullptr; // "Table :"
    TNEdit* Ex1 = nullptr;
    TNEdit* Ex2 = nullptr;
    TNEdit* Edx = nullptr;
    QPushButton* Button1 = nullptr; // "Calculate"
    QPushButton* Button2 = nullptr; // "Generate"
    QPushButton* Button3 = nullptr; // "More"
    QPushButton* Button4 = nullptr; // "Chart"

  public slots:
    void Button1Click();
    void Button2Click();
    void Button3Click();
    // The table of the fields as a chart, in its own window.
    void Button4Click();
    // Likewise, the chart placed beside `anchor` the first time it is shown.
    void show_chart(const QWidget* anchor);

  private:
    TNEdit* add_field(QWidget* parent, const char* name, int left, int offset, int top);
    QCheckBox* add_check_box(const char* name, int left, int top);

    OutputSink& sink_;
    DialogProvider& dialogs_;
    QWidget* more_window_ = nullptr;
    std::unique_ptr<ElectroscopeChartWindow> chart_;
    QString table_folder_;
};

} // namespace ambrel::ui

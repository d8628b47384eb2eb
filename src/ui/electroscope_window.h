// TForm7, the pith-ball electroscope window: from the gap between two (or 3, 4, 5) equal
// charged balls hung on strings, the string angle, the force, the charge and the voltage in
// several capacitance models; a table of them over a range of gaps written to "pithballs.tab";
// and the button that shows the "Extra" window.
#pragma once

#include "calculators/calculator_fields.h"
#include "model/output_sink.h"

#include <QWidget>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;

namespace ambrel::ui {

class DialogProvider;

class ElectroscopeWindow : public QWidget {
    Q_OBJECT

  public:
    ElectroscopeWindow(OutputSink& sink, DialogProvider& dialogs, QWidget* parent = nullptr);

    // The window shown by "More".
    void set_more_window(QWidget* window) { more_window_ = window; }

    // The values of the text boxes as the buttons read them.
    ElectroscopeFields fields() const;

    QLineEdit* Emb = nullptr;
    QLineEdit* Emf = nullptr;
    QLineEdit* EL = nullptr;
    QLineEdit* Ed = nullptr;
    QLineEdit* Er = nullptr;
    QLineEdit* Ex = nullptr;
    QCheckBox* CB3 = nullptr;
    QCheckBox* CB4 = nullptr;
    QCheckBox* CB5 = nullptr;
    QGroupBox* GroupBox1 = nullptr; // "Table :"
    QLineEdit* Ex1 = nullptr;
    QLineEdit* Ex2 = nullptr;
    QLineEdit* Edx = nullptr;
    QPushButton* Button1 = nullptr; // "Calculate"
    QPushButton* Button2 = nullptr; // "Generate"
    QPushButton* Button3 = nullptr; // "More"

  public slots:
    void Button1Click();
    void Button2Click();
    void Button3Click();

  private:
    QLineEdit* add_field(QWidget* parent, const char* name, int left, int offset, int top);
    QCheckBox* add_check_box(const char* name, int left, int top);

    OutputSink& sink_;
    DialogProvider& dialogs_;
    QWidget* more_window_ = nullptr;
};

} // namespace ambrel::ui

// TForm4, the Jacobian window: the angle variation of the finite differences, the choice of a
// plain print, and the button that computes the Jacobian matrix of the update law at the present
// angles and writes it to the output panel. The main window runs the computation on its worker;
// Stop or Esc (here or in the main window) ends it.
#pragma once

#include "model/types.h"
#include "solver/jacobian.h"

#include <QWidget>

#include <functional>

class QCheckBox;
class QLabel;
class QPushButton;

namespace ambrel::ui {

class DialogProvider;
class TNEdit;

// What the window needs of the main window: its time step, the start of the computation and a
// way to stop it.
struct JacobianHost {
    std::function<Real()> time_step;
    std::function<void(const JacobianSettings&)> run;
    std::function<void()> stop;
};

class JacobianWindow : public QWidget {
    Q_OBJECT

  public:
    explicit JacobianWindow(DialogProvider& dialogs, QWidget* parent = nullptr);

    void set_host(JacobianHost host) { host_ = std::move(host); }

    QLabel* Label1 = nullptr; // title
    QLabel* Label2 = nullptr; // "Angle variation (rad)"
    TNEdit* NEJacobian = nullptr;
    QCheckBox* CBjanormal = nullptr;
    QLabel* Label3 = nullptr; // hint
    QPushButton* Button3 = nullptr;

  public slots:
    void Button3Click();

  private:
    DialogProvider& dialogs_;
    JacobianHost host_;
};

} // namespace ambrel::ui

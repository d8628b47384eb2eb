// TForm4, the Jacobian window: the angle variation of the finite differences, the choice of a
// plain print, and the button that computes the Jacobian matrix of the update law at the present
// angles and writes it to the output panel.
#pragma once

#include "model/simulator.h"
#include "model/types.h"

#include <QWidget>

#include <functional>

class QCheckBox;
class QLabel;
class QPushButton;

namespace ambrel::ui {

class DialogProvider;
class TNEdit;

// What the window needs of the main window: its time step, a redraw after each perturbed
// evaluation, and a last update of the view.
struct JacobianHost {
    std::function<Real()> time_step;
    std::function<void()> after_positions;
    std::function<void()> finished;
};

class JacobianWindow : public QWidget {
    Q_OBJECT

  public:
    JacobianWindow(Simulator& sim, DialogProvider& dialogs, QWidget* parent = nullptr);

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
    Simulator& sim_;
    DialogProvider& dialogs_;
    JacobianHost host_;
};

} // namespace ambrel::ui

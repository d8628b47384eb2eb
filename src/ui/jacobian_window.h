// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// TForm4, the Jacobian window: the angle variation of the finite differences, the choice of a
// plain print, the button that computes the Jacobian matrix of the update law at the present
// angles and writes it, its eigenvalues and the verdict to the output panel, and Save..., which
// writes the last one whole to a CSV file (the panel cuts rows of more than 11 objects). The main
// window runs the computation on its worker; Stop or Esc (here or in the main window) ends it.
#pragma once

#include "model/types.h"
#include "report/jacobian_report.h"
#include "solver/jacobian.h"

#include <QString>
#include <QWidget>

#include <functional>

class QCheckBox;
class QLabel;
class QPushButton;

namespace ambrel::ui {

class DialogProvider;
class TNEdit;

// What the window needs of the main window: the start of the computation (with the run's settings), a
// way to stop it, and the last Jacobian computed (none while a command runs).
struct JacobianHost {
    // Runs the Jacobian with the window's own settings (angle variation) and print (formatting);
    // the host adds those of the run (time step, force error).
    std::function<void(const JacobianSettings&, const JacobianPrint&)> run;
    std::function<void()> stop;
    std::function<const JacobianResult*()> last_result;
};

// Ends a matrix row that the panel cuts.
inline constexpr const char* WINDOW_CUT_MARK =
    " ...(cut: Save... in the Jacobian window writes the whole matrix)";

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
    QPushButton* Bsave = nullptr; // "Save...", enabled once a Jacobian has been computed

    // The main window tells whether there is a computed Jacobian to save.
    void set_saveable(bool saveable);
    // A command is under way on the worker: Calculate waits for its end.
    void set_running(bool running);
    // The angle variation's name, as its error box and the main window's range check say it.
    QString angle_variation_caption() const;

  public slots:
    void Button3Click();
    void BsaveClick();

  private:
    DialogProvider& dialogs_;
    JacobianHost host_;
};

} // namespace ambrel::ui

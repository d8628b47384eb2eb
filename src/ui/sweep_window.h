// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The Sweep window: the calibration curve of an electroscope. The user chooses a conductor (the
// conductors of the system as last initialised; a name may also be typed) and the voltages START,
// START + STEP, ... up to STOP; Run asks the main window to run the sweep (solver/sweep.h) on its
// worker with the run settings of its fields, Stop (or Esc) ends it. The points arrive while the
// sweep goes on: a row of the table each, as Save CSV writes them, and in the chart the deflection
// of one movable object, or of all, against the voltage: the angle of its string from the
// vertical in degrees (Az as the table has it, folded into 0 to 180: -Az with Ax turned half round
// is the same string). The points whose run diverged or met a singular matrix are in the table only. The
// sweep leaves the system at its last point; Inicialize reads the description again.
#pragma once

#include "solver/sweep.h"
#include "ui/mailbox.h"

#include <QWidget>

#include <functional>
#include <vector>

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace ambrel::ui {

class DialogProvider;
class SweepChart;
class TNEdit;

// What the window needs of the main window.
struct SweepHost {
    // Starts the sweep on the worker; false when it did not start (a command is under way, a
    // field of the main window holds no number).
    std::function<bool(const SweepRequest&)> run;
    std::function<void()> stop;
};

class SweepWindow : public QWidget {
    Q_OBJECT

  public:
    explicit SweepWindow(DialogProvider& dialogs, QWidget* parent = nullptr);
    ~SweepWindow() override;

    void set_host(SweepHost host) { host_ = std::move(host); }

    // The conductors the combo offers; the name shown stays when it is among them.
    void set_conductors(const std::vector<std::string>& names);
    // A command is under way on the worker (Run waits for it); `sweeping`: it is a sweep (Stop).
    void set_running(bool running, bool sweeping);
    // Stop was asked, here, in the main window or by Esc: the command has one Stop, used now.
    void stop_asked();

    // From the worker thread: the columns of a sweep that begins, and each point as it ends.
    void post_columns(const SweepResult& columns);
    void post_point(const SweepPoint& point, int done, int count);
    // On the window's thread, once the sweep's command has ended (the last points are taken).
    void sweep_ended(bool failed);

    // The sweep shown: its columns and the points received.
    const SweepResult& result() const { return result_; }

    QComboBox* CBconductor = nullptr;
    TNEdit* NEstart = nullptr;
    TNEdit* NEstop = nullptr;
    TNEdit* NEstep = nullptr;
    QComboBox* CBmethod = nullptr; // "Calculate" or "Find equilibrium" at each point
    QPushButton* Brun = nullptr;
    QPushButton* Bstop = nullptr;
    QProgressBar* Progress = nullptr;
    QLabel* Lstatus = nullptr;
    QTableWidget* Table = nullptr;
    QComboBox* CBobject = nullptr; // "All objects", then each movable object
    SweepChart* Chart = nullptr;
    QPushButton* Bsave = nullptr;

  public slots:
    void BrunClick();
    void BstopClick();
    void BsaveClick();

  private:
    TNEdit* add_field(const char* name, const QString& caption, Real value);
    // Takes what the worker has posted: a new sweep's columns, then its points.
    void take_posted();
    void begin_table();
    void append_rows(std::size_t from);
    void redraw_chart();
    void show_progress();

    DialogProvider& dialogs_;
    SweepHost host_;
    SweepResult result_;
    bool running_ = false;

    // Filled from the worker, emptied by the window.
    // A new sweep's columns (points before them belong to the sweep before), and its points.
    struct Posted {
        bool new_sweep = false;
        SweepResult columns;
        std::vector<SweepPoint> points;
    };
    CoalescingMailbox<Posted> posted_;
};

} // namespace ambrel::ui

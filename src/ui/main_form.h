// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The controls of the main window as its design names and places them: the command buttons and the
// numeric fields of a run, the description and output panels, the 3D view's surface, the main menu,
// the view's pop-up menu and the output panel's. Only their creation: the window (ui/main_window.h)
// connects them to what they do.
#pragma once

#include "model/options.h"
#include "solver/relaxation.h"
#include "text/numeric_field.h"

#include <QString>

#include <array>

class QAction;
class QCheckBox;
class QLabel;
class QMainWindow;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QWidget;

namespace ambrel::ui {

class DialogProvider;
struct MainLayout;
class TNEdit;
class ViewSurface;

struct MainForm {
    // The buttons, fields, panels and the view's surface on `client`; the fields' error boxes go
    // through `dialogs`.
    void create_controls(QWidget* client, DialogProvider* dialogs);
    // The main menu and the view's pop-up menu of `window`, the option switches checked as
    // `options` says.
    void create_menus(QMainWindow* window, const Options& options);
    // The output panel's pop-up menu (and what its items do to the panel).
    void create_output_menu(QWidget* owner);
    // F5 clicks Inicialize, F9 Calculate (the focus moved to it first), Esc Stop, in `window`.
    void create_shortcuts(QWidget* window);
    // While a command runs: Stop enabled when `stoppable`, the commands that read or rebuild the
    // model disabled, and the note at the foot of the Options menu.
    void set_controls_running(bool running, bool stoppable);
    // The controls of the first row and the two panels where `layout` puts them.
    void place_controls(const MainLayout& layout);

    // The run settings of the fields (Calculate, Find equilibrium and the sweep).
    RelaxationSettings run_settings() const;
    // A field's refused value, or a setting of a run out of its range (the Jacobian's angle
    // variation too when its caption is given), in an error box over `parent`: true when one was.
    bool run_fields_refused(DialogProvider& dialogs, QWidget* parent, Real angle_variation = 0,
                            const QString& angle_caption = {});

    QPushButton* Button1 = nullptr; // "Inicialize"
    QPushButton* Bcalculate = nullptr;
    QPushButton* Bequilibrium = nullptr; // "Find equilibrium"
    QCheckBox* CBrandom = nullptr;
    QLabel* Label1 = nullptr;
    TNEdit* NEerro = nullptr;
    QPushButton* Button3 = nullptr; // "Stop"
    QLabel* Label2 = nullptr;
    TNEdit* NEdelta = nullptr;
    QLabel* Label3 = nullptr;
    TNEdit* NEtentativas = nullptr;
    QLabel* Label5 = nullptr;
    TNEdit* NEtol = nullptr;
    QLabel* Label4 = nullptr;
    TNEdit* NEdamping = nullptr;
    QPlainTextEdit* Memo1 = nullptr; // description
    QPlainTextEdit* Memo2 = nullptr; // output panel
    ViewSurface* PaintBox1 = nullptr;

    QMenu* File1 = nullptr;
    QAction* New1 = nullptr; // an empty description (Ctrl+N)
    QAction* Open1 = nullptr;
    QMenu* OpenRecent1 = nullptr; // "Open Recent": the files last opened or saved (ui/recent_files.h)
    QMenu* Examples1 = nullptr;   // an item per example: its data is the file's path
    QAction* Save1 = nullptr;     // to the current file; asks where for an unnamed description
    QAction* SaveAs1 = nullptr;   // "Save As..." (Ctrl+Shift+S): always asks where
    QAction* Exit1 = nullptr;
    QMenu* Options = nullptr;
    QAction* Distancesc1 = nullptr;
    QAction* Distancesx1 = nullptr;
    QAction* Showerrors1 = nullptr;
    QAction* Showcharges1 = nullptr;
    QAction* Showforces2 = nullptr;
    QAction* Showefield1 = nullptr;
    QAction* Showtangentforces2 = nullptr;
    QAction* Identifybynumbers1 = nullptr;
    QAction* Rotateobjects1 = nullptr;
    QAction* Shadedballs1 = nullptr;
    QAction* Alwayscalculate1 = nullptr;
    QAction* Usesquares = nullptr;
    QAction* Speedsimulation1 = nullptr;
    QAction* Correctrotationforces1 = nullptr;
    QAction* Extra2 = nullptr;
    QMenu* View1 = nullptr; // "View": the view's pop-up menu on the menu bar
    QMenu* Charts1 = nullptr;
    QAction* Convergence1 = nullptr;       // "Convergence of the run"
    QAction* Electroscopechart1 = nullptr; // "Electroscope table"
    QAction* Sweep1 = nullptr;             // "Voltage sweep"
    QMenu* Help1 = nullptr;
    QAction* Manual1 = nullptr; // "Manual" (F1): the user's sections of the README
    QAction* About = nullptr;

    QMenu* PopupMenu1 = nullptr;
    QAction* Rotate1 = nullptr;
    QAction* Zoom1 = nullptr;
    QAction* Pan1 = nullptr;
    QAction* Aspect1 = nullptr;
    QAction* Identify1 = nullptr;
    QAction* Reset1 = nullptr;
    QAction* Save2 = nullptr;
    QAction* CameraNumbers1 = nullptr;
    QAction* List1 = nullptr;
    QAction* Capacitances1 = nullptr;
    QAction* SaveMatrix1 = nullptr; // "Save capacitance matrix..."
    QAction* Jacobian1 = nullptr;
    QAction* FindEquilibrium1 = nullptr; // "Find equilibrium" (F10)
    QAction* Fit1 = nullptr;             // "Fit to system"

    // The output panel's pop-up menu.
    QMenu* PopupMenu2 = nullptr;
    QAction* Copy1 = nullptr;
    QAction* Selectall1 = nullptr;
    QAction* Clear1 = nullptr;
    QAction* Saveoutput1 = nullptr;

  protected:
    // The option switches, by Option.
    std::array<QAction*, OPTION_COUNT> option_actions_{};
    // "Changes apply to the next command", at the foot of the Options menu while a command runs.
    QAction* options_separator_ = nullptr;
    QAction* options_note_ = nullptr;
};

} // namespace ambrel::ui

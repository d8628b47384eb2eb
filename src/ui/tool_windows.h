// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's tool windows: About, the manual (Help > Manual), Extra (the calculators), the
// electroscope with its chart, the Jacobian, the convergence chart of a run and the Sweep window, created in
// the order of the program's start. They are windows of their own and close with the main window.
#pragma once

#include <memory>
#include <vector>

class QWidget;

namespace ambrel::ui {

class AboutWindow;
class ConvergenceWindow;
class DialogProvider;
class ElectroscopeWindow;
class ExtraWindow;
class HelpWindow;
class JacobianWindow;
class PanelSink;
class SweepWindow;

struct ToolWindows {
    // The calculators write to `sink`; prompts and error boxes go through `dialogs`.
    ToolWindows(PanelSink& sink, DialogProvider& dialogs);
    ~ToolWindows();
    ToolWindows(const ToolWindows&) = delete;
    ToolWindows& operator=(const ToolWindows&) = delete;

    // Closes every one (the program ends).
    void close_all();
    // Whether `window` is one of them (the electroscope's chart too).
    bool contains(const QWidget* window) const;

    std::unique_ptr<AboutWindow> about;
    std::unique_ptr<ExtraWindow> extra;
    std::unique_ptr<ElectroscopeWindow> electroscope;
    std::unique_ptr<JacobianWindow> jacobian;
    std::unique_ptr<ConvergenceWindow> convergence;
    std::unique_ptr<SweepWindow> sweep;
    std::unique_ptr<HelpWindow> help;

  private:
    std::vector<QWidget*> all() const;
};

} // namespace ambrel::ui

// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/tool_windows.h"

#include "ui/about_window.h"
#include "ui/charts.h"
#include "ui/electroscope_window.h"
#include "ui/extra_window.h"
#include "ui/help_window.h"
#include "ui/hints.h"
#include "ui/jacobian_window.h"
#include "ui/panel_sink.h"
#include "ui/sweep_window.h"

#include <algorithm>

namespace ambrel::ui {

ToolWindows::ToolWindows(PanelSink& sink, DialogProvider& dialogs)
    : about(std::make_unique<AboutWindow>()), extra(std::make_unique<ExtraWindow>(sink, dialogs)),
      electroscope(std::make_unique<ElectroscopeWindow>(sink, dialogs)),
      jacobian(std::make_unique<JacobianWindow>(dialogs)),
      convergence(std::make_unique<ConvergenceWindow>(dialogs)),
      sweep(std::make_unique<SweepWindow>(dialogs)), help(std::make_unique<HelpWindow>()) {
    electroscope->set_more_window(extra.get());
    for (QWidget* window : {static_cast<QWidget*>(extra.get()), static_cast<QWidget*>(electroscope.get()),
                            static_cast<QWidget*>(electroscope->chart_window()),
                            static_cast<QWidget*>(jacobian.get()), static_cast<QWidget*>(sweep.get())})
        add_field_hints(window);
}

ToolWindows::~ToolWindows() = default;

std::vector<QWidget*> ToolWindows::all() const {
    return {about.get(),    extra.get(),       electroscope.get(), electroscope->chart_window(),
            jacobian.get(), convergence.get(), sweep.get(),        help.get()};
}

void ToolWindows::close_all() {
    for (QWidget* window : all())
        window->close();
}

bool ToolWindows::contains(const QWidget* window) const {
    const std::vector<QWidget*> windows = all();
    return std::find(windows.begin(), windows.end(), window) != windows.end();
}

} // namespace ambrel::ui

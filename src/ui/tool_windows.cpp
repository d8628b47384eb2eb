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

void ToolWindows::close_all() {
    for (QWidget* window :
         {static_cast<QWidget*>(about.get()), static_cast<QWidget*>(extra.get()),
          static_cast<QWidget*>(electroscope.get()), static_cast<QWidget*>(electroscope->chart_window()),
          static_cast<QWidget*>(jacobian.get()), static_cast<QWidget*>(convergence.get()),
          static_cast<QWidget*>(sweep.get()), static_cast<QWidget*>(help.get())})
        window->close();
}

} // namespace ambrel::ui

// The output panel as the simulator's output sink: every report line becomes the new last
// line of the panel.
#pragma once

#include "model/output_sink.h"

class QPlainTextEdit;

namespace ambrel::ui {

class PanelSink : public OutputSink {
  public:
    void set_panel(QPlainTextEdit* panel) { panel_ = panel; }

  protected:
    void emit_line(std::string_view line) override;

  private:
    QPlainTextEdit* panel_ = nullptr;
};

} // namespace ambrel::ui

#include "ui/panel_sink.h"

#include <QPlainTextEdit>

namespace ambrel::ui {

void PanelSink::emit_line(std::string_view line) {
    if (panel_)
        panel_->appendPlainText(QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size())));
}

} // namespace ambrel::ui

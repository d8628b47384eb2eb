#include "ui/panel_sink.h"

#include <QPlainTextEdit>
#include <QThread>

namespace ambrel::ui {

PanelSink::PanelSink(QObject* parent) : QObject(parent) {}

void PanelSink::emit_line(std::string_view line) {
    if (QThread::currentThread() == thread()) {
        // Lines queued by the worker came first.
        flush();
        if (panel_)
            panel_->appendPlainText(QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size())));
        return;
    }
    std::lock_guard lock(mutex_);
    queued_.emplace_back(line);
    if (!append_posted_) {
        append_posted_ = true;
        QMetaObject::invokeMethod(this, &PanelSink::append_queued, Qt::QueuedConnection);
    }
}

void PanelSink::flush() {
    append_queued();
}

void PanelSink::append_queued() {
    std::vector<std::string> lines;
    {
        std::lock_guard lock(mutex_);
        lines.swap(queued_);
        append_posted_ = false;
    }
    if (lines.empty() || !panel_)
        return;
    // One paragraph per line: appended together they cost one layout instead of one per line.
    QString text;
    qsizetype length = 0;
    for (const std::string& line : lines)
        length += static_cast<qsizetype>(line.size()) + 1;
    text.reserve(length);
    for (std::size_t k = 0; k < lines.size(); ++k) {
        if (k > 0)
            text += QLatin1Char('\n');
        text += QString::fromUtf8(lines[k].data(), static_cast<qsizetype>(lines[k].size()));
    }
    panel_->appendPlainText(text);
}

} // namespace ambrel::ui

// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/panel_sink.h"

#include "ui/new_output_indicator.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>
#include <QThread>

namespace ambrel::ui {

namespace {

void append_keeping_selection(QPlainTextEdit* panel, const QString& text, bool following) {
    const QTextCursor before = panel->textCursor();
    if (!before.hasSelection()) {
        panel->appendPlainText(text);
        return;
    }
    // A selection that reaches the end of the text would take in the new lines: put it back.
    // (A cursor follows the edits of its document, so the positions are kept as numbers.)
    const int anchor = before.anchor(), position = before.position();
    QScrollBar* vertical = panel->verticalScrollBar();
    QScrollBar* horizontal = panel->horizontalScrollBar();
    const int top = vertical->value(), left = horizontal->value();
    panel->appendPlainText(text);
    const QTextCursor after = panel->textCursor();
    if (after.anchor() == anchor && after.position() == position)
        return;
    QTextCursor kept(panel->document());
    kept.setPosition(anchor);
    kept.setPosition(position, QTextCursor::KeepAnchor);
    panel->setTextCursor(kept);
    // Setting the cursor scrolls to it; the panel keeps following the output, or stays put.
    vertical->setValue(following ? vertical->maximum() : top);
    horizontal->setValue(left);
}

} // namespace

void append_to_panel(QPlainTextEdit* panel, const QString& text) {
    const QScrollBar* vertical = panel->verticalScrollBar();
    const bool following = vertical->value() == vertical->maximum();
    append_keeping_selection(panel, text, following);
    if (NewOutputIndicator* indicator = new_output_indicator(panel))
        indicator->lines_appended(following);
}

PanelSink::PanelSink(QObject* parent) : QObject(parent) {}

void PanelSink::emit_line(std::string_view line) {
    if (QThread::currentThread() == thread()) {
        // Lines queued by the worker came first.
        flush();
        if (panel_)
            append_to_panel(panel_, QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size())));
        return;
    }
    queued_.put([&](std::vector<std::string>& lines) { lines.emplace_back(line); },
                [this] { QMetaObject::invokeMethod(this, &PanelSink::append_queued, Qt::QueuedConnection); });
}

void PanelSink::flush() {
    append_queued();
}

void PanelSink::append_queued() {
    const std::vector<std::string> lines = queued_.take();
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
    append_to_panel(panel_, text);
}

} // namespace ambrel::ui

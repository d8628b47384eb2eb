// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The output panel as the session's output sink: every report line becomes the new last line of
// the panel. Lines may come from any thread. On the window's thread a line is appended at once,
// after the lines still queued; from the worker thread lines are queued and the window's event
// loop appends them in the order they came, many at a time.
#pragma once

#include "model/output_sink.h"
#include "ui/mailbox.h"

#include <QObject>

#include <string>
#include <vector>

class QPlainTextEdit;
class QString;

namespace ambrel::ui {

// Appends text as new last lines of the panel. A selection the user holds stays as it was: it
// does not grow to take in the lines appended after it. A panel scrolled up stays where it is,
// and its NewOutputIndicator (if it has one) appears.
void append_to_panel(QPlainTextEdit* panel, const QString& text);

class PanelSink : public QObject, public OutputSink {
    Q_OBJECT

  public:
    explicit PanelSink(QObject* parent = nullptr);

    void set_panel(QPlainTextEdit* panel) { panel_ = panel; }
    // Appends the queued lines now. On the window's thread only.
    void flush();

  protected:
    void emit_line(std::string_view line) override;

  private:
    // Takes the queued lines and appends them.
    void append_queued();

    QPlainTextEdit* panel_ = nullptr;
    CoalescingMailbox<std::vector<std::string>> queued_; // lines from other threads, oldest first
};

} // namespace ambrel::ui

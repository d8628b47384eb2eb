// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// A button over the foot of the output panel that appears when report lines arrive while the user
// has scrolled up (so they would arrive out of sight), and takes the panel down to them. It goes
// again when the panel is scrolled to its end, by the button or by hand.
#pragma once

#include <QToolButton>

class QPlainTextEdit;

namespace ambrel::ui {

class NewOutputIndicator : public QToolButton {
    Q_OBJECT

  public:
    // Watches `panel`, whose child it becomes.
    explicit NewOutputIndicator(QPlainTextEdit* panel);

    // Lines were appended to the panel; `was_at_end`: the panel showed its end before.
    void lines_appended(bool was_at_end);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void place();

    QPlainTextEdit* panel_;
};

// The indicator of `panel`, if it has one.
NewOutputIndicator* new_output_indicator(const QPlainTextEdit* panel);

} // namespace ambrel::ui

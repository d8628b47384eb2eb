// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Help > Manual: the user's sections of the README (what Ambrel computes, the description language,
// the examples, the window, ambrel-batch, the numbers), in a window of its own. The README is built
// into the program as a resource, so the manual is the same from the build folder and from an
// installed package.
#pragma once

#include <QString>
#include <QWidget>

class QTextBrowser;

namespace ambrel::ui {

// The README as built into the program.
QString readme_text();

// The user's part of a README in Markdown: every section but those about installing, building
// and performance, without the pictures (files of the source tree) and the note on how they are
// made.
QString manual_markdown(const QString& readme);

class HelpWindow : public QWidget {
    Q_OBJECT

  public:
    explicit HelpWindow(QWidget* parent = nullptr);

    QTextBrowser* Browser = nullptr;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    bool loaded_ = false;
};

} // namespace ambrel::ui

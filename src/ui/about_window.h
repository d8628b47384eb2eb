// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// TForm2, the About window: what the simulator computes and how, including the update equations of
// the relaxation and of the stability Jacobian, as formatted text that flows with the window's
// width; its title block names the version of this build.
#pragma once

#include <QString>
#include <QWidget>

class QTextBrowser;

namespace ambrel::ui {

// The text of the window (HTML).
QString about_html();

class AboutWindow : public QWidget {
    Q_OBJECT

  public:
    explicit AboutWindow(QWidget* parent = nullptr);

    QTextBrowser* Memo1 = nullptr;
};

} // namespace ambrel::ui

// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/help_window.h"

#include "ui/window_style.h"

#include <QFile>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTextBrowser>
#include <QVBoxLayout>

#include <initializer_list>

namespace ambrel::ui {

namespace {

// The README's sections for those who build or develop the program.
bool developer_section(const QString& heading) {
    for (const char* title : {"Installation", "Building by hand", "Performance"})
        if (heading == QLatin1String(title))
            return true;
    return false;
}

} // namespace

QString readme_text() {
    QFile file(QStringLiteral(":/ambrel/README.md"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

QString manual_markdown(const QString& readme) {
    QStringList kept;
    bool skipping = false;      // a section for developers
    bool in_code = false;       // a fenced block of code, where nothing is a heading or a picture
    bool after_picture = false; // a picture was left out: its caption (in italics) goes with it
    bool dropping = false;      // the rest of a paragraph left out
    bool previous_blank = true; // the line before was empty: this one starts a paragraph
    for (const QString& line : readme.split(QLatin1Char('\n'))) {
        const auto remember_blank = qScopeGuard([&] { previous_blank = line.trimmed().isEmpty(); });
        if (line.startsWith(QLatin1String("```")))
            in_code = !in_code;
        if (!in_code && line.startsWith(QLatin1String("## ")))
            skipping = developer_section(line.mid(3).trimmed());
        if (skipping)
            continue;
        if (dropping) {
            dropping = !line.trimmed().isEmpty();
            continue;
        }
        if (!in_code && line.startsWith(QLatin1String("!["))) {
            // A PNG picture of the README is built into the program with it: shown from there, with
            // its caption. Other pictures (the charts' SVG drawings) are files of the source tree:
            // left out, their captions with them.
            static const QRegularExpression png(
                QStringLiteral("^!\\[([^\\]]*)\\]\\((docs/images/[^)]+\\.png)\\)$"));
            if (const QRegularExpressionMatch built_in = png.match(line); built_in.hasMatch()) {
                kept << QStringLiteral("![%1](qrc:/ambrel/%2)")
                            .arg(built_in.captured(1), built_in.captured(2));
                continue;
            }
            after_picture = true;
            continue;
        }
        // The paragraphs of the README for those who build and test the program from its source
        // (how run.sh builds it, how the Slurm test runs) start with the script they are about.
        if (!in_code && previous_blank &&
            (line.startsWith(QLatin1String("`./run.sh` installs")) ||
             line.startsWith(QLatin1String("`tests/")))) {
            dropping = true;
            continue;
        }
        if (after_picture && !line.trimmed().isEmpty()) {
            after_picture = false;
            dropping = line.startsWith(QLatin1Char('*')) && !line.startsWith(QLatin1String("* "));
            if (dropping)
                continue;
        }
        if (!in_code && line.startsWith(QLatin1String("The pictures of this page are made"))) {
            dropping = true;
            continue;
        }
        kept << line;
    }
    return kept.join(QLatin1Char('\n'));
}

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Ambrel manual"));
    apply_window_font(this);
    Browser = new QTextBrowser(this);
    Browser->setObjectName(QStringLiteral("Browser"));
    Browser->setOpenExternalLinks(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Browser);
    resize_outer(this, 760, 640);
}

void HelpWindow::showEvent(QShowEvent* event) {
    // Read and laid out the first time it is shown, not at every start of the program.
    if (!loaded_) {
        loaded_ = true;
        const QString text = manual_markdown(readme_text());
        Browser->setMarkdown(text.isEmpty() ? QStringLiteral("The manual is missing from this build.")
                                            : text);
    }
    QWidget::showEvent(event);
}

} // namespace ambrel::ui

// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The description panel's help in reading it: colours for comments, names, numbers and dot
// commands (as the reader takes the fields), and a wavy underline on each line the last reading
// warned about, with the warnings as the line's tooltip. The marks follow the text as it is edited
// and are replaced by those of the next reading.
#pragma once

#include "description/read_warnings.h"

#include <QObject>
#include <QString>
#include <QSyntaxHighlighter>
#include <QTextCursor>

#include <vector>

class QPlainTextEdit;

namespace ambrel::ui {

class DescriptionHighlighter : public QSyntaxHighlighter {
    Q_OBJECT

  public:
    explicit DescriptionHighlighter(QTextDocument* document);

  protected:
    void highlightBlock(const QString& text) override;
};

class DescriptionMarks : public QObject {
    Q_OBJECT

  public:
    // Colours `editor`'s text and marks its lines; both live as long as the editor.
    explicit DescriptionMarks(QPlainTextEdit* editor);

    // The warnings of the last reading (line numbers of the text as it was read).
    void show_warnings(const std::vector<ReadWarning>& warnings);

    // The tooltip of the line under the editor's viewport position `pos` (empty: none).
    QString tooltip_at(const QPoint& pos) const;
    // The number of lines marked.
    int marked_lines() const { return static_cast<int>(marks_.size()); }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct Mark {
        QTextCursor line; // selects the whole line, and moves with the edits
        std::vector<ReadWarning> warnings;
    };
    // The mark's warnings, each naming the line where the mark is now (edits above it move it).
    QString tooltip(const Mark& mark) const;
    void apply();

    QPlainTextEdit* editor_;
    std::vector<Mark> marks_;
};

} // namespace ambrel::ui

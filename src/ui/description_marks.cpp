// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/description_marks.h"

#include "description/line_syntax.h"

#include <QEvent>
#include <QHelpEvent>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QToolTip>

#include <map>

namespace ambrel::ui {

namespace {

QTextCharFormat part_format(LinePart part) {
    QTextCharFormat format;
    switch (part) {
    case LinePart::Comment:
        format.setForeground(QColor(0x2e, 0x7d, 0x32));
        format.setFontItalic(true);
        break;
    case LinePart::DotCommand:
        format.setForeground(QColor(0x7b, 0x1f, 0xa2));
        format.setFontWeight(QFont::Bold);
        break;
    case LinePart::Name:
        format.setForeground(QColor(0x0d, 0x47, 0xa1));
        format.setFontWeight(QFont::Bold);
        break;
    case LinePart::Conductor:
        format.setForeground(QColor(0x00, 0x69, 0x5c));
        break;
    case LinePart::Number:
        format.setForeground(QColor(0xa0, 0x40, 0x00));
        break;
    }
    return format;
}

} // namespace

DescriptionHighlighter::DescriptionHighlighter(QTextDocument* document) : QSyntaxHighlighter(document) {}

void DescriptionHighlighter::highlightBlock(const QString& text) {
    // The reader's spans are in bytes of UTF-8; the block's positions in UTF-16 units.
    const QByteArray bytes = text.toUtf8();
    const std::string_view line(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    auto position = [&](std::size_t byte) {
        return static_cast<int>(QString::fromUtf8(bytes.constData(), static_cast<qsizetype>(byte)).size());
    };
    for (const LineSpan& span : line_syntax(line)) {
        const int start = position(span.start);
        setFormat(start, position(span.start + span.length) - start, part_format(span.part));
    }
}

DescriptionMarks::DescriptionMarks(QPlainTextEdit* editor) : QObject(editor), editor_(editor) {
    auto* highlighter = new DescriptionHighlighter(editor->document());
    {
        // Colouring is no edit: the text as it stands is coloured now, without the editor's
        // textChanged (the highlighter's own first pass, which would send it, then finds nothing
        // left to do). Later passes follow edits, which have sent it already.
        const QSignalBlocker quiet(editor);
        highlighter->rehighlight();
    }
    editor->viewport()->installEventFilter(this);
}

void DescriptionMarks::show_warnings(const std::vector<ReadWarning>& warnings) {
    // One mark a line, its tooltip every warning of the line.
    std::map<int, std::vector<ReadWarning>> lines;
    for (const ReadWarning& warning : warnings)
        lines[warning.line].push_back(warning);
    marks_.clear();
    QTextDocument* document = editor_->document();
    for (const auto& [number, of_line] : lines) {
        const QTextBlock block = document->findBlockByNumber(number - 1);
        if (!block.isValid())
            continue; // the text has changed since it was read
        QTextCursor line(block);
        line.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        marks_.push_back({line, of_line});
    }
    apply();
}

QString DescriptionMarks::tooltip(const Mark& mark) const {
    const int now = editor_->document()->findBlock(mark.line.selectionStart()).blockNumber() + 1;
    QStringList texts;
    for (ReadWarning warning : mark.warnings) {
        warning.line = now;
        texts << QString::fromStdString(warning_text(warning));
    }
    return texts.join(QLatin1Char('\n'));
}

void DescriptionMarks::apply() {
    QList<QTextEdit::ExtraSelection> selections;
    for (const Mark& mark : marks_) {
        QTextEdit::ExtraSelection selection;
        selection.cursor = mark.line;
        selection.format.setUnderlineStyle(QTextCharFormat::WaveUnderline);
        selection.format.setUnderlineColor(QColor(0xd0, 0x00, 0x00));
        selection.format.setToolTip(tooltip(mark));
        selections.push_back(selection);
    }
    editor_->setExtraSelections(selections);
}

QString DescriptionMarks::tooltip_at(const QPoint& pos) const {
    const QTextCursor at = editor_->cursorForPosition(pos);
    const QRect line = editor_->cursorRect(at);
    if (pos.y() < line.top() || pos.y() > line.bottom())
        return {}; // below the last line
    const QTextBlock block = at.block();
    for (const Mark& mark : marks_)
        if (mark.line.hasSelection() && editor_->document()->findBlock(mark.line.selectionStart()) == block)
            return tooltip(mark);
    return {};
}

bool DescriptionMarks::eventFilter(QObject* watched, QEvent* event) {
    if (watched == editor_->viewport() && event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QString tip = tooltip_at(help->pos());
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, editor_->viewport());
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace ambrel::ui

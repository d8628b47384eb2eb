// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Description files (.bal): the lines of the description panel as plain text. Read with CR LF,
// LF or lone CR line ends, and written with the line ends the file had (a description saved again
// differs from its file only where it was edited), through a temporary file renamed over the old
// one, so a failed save leaves the previous file as it was.
#pragma once

#include "model/status.h"

#include <QString>
#include <QStringList>

namespace ambrel::ui {

// The line end a file is written with.
enum class LineEnd { Lf, CrLf, Cr };

// The bytes of a line end.
const char* line_end_bytes(LineEnd end);
// The line end of a text: that of its first line (LF for a text of one line without any).
LineEnd line_end_of(const QByteArray& text);

// A description file as read: its lines and its line end.
struct DescriptionText {
    QStringList lines;
    LineEnd line_end = LineEnd::Lf;
};

// Why `bytes` are no description, or empty when they may be one: a file with a NUL byte, or one that
// is not UTF-8 and holds more than a few control characters (more than MAX_STRAY_CONTROL_BYTES and
// more than 1 % of its bytes), is a picture or a program, which the panel would garble and Save
// would destroy.
inline constexpr qsizetype MAX_STRAY_CONTROL_BYTES = 8;
QString not_text_reason(const QByteArray& bytes);

// The lines of the file and its line end, or why it could not be read: the system's reason, or that
// it is not text (not_text_reason). Text that is not valid UTF-8 is read as Latin-1.
Result<DescriptionText> read_description_file(const QString& path);

// Writes every line followed by `end` (UTF-8); a failure carries the system's reason.
Status write_description_file(const QString& path, const QStringList& lines, LineEnd end = LineEnd::CrLf);

// The messages of the error boxes: the file name and the reason.
QString open_error_message(const QString& path, const QString& reason);
QString save_error_message(const QString& path, const QString& reason);
// The same with the reason a Status carries.
QString save_error_message(const QString& path, const Status& failed);

} // namespace ambrel::ui

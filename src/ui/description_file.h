// Description files (.bal): the lines of the description panel as plain text. Read with CR LF,
// LF or lone CR line ends; written with CR LF through a temporary file renamed over the old one,
// so a failed save leaves the previous file as it was.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace ambrel::ui {

// The lines of the file, or nullopt with the system's reason in `error`. Text that is not
// valid UTF-8 is read as Latin-1.
std::optional<QStringList> read_description_file(const QString& path, QString* error);

// Writes every line followed by CR LF (UTF-8). On failure returns false with the reason.
bool write_description_file(const QString& path, const QStringList& lines, QString* error);

// The messages of the error boxes: the file name and the reason.
QString open_error_message(const QString& path, const QString& reason);
QString save_error_message(const QString& path, const QString& reason);

} // namespace ambrel::ui

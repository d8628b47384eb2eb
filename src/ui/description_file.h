// Description files (.bal): the lines of the description panel as plain text. Read with CR LF,
// LF or lone CR line ends; written with CR LF through a temporary file renamed over the old one,
// so a failed save leaves the previous file as it was.
#pragma once

#include "model/status.h"

#include <QString>
#include <QStringList>

namespace ambrel::ui {

// The lines of the file, or the system's reason why it could not be read. Text that is not
// valid UTF-8 is read as Latin-1.
Result<QStringList> read_description_file(const QString& path);

// Writes every line followed by CR LF (UTF-8); a failure carries the system's reason.
Status write_description_file(const QString& path, const QStringList& lines);

// The messages of the error boxes: the file name and the reason.
QString open_error_message(const QString& path, const QString& reason);
QString save_error_message(const QString& path, const QString& reason);
// The same with the reason a Status carries.
QString save_error_message(const QString& path, const Status& failed);

} // namespace ambrel::ui

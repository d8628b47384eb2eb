// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/description_file.h"

#include "description/reader.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

#include <algorithm>

namespace ambrel::ui {

const char* line_end_bytes(LineEnd end) {
    switch (end) {
    case LineEnd::CrLf:
        return "\r\n";
    case LineEnd::Cr:
        return "\r";
    case LineEnd::Lf:
        break;
    }
    return "\n";
}

LineEnd line_end_of(const QByteArray& text) {
    const qsizetype end = text.indexOf('\n'), cr = text.indexOf('\r');
    if (cr < 0)
        return LineEnd::Lf;
    if (end < 0 || cr + 1 < end)
        return LineEnd::Cr; // a CR before the first LF ends a line of its own
    return cr + 1 == end ? LineEnd::CrLf : LineEnd::Lf;
}

QString not_text_reason(const QByteArray& bytes) {
    const QString refusal = QStringLiteral("it is not a text file (%1); a description is plain text");
    if (bytes.contains('\0'))
        return refusal.arg(QStringLiteral("it holds NUL bytes"));
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString decoded = utf8(bytes); // decodes only when taken as a string
    if (!utf8.hasError())
        return {};
    // Not UTF-8: a Latin-1 description (accented comments) has few bytes that are control
    // characters in Latin-1 (C0 but tab and the line and page ends, DEL, C1); a picture or a
    // program has many.
    qsizetype controls = 0;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        const bool blank = b == '\t' || b == '\n' || b == '\r' || b == '\f' || b == '\v';
        controls += (b < 0x20 && !blank) || (b >= 0x7f && b < 0xa0) ? 1 : 0;
    }
    if (controls > std::max<qsizetype>(MAX_STRAY_CONTROL_BYTES, bytes.size() / 100))
        return refusal.arg(
            QStringLiteral("%1 of its %2 bytes are control characters").arg(controls).arg(bytes.size()));
    return {};
}

Result<DescriptionText> read_description_file(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return Status::failure(file.errorString().toStdString());
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return Status::failure(file.errorString().toStdString());
    }
    if (const QString why = not_text_reason(bytes); !why.isEmpty())
        return Status::failure(why.toStdString());
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(bytes);
    if (utf8.hasError())
        text = QString::fromLatin1(bytes);
    DescriptionText read;
    for (const std::string& line : split_lines(text.toStdString()))
        read.lines.append(QString::fromStdString(line));
    read.line_end = line_end_of(bytes);
    return read;
}

Status write_description_file(const QString& path, const QStringList& lines, LineEnd end) {
    const char* const line_end = line_end_bytes(end);
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += line.toUtf8();
        bytes += line_end;
    }
    // Unbuffered, so that a short write (a full disk, a file size limit) is seen here: the
    // buffered path of QSaveFile can lose it when the buffer is flushed at commit.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return Status::failure(file.errorString().toStdString());
    for (qsizetype done = 0; done < bytes.size();) {
        const qint64 written = file.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0) {
            const std::string why = file.errorString().toStdString();
            file.cancelWriting();
            return Status::failure(why);
        }
        done += written;
    }
    if (!file.commit())
        return Status::failure(file.errorString().toStdString());
    return Status::success();
}

QString open_error_message(const QString& path, const QString& reason) {
    return QStringLiteral("Cannot open file \"%1\": %2").arg(path, reason);
}

QString save_error_message(const QString& path, const QString& reason) {
    return QStringLiteral("Cannot save file \"%1\": %2").arg(path, reason);
}

QString save_error_message(const QString& path, const Status& failed) {
    return save_error_message(path, QString::fromStdString(failed.message()));
}

} // namespace ambrel::ui

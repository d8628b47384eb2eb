#include "ui/description_file.h"

#include "description/reader.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

namespace ambrel::ui {

std::optional<QStringList> read_description_file(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error = file.errorString();
        return std::nullopt;
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(bytes);
    if (utf8.hasError())
        text = QString::fromLatin1(bytes);
    QStringList lines;
    for (const std::string& line : split_lines(text.toStdString()))
        lines.append(QString::fromStdString(line));
    return lines;
}

bool write_description_file(const QString& path, const QStringList& lines, QString* error) {
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += line.toUtf8();
        bytes += "\r\n";
    }
    // Unbuffered, so that a short write (a full disk, a file size limit) is seen here: the
    // buffered path of QSaveFile can lose it when the buffer is flushed at commit.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    for (qsizetype done = 0; done < bytes.size();) {
        const qint64 written = file.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0) {
            if (error)
                *error = file.errorString();
            file.cancelWriting();
            return false;
        }
        done += written;
    }
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

QString open_error_message(const QString& path, const QString& reason) {
    return QStringLiteral("Cannot open file \"%1\": %2").arg(path, reason);
}

QString save_error_message(const QString& path, const QString& reason) {
    return QStringLiteral("Cannot save file \"%1\": %2").arg(path, reason);
}

} // namespace ambrel::ui

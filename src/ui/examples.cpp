// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/examples.h"

#include <QAction>
#include <QMenu>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace ambrel::ui {

namespace {

// A menu item longer than this many characters of title is cut.
constexpr qsizetype TITLE_LENGTH = 64;
// The first comment is looked for in this many bytes at most: a file that is no description
// costs no more than that.
constexpr qint64 COMMENT_SEARCH_BYTES = 64 * 1024;

QString existing_folder(const QString& path) {
    if (path.isEmpty())
        return {};
    const QFileInfo info(path);
    return info.isDir() ? info.absoluteFilePath() : QString();
}

QString decoded(const QByteArray& bytes) {
    // As descriptions are read: UTF-8, else Latin-1.
    const QString text = QString::fromUtf8(bytes);
    return text.contains(QChar::ReplacementCharacter) ? QString::fromLatin1(bytes) : text;
}

} // namespace

QString default_examples_folder() {
    if (qEnvironmentVariableIsSet(EXAMPLES_DIR_VARIABLE))
        return QDir(qEnvironmentVariable(EXAMPLES_DIR_VARIABLE)).absolutePath();
    // Installed: the data folder is found from the program's own folder, so a package installed
    // under another prefix than the build's finds its examples too.
    const QString beside_program = QDir(QCoreApplication::applicationDirPath())
                                       .filePath(QStringLiteral(AMBREL_BIN_TO_DATA_DIR "/ambrel/examples"));
    for (const QString& candidate : {beside_program, QStringLiteral(AMBREL_SOURCE_EXAMPLES_DIR),
                                     QStringLiteral(AMBREL_INSTALLED_EXAMPLES_DIR)})
        if (QString folder = existing_folder(candidate); !folder.isEmpty())
            return folder;
    return {};
}

std::vector<ExampleFile> list_examples(const QString& folder) {
    std::vector<ExampleFile> examples;
    if (folder.isEmpty())
        return examples;
    const QDir dir(folder);
    const QFileInfoList files = dir.entryInfoList({QStringLiteral("*.bal")}, QDir::Files | QDir::Readable,
                                                  QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& file : files)
        examples.push_back(
            {file.absoluteFilePath(), file.fileName(), first_comment_line(file.absoluteFilePath())});
    return examples;
}

QString first_comment_line(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // Lines end with LF, CR LF or a lone CR, as the reader takes them.
    QByteArray text = file.read(COMMENT_SEARCH_BYTES);
    text.replace('\r', '\n');
    for (const QByteArray& line : text.split('\n'))
        if (line.startsWith('*'))
            return decoded(line.mid(1)).trimmed();
    return {};
}

QString example_menu_text(const ExampleFile& example) {
    QString title = example.title;
    if (title.size() > TITLE_LENGTH)
        title = title.left(TITLE_LENGTH - 1).trimmed() + QChar(0x2026); // an ellipsis
    QString text = example.file_name;
    if (!title.isEmpty())
        text += QStringLiteral(" \u2014 ") + title;
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

void fill_examples_menu_from(QMenu* menu, const QString& folder, QObject* receiver,
                             const std::function<void(const QString&)>& open) {
    menu->clear();
    const std::vector<ExampleFile> examples = list_examples(folder);
    for (const ExampleFile& example : examples) {
        QAction* item = menu->addAction(example_menu_text(example));
        item->setData(example.path);
        item->setToolTip(example.title.isEmpty() ? example.path
                                                 : example.title + QLatin1Char('\n') + example.path);
        QObject::connect(item, &QAction::triggered, receiver, [open, path = example.path] { open(path); });
    }
    if (examples.empty()) {
        QAction* none = menu->addAction(folder.isEmpty() ? QStringLiteral("No examples found")
                                                         : QStringLiteral("No examples in ") + folder);
        none->setEnabled(false);
    }
}

} // namespace ambrel::ui

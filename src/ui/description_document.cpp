// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/description_document.h"

#include "description/reader.h"
#include "ui/description_file.h"
#include "ui/dialog_provider.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QStandardPaths>

#include <utility>

namespace ambrel::ui {

namespace {

const QString CHANGED_EXIT_QUESTION = QStringLiteral("Abandon changes and exit?");
const QString CHANGED_OPEN_QUESTION = QStringLiteral("Abandon changes and load another file?");
const QString CHANGED_NEW_QUESTION = QStringLiteral("Abandon changes and start a new description?");
const QString START_FILE = QStringLiteral("test.bal");
const QString RELOAD_QUESTION =
    QStringLiteral("The file \"%1\" has been changed by another program. Reload it?");
const QString RELOAD_LOSES_EDITS = QStringLiteral(" Your unsaved changes would be lost.");
const QString OVERWRITE_QUESTION =
    QStringLiteral("The file \"%1\" has been changed by another program since it was opened or saved. "
                   "Overwrite it with this description?");

// Where an unnamed description is proposed: the user's documents folder where it exists, else the
// home folder (the save dialog, given a folder that does not exist, would return a name relative to
// the working folder).
QString documents_folder() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !documents.isEmpty() && QDir(documents).exists() ? documents : QDir::homePath();
}

} // namespace

DescriptionDocument::DescriptionDocument(QPlainTextEdit* editor, DialogProvider& dialogs, QWidget* window,
                                         std::function<void(const std::string&)> say, QObject* parent)
    : QObject(parent), editor_(editor), dialogs_(dialogs), window_(window), say_(std::move(say)),
      saved_text_(editor->toPlainText()) {
    connect(editor_, &QPlainTextEdit::textChanged, this, &DescriptionDocument::text_edited);
}

std::vector<std::string> DescriptionDocument::lines() const {
    return split_lines(editor_->toPlainText().toStdString());
}

void DescriptionDocument::set_current_file(const QString& name) {
    current_file_ = name;
    emit current_file_changed(name);
    emit title_changed();
}

void DescriptionDocument::set_unchanged() {
    saved_text_ = editor_->toPlainText();
    changed_ = false;
    emit title_changed();
}

void DescriptionDocument::mark_read() {
    read_text_ = editor_->toPlainText();
    if (edited_since_read_) {
        edited_since_read_ = false;
        emit out_of_date_changed();
    }
}

QString DescriptionDocument::title() const {
    QString title = QString::fromLatin1(APPLICATION_TITLE);
    if (from_file_)
        title = QFileInfo(current_file_).fileName() + QStringLiteral(" - ") + title;
    else if (untitled_ || changed_)
        title = QStringLiteral("Untitled - ") + title;
    return changed_ ? QLatin1Char('*') + title : title;
}

bool DescriptionDocument::may_replace() {
    return !changed_ || dialogs_.ask_yes_no(window_, CHANGED_OPEN_QUESTION);
}

bool DescriptionDocument::may_start_new() {
    return !changed_ || dialogs_.ask_yes_no(window_, CHANGED_NEW_QUESTION);
}

bool DescriptionDocument::may_abandon() {
    return !changed_ || dialogs_.ask_yes_no(window_, CHANGED_EXIT_QUESTION);
}

bool DescriptionDocument::load(const QString& path) {
    say_("Loading description from file " + path.toStdString());
    const Result<DescriptionText> read = read_description_file(path);
    if (!read) {
        dialogs_.show_error(window_, open_error_message(path, QString::fromStdString(read.message())));
        return false;
    }
    editor_->setPlainText(read.value().lines.join(QLatin1Char('\n')));
    line_end_ = read.value().line_end;
    from_file_ = true;
    known_disk_hash_ = disk_hash(path);
    return true;
}

bool DescriptionDocument::open(const QString& path) {
    if (!load(path))
        return false;
    named_ = true;
    set_current_file(path);
    emit file_used(path);
    return true;
}

bool DescriptionDocument::open_example(const QString& path) {
    if (!load(path))
        return false;
    named_ = false;
    set_current_file(QDir(documents_folder()).filePath(QFileInfo(path).fileName()));
    return true;
}

bool DescriptionDocument::save() {
    return named_ ? write(current_file_) : save_as();
}

bool DescriptionDocument::save_as() {
    // The dialog proposes the file last opened or saved, whichever came later.
    const QString name = dialogs_.save_file_name(window_, current_file_, SaveKind::Description).name;
    return !name.isEmpty() && write(name);
}

QByteArray DescriptionDocument::disk_hash(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return {};
    return hash.result();
}

bool DescriptionDocument::changed_on_disk() const {
    if (!named_ || known_disk_hash_.isEmpty())
        return false;
    const QByteArray now = disk_hash(current_file_);
    return !now.isEmpty() && now != known_disk_hash_;
}

bool DescriptionDocument::reload_changed_file() {
    if (asking_about_disk_ || !changed_on_disk())
        return false;
    asking_about_disk_ = true;
    const QString name = QFileInfo(current_file_).fileName();
    const bool reload =
        dialogs_.ask_yes_no(window_, RELOAD_QUESTION.arg(name) + (changed_ ? RELOAD_LOSES_EDITS : QString()));
    asking_about_disk_ = false;
    if (!reload)
        known_disk_hash_ = disk_hash(current_file_); // this content is not asked about again
    return reload;
}

bool DescriptionDocument::write(const QString& name) {
    // Another program's change to the file is not overwritten unnoticed.
    if (name == current_file_ && changed_on_disk() &&
        !dialogs_.ask_yes_no(window_, OVERWRITE_QUESTION.arg(QFileInfo(name).fileName())))
        return false;
    // The lines of the panel, as the reader sees them: a final line end starts no empty line.
    QStringList lines;
    for (const std::string& line : this->lines())
        lines << QString::fromStdString(line);
    if (const Status written = write_description_file(name, lines, line_end_); !written) {
        dialogs_.show_error(window_, save_error_message(name, written));
        return false;
    }
    say_("Description saved in file " + name.toStdString());
    known_disk_hash_ = disk_hash(name);
    saved_text_ = editor_->toPlainText();
    changed_ = false;
    from_file_ = true;
    named_ = true;
    set_current_file(name);
    emit file_used(name);
    return true;
}

void DescriptionDocument::clear() {
    editor_->clear();
    line_end_ = LineEnd::Lf;
    from_file_ = false;
    untitled_ = true;
    named_ = false;
    set_current_file(START_FILE);
    set_unchanged();
}

QString DescriptionDocument::take_startup_file() {
    if (startup_done_ || startup_file_.isEmpty())
        return {};
    // Tried once: a file that cannot be read is reported once, not at every activation that
    // follows the error box.
    startup_done_ = true;
    return startup_file_;
}

void DescriptionDocument::text_edited() {
    // Only a change of the text is a change: the text is compared with the one saved and the one
    // read (a few hundred microseconds for the largest descriptions, once an edit).
    const QString text = editor_->toPlainText();
    const bool changed = text != saved_text_;
    if (changed != changed_) {
        changed_ = changed;
        emit title_changed();
    }
    const bool out_of_date = !read_text_ || text != *read_text_;
    if (out_of_date != edited_since_read_) {
        edited_since_read_ = out_of_date;
        emit out_of_date_changed();
    }
}

} // namespace ambrel::ui

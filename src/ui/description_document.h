// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The description panel as a document: the file it came from, which Save writes again and Save As
// proposes, and that file's line ends; whether it was edited since it was loaded or saved (the
// questions before it is abandoned) and since it was last read (the view's "out of date" note);
// loading a file into the panel, saving the panel, and a new empty description.
#pragma once

#include "ui/description_file.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QPlainTextEdit;
class QWidget;

namespace ambrel::ui {

class DialogProvider;

class DescriptionDocument : public QObject {
    Q_OBJECT

  public:
    // The panel `editor`; questions and error boxes over `window`; `say` writes a line of the
    // output panel.
    DescriptionDocument(QPlainTextEdit* editor, DialogProvider& dialogs, QWidget* window,
                        std::function<void(const std::string&)> say, QObject* parent = nullptr);

    // The lines of the panel, as the reader takes them.
    std::vector<std::string> lines() const;

    // Its text differs from the one last loaded or saved (an edit undone is no change).
    bool changed() const { return changed_; }
    // Loaded, saved or replaced: nothing to abandon.
    void set_unchanged();
    // The window's title: the file's name once one was opened or saved, "Untitled" for a new
    // description or the start's one edited, after "*" while the description has changes to
    // save ("Ambrel" alone for the description of the start as it came).
    QString title() const;
    // Its text differs from the one a command last read (before any reading: edited at all): the
    // picture is out of date. A click in and out of the panel, or an edit undone, is no change.
    bool out_of_date() const { return edited_since_read_; }
    // A command is reading it.
    void mark_read();

    // The file last opened or saved, which Save writes and Save As proposes ("test.bal" at
    // start and after New; for an example, its name in the user's documents folder).
    QString current_file() const { return current_file_; }
    void set_current_file(const QString& name);
    // Save writes to the current file without asking: the user opened or saved it.
    bool named() const { return named_; }
    // The line end the description is written with: the file's own, LF for a new description.
    LineEnd line_end() const { return line_end_; }

    // May the edited panel be replaced by another file, by a new description, or abandoned as the
    // program ends? Asks only when it was edited.
    bool may_replace();
    bool may_start_new();
    bool may_abandon();
    // Says in the output panel that the file is loading and replaces the panel by it, which then
    // is the current file; false (with the error shown, the document unchanged) when it cannot be
    // read.
    bool open(const QString& path);
    // Opens an example as open() does, but as an unnamed description: Save asks where, proposing
    // the example's name in the user's documents folder, never the shipped file.
    bool open_example(const QString& path);
    // Save: writes the panel to the current file when it is named, else asks as Save As does.
    // False when cancelled or not written (the error shown).
    bool save();
    // Save As: asks where (proposing the current file) and writes the panel there.
    bool save_as();
    // New: an empty panel, unnamed, with LF line ends and nothing to save.
    void clear();

    // On the window's activation: when another program changed the current file since it was
    // loaded or saved, asks whether to reload it (saying that unsaved edits would be lost).
    // True when the answer is to reload (the host opens the file again, as Open does); a "no"
    // keeps the panel, and that content of the file is not asked about again. Save also asks
    // before it writes over such a change. A file that is gone or unreadable is no change.
    bool reload_changed_file();

    // The file named on the command line, opened once at the window's first activation.
    void set_startup_file(const QString& path) { startup_file_ = path; }
    // That file, the first time only (empty when there is none, or it was tried).
    QString take_startup_file();

  signals:
    // The current file has changed (Open, Save, an example, New).
    void current_file_changed(const QString& name);
    // The user opened or saved this file: it belongs in the recent files.
    void file_used(const QString& path);
    // out_of_date() is now true, or false again: the view's note appears or goes.
    void out_of_date_changed();
    // The file's name or the changed mark of title() is another.
    void title_changed();

  private:
    void text_edited();
    // Replaces the panel by the file and takes its line end; false (with the error shown) when
    // unreadable.
    bool load(const QString& path);
    // Writes the panel to `name`, which becomes the current, named file.
    bool write(const QString& name);
    // The hash of the file's content as it is now; empty when it cannot be read.
    static QByteArray disk_hash(const QString& path);
    // The current file holds other content than it had when loaded, saved or last asked about.
    bool changed_on_disk() const;

    QPlainTextEdit* editor_;
    DialogProvider& dialogs_;
    QWidget* window_;
    std::function<void(const std::string&)> say_;
    QString current_file_ = QStringLiteral("test.bal");
    QString startup_file_;
    bool startup_done_ = false;
    bool from_file_ = false; // the panel came from a file or was saved: the title names it
    bool untitled_ = false;  // the panel was emptied by New: the title calls it "Untitled"
    bool named_ = false;     // Save writes to the current file
    LineEnd line_end_ = LineEnd::Lf;
    bool changed_ = false;
    bool edited_since_read_ = false;
    QString saved_text_;               // the text last loaded or saved (or of the start, or New)
    std::optional<QString> read_text_; // the text a command last read, once one has
    QByteArray known_disk_hash_;       // of the current file as loaded, saved or last asked about
    bool asking_about_disk_ = false;
};

} // namespace ambrel::ui

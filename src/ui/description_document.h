// The description panel as a document: the file it came from, which Save proposes; whether it was
// edited since it was loaded or saved (the questions before it is abandoned) and since it was last
// read (the view's "out of date" note); loading a file into the panel and saving the panel.
#pragma once

#include <QObject>
#include <QString>

#include <functional>
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

    // Edited since it was last loaded or saved.
    bool changed() const { return changed_; }
    // Loaded, saved or replaced: nothing to abandon.
    void set_unchanged();
    // The window's title: the file's name once one was opened or saved, after "*" while the
    // description has changes to save ("Ambrel" alone for the description of the start).
    QString title() const;
    // Edited since it was last read: the picture is out of date.
    bool out_of_date() const { return edited_since_read_; }
    // A command is reading it.
    void mark_read() { edited_since_read_ = false; }

    // The file last opened or saved, which Save proposes ("test.bal" at start).
    QString current_file() const { return current_file_; }
    void set_current_file(const QString& name);

    // May the edited panel be replaced by another file, or abandoned as the program ends? Asks
    // only when it was edited.
    bool may_replace();
    bool may_abandon();
    // Names the file as the current one, says so in the output panel and replaces the panel by
    // it; false (with the error shown) when it cannot be read.
    bool open(const QString& path);
    // Save: asks where (proposing the current file), writes the panel there; false when cancelled
    // or not written (the error shown).
    bool save();

    // The file named on the command line, opened once at the window's first activation.
    void set_startup_file(const QString& path) { startup_file_ = path; }
    // That file, the first time only (empty when there is none, or it was tried).
    QString take_startup_file();

  signals:
    // The current file has changed (Open, Save, an example).
    void current_file_changed(const QString& name);
    // The first edit since the description was read: the view's note appears.
    void became_out_of_date();
    // The file's name or the changed mark of title() is another.
    void title_changed();

  private:
    void text_edited();
    // Replaces the panel by the file; false (with the error shown) when unreadable.
    bool load(const QString& path);

    QPlainTextEdit* editor_;
    DialogProvider& dialogs_;
    QWidget* window_;
    std::function<void(const std::string&)> say_;
    QString current_file_ = QStringLiteral("test.bal");
    QString startup_file_;
    bool startup_done_ = false;
    bool from_file_ = false; // the current file was opened or saved
    bool changed_ = false;
    bool edited_since_read_ = false;
};

} // namespace ambrel::ui

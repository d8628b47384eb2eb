// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The File menu's commands on the description, as a desktop program has them: New, Open, Open
// Recent (ui/recent_files.h), Examples (ui/examples.h), Save and Save As; and the loads the window
// makes by itself: the file named on the command line, at the first activation, and the current
// file when another program changed it and the user agrees. The description document
// (ui/description_document.h) keeps the file and asks before edits are abandoned; a description
// opened is read at once (Initialize), framed whole in the view.
#pragma once

#include <QObject>
#include <QString>

class QMainWindow;

namespace ambrel::ui {

class CommandController;
class DescriptionDocument;
class DialogProvider;
struct MainForm;
class WindowCommands;
struct WindowParts;

class FileCommands : public QObject {
    Q_OBJECT

  public:
    // Fills Examples and Open Recent, and fills them again each time they open. A file opened
    // starts its Initialize through `commands`.
    FileCommands(const WindowParts& parts, WindowCommands& commands, QObject* parent = nullptr);

    // The folder File > Examples lists (default_examples_folder() at start).
    QString examples_folder() const { return examples_folder_; }
    void set_examples_folder(const QString& folder);

    void start_new();
    void open();
    // The example at `path`, opened as Open opens a file (after the same question), unnamed.
    void open_example(const QString& path);
    // A file of Open Recent: opened as Open opens it, or dropped from the list (with a message)
    // when it no longer exists.
    void open_recent(const QString& path);
    void save();
    void save_as();
    // The window came to the front: the start's file is loaded the first time, and a file another
    // program changed is reloaded when the user agrees.
    void window_activated();

  private:
    // Lists the examples of the folder in the Examples menu.
    void fill_examples_menu();
    // Fills File > Open Recent from the remembered list.
    void fill_recent_menu();
    // What Open does once a file is chosen: load it and Initialize; an example opens unnamed.
    void open_description(const QString& path, bool example = false);

    QMainWindow* window_;
    MainForm& form_;
    const CommandController& controller_;
    DescriptionDocument& document_;
    DialogProvider& dialogs_;
    WindowCommands& commands_;
    QString examples_folder_;
};

} // namespace ambrel::ui

// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/file_commands.h"

#include "ui/description_document.h"
#include "ui/dialog_provider.h"
#include "ui/examples.h"
#include "ui/main_form.h"
#include "ui/recent_files.h"
#include "ui/window_commands.h"

#include <QAction>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenu>
#include <QStatusBar>

namespace ambrel::ui {

FileCommands::FileCommands(const WindowParts& parts, WindowCommands& commands, QObject* parent)
    : QObject(parent), window_(parts.window), form_(parts.form), controller_(parts.commands),
      document_(parts.document), dialogs_(parts.dialogs), commands_(commands),
      examples_folder_(default_examples_folder()) {
    fill_examples_menu();
    // The examples are listed again each time the menu opens: the folder may have changed.
    connect(form_.Examples1, &QMenu::aboutToShow, this, &FileCommands::fill_examples_menu);
    fill_recent_menu();
    connect(form_.OpenRecent1, &QMenu::aboutToShow, this, &FileCommands::fill_recent_menu);
    connect(&document_, &DescriptionDocument::file_used, this,
            [](const QString& path) { remember_recent_file(path); });
}

void FileCommands::set_examples_folder(const QString& folder) {
    examples_folder_ = folder;
    fill_examples_menu();
}

void FileCommands::fill_examples_menu() {
    fill_examples_menu_from(form_.Examples1, examples_folder_, this,
                            [this](const QString& path) { open_example(path); });
}

void FileCommands::fill_recent_menu() {
    ui::fill_recent_menu(form_.OpenRecent1, [this](const QString& path) { open_recent(path); });
}

void FileCommands::start_new() {
    if (controller_.busy() || !document_.may_start_new())
        return;
    window_->statusBar()->clearMessage();
    document_.clear();
    // The view and the reports follow the panel: an empty system.
    commands_.initialize();
}

void FileCommands::open() {
    if (controller_.busy() || !document_.may_replace())
        return;
    const QString name = dialogs_.open_file_name(window_, document_.current_file());
    if (!name.isEmpty())
        open_description(name);
}

void FileCommands::open_example(const QString& path) {
    if (controller_.busy() || !document_.may_replace())
        return;
    // The shipped file is never written over: Save asks where, in the user's documents folder.
    open_description(path, true);
}

void FileCommands::open_recent(const QString& path) {
    if (controller_.busy())
        return;
    if (!QFileInfo::exists(path)) {
        forget_recent_file(path);
        dialogs_.show_error(window_,
                            QStringLiteral("The file \"%1\" no longer exists; it is removed from the "
                                           "recent files.")
                                .arg(path));
        return;
    }
    if (document_.may_replace())
        open_description(path);
}

void FileCommands::open_description(const QString& path, bool example) {
    window_->statusBar()->clearMessage(); // its words are about the model the file replaces
    form_.Alwayscalculate1->setChecked(false);
    if (!(example ? document_.open_example(path) : document_.open(path)))
        return;
    commands_.initialize_opened_file();
    document_.set_unchanged();
}

void FileCommands::save() {
    document_.save();
}

void FileCommands::save_as() {
    document_.save_as();
}

void FileCommands::window_activated() {
    if (controller_.busy())
        return;
    // Another program changed the file: reloaded as Open loads it, when the user asks.
    if (document_.reload_changed_file()) {
        open_description(document_.current_file());
        return;
    }
    const QString path = document_.take_startup_file();
    if (path.isEmpty() || !document_.open(path))
        return;
    document_.set_unchanged();
    commands_.initialize_opened_file();
}

} // namespace ambrel::ui

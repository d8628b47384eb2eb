// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The sample descriptions of File > Examples: where they are, and how each is named in the menu
// (its file name and its first comment line).
#pragma once

#include <QString>

#include <functional>

#include <vector>

class QMenu;
class QObject;

namespace ambrel::ui {

// The environment variable that names another folder of examples (the tests use it).
inline constexpr const char* EXAMPLES_DIR_VARIABLE = "AMBREL_EXAMPLES_DIR";

struct ExampleFile {
    QString path;      // absolute
    QString file_name; // "four_balls.bal"
    QString title;     // its first comment line without the "*", trimmed; empty when it has none
};

// The folder the menu lists: the one named by AMBREL_EXAMPLES_DIR when it is set; otherwise
// the examples installed beside the program (share/ambrel/examples next to its bin/, wherever
// the program was installed), else the source tree's examples/ (a program run from its build
// folder), else the installed folder of the build's prefix. The first that exists; empty when
// none does.
QString default_examples_folder();

// The descriptions (*.bal) of `folder`, sorted by file name.
std::vector<ExampleFile> list_examples(const QString& folder);

// The first comment line of a description file: its first line that starts with "*", without
// the "*" and trimmed. Empty when the file has none or cannot be read.
QString first_comment_line(const QString& path);

// The text of the menu item: the file name and the title, cut to a length a menu can show, with
// any "&" doubled so that it is shown rather than taken as a mnemonic.
QString example_menu_text(const ExampleFile& example);

// Fills `menu` with an item per example of `folder` (its data the file's path, its hint the whole
// first comment and the place), each calling `open` with its path; a disabled item says when there
// is none.
void fill_examples_menu_from(QMenu* menu, const QString& folder, QObject* receiver,
                             const std::function<void(const QString&)>& open);

} // namespace ambrel::ui

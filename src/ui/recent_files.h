// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// File > Open Recent: the description files last opened or saved, newest first, remembered
// between runs (QSettings of the application, key "recent_files").
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QMenu;

namespace ambrel::ui {

// How many files the list keeps.
inline constexpr int RECENT_FILES_COUNT = 8;
inline constexpr const char* RECENT_FILES_SETTINGS_KEY = "recent_files";

// `list` with `path` (made absolute) at its head, once, cut to RECENT_FILES_COUNT.
QStringList with_recent_file(QStringList list, const QString& path);

// The remembered list, and changes to it.
QStringList recent_files();
void remember_recent_file(const QString& path);
void forget_recent_file(const QString& path);
void clear_recent_files();

// Fills `menu` with an item per remembered file ("&1 name  (folder)", the full path as its tip),
// each calling `open` with its path, and "Clear list"; "(none)", disabled, when there are none.
void fill_recent_menu(QMenu* menu, const std::function<void(const QString& path)>& open);

} // namespace ambrel::ui

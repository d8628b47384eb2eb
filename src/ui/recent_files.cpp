// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/recent_files.h"

#include "ui/window_style.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QSettings>

namespace ambrel::ui {

namespace {

void store(const QStringList& list) {
    QSettings settings = application_settings();
    settings.setValue(QLatin1String(RECENT_FILES_SETTINGS_KEY), list);
}

} // namespace

QStringList with_recent_file(QStringList list, const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    list.removeAll(absolute);
    list.prepend(absolute);
    while (list.size() > RECENT_FILES_COUNT)
        list.removeLast();
    return list;
}

QStringList recent_files() {
    QStringList list = application_settings().value(QLatin1String(RECENT_FILES_SETTINGS_KEY)).toStringList();
    list.removeAll(QString());
    return list.mid(0, RECENT_FILES_COUNT);
}

void remember_recent_file(const QString& path) {
    store(with_recent_file(recent_files(), path));
}

void forget_recent_file(const QString& path) {
    QStringList list = recent_files();
    list.removeAll(QFileInfo(path).absoluteFilePath());
    store(list);
}

void clear_recent_files() {
    store({});
}

void fill_recent_menu(QMenu* menu, const std::function<void(const QString& path)>& open) {
    menu->clear();
    const QStringList files = recent_files();
    if (files.isEmpty()) {
        menu->addAction(QStringLiteral("(none)"))->setEnabled(false);
        return;
    }
    for (qsizetype k = 0; k < files.size(); ++k) {
        const QString path = files[k];
        const QFileInfo file(path);
        // "&1" to "&8": the digit chooses the file from the keyboard.
        QString caption = QStringLiteral("&%1 %2  (%3)")
                              .arg(k + 1)
                              .arg(file.fileName(), QDir::toNativeSeparators(file.absolutePath()));
        QAction* item = menu->addAction(caption);
        item->setObjectName(QStringLiteral("Recent%1").arg(k + 1));
        item->setData(path);
        item->setToolTip(QDir::toNativeSeparators(path));
        QObject::connect(item, &QAction::triggered, menu, [open, path] { open(path); });
    }
    menu->addSeparator();
    QAction* clear = menu->addAction(QStringLiteral("&Clear list"));
    clear->setObjectName(QStringLiteral("ClearRecent"));
    QObject::connect(clear, &QAction::triggered, menu, [] { clear_recent_files(); });
}

} // namespace ambrel::ui

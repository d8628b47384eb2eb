// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/dialog_provider.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include <new>

namespace ambrel::ui {

const QList<FileType>& save_file_types(SaveKind kind) {
    static const QList<FileType> descriptions{{QStringLiteral("Pith balls (*.bal)"), QStringLiteral("bal")}};
    static const QList<FileType> pictures{{QStringLiteral("Bitmaps (*.bmp)"), QStringLiteral("bmp")},
                                          {QStringLiteral("PNG pictures (*.png)"), QStringLiteral("png")}};
    static const QList<FileType> output{{QStringLiteral("Text files (*.txt)"), QStringLiteral("txt")},
                                        {QStringLiteral("All files (*)"), QString()}};
    static const QList<FileType> charts{{QStringLiteral("PNG pictures (*.png)"), QStringLiteral("png")},
                                        {QStringLiteral("SVG drawings (*.svg)"), QStringLiteral("svg")}};
    static const QList<FileType> csv{{QStringLiteral("CSV tables (*.csv)"), QStringLiteral("csv")}};
    static const QList<FileType> tables{{QStringLiteral("Tables (*.tab)"), QStringLiteral("tab")},
                                        {QStringLiteral("All files (*)"), QString()}};
    switch (kind) {
    case SaveKind::Description:
        break;
    case SaveKind::Picture:
        return pictures;
    case SaveKind::Output:
        return output;
    case SaveKind::Chart:
        return charts;
    case SaveKind::Csv:
        return csv;
    case SaveKind::Table:
        return tables;
    }
    return descriptions;
}

QString open_dialog_filter() {
    return save_file_types(SaveKind::Description).constFirst().filter;
}

PictureFormat picture_format(const SaveChoice& choice) {
    const QString extension = QFileInfo(choice.name).suffix().toLower();
    if (extension == QLatin1String("png"))
        return PictureFormat::Png;
    if (extension == QLatin1String("bmp"))
        return PictureFormat::Bmp;
    return choice.type == 1 ? PictureFormat::Png : PictureFormat::Bmp;
}

ChartFormat chart_format(const SaveChoice& choice) {
    const QString extension = QFileInfo(choice.name).suffix().toLower();
    if (extension == QLatin1String("svg"))
        return ChartFormat::Svg;
    if (extension == QLatin1String("png"))
        return ChartFormat::Png;
    return choice.type == 1 ? ChartFormat::Svg : ChartFormat::Png;
}

QString error_text(const std::exception& error) {
    if (dynamic_cast<const std::bad_alloc*>(&error))
        return QStringLiteral("Out of memory");
    return QString::fromLocal8Bit(error.what());
}

std::unique_ptr<QMessageBox> make_question_box(QWidget* parent, const QString& question) {
    auto box = std::make_unique<QMessageBox>(QMessageBox::NoIcon, QString::fromLatin1(APPLICATION_TITLE),
                                             question, QMessageBox::Yes | QMessageBox::No, parent);
    box->setDefaultButton(QMessageBox::No);
    box->setEscapeButton(QMessageBox::No); // closing the box counts as No
    return box;
}

bool QtDialogProvider::ask_yes_no(QWidget* parent, const QString& question) {
    const std::unique_ptr<QMessageBox> box = make_question_box(parent, question);
    return box->exec() == QMessageBox::Yes;
}

QString QtDialogProvider::open_file_name(QWidget* parent, const QString& proposed) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(open_dialog_filter());
    dialog.selectFile(proposed);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

std::unique_ptr<QFileDialog> make_save_dialog(QWidget* parent, const QString& proposed, SaveKind kind) {
    auto dialog = std::make_unique<QFileDialog>(parent);
    QFileDialog* d = dialog.get();
    d->setAcceptMode(QFileDialog::AcceptSave);
    d->setFileMode(QFileDialog::AnyFile);
    const QList<FileType>& types = save_file_types(kind);
    QStringList filters;
    for (const FileType& type : types)
        filters << type.filter;
    d->setNameFilters(filters);
    d->selectNameFilter(types.constFirst().filter);
    d->setDefaultSuffix(types.constFirst().suffix);
    // A name typed without extension receives the extension of the type shown.
    QObject::connect(d, &QFileDialog::filterSelected, d, [d, kind](const QString& chosen) {
        for (const FileType& type : save_file_types(kind))
            if (type.filter == chosen)
                d->setDefaultSuffix(type.suffix);
    });
    d->setOption(QFileDialog::DontConfirmOverwrite, false);
    d->setOption(QFileDialog::ReadOnly, false);
    d->setSizeGripEnabled(true);
    d->selectFile(proposed);
    return dialog;
}

SaveChoice QtDialogProvider::save_file_name(QWidget* parent, const QString& proposed, SaveKind kind) {
    const std::unique_ptr<QFileDialog> dialog = make_save_dialog(parent, proposed, kind);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return {};
    const QList<FileType>& types = save_file_types(kind);
    int type = 0;
    for (int k = 0; k < types.size(); ++k)
        if (types[k].filter == dialog->selectedNameFilter())
            type = k;
    return SaveChoice(dialog->selectedFiles().constFirst(), type);
}

void QtDialogProvider::show_error(QWidget* parent, const QString& message) {
    QMessageBox::critical(parent, QString::fromLatin1(APPLICATION_TITLE), message);
}

} // namespace ambrel::ui

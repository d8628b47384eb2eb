// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The window's one way to talk to the user in a modal box: Yes/No prompts, the file dialogs
// and error boxes. The program uses QtDialogProvider; tests script the answers, so no test
// can wait for a person.
#pragma once

#include <QList>
#include <QString>

#include <exception>
#include <memory>

class QFileDialog;
class QMessageBox;
class QWidget;

namespace ambrel::ui {

// What a save dialog saves. Each kind offers only its own file types, so the type chosen in
// the dialog always matches what is written.
enum class SaveKind {
    Description, // "Pith balls", *.bal
    Picture,     // "Bitmaps", *.bmp, or "PNG pictures", *.png
    Output,      // the output panel as text
    Chart,       // "PNG pictures", *.png, or "SVG drawings", *.svg
    Csv,         // "CSV tables", *.csv
    Table,       // "Tables", *.tab (the electroscope table)
};

// A file type a save dialog offers: the filter as the dialog shows it, and the extension that a
// name typed without one receives while the type is selected.
struct FileType {
    QString filter;
    QString suffix;
};

// The types of each save dialog, in the order shown; the first is selected when it opens.
const QList<FileType>& save_file_types(SaveKind kind);
// The name filter of the open dialog of descriptions.
QString open_dialog_filter();

// The answer of a save dialog: the name chosen (empty when cancelled) and the 0-based index of
// the file type selected when the dialog was accepted.
struct SaveChoice {
    QString name;
    int type = 0;

    SaveChoice() = default;
    SaveChoice(QString chosen, int type_index = 0) : name(std::move(chosen)), type(type_index) {}
    bool cancelled() const { return name.isEmpty(); }
};

// The picture types of the view.
enum class PictureFormat { Bmp, Png };
// The format a picture is written in: the one its extension names (.bmp or .png, in any case),
// otherwise the type selected in the dialog.
PictureFormat picture_format(const SaveChoice& choice);

// The file types of a chart.
enum class ChartFormat { Png, Svg };
// Likewise: the extension (.png or .svg) decides, otherwise the type selected in the dialog.
ChartFormat chart_format(const SaveChoice& choice);

class DialogProvider {
  public:
    virtual ~DialogProvider() = default;

    // A modal question with the buttons Yes and No; only Yes counts as consent.
    virtual bool ask_yes_no(QWidget* parent, const QString& question) = 0;
    // The open dialog of descriptions, starting at `proposed`; an empty result means cancelled.
    virtual QString open_file_name(QWidget* parent, const QString& proposed) = 0;
    // The save dialog of `kind`, starting at `proposed`: a name typed without extension receives
    // the extension of the type selected, and an existing file is replaced only after the
    // dialog's own confirmation.
    virtual SaveChoice save_file_name(QWidget* parent, const QString& proposed, SaveKind kind) = 0;
    // The standard error box.
    virtual void show_error(QWidget* parent, const QString& message) = 0;
};

// Real message boxes and file dialogs.
class QtDialogProvider : public DialogProvider {
  public:
    bool ask_yes_no(QWidget* parent, const QString& question) override;
    QString open_file_name(QWidget* parent, const QString& proposed) override;
    SaveChoice save_file_name(QWidget* parent, const QString& proposed, SaveKind kind) override;
    void show_error(QWidget* parent, const QString& message) override;
};

// The boxes QtDialogProvider shows, made but not yet run.
// The question: caption "Ambrel", no icon, Yes and No, with No the default (Enter) and the
// answer of Esc or of closing the box: a stray key press never discards anything.
std::unique_ptr<QMessageBox> make_question_box(QWidget* parent, const QString& question);
// The save dialog of `kind` with its types, the first selected.
std::unique_ptr<QFileDialog> make_save_dialog(QWidget* parent, const QString& proposed, SaveKind kind);

// The text of the error box for an unexpected failure of a command.
QString error_text(const std::exception& error);

// The caption of the prompts and error boxes: the application title.
inline constexpr const char* APPLICATION_TITLE = "Ambrel";

} // namespace ambrel::ui

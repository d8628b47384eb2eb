// The window's one way to talk to the user in a modal box: Yes/No prompts, the file dialogs
// and error boxes. The program uses QtDialogProvider; tests script the answers, so no test
// can wait for a person.
#pragma once

#include <QString>

#include <exception>

class QWidget;

namespace ambrel::ui {

// The file-type filters of the save dialog, 1-based as the user sees them.
inline constexpr int DESCRIPTION_FILTER = 1; // "Pith balls", *.bal
inline constexpr int BITMAP_FILTER = 2;      // "Bitmaps", *.bmp

// The name filters of the open and save dialogs (Qt's "Title (*.ext)" form).
QString open_dialog_filters();
QString save_dialog_filters();

class DialogProvider {
  public:
    virtual ~DialogProvider() = default;

    // A modal question with the buttons Yes and No; only Yes counts as consent.
    virtual bool ask_yes_no(QWidget* parent, const QString& question) = 0;
    // The open dialog of descriptions, starting at `proposed`; an empty result means cancelled.
    virtual QString open_file_name(QWidget* parent, const QString& proposed) = 0;
    // The save dialog with the given filter selected; a name typed without extension receives
    // the filter's extension, and an existing file is replaced only after the dialog's own
    // confirmation. An empty result means cancelled.
    virtual QString save_file_name(QWidget* parent, const QString& proposed, int filter) = 0;
    // The standard error box.
    virtual void show_error(QWidget* parent, const QString& message) = 0;
};

// Real message boxes and file dialogs.
class QtDialogProvider : public DialogProvider {
  public:
    bool ask_yes_no(QWidget* parent, const QString& question) override;
    QString open_file_name(QWidget* parent, const QString& proposed) override;
    QString save_file_name(QWidget* parent, const QString& proposed, int filter) override;
    void show_error(QWidget* parent, const QString& message) override;
};

// The text of the error box for an unexpected failure of a command.
QString error_text(const std::exception& error);

// The caption of the prompts and error boxes: the application title.
inline constexpr const char* APPLICATION_TITLE = "Ambrel";

} // namespace ambrel::ui

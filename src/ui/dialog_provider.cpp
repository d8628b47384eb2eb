#include "ui/dialog_provider.h"

#include <QFileDialog>
#include <QMessageBox>

#include <new>

namespace ambrel::ui {

namespace {

const QString DESCRIPTION_FILTER_TEXT = QStringLiteral("Pith balls (*.bal)");
const QString BITMAP_FILTER_TEXT = QStringLiteral("Bitmaps (*.bmp)");

} // namespace

QString open_dialog_filters() {
    return DESCRIPTION_FILTER_TEXT;
}

QString save_dialog_filters() {
    return DESCRIPTION_FILTER_TEXT + QStringLiteral(";;") + BITMAP_FILTER_TEXT;
}

QString error_text(const std::exception& error) {
    if (dynamic_cast<const std::bad_alloc*>(&error))
        return QStringLiteral("Out of memory");
    return QString::fromLocal8Bit(error.what());
}

bool QtDialogProvider::ask_yes_no(QWidget* parent, const QString& question) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(APPLICATION_TITLE), question,
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setEscapeButton(QMessageBox::No); // closing the box counts as No
    return box.exec() == QMessageBox::Yes;
}

QString QtDialogProvider::open_file_name(QWidget* parent, const QString& proposed) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(open_dialog_filters());
    dialog.selectFile(proposed);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

QString QtDialogProvider::save_file_name(QWidget* parent, const QString& proposed, int filter) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({DESCRIPTION_FILTER_TEXT, BITMAP_FILTER_TEXT});
    const bool bitmap = filter == BITMAP_FILTER;
    dialog.selectNameFilter(bitmap ? BITMAP_FILTER_TEXT : DESCRIPTION_FILTER_TEXT);
    dialog.setDefaultSuffix(bitmap ? QStringLiteral("bmp") : QStringLiteral("bal"));
    // A name typed without extension receives the extension of the filter shown.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& chosen) {
        dialog.setDefaultSuffix(chosen == BITMAP_FILTER_TEXT ? QStringLiteral("bmp") : QStringLiteral("bal"));
    });
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    dialog.setOption(QFileDialog::ReadOnly, false);
    dialog.setSizeGripEnabled(true);
    dialog.selectFile(proposed);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

void QtDialogProvider::show_error(QWidget* parent, const QString& message) {
    QMessageBox::critical(parent, QString::fromLatin1(APPLICATION_TITLE), message);
}

} // namespace ambrel::ui

#include "ui/description_document.h"

#include "description/reader.h"
#include "ui/description_file.h"
#include "ui/dialog_provider.h"

#include <QFileInfo>
#include <QPlainTextEdit>

#include <optional>
#include <utility>

namespace ambrel::ui {

namespace {

const QString CHANGED_EXIT_QUESTION = QStringLiteral("Abandon changes and exit?");
const QString CHANGED_OPEN_QUESTION = QStringLiteral("Abandon changes and load another file?");

} // namespace

DescriptionDocument::DescriptionDocument(QPlainTextEdit* editor, DialogProvider& dialogs, QWidget* window,
                                         std::function<void(const std::string&)> say, QObject* parent)
    : QObject(parent), editor_(editor), dialogs_(dialogs), window_(window), say_(std::move(say)) {
    connect(editor_, &QPlainTextEdit::textChanged, this, &DescriptionDocument::text_edited);
}

std::vector<std::string> DescriptionDocument::lines() const {
    return split_lines(editor_->toPlainText().toStdString());
}

void DescriptionDocument::set_current_file(const QString& name) {
    current_file_ = name;
    emit current_file_changed(name);
    emit title_changed();
}

void DescriptionDocument::set_unchanged() {
    changed_ = false;
    emit title_changed();
}

QString DescriptionDocument::title() const {
    QString title = QString::fromLatin1(APPLICATION_TITLE);
    if (from_file_)
        title = QFileInfo(current_file_).fileName() + QStringLiteral(" - ") + title;
    return changed_ ? QLatin1Char('*') + title : title;
}

bool DescriptionDocument::may_replace() {
    return !changed_ || dialogs_.ask_yes_no(window_, CHANGED_OPEN_QUESTION);
}

bool DescriptionDocument::may_abandon() {
    return !changed_ || dialogs_.ask_yes_no(window_, CHANGED_EXIT_QUESTION);
}

bool DescriptionDocument::load(const QString& path) {
    const Result<QStringList> lines = read_description_file(path);
    if (!lines) {
        dialogs_.show_error(window_, open_error_message(path, QString::fromStdString(lines.message())));
        return false;
    }
    editor_->setPlainText(lines.value().join(QLatin1Char('\n')));
    return true;
}

bool DescriptionDocument::open(const QString& path) {
    from_file_ = true;
    set_current_file(path);
    say_("Loading description from file " + path.toStdString());
    return load(path);
}

bool DescriptionDocument::save() {
    // The dialog proposes the file last opened or saved, whichever came later.
    const QString name = dialogs_.save_file_name(window_, current_file_, SaveKind::Description).name;
    if (name.isEmpty())
        return false;
    // The lines of the panel, as the reader sees them: a final line end starts no empty line.
    QStringList lines;
    for (const std::string& line : this->lines())
        lines << QString::fromStdString(line);
    if (const Status written = write_description_file(name, lines); !written) {
        dialogs_.show_error(window_, save_error_message(name, written));
        return false;
    }
    say_("Description saved in file " + name.toStdString());
    changed_ = false;
    from_file_ = true;
    set_current_file(name);
    return true;
}

QString DescriptionDocument::take_startup_file() {
    if (startup_done_ || startup_file_.isEmpty())
        return {};
    // Tried once: a file that cannot be read is reported once, not at every activation that
    // follows the error box.
    startup_done_ = true;
    return startup_file_;
}

void DescriptionDocument::text_edited() {
    if (!changed_) {
        changed_ = true;
        emit title_changed();
    }
    if (!edited_since_read_) {
        edited_since_read_ = true;
        emit became_out_of_date();
    }
}

} // namespace ambrel::ui

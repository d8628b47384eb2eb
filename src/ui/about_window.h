// TForm2, the About window: a fixed text that says what the simulator computes and how,
// including the update equations of the relaxation and of the stability Jacobian.
#pragma once

#include <QStringList>
#include <QWidget>

class QPlainTextEdit;

namespace ambrel::ui {

// The text of the window, line by line.
const QStringList& about_text_lines();

class AboutWindow : public QWidget {
    Q_OBJECT

  public:
    explicit AboutWindow(QWidget* parent = nullptr);

    QPlainTextEdit* Memo1 = nullptr;
};

} // namespace ambrel::ui

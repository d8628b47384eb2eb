// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/jacobian_window.h"

#include "report/jacobian_report.h"
#include "ui/dialog_provider.h"
#include "ui/nedit.h"
#include "ui/window_style.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>

namespace ambrel::ui {

JacobianWindow::JacobianWindow(DialogProvider& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window), dialogs_(dialogs) {
    setObjectName(QStringLiteral("TForm4"));
    setWindowTitle(QStringLiteral("Jacobian matrix"));
    apply_window_font(this);

    Label1 = new QLabel(QStringLiteral("Jacobian matrix for stability analysis (numerical)"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(16, 12);
    Label2 = new QLabel(QStringLiteral("Angle variation (rad)"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->move(16, 44);
    NEJacobian = new TNEdit(this);
    NEJacobian->setObjectName(QStringLiteral("NEJacobian"));
    NEJacobian->set_dialogs(&dialogs_);
    NEJacobian->set_caption(Label2->text()); // its error box names it
    NEJacobian->set_field_type(tipo_campo::real_field);
    NEJacobian->set_panel_real(0.0001L);
    NEJacobian->setGeometry(160, 40, 81, 21);
    CBjanormal = new QCheckBox(QStringLiteral("Plain formatting"), this);
    CBjanormal->setObjectName(QStringLiteral("CBjanormal"));
    CBjanormal->setGeometry(16, 72, 161, 17);
    Label3 = new QLabel(
        QStringLiteral("(The eigenvalues and the verdict follow the matrix; Save... writes it whole)"), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->move(16, 100);
    Button3 = new QPushButton(QStringLiteral("Calculate"), this);
    Button3->setObjectName(QStringLiteral("Button3"));
    Button3->setGeometry(16, 124, 75, 25);
    connect(Button3, &QPushButton::clicked, this, &JacobianWindow::Button3Click);
    Bsave = new QPushButton(QStringLiteral("Save..."), this);
    Bsave->setObjectName(QStringLiteral("Bsave"));
    Bsave->setGeometry(100, 124, 75, 25);
    Bsave->setToolTip(QStringLiteral("Write the last Jacobian whole to a CSV file: the matrix, the stability "
                                     "coordinates' matrix, the eigenvalues and their errors"));
    Bsave->setEnabled(false);
    connect(Bsave, &QPushButton::clicked, this, &JacobianWindow::BsaveClick);
    auto* stop = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(stop, &QShortcut::activated, this, [this] {
        if (host_.stop)
            host_.stop();
    });
    for (QLabel* label : {Label1, Label2, Label3})
        label->adjustSize();
    int width = 300;
    for (QLabel* label : {Label1, Label2, Label3})
        width = std::max(width, label->x() + label->width() + 16);
    resize(width, 164);
}

void JacobianWindow::Button3Click() {
    if (NEJacobian->take_refusal())
        return;
    JacobianSettings settings;
    settings.angle_variation = NEJacobian->panel_real();
    JacobianPrint print;
    print.plain = CBjanormal->isChecked();
    print.cut_mark = WINDOW_CUT_MARK;
    if (host_.run)
        host_.run(settings, print);
}

void JacobianWindow::set_saveable(bool saveable) {
    Bsave->setEnabled(saveable);
}

void JacobianWindow::set_running(bool running) {
    Button3->setEnabled(!running);
}

QString JacobianWindow::angle_variation_caption() const {
    return NEJacobian->caption();
}

void JacobianWindow::BsaveClick() {
    const JacobianResult* result = host_.last_result ? host_.last_result() : nullptr;
    if (!result || !result->computed)
        return;
    const SaveChoice choice = dialogs_.save_file_name(this, QStringLiteral("jacobian.csv"), SaveKind::Csv);
    if (choice.cancelled())
        return;
    const Status written = save_jacobian_csv(QFile::encodeName(choice.name).toStdString(), *result);
    if (!written)
        dialogs_.show_error(this, QString::fromStdString(written.message()));
}

} // namespace ambrel::ui

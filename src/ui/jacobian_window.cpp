#include "ui/jacobian_window.h"

#include "ui/dialog_provider.h"
#include "ui/nedit.h"
#include "ui/window_style.h"

#include <QCheckBox>
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
    Label3 = new QLabel(QStringLiteral("(Copy the matrix and compute its eigenvalues)"), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->move(16, 100);
    Button3 = new QPushButton(QStringLiteral("Calculate"), this);
    Button3->setObjectName(QStringLiteral("Button3"));
    Button3->setGeometry(16, 124, 75, 25);
    connect(Button3, &QPushButton::clicked, this, &JacobianWindow::Button3Click);
    auto* stop = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(stop, &QShortcut::activated, this, [this] {
        if (host_.stop)
            host_.stop();
    });
    for (QLabel* label : {Label1, Label2, Label3})
        label->adjustSize();
    resize(std::max(300, Label1->x() + Label1->width() + 16), 164);
}

void JacobianWindow::Button3Click() {
    if (NEJacobian->take_refusal())
        return;
    JacobianSettings settings;
    settings.time_step = host_.time_step ? host_.time_step() : settings.time_step;
    settings.angle_variation = NEJacobian->panel_real();
    settings.plain = CBjanormal->isChecked();
    if (host_.run)
        host_.run(settings);
}

} // namespace ambrel::ui

// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/about_window.h"

#include "ambrel_version.h"

#include "ui/window_style.h"

#include <QTextBrowser>
#include <QVBoxLayout>

namespace ambrel::ui {

namespace {

// A paragraph, a heading and a block of equations, each line of the block as written.
QString paragraph(const char* text) {
    return QStringLiteral("<p>%1</p>").arg(QString::fromUtf8(text).toHtmlEscaped());
}
QString heading(const char* text) {
    return QStringLiteral("<h3>%1</h3>").arg(QString::fromUtf8(text).toHtmlEscaped());
}
QString equations(std::initializer_list<const char*> lines) {
    QStringList escaped;
    for (const char* line : lines)
        escaped << QString::fromUtf8(line).toHtmlEscaped();
    return QStringLiteral("<pre>%1</pre>").arg(escaped.join(QLatin1Char('\n')));
}
// A numbered step of a method.
QString step(const char* number, const char* text) {
    return QStringLiteral("<p><b>%1</b> %2</p>")
        .arg(QLatin1String(number), QString::fromUtf8(text).toHtmlEscaped());
}

} // namespace

QString about_html() {
    QString html;
    html += QStringLiteral("<h2>Ambrel</h2>");
    html += paragraph("Electrostatics of charged spheres on strings, by the Ambrel developers");
    html += QStringLiteral("<p><b>Version " AMBREL_VERSION "</b>, built in " AMBREL_BUILD_MONTH "</p>");
    html += paragraph(
        "The main function of the Ambrel program is the simulation of a set of pith balls suspended "
        "from strings, with fixed potentials on them. It can also be used as a capacitance "
        "calculator.");
    html += paragraph(
        "The balls are approximated as point charges, or as groups of charges placed at the corners "
        "of tetrahedrons, octahedrons, cubes, icosahedrons, dodecahedrons or triacontahedrons. Also "
        "available are lines, squares and toroids made of point charges, and a ball with a "
        "suspension line made with a string of balls.");
    html += paragraph(
        "Each ball is specified by the coordinates of the suspension point, the length of the string, "
        "the horizontal and vertical rotation angles, the radius and the mass. For composite "
        "objects the radius of the balls can be specified too; if it is not given, an optimized "
        "default value is used, which produces the right capacitance for an insulated ball, "
        "4 pi e0 x radius.");
    html += paragraph(
        "For the triacontahedron, the last parameter, if present, makes all the balls identical. The "
        "default is different balls, that have identical charges in an insulated ball. If a "
        "negative value is given, the balls are identical, with the optimized radius for the "
        "correct capacitance of an insulated ball.");
    html +=
        paragraph("Each ball belongs to a conductor, which can have a specified potential. A conductor whose "
                  "voltage is not assigned is at 0 V. Fixed balls are specified by setting the line length "
                  "to zero.");
    html +=
        paragraph("For the squares, the default radius of the balls gives the capacitance of a square sheet, "
                  "taken as 0.4081084689 pF for a 1 x 1 cm sheet. If the option \"Use squares for flat "
                  "objects\" is set, the "
                  "balls have the capacitance of a square sheet with uniform charge density, which gives a "
                  "somewhat smaller capacitance for the 1 x 1 cm sheet (~0.402 pF), and if two squares are "
                  "aligned vertically the elastance between uniformly charged square plates is used (Reitan, "
                  "JAP 1959). The variations of the squares, elements s, q, f, g, x, y and z, use the same "
                  "calculation modes. This allows the program to calculate with reasonable precision the "
                  "capacitances between flat plates aligned vertically.");
    html += paragraph(
        "The strings are rigid, and rotate horizontally and vertically in their supports. (This may "
        "lead to artifacts such as rotating solutions when asymmetric objects are present.) "
        "Recalculations start from the current position, and may be used to refine a solution.");
    html += paragraph(
        "The solution can be perturbed with an initial random error in the angles. This is useful to "
        "test the stability of a solution.");
    html +=
        paragraph("The capacitances between the conductors can be calculated at the end of the analysis, "
                  "allowing the use of the program as a general capacitance calculator. Especially useful "
                  "for this are the flat squares, the flat squares with corner links (f, g) and the "
                  "programmable flat squares (x, y, z), which can be used to build any structure.");
    html +=
        paragraph("By default the program does not calculate the charge distribution of large assemblies at "
                  "once, unless the corresponding option is set. This allows fast editing and visualization "
                  "of the system.");

    html += heading("Simulation method");
    html +=
        paragraph("The positions of the objects are given by horizontal and vertical angles, Ax and Az. Each "
                  "object has a mass m, a radius r and a string length L, fixed at the point x0, y0, z0. The "
                  "cycle below is repeated to find a fixed-point solution:");
    html += step("1)", "The positions of the objects are calculated:");
    html += equations({"x=x0+L sin Az cos Ax", "z=z0-L cos Az"});
    html += step("2)", "The elastance matrix is calculated from the geometry.");
    html += step("3)", "The capacitance matrix is calculated as the inverse of the elastance matrix.");
    html += step("4)", "The charges are calculated by Q=[C]V.");
    html += step("5)", "The forces on the objects are calculated: the electrical forces by adding "
                       "QiQj/(4Pie0dij^2) for all of them, and the gravitational force by mg. They are "
                       "decomposed in three directions as fx, fy, fz.");
    html += step("6)", "The rotational forces are calculated (for simple balls):");
    html += equations({"frx=-fx sin Ax+fy cos Ax", "frz=(fx cos Ax+fy sin Ax) cos Az+fz sin Az"});
    html +=
        step("7)", "The angles are updated, assuming acceleration starting from rest and small movement:");
    html += equations({"Ax(t0+dt)=Ax(t0)+dt^2/(2 m L)frx cosec Az", "Az(t0+dt)=Az(t0)+dt^2/(2 m L)frz"});
    html +=
        paragraph("Singularities are avoided by limiting m and cosec Az. Objects with L=0 don't move. The "
                  "simulation may produce apparently strange movements and becomes unstable with a large dt, "
                  "consequences of the approximation in the angle update equations.");

    html += heading("Stability");
    html +=
        paragraph("The update equations are in the form A(t0+dt)=A(t0)+dt F(A), the forward Euler "
                  "approximation of the solution of dA/dt=F(A), a system of nonlinear state equations. The "
                  "eigenvalues of the Jacobian matrix of F(A) can be used to verify the stability of a "
                  "solution. The Jacobian matrix shall be generated after a precise convergence to a "
                  "solution; it can be copied to a mathematical program that computes its eigenvalues.");
    html += paragraph(
        "Eigenvalues with negative real part mean that the solution is stable. One or more with "
        "positive real part mean that the solution is unstable. Multiple zero eigenvalues also mean "
        "instability. The calculation may be numerically problematic: the variation used in the "
        "numerical calculation of the partial derivatives can be changed to verify that the "
        "eigenvalues remain the same.");
    html += paragraph(
        "There are two eigenvalues for each sphere or object. The functions derived are arranged in "
        "the Jacobian matrix in this sequence, for each object i:");
    html += equations({"f(2i-1)=dt/(2 m L)frx cosec Az", "f(2i)=dt/(2 m L)frz"});
    html += paragraph(
        "Note that dt scales the Jacobian matrix and should scale the eigenvalues too. Changing its "
        "value is useful to evaluate the precision of the calculation.");

    html += heading("True time-domain simulation");
    html += paragraph(
        "The program can also consider the speed of the movement, in a true time-domain simulation. "
        "The final solutions are the same, but the method usually requires a smaller time step to "
        "remain stable. The Jacobian matrix is not implemented for this case. The only change is in "
        "the update equations. Each object has two angles, Ax and Az, and two angular speeds Ax' "
        "and Az':");
    html += step("7)", "The angular speeds and the angles are updated:");
    html += equations({"Ax'(t0+dt)=Ax'(t0)+dt/m(frx/L cosec Az - a Ax'(t0))",
                       "Az'(t0+dt)=Az'(t0)+dt/m(frz/L - a Az'(t0))", "Ax(t0+dt)=Ax(t0)+dt Ax'(t0)",
                       "Az(t0+dt)=Az(t0)+dt Az'(t0)"});
    html += paragraph(
        "If the option \"Correct rotation forces\" is set, the composite objects have the forces on "
        "their balls added considering their positions in the object, with equivalent forces at the "
        "centres of the objects calculated as frx and frz. Otherwise all the forces are calculated "
        "as in the case of simple balls and concentrated at the centres of the objects. The results "
        "are similar, but imprecise.");
    return html;
}

AboutWindow::AboutWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("TForm2"));
    setWindowTitle(QStringLiteral("About"));
    apply_window_font(this);
    Memo1 = new QTextBrowser(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setHtml(about_html());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Memo1);
    resize_outer(this, 595, 501);
}

} // namespace ambrel::ui

#include "ui/about_window.h"

#include "ui/window_style.h"

#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace ambrel::ui {

const QStringList& about_text_lines() {
    static const QStringList lines{
        "Ambrel",
        "Electrostatics of charged spheres on strings, by the Ambrel developers",
        "Version " AMBREL_VERSION ", " AMBREL_BUILD_MONTH,
        "",
        "The Ambrel program as main function the simulation of a set of pith balls suspended from strings, "
        "with fixed",
        "potentials on them. It can also be used as a capacitance calculator.",
        "The balls are approximated as point charges, or as groups of charges placed at the corners of",
        "tetrahedrons, octahedrons, cubes, icosahedrons, dodecahedrons, or triacontahedrons.",
        "Also available are lines, squares, and toroids made of point charges, and a ball with a suspension "
        "line",
        "made with a string of balls.",
        "Each ball is specified by the coordinates of the suspension point, the length of the string, "
        "horizontal",
        "and vertical rotation angles, radius and mass.",
        "For composite objects, the radius of the balls can be  specified too. If not given an optimized "
        "default",
        "value is used, which produces the right capacitance for an insulated ball, 4 pi e0 x radius.",
        "For the triacontahedron, the last parameter, if present, makes all the balls identical. The default",
        "is different balls, that will have identical charges in an insulated ball. If a negative value is",
        "given, the balls will be identical with the optimized radius for the correct capacitance of an "
        "insulated ball.",
        "Each ball belongs to a conductor, which can have a specified potential. If a voltage is not "
        "assigned the",
        "conductor is at 0 V.",
        "Fixed balls can be specified by setting the line length to zero.",
        "For the squares, the default radius of the balls results in the capacitance of a square sheet, "
        "assumed as",
        "0.4081084689 pF for an 1x1 cm sheet. If the option of use squares is set, the balls have the "
        "capacitance of",
        "a square sheet with uniform charge density, resulting is somewhat smaller capacitance for the 1x1 "
        "cm sheet",
        "(~0.402 pF), and if two squares are aligned vertically the elastance between uniformly charged "
        "square plates",
        "is used (Reitan, JAP 1959).",
        "The variations of the squares, elements s, q, f, g, x, y, and z, use the same calculation modes.",
        "This allows the program to calculate with reasonable precision the capacitances between flat plates "
        "aligned vertically.",
        "The strings are rigid, and rotate horizontally and vertically in their supports.",
        "(This may lead to artifacts as rotating solutions when asymmetric objects are present.)",
        "Recalculations start from the current position, and may be used to refine a solution.",
        "It is possible to perturbate the solution with an initial random error in the angles. This is "
        "useful to",
        "test the stability of a solution.",
        "The capacitances between the conductors can be calculated at the end of the analysis, allowing the",
        "use of the program as a general capacitance calculator. For this are specially useful the flat "
        "squares,",
        "flat squares with corner links (f, g), and the programmable flat squares (x, y, z), which can be "
        "used to",
        "build any structure.",
        "By default the program does not calculate immediately the charge distribution in large assemblies, "
        "unless the",
        "corresponding option is set. This allows fast edition and visualization of the system.",
        "",
        "Simulation method:",
        "The positions of the objects are given by horizontal and vertical angles, Ax and Az. Each object "
        "has a mass m,",
        "a radius r, and a string lenght L, fixed at the point x0, y0, z0.",
        "The cycle below is repeated to find a fixed point solution:",
        "1) The positions of the objects are calculated:",
        "   x=x0+L sin Az cos Ax",
        "   z=z0-L cos Az",
        "2) The elastance matrix is calculated from the geometry.",
        "3) The capacitance matrix is calculated as the inverse of the elastance matrix.",
        "4) The charges are calculated by Q=[C]V",
        "5) The forces on the objects are calculated, electrical forces by adding QiQj/(4Pie0dij^2) for all "
        "them",
        "   and the gravitational force by mg. They are decomposed in three directions as fx, fy, fz.",
        "6) The rotational forces are calculated (for simple balls):",
        "   frx=-fx sin Ax+fy cos Ax",
        "   frz=(fx cos Ax+fy sin Ax) cos Az+fz sin Az",
        "7) The angles are updated, assuming acceleration starting from rest and small movement.",
        "   Ax(t0+dt)=Ax(t0)+dt^2/(2 m L)frx cosec Az",
        "   Az(t0+dt)=Az(t0)+dt^2/(2 m L)frz",
        "Singularities are avoided by limiting m and cosec Az. Objects with L=0 don't move.",
        "The simulation may produce apparently strange movements and becomes unstable with large dt, "
        "consequences",
        "of the approximation in the angle update equations.",
        "",
        "Stability:",
        "The update equations are in the form A(t0+dt)=A(t0)+dt F(A), forward Euler approximation for the "
        "solution",
        "of dA/dt=F(A), system of nonlinear state equations.",
        "The eigenvalues of the Jacobian matrix of F(A) can be used to verify the stability of a solution.",
        "The Jacobian matrix shall be generated after a precise convergence to a solution, and copied to",
        "a mathematical manipulations program external to the simulator that can compute its eigenvalues.",
        "Eigenvalues with negative real part mean that the solution is stable. One or more with positive "
        "real part",
        "mean that the solution is unstable. Multiple zero eigenvalues also mean instability.",
        "The calculation may be numerically problematic. The error used in the numerical calculation of the",
        "parcial derivatives can be changed to verify if the eigenvalues remain the same.",
        "There are two eigenvalues for each sphere or object. The functions derived are arranged",
        "in the Jacobian matrix in the sequence, for each object i:",
        "   f(2i-1)=dt/(2 m L)frx cosec Az",
        "   f(2i)=dt/(2 m L)frz",
        "Note that dt scales the Jacobian matrix and should scale the eigenvalues too. Changing its value is",
        "useful to evaluate the precision of the calculation.",
        "",
        "True time-domain simulation:",
        "The program can also consider the speed of the movement in the simulation, in a true time-domain",
        "simulation. The final solutions are the same, but the method usually requires a smaller time step",
        "to remain stable. The Jacobian matrix is not implemented for this case. The only change is in the",
        "opdate equations. Each object has two angles, Ax and Az, and two angular speeds Ax' and Az':",
        "",
        "7) Ax'(t0+dt)=Ax'(t0)+dt/m(frx/L cosec Az - a Ax'(t0))",
        "   Az'(t0+dt)=Az'(t0)+dt/m(frz/L - a Az'(t0)",
        "   Ax(t0+dt)=Ax(t0)+dt Ax'(t0)",
        "   Az(t0+dt)=Az(t0)+dt Az'(t0)",
        "",
        "If the option of correct rotation forces is set, the composite objects have the forces in the balls",
        "added considering their positions in the object, with equivalent forces in the centers of the "
        "objects",
        "calculated as frx and frz. Otherwise all the forces are calculated as in the case of simple balls "
        "and",
        "concentrated at the centers of the objects. The results are similar, but imprecise.",
        "",
    };
    return lines;
}

AboutWindow::AboutWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("TForm2"));
    setWindowTitle(QStringLiteral("About"));
    apply_window_font(this);
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setPlainText(about_text_lines().join(QLatin1Char('\n')));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Memo1);
    resize_outer(this, 595, 501);
}

} // namespace ambrel::ui

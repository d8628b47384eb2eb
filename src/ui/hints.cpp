// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/hints.h"

#include <QHash>
#include <QWidget>

namespace ambrel::ui {

QString option_hint(Option option) {
    switch (option) {
    case Option::DistancesCenters:
        return QStringLiteral(
            "Initialize and Calculate list the distances between the spheres' centres (cm)");
    case Option::DistancesSurfaces:
        return QStringLiteral(
            "Initialize and Calculate list the distances between the spheres' surfaces (cm)");
    case Option::ShowErrors:
        return QStringLiteral("Calculate writes a line per step with the largest rotational force (uN)");
    case Option::ShowCharges:
        return QStringLiteral("Initialize and Calculate report the charge of every sphere and object (nC)");
    case Option::ShowForces:
        return QStringLiteral("Initialize and Calculate report the forces on every sphere (uN)");
    case Option::ShowEfield:
        return QStringLiteral("Initialize and Calculate report the electric field at every sphere (kV/cm)");
    case Option::ShowTangentForces:
        return QStringLiteral(
            "Calculate reports the rotational (tangent) forces on the strings at its end (uN)");
    case Option::IdentifyByNumbers:
        return QStringLiteral("The view labels the spheres by their numbers instead of their names");
    case Option::RotateObjects:
        return QStringLiteral("Composite objects turn with their string's angles; off: they keep their own "
                              "orientation");
    case Option::ShadedBalls:
        return QStringLiteral("The view draws the spheres shaded, as balls");
    case Option::AlwaysCalculate:
        return QStringLiteral("Initialize computes the charges also of systems of more than 500 spheres "
                              "(File > Open switches it off)");
    case Option::UseSquares:
        return QStringLiteral("The spheres of flat objects stand for squares of uniform charge, and two "
                              "squares one above the other use the elastance of square plates");
    case Option::SpeedSimulation:
        return QStringLiteral("Calculate follows the angular speeds in true time, with the damping of the "
                              "Damping field");
    case Option::CorrectRotationForces:
        return QStringLiteral("The rotational forces of composite objects add each sphere's force at its own "
                              "place; off: all at the object's centre");
    case Option::Identify:
        return QStringLiteral("The view labels every sphere");
    }
    return {};
}

namespace {

const QHash<QString, QString>& field_hints() {
    static const QHash<QString, QString> hints{
        // The run's fields of the main window.
        {QStringLiteral("CBrandom"),
         QStringLiteral("Calculate first turns every angle by a random amount up to "
                        "the maximum random error: a test of a solution's stability")},
        {QStringLiteral("NEerro"), QStringLiteral("The largest random change of each angle at the start of a "
                                                  "run with random error, in degrees")},
        {QStringLiteral("NEdelta"),
         QStringLiteral("The time step dt of the angles' update, in seconds: larger "
                        "moves faster, too large becomes unstable")},
        {QStringLiteral("NEtentativas"),
         QStringLiteral("The most steps of a Calculate run (a count, no unit)")},
        {QStringLiteral("NEtol"), QStringLiteral("A run has converged once the largest rotational force is "
                                                 "below this, in uN (micronewtons)")},
        // The Jacobian and the voltage sweep.
        {QStringLiteral("NEJacobian"),
         QStringLiteral("The change of each angle in the numerical derivatives of "
                        "the Jacobian, in radians")},
        {QStringLiteral("CBjanormal"), QStringLiteral("Write the matrix as plain rows of numbers, without "
                                                      "brackets")},
        {QStringLiteral("CBconductor"), QStringLiteral("The conductor whose voltage the sweep changes")},
        {QStringLiteral("CBobject"),
         QStringLiteral("The object whose deflection (degrees from the vertical) the "
                        "chart draws, or all of them")},
        {QStringLiteral("CBvertical"), QStringLiteral("The column of the table drawn upwards")},
        {QStringLiteral("CBhorizontal"), QStringLiteral("The column of the table drawn across")},
        {QStringLiteral("NEstart"), QStringLiteral("The conductor's voltage at the first point, in volts")},
        {QStringLiteral("NEstop"), QStringLiteral("The voltage the sweep ends at (included when a step lands "
                                                  "on it), in volts")},
        {QStringLiteral("NEstep"), QStringLiteral("The change of the voltage from one point to the next, in "
                                                  "volts")},
        // Four balls from one point, five balls in a pentagon.
        {QStringLiteral("NEr"), QStringLiteral("The radius of each ball, in cm")},
        {QStringLiteral("NEL"),
         QStringLiteral("The length of each string, from the common point to the ball's "
                        "centre, in cm")},
        {QStringLiteral("NEa1"), QStringLiteral("The angle of balls 1 and 3 from the vertical, in degrees")},
        {QStringLiteral("NEa2"), QStringLiteral("The angle of balls 2 and 4 from the vertical, in degrees")},
        {QStringLiteral("NEV"), QStringLiteral("The voltage of the balls, in volts")},
        {QStringLiteral("NEm"), QStringLiteral("The mass of one ball, in grams")},
        {QStringLiteral("NE5r"), QStringLiteral("The radius of each ball, in cm")},
        {QStringLiteral("NE5x"), QStringLiteral("The gap between the surfaces of neighbouring balls, in cm")},
        {QStringLiteral("NE5L"), QStringLiteral("The length of each string, to the ball's centre, in cm")},
        {QStringLiteral("NE5m"), QStringLiteral("The mass of one ball, in grams")},
        {QStringLiteral("NE5d"), QStringLiteral("The horizontal distance of each string's support from the "
                                                "centre, in cm")},
        // The pith-ball electroscope.
        {QStringLiteral("Emb"), QStringLiteral("The mass of one ball, in grams")},
        {QStringLiteral("Emf"), QStringLiteral("The mass of one suspension line, in grams (half of it is "
                                               "counted at the ball)")},
        {QStringLiteral("EL"),
         QStringLiteral("The length of the suspension line from its support to the ball's "
                        "centre, in cm")},
        {QStringLiteral("Ed"),
         QStringLiteral("The horizontal distance of each line's support from the centre, "
                        "in cm")},
        {QStringLiteral("Er"), QStringLiteral("The radius of each ball, in cm")},
        {QStringLiteral("Ex"),
         QStringLiteral("The gap between the balls' surfaces that Calculate reports on, "
                        "in cm")},
        {QStringLiteral("Ex1"), QStringLiteral("The table's first gap between the balls' surfaces, in cm")},
        {QStringLiteral("Ex2"), QStringLiteral("The table's last gap between the balls' surfaces, in cm")},
        {QStringLiteral("Edx"),
         QStringLiteral("The step of the gap from one row of the table to the next, in "
                        "cm")},
        {QStringLiteral("CB3"), QStringLiteral("Also report three balls in a triangle at the same gap")},
        {QStringLiteral("CB4"), QStringLiteral("Also report four balls in a square at the same gap")},
        {QStringLiteral("CB5"), QStringLiteral("Also report five balls in a pentagon at the same gap")},
    };
    return hints;
}

// The main window's labels, which name their fields by place, not by name.
const QHash<QString, QString>& main_labels() {
    static const QHash<QString, QString> labels{{QStringLiteral("Label1"), QStringLiteral("NEerro")},
                                                {QStringLiteral("Label2"), QStringLiteral("NEdelta")},
                                                {QStringLiteral("Label3"), QStringLiteral("NEtentativas")},
                                                {QStringLiteral("Label5"), QStringLiteral("NEtol")}};
    return labels;
}

} // namespace

QString field_hint(const QString& name) {
    return field_hints().value(name);
}

void add_field_hints(QWidget* window) {
    for (QWidget* child : window->findChildren<QWidget*>()) {
        if (!child->toolTip().isEmpty())
            continue;
        QString name = child->objectName();
        if (name.startsWith(QLatin1String("Label_")))
            name = name.mid(6); // a calculator's label: its field's tip
        else if (window->objectName() == QLatin1String("TForm1") && main_labels().contains(name))
            name = main_labels().value(name);
        const QString hint = field_hint(name);
        if (!hint.isEmpty())
            child->setToolTip(hint);
    }
}

} // namespace ambrel::ui

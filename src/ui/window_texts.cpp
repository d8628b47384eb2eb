// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/window_texts.h"

#include "description/element_kinds.h"

namespace ambrel::ui {

namespace {

QString count_text(int n, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

} // namespace

const QStringList& command_summary_lines() {
    static const QStringList lines = [] {
        QStringList summary{"Commands in the upper panel:"};
        for (const ElementKind& kind : element_kinds())
            summary << QString::fromStdString(element_line_summary(kind));
        summary << "* Comment"
                << ".V Conductor Voltage"
                << ".Q Conductor Charge (nC): an isolated conductor"
                << ".X  5 comments below determine the shape of element x *x...x"
                << ".Y 10 comments below determine the shape of element y *x........x"
                << ".Z 15 comments below determine the shape of element z *x.............x"
                << "Units in cm, degrees, grams and volts."
                << "";
        return summary;
    }();
    return lines;
}

QString initialized_text(const InitializeResult& result, const SystemModel& model) {
    if (!result.read_status)
        return QStringLiteral("Reading stopped: see the output panel");
    QString text = QStringLiteral("Initialized: ") + count_text(model.sphere_count, "sphere", "spheres") +
                   QStringLiteral(" in ") + count_text(model.object_count, "object", "objects") +
                   QStringLiteral(", ") + count_text(model.conductor_count, "conductor", "conductors");
    if (!result.charges_computed)
        text += QStringLiteral(", charges not computed");
    if (!result.warnings.empty())
        text += QStringLiteral(", ") +
                count_text(static_cast<int>(result.warnings.size()), "warning", "warnings") +
                QStringLiteral(": see the marked lines");
    return text;
}

QString run_end_text(const RelaxationResult& result) {
    return QString::fromStdString(describe_run_end(result));
}

QString equilibrium_end_text(const EquilibriumResult& result) {
    return QString::fromStdString(describe_equilibrium_end(result));
}

QString command_end_text(CommandController::Command command, bool failed, const QString& before,
                         const CommandController& commands, const SweepResult& sweep) {
    using Command = CommandController::Command;
    switch (command) {
    case Command::Initialize:
        if (failed)
            break;
        return commands.initialize_result().stopped
                   ? QStringLiteral("Stopped: charges not computed")
                   : initialized_text(commands.initialize_result(), commands.session().model);
    case Command::Calculate:
        return failed ? QStringLiteral("Calculation failed") : run_end_text(commands.last_run());
    case Command::Equilibrium:
        return failed ? QStringLiteral("Search failed") : equilibrium_end_text(commands.equilibrium_result());
    case Command::Jacobian:
        // A finished Jacobian says so; the words of an earlier run no longer describe the window.
        if (commands.jacobian_result()->stopped)
            return QStringLiteral("Stopped");
        if (!failed)
            return QStringLiteral("Ready");
        break;
    case Command::Capacitances:
        break;
    case Command::Sweep:
        if (failed)
            return QStringLiteral("Sweep failed");
        return static_cast<int>(sweep.points.size()) < sweep.planned ? QStringLiteral("Sweep stopped")
                                                                     : QStringLiteral("Sweep done");
    }
    return before;
}

} // namespace ambrel::ui

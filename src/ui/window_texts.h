// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's own texts: the summary of the description language the output panel starts
// with, and the status bar's words at the end of each command.
#pragma once

#include "model/system_model.h"
#include "solver/equilibrium.h"
#include "solver/initialize.h"
#include "solver/relaxation.h"
#include "solver/sweep.h"
#include "ui/command_controller.h"

#include <QString>
#include <QStringList>

namespace ambrel::ui {

// The initial content of the output panel: a summary of the description language.
const QStringList& command_summary_lines();

// The status bar's words for the way a run ended.
QString run_end_text(const RelaxationResult& result);
// The status text at the end of Find equilibrium.
QString equilibrium_end_text(const EquilibriumResult& result);
// The status bar's words for the model an Initialize has read.
QString initialized_text(const InitializeResult& result, const SystemModel& model);
// The status bar's words at the end of `command` (`before`: those it replaced, which stay where
// the command has nothing to say); `sweep`: the Sweep window's points.
QString command_end_text(CommandController::Command command, bool failed, const QString& before,
                         const CommandController& commands, const SweepResult& sweep);

} // namespace ambrel::ui

// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The text of the Jacobian command and of a stability analysis: the lines of the output panel
// (the update law's matrix, the eigenvalues with their errors and the verdict they allow, and why
// nothing was computed) and the CSV file of a computed Jacobian. The numbers come from
// results/stability_result.h; nothing here computes them.
#pragma once

#include "model/output_sink.h"
#include "model/status.h"
#include "results/stability_result.h"

#include <string>

namespace ambrel {

// How a host prints a Jacobian: its own settings, not the computation's.
struct JacobianPrint {
    bool plain = false; // "Plain formatting": the matrix without brackets
    // Only the verdict line: no matrix, no eigenvalues (the equilibrium finder's last word).
    bool verdict_only = false;
    // Ends a matrix row cut to the panel's line length; each host says there how to get the whole
    // matrix (the window's Save, ambrel-batch's --jacobian-out).
    std::string cut_mark = " ...(cut)";
};

// The Jacobian command's report of its result, after it: why nothing was computed, or the matrix
// (unless print.verdict_only), then the eigenvalues and the verdict (report_stability), or that
// no object moves.
void report_jacobian(OutputSink& out, const JacobianResult& result, const JacobianPrint& print);

// The lines of a Jacobian that computed nothing: the time-domain law has none; the system has more
// than `most` objects; Stop came before its last evaluation.
void report_jacobian_speed_simulation(OutputSink& out);
void report_jacobian_too_many_objects(OutputSink& out, int objects, int most);
void report_jacobian_stopped(OutputSink& out);

// "Jacobian matrix (error h):" and the update law's matrix of `result`, bracketed or plain; a row
// longer than a line of the panel is cut to end with the print's cut mark.
void report_jacobian_matrix(OutputSink& out, const JacobianResult& result, const JacobianPrint& print);
// A system whose objects are all fixed has no eigenvalues to examine.
void report_no_movable_object(OutputSink& out);

// Writes the eigenvalues of a stability analysis (unless print.verdict_only) and the verdict they
// allow (stability_of): "Not an equilibrium" when the residual is above the tolerance (uN), else
// "Stable", "Unstable" or "Undecided" with what may decide it (h: the step of the differences).
void report_stability(OutputSink& out, const StabilityAnalysis& analysis, Real residual_uN, Real tolerance_uN,
                      Real h, const JacobianPrint& print);

// The leading N x N block of a row-major matrix with `stride` columns. A row longer than a line
// of the panel is cut to end with `cut_mark`.
void print_matrix_bracketed(OutputSink& out, int n, const Real* matrix, int stride,
                            const std::string& cut_mark = {});
void print_matrix_plain(OutputSink& out, int n, const Real* matrix, int stride,
                        const std::string& cut_mark = {});

// The CSV text of a computed Jacobian, values in 1/s, each in the shortest text that reads back
// as the same extended value; each section's columns are named by a row of kind "columns":
//   kind,name,values (1/s)
//   columns,update law,Ax 1,Az 1,...,Ax n,Az n
//   update law,Ax 1,<N entries>                 N rows: the printed matrix
//   columns,stability,Y 1,X 1,...,Ax k,Az k
//   stability,Y 1,<m entries>                   m rows: the extrapolated matrix of the motion in
//                                                the stability coordinates of the movable objects
//   columns,eigenvalue,real,imaginary,error
//   eigenvalue,1,<real>,<imaginary>,<error>     its m eigenvalues, largest real part first
std::string jacobian_csv(const JacobianResult& result);
// Writes it through a temporary file and a rename; "cannot write PATH: reason" on failure.
Status save_jacobian_csv(const std::string& path, const JacobianResult& result);

} // namespace ambrel

// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The capacitance matrix between conductors, condensed from the capacitance matrix between spheres,
// its checks and its CSV file.
//
// The Maxwell (short-circuit) matrix: CC[a][b] = sum of C[j][l] over the spheres j of conductor a
// and l of conductor b, the charge on a per volt on b with every other conductor at 0 V. The
// mutual (circuit) form: M[a][a] = C(a, infinity), the row sum of CC, and M[a][b] = -CC[a][b], the
// capacitance between a and b, for a != b. Values in pF.
//
// The CSV file (one header row, both forms, "." decimals, every value in the shortest text that
// reads back as the same extended value (format_shortest, up to 21 digits), LF line ends,
// conductor names quoted as RFC 4180 says when they hold a comma, a quote or a blank, or are
// empty):
//   form,conductor,<name 1>,...,<name k>
//   maxwell,<name a>,CC[a][1],...,CC[a][k]      k rows, a = 1..k
//   mutual,<name a>,M[a][1],...,M[a][k]         k rows, a = 1..k
#pragma once

#include "model/output_sink.h"
#include "model/status.h"
#include "model/system_model.h"
#include "model/units.h"
#include "physics/evaluation.h"
#include "text/csv_file.h"

#include <string>
#include <vector>

namespace ambrel {

// The capacitance coefficients between the conductors of a system, conductors numbered 1..size()
// as in the model.
struct ConductorCapacitances {
    std::vector<std::string> names; // conductor a is names[a - 1]
    // CC row by row in units of 4 pi e0 m, the unit of the sphere matrix: the sums themselves, so
    // that every value in pF is one product away from them, the same in the report and in the file.
    std::vector<Real> sums;

    int size() const { return static_cast<int>(names.size()); }
    const std::string& name(int a) const { return names[static_cast<std::size_t>(a - 1)]; }
    // CC[a][b] in units of 4 pi e0 m.
    Real coefficient(int a, int b) const {
        return sums[static_cast<std::size_t>(a - 1) * names.size() + static_cast<std::size_t>(b - 1)];
    }
    // The row sum of CC, b = 1..k in order, in units of 4 pi e0 m.
    Real row_sum(int a) const;

    // The Maxwell coefficient CC[a][b] (pF).
    Real maxwell_pF(int a, int b) const;
    // The mutual form M[a][b] (pF): C(a, infinity) on the diagonal, -CC[a][b] off it.
    Real mutual_pF(int a, int b) const;
};

// 4 pi e0 m in pF.
inline constexpr Real PF_PER_UNIT = FOUR_PI_E0 * 1e12L;

// The message when the matrix between spheres of the last build cannot be formed.
inline constexpr const char* CAPACITANCE_NOT_COMPUTED =
    "The capacitance matrix of this system has not been computed.";

// Condenses the matrix between spheres of the workspace's last build (formed first when it is not
// yet: a full inverse, the costly part) into CC for every conductor of the model, in order. Spheres
// left out of the matrix count 0; a system without spheres has CC = 0. Fails with
// CAPACITANCE_NOT_COMPUTED when the last build gave no matrix.
Result<ConductorCapacitances> condense_capacitance_matrix(const SystemModel& model, EvaluationWorkspace& ws);

// Relative tolerance of the checks below.
inline constexpr Real CAPACITANCE_CHECK_TOLERANCE = 1e-12L;
// Below this fraction of the diagonal scale sqrt(|CC[a][a] CC[b][b]|) an off-diagonal coefficient
// counts as tiny: its rounding is that of sums whose terms are of the diagonal's size (and of an
// inverse whose errors scale with its norm), not of its own size, so its tolerance is measured
// against this fraction of the diagonal scale instead.
inline constexpr Real CAPACITANCE_TINY_FRACTION = 1e-3L;

// What a sound capacitance matrix has, each violation as one line naming the conductors and the
// values (pF), none when sound:
//   symmetry: |CC[a][b] - CC[b][a]| <= tol * max(|CC[a][b]|, |CC[b][a]|, tiny * D[a][b]);
//   a positive diagonal: CC[a][a] > 0;
//   non-positive couplings: CC[a][b] <= tol * D[a][b] (the rounding of a pair shielded from each
//   other, whose coefficient is 0 but for it);
//   non-negative capacitances to infinity: sum_b CC[a][b] >= -tol * |CC[a][a]| (a shielded conductor
//   has a row sum of about 0);
// with tol = CAPACITANCE_CHECK_TOLERANCE, tiny = CAPACITANCE_TINY_FRACTION and
// D[a][b] = sqrt(|CC[a][a] CC[b][b]|). A value that is not a number fails every check it is in.
std::vector<std::string> capacitance_matrix_violations(const ConductorCapacitances& c);

// The whole CSV text described at the top of this header.
std::string capacitance_matrix_csv(const ConductorCapacitances& c);

// How a capacitance matrix export ended.
enum class MatrixExportEnd {
    Written,      // the file holds the matrix (maybe with violations)
    NotAvailable, // no matrix to write: no conductors or spheres, not computed, singular
    WriteFailed,  // the file could not be written
};

struct CapacitanceMatrixExport {
    MatrixExportEnd end = MatrixExportEnd::Written;
    std::string message;                 // why nothing was written, when not Written
    std::vector<std::string> violations; // as written to the sink
};

// The whole command: condenses the matrix, writes its violations as lines to `out`, writes the file
// (also with violations: the matrix is what was asked for) and then the line "Capacitance matrix
// saved as PATH". Nothing is written to `out` about a failure: the caller says it where it belongs.
CapacitanceMatrixExport export_capacitance_matrix(const SystemModel& model, EvaluationWorkspace& ws,
                                                  const Evaluation& ev, const std::string& path,
                                                  OutputSink& out);

} // namespace ambrel

// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/jacobian_report.h"

#include "text/csv_file.h"
#include "text/number_format.h"

#include <cmath>
#include <cstddef>

namespace ambrel {

namespace {

// A row of the printed matrix: cut to the panel's line, with the mark at its end, when longer.
void add_matrix_row(OutputSink& out, std::string line, const std::string& cut_mark) {
    if (line.size() > LINE_LENGTH && !cut_mark.empty() && cut_mark.size() < LINE_LENGTH)
        line = line.substr(0, LINE_LENGTH - cut_mark.size()) + cut_mark;
    out.add_output_line(line);
}

std::string eigenvalue_text(const EigenvalueWithError& e) {
    const int place = error_place(e.error);
    std::string text = value_at_place_text(e.value.real(), place);
    // An imaginary part within the error is not told apart from none.
    if (std::fabs(e.value.imag()) > e.error) {
        const std::string imag = value_at_place_text(std::fabs(e.value.imag()), place);
        text += (e.value.imag() < 0 ? " - " : " + ") + imag + "i";
    }
    return text + " +- " + error_text(e.error);
}

} // namespace

void report_jacobian_speed_simulation(OutputSink& out) {
    out.add_output_line("Jacobian matrix not implemented for speed simulation.");
}

void report_jacobian_too_many_objects(OutputSink& out, int objects, int most) {
    out.add_output_line("Jacobian matrix not computed: " + std::to_string(objects) +
                        " objects are more than the " + std::to_string(most) + " it can hold.");
}

void report_jacobian_stopped(OutputSink& out) {
    out.add_output_line("Jacobian matrix stopped before its end: nothing to show.");
}

void report_jacobian_matrix(OutputSink& out, const JacobianResult& result, Real h, bool plain,
                            const std::string& cut_mark) {
    out.add_output_line("Jacobian matrix (error " + real_to_exponent_text(h, 10, 3) + "):");
    if (plain)
        print_matrix_plain(out, result.size, result.matrix.data(), result.size, cut_mark);
    else
        print_matrix_bracketed(out, result.size, result.matrix.data(), result.size, cut_mark);
}

void report_no_movable_object(OutputSink& out) {
    out.add_output_line("No movable object: there are no eigenvalues to examine.");
}

void report_stability(OutputSink& out, const StabilityAnalysis& analysis, Real residual_uN, Real tolerance_uN,
                      Real h, bool verdict_only) {
    if (!analysis.computed) {
        out.add_output_line("The eigenvalues could not be computed (the iteration did not converge).");
        return;
    }
    if (!verdict_only) {
        out.add_output_line(
            "Eigenvalues (1/s) with their errors from the steps h and h/2, in coordinates smooth "
            "where a string hangs straight down: each string end's horizontal displacement "
            "(X, Y), or Ax and Az for objects that turn:");
        for (const EigenvalueWithError& e : analysis.values)
            out.add_output_line(eigenvalue_text(e));
    }
    switch (stability_of(analysis, residual_uN, tolerance_uN)) {
    case Stability::NotEquilibrium:
        // The eigenvalues of a state that is not at rest say nothing of its stability.
        out.add_output_line("Not an equilibrium: the largest rotational force is " +
                            real_to_fixed_text(residual_uN, 0, 6) + " uN, above the tolerance of " +
                            format_g(tolerance_uN) +
                            " uN; the eigenvalues describe the motion from this state.");
        return;
    case Stability::Unstable:
        out.add_output_line("Unstable: an eigenvalue has a positive real part, beyond its error.");
        return;
    case Stability::Stable:
        out.add_output_line("Stable: all eigenvalues have negative real parts, beyond their errors.");
        return;
    case Stability::Undecided:
    case Stability::NotComputed:
        break;
    }
    const EigenvalueWithError& e = analysis.values[analysis.deciding];
    const int place = error_place(e.error);
    // The error from the steps shrinks with h, that of the rounding grows as h shrinks, and that
    // of a state at rest only to the tolerance shrinks with the force error.
    const Real rounding = e.error - e.truncation - e.off_rest;
    std::string advice;
    if (e.off_rest > 0 && e.off_rest >= e.truncation && e.off_rest >= rounding)
        advice = "A smaller force error (a state nearer to rest)";
    else
        advice = std::string(e.truncation >= rounding ? "A smaller" : "A larger") + " angle variation than " +
                 format_g(h) + " rad";
    out.add_output_line("Undecided: the real part " + value_at_place_text(e.value.real(), place) + " +- " +
                        error_text(e.error) + " is zero within its error. " + advice +
                        " may decide it; an eigenvalue that stays at zero belongs to a neutral "
                        "motion (such as a turn of the whole system about a vertical line).");
}

namespace {

std::string row_text(int n, const Real* row, bool bracketed, int i) {
    std::string line = bracketed ? (i == 1 ? "[[" : "[ ") : "";
    for (int j = 1; j <= n; ++j) {
        line += real_to_fixed_text(row[j - 1], 10, 6);
        if (bracketed)
            line += j == n ? "]" : ",";
        else
            line += " ";
    }
    if (bracketed)
        line += i == n ? "]" : ",";
    return line;
}

} // namespace

void print_matrix_bracketed(OutputSink& out, int n, const Real* matrix, int stride,
                            const std::string& cut_mark) {
    for (int i = 1; i <= n; ++i)
        add_matrix_row(out, row_text(n, matrix + static_cast<std::size_t>(i - 1) * stride, true, i),
                       cut_mark);
}

void print_matrix_plain(OutputSink& out, int n, const Real* matrix, int stride, const std::string& cut_mark) {
    for (int i = 1; i <= n; ++i)
        add_matrix_row(out, row_text(n, matrix + static_cast<std::size_t>(i - 1) * stride, false, i),
                       cut_mark);
}

std::string jacobian_csv(const JacobianResult& r) {
    std::string text = "kind,name,values (1/s)\ncolumns,update law";
    const int n = r.size;
    auto angle = [](int index) {
        return std::string(index % 2 == 1 ? "Ax " : "Az ") + std::to_string((index + 1) / 2);
    };
    for (int j = 1; j <= n; ++j)
        text += ',' + csv_field(angle(j));
    text += '\n';
    for (int i = 1; i <= n; ++i) {
        text += "update law," + csv_field(angle(i));
        for (int j = 1; j <= n; ++j)
            text += ',' + format_shortest(r.entry(i, j) + 0); // + 0: never "-0"
        text += '\n';
    }
    const auto m = r.stability_coordinates.size();
    text += "columns,stability";
    for (const std::string& name : r.stability_coordinates)
        text += ',' + csv_field(name);
    text += '\n';
    for (std::size_t i = 0; i < m; ++i) {
        text += "stability," + csv_field(r.stability_coordinates[i]);
        for (std::size_t j = 0; j < m; ++j)
            text += ',' + format_shortest(r.stability_matrix[i * m + j] + 0);
        text += '\n';
    }
    text += "columns,eigenvalue,real,imaginary,error\n";
    for (std::size_t k = 0; k < r.eigenvalues.size(); ++k) {
        const EigenvalueWithError& e = r.eigenvalues[k];
        text += "eigenvalue," + std::to_string(k + 1) + ',' + format_shortest(e.value.real() + 0) + ',' +
                format_shortest(e.value.imag() + 0) + ',' + format_shortest(e.error) + '\n';
    }
    return text;
}

Status save_jacobian_csv(const std::string& path, const JacobianResult& result) {
    return write_file_replacing(path, jacobian_csv(result));
}

} // namespace ambrel

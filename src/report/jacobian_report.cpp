// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/jacobian_report.h"

#include "text/column_table.h"
#include "text/csv_file.h"
#include "text/number_format.h"

#include <cmath>
#include <cstddef>
#include <functional>
#include <ranges>
#include <utility>

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

void report_jacobian_matrix(OutputSink& out, const JacobianResult& result, const JacobianPrint& print) {
    out.add_output_line("Jacobian matrix (error " + real_to_exponent_text(result.h, 10, 3) + "):");
    if (print.plain)
        print_matrix_plain(out, result.size, result.matrix.data(), result.size, print.cut_mark);
    else
        print_matrix_bracketed(out, result.size, result.matrix.data(), result.size, print.cut_mark);
}

void report_jacobian(OutputSink& out, const JacobianResult& result, const JacobianPrint& print) {
    if (result.speed_simulation) {
        report_jacobian_speed_simulation(out);
        return;
    }
    if (result.stopped) {
        report_jacobian_stopped(out);
        return;
    }
    if (!result.computed) {
        report_jacobian_too_many_objects(out, result.objects, result.most_objects);
        return;
    }
    if (!print.verdict_only)
        report_jacobian_matrix(out, result, print);
    if (result.no_movable_object) {
        report_no_movable_object(out);
        return;
    }
    StabilityAnalysis analysis;
    analysis.computed = result.analysed;
    analysis.values = result.eigenvalues;
    analysis.verdict = result.verdict;
    analysis.deciding = result.deciding;
    report_stability(out, analysis, result.residual_uN, result.tolerance_uN, result.h, print);
}

void report_no_movable_object(OutputSink& out) {
    out.add_output_line("No movable object: there are no eigenvalues to examine.");
}

void report_stability(OutputSink& out, const StabilityAnalysis& analysis, Real residual_uN, Real tolerance_uN,
                      Real h, const JacobianPrint& print) {
    if (!analysis.computed) {
        out.add_output_line("The eigenvalues could not be computed (the iteration did not converge).");
        return;
    }
    if (!print.verdict_only) {
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

namespace {

// A section of the file, its rows numbered from 1: the first column's head is "columns" and its
// field the section's kind, the second's head the kind and its field the row's name, then the
// section's own columns.
ColumnTable<int> jacobian_section(const std::string& kind, std::function<std::string(int)> name) {
    using Column = ColumnTable<int>::Column;
    ColumnTable<int> section;
    section.add(Column{"columns", "", [kind](int) { return kind; }, Quoting::AsIs, Quoting::AsIs});
    section.add(Column{kind, "", std::move(name), Quoting::AsIs, Quoting::Csv});
    return section;
}

// The rows 1..count of a section.
auto row_numbers(std::size_t count) {
    return std::views::iota(1, static_cast<int>(count) + 1);
}

} // namespace

std::string jacobian_csv(const JacobianResult& r) {
    using Column = ColumnTable<int>::Column;
    // The file's own head: what each field of a line is.
    ColumnTable<int> file;
    file.add(Column{"kind", "", {}, Quoting::AsIs});
    file.add(Column{"name", "", {}, Quoting::AsIs});
    file.add(Column{"values", "1/s", {}, Quoting::AsIs});
    std::string text = file.header_line();

    const int n = r.size;
    auto angle = [](int index) {
        return std::string(index % 2 == 1 ? "Ax " : "Az ") + std::to_string((index + 1) / 2);
    };
    ColumnTable<int> update_law = jacobian_section("update law", angle);
    for (int j = 1; j <= n; ++j)
        update_law.add_number(angle(j), "", [&r, j](int i) { return r.entry(i, j); });
    text += update_law.csv(row_numbers(static_cast<std::size_t>(n)));

    const std::size_t m = r.stability_coordinates.size();
    const auto coordinate = [&r](int i) { return r.stability_coordinates[static_cast<std::size_t>(i - 1)]; };
    ColumnTable<int> stability = jacobian_section("stability", coordinate);
    for (std::size_t j = 0; j < m; ++j)
        stability.add_number(r.stability_coordinates[j], "", [&r, m, j](int i) {
            return r.stability_matrix[static_cast<std::size_t>(i - 1) * m + j];
        });
    text += stability.csv(row_numbers(m));

    const auto eigenvalue = [&r](int k) -> const EigenvalueWithError& {
        return r.eigenvalues[static_cast<std::size_t>(k - 1)];
    };
    ColumnTable<int> eigenvalues = jacobian_section("eigenvalue", [](int k) { return std::to_string(k); });
    eigenvalues.add_number("real", "", [&](int k) { return eigenvalue(k).value.real(); });
    eigenvalues.add_number("imaginary", "", [&](int k) { return eigenvalue(k).value.imag(); });
    eigenvalues.add("error", "", [&](int k) { return format_shortest(eigenvalue(k).error); });
    text += eigenvalues.csv(row_numbers(r.eigenvalues.size()));
    return text;
}

Status save_jacobian_csv(const std::string& path, const JacobianResult& result) {
    return write_file_replacing(path, jacobian_csv(result));
}

} // namespace ambrel

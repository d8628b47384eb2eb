// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "calculators/electroscope_table.h"

#include "calculators/electroscope_values.h"
#include "model/units.h"
#include "text/number_format.h"

#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <optional>
#include <system_error>
#include <utility>

namespace ambrel {

using namespace calc;

namespace {

constexpr std::string_view HEADER =
    "x Angle2 F Q C C1 C2 V V1 V2 Qp Vp Vp1 Vp2 Vc Qc Vc1 Qc1 Vc2 Qc2 Angle3 C3 Q3 V3 "
    "Angle4 C4 Q4 V4 Angle5 C5 Q5 V5";

std::string error_reason(int error_number) {
    return std::generic_category().message(error_number);
}

// The text file being written: a temporary file beside the target, renamed over it when
// closed. Every line ends with CR LF.
class TableFile {
  public:
    explicit TableFile(const std::string& path) : path_(path), temp_path_(path + ".tmp") {}
    ~TableFile() {
        if (file_) {
            std::fclose(file_);
            std::remove(temp_path_.c_str());
        }
    }
    TableFile(const TableFile&) = delete;
    TableFile& operator=(const TableFile&) = delete;

    Status open() {
        file_ = std::fopen(temp_path_.c_str(), "wb");
        if (!file_)
            return Status::failure("Cannot create file \"" + path_ + "\": " + error_reason(errno));
        return Status::success();
    }

    Status write_line(std::string_view line) {
        if (std::fwrite(line.data(), 1, line.size(), file_) != line.size() ||
            std::fputs("\r\n", file_) == EOF)
            return write_error(errno);
        return Status::success();
    }

    // Flushes and puts the file in its place.
    Status close() {
        std::FILE* file = file_;
        file_ = nullptr;
        if (std::fclose(file) != 0) {
            const int error = errno;
            std::remove(temp_path_.c_str());
            return write_error(error);
        }
        if (std::rename(temp_path_.c_str(), path_.c_str()) != 0) {
            const int error = errno;
            std::remove(temp_path_.c_str());
            return Status::failure("Cannot create file \"" + path_ + "\": " + error_reason(error));
        }
        return Status::success();
    }

  private:
    Status write_error(int error) const {
        return Status::failure("Cannot write file \"" + path_ + "\": " + error_reason(error));
    }

    std::string path_;
    std::string temp_path_;
    std::FILE* file_ = nullptr;
};

// The rows from x1 to x2 (x2 >= x1) in steps of dx > 0: x1 + k dx for k = 0 .. the whole number of
// steps in x2 - x1, counted within a rounding tolerance of a millionth of a step, so that the final x
// typed is the last row when the range holds a whole number of steps (0 to 4 cm by 0.1 cm: 41 rows,
// the last at 4 cm; adding dx forty times would overshoot 4 cm in its last bits and lose that row).
// nullopt beyond MAX_TABLE_STEPS steps.
constexpr Real ROW_TOLERANCE = 1e-6L;
std::optional<int> count_rows(Real x1, Real x2, Real dx) {
    const Real steps = std::floor((x2 - x1) / dx + ROW_TOLERANCE);
    if (!(steps <= MAX_TABLE_STEPS))
        return std::nullopt;
    return static_cast<int>(steps) + 1;
}

// Each value column: a blank, then the value right-aligned in 15 characters.
void add_value_column(std::string& row, Real value) {
    row += ' ';
    row += real_to_fixed_text(value, 15, 8);
}

void add_missing_columns(std::string& row, int count) {
    for (int i = 0; i < count; ++i) {
        row += ' ';
        row += pad_left(std::string(MISSING_VALUE_TEXT), 15);
    }
}

// A group of columns that has no value where the string is too short for the arrangement.
struct ColumnGroup {
    int balls;
    std::string_view first_column;
    std::string_view last_column;
    int missing_rows = 0;
    std::string first_missing_x;
};

// The string reaches a ball at horizontal offset h only while h^2 < L^2.
bool string_reaches(const ElectroscopeInputs& in, CReal h) {
    return sqr(in.L) - sqr(h) > 0;
}

} // namespace

ElectroscopeTableText electroscope_table_text(const ElectroscopeFields& fields) {
    ElectroscopeTableText table;
    if (Status refused = check_calculator_fields(fields, {"Emb", "Emf", "EL", "Ed", "Er", "Ex1", "Ex2"});
        !refused) {
        table.status = std::move(refused);
        return table;
    }
    ElectroscopeInputs in;
    Real x1 = 0, x2 = 0, dx = 0;
    if (Status converted = run_checked([&] {
            in = electroscope_inputs(fields);
            x1 = field_metres(fields.Ex1).value();
            x2 = field_metres(fields.Ex2).value();
            dx = field_metres(fields.Edx).value();
        });
        !converted) {
        table.status = std::move(converted);
        return table;
    }
    table.converted = true;

    // A range that runs forward by a positive step, of at most MAX_TABLE_STEPS steps.
    if (!(dx > 0)) {
        table.refusal = "delta x must be a positive step: it is " + format_g(m_to_cm(dx)) + " cm.";
        return table;
    }
    if (x2 < x1) {
        table.refusal = "Final x must not be below Starting x: " + format_g(m_to_cm(x2)) + " cm is below " +
                        format_g(m_to_cm(x1)) + " cm.";
        return table;
    }
    const std::optional<int> rows = count_rows(x1, x2, dx);
    if (!rows) {
        table.too_many_points = true;
        return table;
    }

    table.lines.emplace_back(HEADER);
    std::array<ColumnGroup, 4> groups = {{{2, "Angle2", "Qc2", 0, {}},
                                          {3, "Angle3", "V3", 0, {}},
                                          {4, "Angle4", "V4", 0, {}},
                                          {5, "Angle5", "V5", 0, {}}}};
    table.status = run_checked([&] {
        for (int k = 0; k < *rows; ++k) {
            const CReal cx = x1 + k * dx;
            const Real x_cm = m_to_cm(cx.value());
            if (cx >= 2 * in.L) {
                table.stop_message = "The balls are too far.";
                return;
            }
            if (cx / 2 - in.d + in.r < 0) {
                table.stop_message = "The balls are too close.";
                return;
            }
            std::string row = real_to_fixed_text(x_cm, 10, 5);
            for (ColumnGroup& g : groups) {
                const CReal h = g.balls == 2 ? two_ball_offset(in, cx) : polygon_offset(in, cx, g.balls);
                if (!string_reaches(in, h)) {
                    add_missing_columns(row, g.balls == 2 ? 19 : 4);
                    if (g.missing_rows++ == 0)
                        g.first_missing_x = real_to_fixed_text(x_cm, 0, 5);
                } else if (g.balls == 2) {
                    for (Real value : two_ball_display_values(two_ball_values(in, cx)))
                        add_value_column(row, value);
                } else {
                    for (Real value : polygon_display_values(polygon_values(in, cx, g.balls)))
                        add_value_column(row, value);
                }
            }
            table.lines.push_back(std::move(row));
        }
    });
    for (const ColumnGroup& g : groups)
        if (g.missing_rows > 0)
            table.notes.push_back(
                "The strings are too short for " + std::to_string(g.balls) +
                " balls from x = " + g.first_missing_x + " cm: columns " + std::string(g.first_column) +
                " to " + std::string(g.last_column) + " written as \"" + std::string(MISSING_VALUE_TEXT) +
                "\" in " + std::to_string(g.missing_rows) + (g.missing_rows == 1 ? " row." : " rows."));
    return table;
}

TableResult write_electroscope_table(const ElectroscopeFields& fields, OutputSink& sink) {
    return write_electroscope_table(fields, std::string(DEFAULT_TABLE_FILE), sink);
}

TableResult write_electroscope_table(const ElectroscopeFields& fields, const std::string& path,
                                     OutputSink& sink) {
    TableResult result;
    const auto fail = [&result](Status failure) {
        static_cast<Status&>(result) = std::move(failure);
        return result;
    };
    ElectroscopeTableText table = electroscope_table_text(fields);
    if (!table.converted)
        return fail(std::move(table.status));
    if (table.too_many_points) {
        sink.add_output_line("Too many points.");
        return result;
    }
    if (!table.refusal.empty()) {
        sink.add_output_line(table.refusal);
        return result;
    }

    // A write error leaves the previous file in place; otherwise the rows so far are kept,
    // also when a floating-point fault ended the run.
    TableFile file(path);
    if (Status opened = file.open(); !opened)
        return fail(std::move(opened));
    for (std::size_t k = 0; k < table.lines.size(); ++k) {
        if (Status written = file.write_line(table.lines[k]); !written)
            return fail(std::move(written));
        if (k > 0)
            ++result.rows;
    }
    if (Status closed = file.close(); !closed)
        return fail(std::move(closed));

    for (const std::string& note : table.notes)
        sink.add_output_line(note);
    if (!table.status)
        return fail(std::move(table.status));
    if (!table.stop_message.empty()) {
        sink.add_output_line(table.stop_message);
        return result;
    }
    sink.add_output_line("Table generated as \"" + path + "\".");
    result.generated = true;
    return result;
}

} // namespace ambrel

// SPDX-FileCopyrightText: 2026 The Ambrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "calculators/electroscope_table.h"

#include "calculators/electroscope_values.h"
#include "model/units.h"
#include "text/number_format.h"

#include <array>
#include <cerrno>
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

// The number of rows from x1 to x2 in steps of dx as the generation loop makes them, or
// nullopt when the loop would not end within the limit (a step that does not advance x).
std::optional<int> count_rows(double x1, double x2, double dx) {
    int rows = 0;
    for (double x = x1; x <= x2;) {
        if (++rows > MAX_TABLE_STEPS + 1)
            return std::nullopt;
        const double next = x + dx;
        if (!(next > x))
            return std::nullopt;
        x = next;
    }
    return rows;
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
    ElectroscopeInputs in;
    double x1 = 0, x2 = 0, dx = 0;
    if (Status converted = run_checked([&] {
            in = electroscope_inputs(fields);
            x1 = static_cast<double>(field_metres(fields.Ex1).value());
            x2 = static_cast<double>(field_metres(fields.Ex2).value());
            dx = static_cast<double>(field_metres(fields.Edx).value());
        });
        !converted) {
        table.status = std::move(converted);
        return table;
    }
    table.converted = true;

    // At most MAX_TABLE_STEPS steps, and a step that really advances x.
    if ((Real(x2) - Real(x1)) / MAX_TABLE_STEPS > Real(dx) || !count_rows(x1, x2, dx)) {
        table.too_many_points = true;
        return table;
    }

    table.lines.emplace_back(HEADER);
    std::array<ColumnGroup, 4> groups = {{{2, "Angle2", "Qc2", 0, {}},
                                          {3, "Angle3", "V3", 0, {}},
                                          {4, "Angle4", "V4", 0, {}},
                                          {5, "Angle5", "V5", 0, {}}}};
    table.status = run_checked([&] {
        for (double x = x1; x <= x2; x += dx) {
            const CReal cx = x;
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
